#include "platform/Numbered_Backups.h"

#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <utility>
#include <vector>

namespace plotvane {
namespace {

namespace fs = std::filesystem;

// Existing backups as (number, age in seconds), and the number the next one takes.
struct TNumbering_Case {
    const char* Situation;
    std::vector<std::pair<int, int>> Backups;
    std::uint32_t Next;
};

TEST(Next_Backup_Number, Follows_The_Files_Own_Newest_Backup)
{
    const TNumbering_Case cases[] = {
        {"no backup yet", {}, 1},
        {"in order", {{1, 30}, {2, 20}, {3, 10}}, 4},
        {"the newest is not the highest", {{1, 10}, {2, 80}, {8, 70}, {9, 60}}, 2},
        {"after 9 comes 1", {{1, 90}, {5, 50}, {9, 10}}, 1},
        {"all nine, the fourth newest", {{1, 6}, {2, 5}, {3, 4}, {4, 0}, {5, 9}, {6, 8}, {7, 7},
                                         {8, 7}, {9, 7}}, 5},
        // Saves quicker than the clock's tick: equal times count as made in turn.
        {"equal times", {{1, 0}, {2, 0}, {3, 0}}, 4},
        {"equal times across the wrap", {{8, 0}, {9, 0}, {1, 0}, {2, 0}, {5, 40}}, 3},
        {"all nine at one time", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0},
                                  {8, 0}, {9, 0}}, 1},
    };
    const auto now = fs::file_time_type::clock::now();
    for (const TNumbering_Case& numbering : cases) {
        const test::TScratch_Folder folder;
        const std::string map = folder.Path() + "/Map.Challenge.Gbx";
        // Another file's backups and the command line's plain .bak are not this file's.
        test::Write_Plain_File(folder.Path() + "/Other.Challenge.Gbx.bak7", {1});
        test::Write_Plain_File(map + ".bak", {1});
        for (const auto& [number, age] : numbering.Backups) {
            const std::string backup = Numbered_Backup_Name(map, static_cast<std::uint32_t>(number));
            test::Write_Plain_File(backup, {1});
            fs::last_write_time(backup, now - std::chrono::seconds(age));
        }
        EXPECT_EQ(Next_Backup_Number(map), numbering.Next) << numbering.Situation;
    }
}

} // namespace
} // namespace plotvane
