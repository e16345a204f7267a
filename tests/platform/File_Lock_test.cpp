#include "platform/File_Lock.h"

#include "platform/File_System.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace plotvane {
namespace {

constexpr std::chrono::milliseconds No_Wait{0};

TEST(TFile_Lock, Shuts_Out_A_Second_Edit_Until_The_First_Is_Done)
{
    const test::TScratch_Folder folder;
    const std::string map = folder.Path() + "/Map";
    test::Write_Plain_File(map, {1, 2, 3});

    std::optional<TFile_Lock> first(std::in_place, map);
    EXPECT_THROW(TFile_Lock(map, No_Wait), EFile_In_Use);
    first.reset();
    EXPECT_NO_THROW(TFile_Lock(map, No_Wait));
}

TEST(TFile_Lock, Follows_The_File_That_A_Save_Put_In_Place)
{
    const test::TScratch_Folder folder;
    const std::string map = folder.Path() + "/Map";
    test::Write_Plain_File(map, {1, 2, 3});

    const TFile_Lock edit(map);
    const std::uint8_t saved[] = {4, 5};
    Replace_File_Contents(map, saved, sizeof saved);
    // The edit has written its result: the next edit starts from it.
    std::optional<TFile_Lock> next(std::in_place, map, No_Wait);
    EXPECT_THROW(TFile_Lock(map, No_Wait), EFile_In_Use);
}

TEST(TFile_Lock, One_That_Waited_Through_A_Save_Holds_The_New_File)
{
    const test::TScratch_Folder folder;
    const std::string map = folder.Path() + "/Map";
    test::Write_Plain_File(map, {1, 2, 3});

    std::optional<TFile_Lock> edit(std::in_place, map);
    std::optional<TFile_Lock> waiting;
    std::thread second([&] { waiting.emplace(map, std::chrono::seconds(10)); });
    // The second edit is waiting on the old file when the first puts a new one in its place.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::uint8_t saved[] = {4, 5};
    Replace_File_Contents(map, saved, sizeof saved);
    edit.reset();
    second.join();
    ASSERT_TRUE(waiting);
    EXPECT_THROW(TFile_Lock(map, No_Wait), EFile_In_Use);
}

TEST(TFile_Lock, Leaves_What_Is_Not_A_Regular_File_To_The_Read)
{
    const test::TScratch_Folder folder;
    for (const std::string& path : {folder.Path() + "/missing", folder.Make_Folder("sub")}) {
        const TFile_Lock first(path, No_Wait);
        EXPECT_NO_THROW(TFile_Lock(path, No_Wait)) << path;
    }
}

} // namespace
} // namespace plotvane
