#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Commands.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"

#include "tests/cli/Cli_Challenge_Files.h"
#include "tests/cli/Cli_Run.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace plotvane {
namespace {

using nlohmann::json;
using test::Blocks_Expanded_By_Liblzo2;
using test::Field_Bytes;
using test::Run_Command;
using test::TBytes;
using test::TCli_Run;

// A game user folder whose one online profile is `login`, and a map in it.
class Cli_Set_Test : public testing::Test {
protected:
    Cli_Set_Test() : profiles_(folder_.Make_Folder("TrackMania/Profiles"))
    {
        test::Write_Profile_File(profiles_ + "/Player.Profile.Gbx", {"nadeo"});
    }

    std::string Game_Folder() const { return folder_.Path() + "/TrackMania"; }
    std::string Map() const { return folder_.Path() + "/Map.Challenge.Gbx"; }
    std::string Backup(int number = 1) const { return Map() + ".bak" + std::to_string(number); }

    TCli_Run Set(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), {"set", "--game-folder", Game_Folder(), Map()});
        return Run_Command(arguments);
    }

    // Runs `set` and checks that it wrote nothing: the map as it was, and no backup.
    TCli_Run Set_Writing_Nothing(const std::vector<std::string>& arguments) const
    {
        const TBytes before = test::Read_Plain_File(Map());
        TCli_Run run = Set(arguments);
        EXPECT_EQ(test::Read_Plain_File(Map()), before) << testing::PrintToString(arguments);
        EXPECT_FALSE(File_Exists(Backup())) << testing::PrintToString(arguments);
        EXPECT_EQ(run.Out, "");
        return run;
    }

    test::TScratch_Folder folder_;
    std::string profiles_;
};

// Two edits of the real map: an in-place rename with a rotation above 3, then a referenced
// rename with new variations. Each keeps the file before it as MAP.bak and prints the block as
// `blocks --json` then lists it; liblzo2 expands the result, whose other blocks are unchanged.
TEST_F(Cli_Set_Test, Edits_A_Real_Challenge_Keeping_A_Backup_And_Every_Other_Block)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(corpus_path, "E02-Endurance.Challenge.Gbx");
    const TBytes original = test::Read_Plain_File(corpus_path);
    test::Write_Plain_File(Map(), original);
    const std::vector<TChallenge_Block> before = Blocks_Expanded_By_Liblzo2(Map());
    ASSERT_TRUE(before[0].Name_In_Place);
    const std::string new_name = before[0].Name + "Plotvane";
    // The last block that refers to a name other than block 0's.
    std::size_t referenced = before.size() - 1;
    while (before[referenced].Name_In_Place ||
           before[referenced].Name_Index == before[0].Name_Index) {
        --referenced;
    }
    const std::vector<uint8_t> old_variations(before[referenced].Variations.begin(),
                                              before[referenced].Variations.end());
    // Bit 7 of variation 2 kept: --force is for the unlisted name only.
    const std::vector<int> variations = {9, old_variations[1] & 0x80, 0, 200};

    // A name that no collection lists is refused unless forced.
    const TCli_Run unlisted = Set_Writing_Nothing({"0", "--name", new_name});
    EXPECT_NE(unlisted.Err.find("is not in Blocks-Stadium.Lst"), std::string::npos) << unlisted.Err;
    const TCli_Run rename =
        Set({"0", "--json", "--name", new_name, "--rotation", "7", "--x", "40", "--force"});
    ASSERT_EQ(rename.Exit_Code, Cli_Exit_Ok) << rename.Err;
    EXPECT_EQ(test::Read_Plain_File(Backup()), original);
    const TBytes after_rename = test::Read_Plain_File(Map());

    const TCli_Run retarget =
        Set({std::to_string(referenced), "--force", "--name", new_name, "--variations",
             std::to_string(variations[0]), std::to_string(variations[1]),
             std::to_string(variations[2]), std::to_string(variations[3])});
    ASSERT_EQ(retarget.Exit_Code, Cli_Exit_Ok) << retarget.Err;
    EXPECT_EQ(test::Read_Plain_File(Backup(2)), after_rename);
    EXPECT_EQ(test::Read_Plain_File(Backup(1)), original);
    EXPECT_EQ(retarget.Out.rfind("Block " + std::to_string(referenced) + " (", 0), 0U)
        << retarget.Out;
    // The line of the block in the text listing of the written file, then as it was.
    const std::string line = retarget.Out.substr(0, retarget.Out.find('\n') + 1);
    EXPECT_NE(Run_Command({"blocks", Map()}).Out.find("\n" + line), std::string::npos)
        << retarget.Out;
    EXPECT_EQ(retarget.Out.find("  before: Block " + std::to_string(referenced) + " ("),
              line.size());

    const json listing = json::parse(Run_Command({"blocks", "--json", Map()}).Out);
    // Printed as `blocks --json` lists it from the file (the second edit moved no block), with
    // the block as it was.
    json renamed = json::parse(rename.Out);
    EXPECT_EQ(renamed["before"]["name"], before[0].Name);
    EXPECT_EQ(renamed["before"]["x"], before[0].X);
    renamed.erase("before");
    EXPECT_EQ(renamed, listing["blocks"][0]);

    const std::vector<TChallenge_Block> after = Blocks_Expanded_By_Liblzo2(Map());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        std::vector<std::uint8_t> bytes = Field_Bytes(before[i]);
        std::string name = before[i].Name;
        if (i == 0) {
            bytes[0] = 3;
            bytes[1] = 40;
        }
        if (i == referenced) {
            std::copy(variations.begin(), variations.end(), bytes.begin() + 4);
        }
        if (i == referenced || before[i].Name_Index == before[0].Name_Index) {
            name = new_name;
        }
        ASSERT_EQ(after[i].Name, name) << i;
        ASSERT_EQ(Field_Bytes(after[i]), bytes) << i;
    }
}

