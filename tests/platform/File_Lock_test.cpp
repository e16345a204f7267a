#include "platform/File_Lock.h"

#include "platform/File_System.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

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