// A block named like an author, by reference (block 10 takes "Nadeo", which earlier author
// records define; it is also the map author's login) or in place (block 0 becomes "NADEO"),
// leaves the list read as before: every block is still listed and a later edit lands on its
// own block.
TEST_F(Cli_Set_Test, A_Block_Named_Like_An_Author_Leaves_The_List_Whole)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(corpus_path, "E02-Endurance.Challenge.Gbx");
    test::Write_Plain_File(Map(), test::Read_Plain_File(corpus_path));
    const std::vector<TChallenge_Block> before = Blocks_Expanded_By_Liblzo2(Map());
    ASSERT_TRUE(before[0].Name_In_Place);
    ASSERT_FALSE(before[10].Name_In_Place);

    for (const auto& [index, name] : {std::pair{"10", "Nadeo"}, std::pair{"0", "NADEO"}}) {
        const TCli_Run run = Set({index, "--name", name, "--force"});
        ASSERT_EQ(run.Exit_Code, Cli_Exit_Ok) << name << ": " << run.Err;
    }
    const TCli_Run later = Set({"11", "--x", "7"});
    ASSERT_EQ(later.Exit_Code, Cli_Exit_Ok) << later.Err;

    const std::vector<TChallenge_Block> after = Blocks_Expanded_By_Liblzo2(Map());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        std::string name = before[i].Name;
        std::vector<std::uint8_t> bytes = Field_Bytes(before[i]);
        if (i == 10) {
            name = "Nadeo";
        } else if (before[i].Name_Index == before[0].Name_Index) {
            name = "NADEO";
        }
        if (i == 11) {
            bytes[1] = 7;
        }
        ASSERT_EQ(after[i].Name, name) << i;
        ASSERT_EQ(Field_Bytes(after[i]), bytes) << i;
    }
}

TEST_F(Cli_Set_Test, Bad_Values_Are_Usage_Errors)
{
    ASSERT_EQ(test::Write_Challenge_File(Map(), {}), 0U);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"x"},
        {"-1"},
        {"1.5"},
        {"0", "--rotation", "-1"},
        {"0", "--rotation", "256"},
        {"0", "--rotation", "three"},
        {"0", "--x", "256"},
        {"0", "--z", "-3"},
        {"0", "--y", "1.5"},
        {"0", "--variations", "1", "2", "3"},
        {"0", "--variations", "1", "2", "3", "256"},
        {"0", "--name"},
        {"0", "--colour", "red"},
        {"0", "1"},
    };
    for (const std::vector<std::string>& arguments : cases) {
        const TCli_Run run = Set_Writing_Nothing(arguments);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Usage) << testing::PrintToString(arguments);
        EXPECT_NE(run.Err, "");
    }
    const TCli_Run no_folder =
        Run_Command({"set", "--game-folder", folder_.Path() + "/none", Map(), "0"});
    EXPECT_EQ(no_folder.Exit_Code, Cli_Exit_Usage);
}

TEST_F(Cli_Set_Test, Refuses_With_One_Line_And_Writes_Nothing)
{
    test::TChallenge_Description description;
    description.Author_Login = test::In_Place("NADEO"); // letter case does not matter
    description.Blocks = {{test::In_Place("StadiumRoadMain"), {1, 2, 3, 4, 0, 0, 0, 0}, {}},
                          {test::In_Place("StadiumPlatform"), {1, 2, 3, 4, 0, 0, 0, 0}, {}},
                          {test::Reference(5), {1, 2, 3, 4, 255, 255, 255, 255}, {}}};
    ASSERT_EQ(test::Write_Challenge_File(Map(), description), 0U);
    struct TCase {
        std::vector<std::string> Arguments;
        std::string Failure;
    };
    const std::vector<TCase> cases = {
        {{"3"}, "no block 3: the challenge has 3 blocks"},
        {{"2", "--name", "StadiumPlatformX"},
         "no name \"StadiumPlatformX\" is defined in the challenge before block 2, so the block "
         "cannot refer to it"},
        {{"0", "--variations", "0", "128", "0", "0"}, "the new variations change"},
        {{"2", "--variations", "255", "255", "255", "254"}, "the new variations change"},
    };
    for (const TCase& test_case : cases) {
        const TCli_Run run = Set_Writing_Nothing(test_case.Arguments);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure);
        EXPECT_EQ(run.Err.rfind("plotvane-cli: " + Map() + ": " + test_case.Failure, 0), 0U)
            << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1);
    }
    // Such changes go through when forced, and say that the list of the written file no longer
    // reads as far as the block, or, a block no longer counted, to its end: the count then
    // covers one record less than the list holds, and the walk reads on past it.
    const std::vector<TCase> forced_cases = {
        {{"0", "--variations", "0", "128", "0", "0"}, "as far as block 0"},
        {{"1", "--variations", "255", "255", "255", "255"}, "to its end"},
        {{"--index", "1", "--variations", "255", "255", "255", "255"}, "to its end"},
    };
    description.Block_Count = 2; // the list read to its end before
    for (const TCase& test_case : forced_cases) {
        ASSERT_EQ(test::Write_Challenge_File(Map(), description), 0U);
        std::vector<std::string> arguments = test_case.Arguments;
        arguments.push_back("--force");
        const TCli_Run forced = Set(arguments);
        EXPECT_EQ(forced.Exit_Code, Cli_Exit_Ok);
        EXPECT_NE(forced.Err.find("written, but the block list of the written file can no "
                                  "longer be read " + test_case.Failure),
                  std::string::npos)
            << forced.Err;
        EXPECT_NE(test::Read_Plain_File(Backup()), test::Read_Plain_File(Map()));
    }

    // Another player's challenge: the message of the editor's Open, with the login as stored.
    description.Author_Login = test::In_Place("Someone_Else");
    ASSERT_EQ(test::Write_Challenge_File(Map(), description), 0U);
    std::remove(Backup().c_str());
    const TCli_Run other = Set_Writing_Nothing({"0", "--x", "1"});
    EXPECT_EQ(other.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(other.Err, "plotvane-cli: " + Map() +
                             ": Challenge creator (Someone_Else) not corresponding with listed "
                             "profiles\n");
    // A challenge without an author login says so.
    description.Author_Login = test::In_Place("");
    ASSERT_EQ(test::Write_Challenge_File(Map(), description), 0U);
    EXPECT_EQ(Set_Writing_Nothing({"0", "--x", "1"}).Err,
              "plotvane-cli: " + Map() + ": " + No_Author_Text + "\n");
}

// A challenge of three blocks by the local player.
void Write_Own_Challenge(const std::string& path)
{
    test::TChallenge_Description description;
    description.Author_Login = test::In_Place("nadeo");
    description.Blocks = {{test::In_Place("StadiumRoadMain"), {1, 2, 3, 4, 0, 0, 0, 0}, {}},
                          {test::In_Place("StadiumPlatform"), {1, 2, 3, 4, 0, 0, 0, 0}, {}},
                          {test::Reference(5), {1, 2, 3, 4, 0, 0, 0, 0}, {}}};
    ASSERT_EQ(test::Write_Challenge_File(path, description), 0U);
}

TEST_F(Cli_Set_Test, Waits_For_Another_Edit_Of_The_Map_Then_Says_It_Is_In_Use)
{
    Write_Own_Challenge(Map());
    const TFile_Lock other_edit(Map());
    const TCli_Run run = Set_Writing_Nothing({"0", "--x", "9"});
    EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(run.Err, "plotvane-cli: " + Map() +
                           ": the file is being changed by another program; try again once it "
                           "is done\n");
}

TEST_F(Cli_Set_Test, Refuses_A_Backup_That_Is_A_Link_To_The_Map)
{
    Write_Own_Challenge(Map());
    const TBytes before = test::Read_Plain_File(Map());
    // The newest backup is .bak9, so the next one is .bak1: a link to the map.
    std::filesystem::create_symlink(Map(), Backup(1));
    test::Write_Plain_File(Backup(9), {1});
    std::filesystem::last_write_time(Backup(9), std::filesystem::last_write_time(Map()) +
                                                     std::chrono::hours(1));
    const TCli_Run run = Set({"0", "--x", "9"});
    EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(run.Err, "plotvane-cli: " + Map() + ": cannot make the backup " + Backup() +
                           ": The copy would overwrite its own source; nothing was written\n");
    EXPECT_EQ(test::Read_Plain_File(Map()), before);
    EXPECT_TRUE(std::filesystem::is_symlink(Backup()));
}

TEST_F(Cli_Set_Test, Every_Command_Whose_Report_Is_Lost_Exits_1)
{
    Write_Own_Challenge(Map());
    const std::vector<std::vector<std::string>> commands = {
        {"info", Map()},
        {"blocks", "--json", Map()},
        {"profiles", "--game-folder", Game_Folder()},
        {"set", "--game-folder", Game_Folder(), Map(), "1", "--y", "7"}};
    for (const auto& command : commands) {
        const TCli_Run run = Run_Command(command, true);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure) << command[0];
        EXPECT_EQ(run.Err, "plotvane-cli: standard output: the report could not be written\n")
            << command[0];
    }
}

} // namespace
} // namespace plotvane
