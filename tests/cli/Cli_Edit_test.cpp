#include "cli/Cli_Commands.h"
#include "challenge/Demo_Game_Folder.h"
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
#include <functional>
#include <map>
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

// A game user folder whose online profiles are the authors of E02-Endurance and of the
// builder's fixture, and a map beside it.
class Cli_Edit_Test : public testing::Test {
protected:
    Cli_Edit_Test()
    {
        test::Write_Profile_File(folder_.Make_Folder("TrackMania/Profiles") + "/P.Profile.Gbx",
                                 {"nadeo"});
        test::Write_Profile_File(folder_.Path() + "/TrackMania/Profiles/F.Profile.Gbx",
                                 {"fixture_player"});
    }

    std::string Game_Folder() const { return folder_.Path() + "/TrackMania"; }
    std::string Map() const { return folder_.Path() + "/Map.Challenge.Gbx"; }
    std::string Backup(int number = 1) const { return Map() + ".bak" + std::to_string(number); }

    // A file of blocks to paste, one line each.
    std::string Pasted(const std::string& name, const std::vector<std::string>& lines) const
    {
        const std::string path = folder_.Path() + "/" + name;
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\n";
        }
        test::Write_Plain_File(path, TBytes(text.begin(), text.end()));
        return path;
    }

    // The numbered backups there are, with their contents.
    std::map<int, TBytes> Backups() const
    {
        std::map<int, TBytes> backups;
        for (int number = 1; number <= 9; ++number) {
            if (File_Exists(Backup(number))) {
                backups[number] = test::Read_Plain_File(Backup(number));
            }
        }
        return backups;
    }

    // Runs `command` on the map with the arguments after it.
    TCli_Run Edit(const std::string& command, std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), {command, "--game-folder", Game_Folder(), Map()});
        return Run_Command(arguments);
    }

    // Runs the command and checks that it left the map and the backup (when there is one) as
    // they were.
    TCli_Run Edit_Writing_Nothing(const std::string& command,
                                  const std::vector<std::string>& arguments) const
    {
        const TBytes map = test::Read_Plain_File(Map());
        const std::map<int, TBytes> backups = Backups();
        TCli_Run run = Edit(command, arguments);
        const std::string what = command + " " + testing::PrintToString(arguments);
        EXPECT_EQ(test::Read_Plain_File(Map()), map) << what;
        EXPECT_EQ(Backups(), backups) << what;
        return run;
    }

    test::TScratch_Folder folder_;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The lines of the text listing that stand for blocks, by block number.
std::vector<std::string> Block_Lines(const std::string& listing)
{
    std::vector<std::string> lines = Lines(listing);
    lines.erase(lines.begin(), lines.begin() + 4); // file, author, collection, count
    return lines;
}

// Each command on the real map: a dry run prints, as a save would write them, the blocks that
// the edit then changes, each followed by its line as it was, and writes nothing; the edit
// keeps the map in its next numbered backup, prints the changed blocks as `blocks --json`
// lists them from the written file, each with its object as it was, and liblzo2 expands that
// file to the expected blocks, every other block as it was.
TEST_F(Cli_Edit_Test, Each_Command_Edits_The_Selected_Blocks_Of_A_Real_Challenge)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(corpus_path, "E02-Endurance.Challenge.Gbx");
    const TBytes original = test::Read_Plain_File(corpus_path);
    struct TCase {
        std::string Command;
        std::vector<std::string> Arguments;
        // Changes the block as the command should; false for a block it must leave.
        std::function<bool(std::size_t index, TChallenge_Block& block)> Change;
    };
    const std::vector<TCase> cases = {
        {"move",
         {"--dz", "1", "--dx", "-1", "--within", "1", "0", "0", "31", "10", "31"},
         [](std::size_t, TChallenge_Block& block) {
             if (block.X < 1 || block.Z > 10) {
                 return false;
             }
             --block.X;
             ++block.Z;
             return true;
         }},
        {"rotate",
         {"--quarter-turns", "-1", "--name", "StadiumTubeRoad", "--name", "StadiumRoadMain"},
         [](std::size_t, TChallenge_Block& block) {
             if (block.Name != "StadiumTubeRoad" && block.Name != "StadiumRoadMain") {
                 return false;
             }
             block.Rotation = static_cast<std::uint8_t>((block.Rotation + 3) % 4);
             return true;
         }},
        {"replace",
         {"--from", "StadiumRoadMainCheckpoint", "--to", "StadiumRoadMainGTCurve2", "--index",
          "400-906"},
         [](std::size_t index, TChallenge_Block& block) {
             if (index < 400 || block.Name != "StadiumRoadMainCheckpoint") {
                 return false;
             }
             block.Name = "StadiumRoadMainGTCurve2";
             return true;
         }},
        // Every block of the name: renamed where the name is written, which gives its entry,
        // the number that the blocks before and after refer to, another text.
        {"replace",
         {"--from", "StadiumRoadMainCheckpoint", "--to", "StadiumRoadMainGTCurve2"},
         [](std::size_t, TChallenge_Block& block) {
             if (block.Name != "StadiumRoadMainCheckpoint") {
                 return false;
             }
             block.Name = "StadiumRoadMainGTCurve2";
             return true;
         }},
        {"set",
         {"--rotation", "2", "--variations", "1", "0", "0", "3", "--index", "10-19", "--index",
          "30"},
         [](std::size_t index, TChallenge_Block& block) {
             if ((index < 10 || index > 19) && index != 30) {
                 return false;
             }
             const std::array<std::uint8_t, 4> variations = {1, 0, 0, 3};
             const bool changes = block.Rotation != 2 || block.Variations != variations;
             block.Rotation = 2;
             block.Variations = variations;
             return changes;
         }},
    };
    // Each edit keeps the map before it in the backup after the newest.
    int backup = 1;
    for (const TCase& test_case : cases) {
        SCOPED_TRACE(test_case.Command);
        test::Write_Plain_File(Map(), original);
        const json listing_before = json::parse(Run_Command({"blocks", "--json", Map()}).Out);
        const std::vector<std::string> lines_before =
            Block_Lines(Run_Command({"blocks", Map()}).Out);
        std::vector<TChallenge_Block> expected = Blocks_Expanded_By_Liblzo2(Map());
        std::vector<std::size_t> changed;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (test_case.Change(i, expected[i])) {
                changed.push_back(i);
            }
        }
        ASSERT_GT(changed.size(), 1U);

        std::vector<std::string> dry_arguments = test_case.Arguments;
        dry_arguments.push_back("--dry-run");
        const TCli_Run dry_run = Edit_Writing_Nothing(test_case.Command, dry_arguments);
        ASSERT_EQ(dry_run.Exit_Code, Cli_Exit_Ok) << dry_run.Err;

        std::vector<std::string> arguments = test_case.Arguments;
        arguments.push_back("--json");
        const TCli_Run run = Edit(test_case.Command, arguments);
        ASSERT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
        EXPECT_EQ(run.Err, "");
        EXPECT_EQ(test::Read_Plain_File(Backup(backup)), original);

        const std::vector<TChallenge_Block> after = Blocks_Expanded_By_Liblzo2(Map());
        ASSERT_EQ(after.size(), expected.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            ASSERT_EQ(after[i].Name, expected[i].Name) << i;
            ASSERT_EQ(Field_Bytes(after[i]), Field_Bytes(expected[i])) << i;
        }

        const json report = json::parse(run.Out);
        const json listing = json::parse(Run_Command({"blocks", "--json", Map()}).Out);
        const std::vector<std::string> lines = Block_Lines(Run_Command({"blocks", Map()}).Out);
        EXPECT_EQ(report["file"], Map());
        EXPECT_EQ(report["backup"], Backup(backup++));
        ASSERT_EQ(report["changed"].size(), changed.size());
        const std::vector<std::string> dry_lines = Lines(dry_run.Out);
        ASSERT_EQ(dry_lines.size(), 2 * changed.size());
        for (std::size_t k = 0; k < changed.size(); ++k) {
            json reported = report["changed"][k];
            EXPECT_EQ(reported["before"], listing_before["blocks"][changed[k]]);
            reported.erase("before");
            EXPECT_EQ(reported, listing["blocks"][changed[k]]);
            EXPECT_EQ(dry_lines[2 * k], lines[changed[k]]);
            EXPECT_EQ(dry_lines[2 * k + 1], "  before: " + lines_before[changed[k]]);
        }
    }
}

// On the real map: ten blocks duplicated one level up, the copies' lines pasted one more level
// up, then all twenty deleted: each edit one numbered backup, each report the blocks it added or
// deleted, and liblzo2 expands the file to the original blocks again.
TEST_F(Cli_Edit_Test, Duplicate_Paste_And_Delete_Carry_Blocks_On_A_Real_Challenge)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(corpus_path, "E02-Endurance.Challenge.Gbx");
    test::Write_Plain_File(Map(), test::Read_Plain_File(corpus_path));
    const std::vector<TChallenge_Block> original = Blocks_Expanded_By_Liblzo2(Map());
    const TCli_Run duplicated = Edit("duplicate", {"--index", "10-19", "--dz", "1", "--json"});
    ASSERT_EQ(duplicated.Exit_Code, Cli_Exit_Ok) << duplicated.Err;
    const json added = json::parse(duplicated.Out)["added"];
    ASSERT_EQ(added.size(), 10U);
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < added.size(); ++k) {
        EXPECT_EQ(added[k]["index"], original.size() + k);
        EXPECT_EQ(added[k]["name"], original[10 + k].Name);
        EXPECT_EQ(added[k]["z"], original[10 + k].Z + 1);
        json line = added[k];
        line["rotation"] = 4 + 25 * k; // above the game's range: pasted as 3, as set writes it
        lines.push_back(line.dump());
    }
    const TCli_Run pasted = Edit("paste", {Pasted("copies.txt", lines), "--dz", "1"});
    ASSERT_EQ(pasted.Exit_Code, Cli_Exit_Ok) << pasted.Err;
    EXPECT_EQ(Lines(pasted.Out).size(), 10U);
    std::vector<TChallenge_Block> after = Blocks_Expanded_By_Liblzo2(Map());
    ASSERT_EQ(after.size(), original.size() + 20);
    EXPECT_EQ(after.back().Z, original[19].Z + 2);
    for (std::size_t k = original.size() + 10; k < after.size(); ++k) {
        EXPECT_EQ(after[k].Rotation, 3) << k;
    }

    const std::string copies =
        std::to_string(original.size()) + "-" + std::to_string(original.size() + 19);
    const TCli_Run deleted = Edit("delete", {"--index", copies, "--json"});
    ASSERT_EQ(deleted.Exit_Code, Cli_Exit_Ok) << deleted.Err;
    EXPECT_EQ(json::parse(deleted.Out)["deleted"].size(), 20U);
    after = Blocks_Expanded_By_Liblzo2(Map());
    ASSERT_EQ(after.size(), original.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        ASSERT_EQ(after[i].Name, original[i].Name) << i;
        ASSERT_EQ(Field_Bytes(after[i]), Field_Bytes(original[i])) << i;
    }
    EXPECT_EQ(Backups().size(), 3U);
}

// pack on the map as the game packed it: --check and a dry run write nothing; pack keeps the
// map in its next numbered backup and writes it smaller, as liblzo2 expands it to the same
// image; a second pack leaves it; --best makes it smaller still.
TEST_F(Cli_Edit_Test, Pack_Makes_A_Real_Challenge_Smaller_Than_The_Game_Did)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(corpus_path, "E02-Endurance.Challenge.Gbx");
    const TBytes game_made = test::Read_Plain_File(corpus_path);
    test::Write_Plain_File(Map(), game_made);
    const TBytes image = test::Lzo_Expanded_Image(game_made);
    const json check = json::parse(Edit_Writing_Nothing("pack", {"--check", "--json"}).Out);
    EXPECT_EQ(check["packed"], true);
    EXPECT_EQ(check["size"], game_made.size());
    const TCli_Run dry_run = Edit_Writing_Nothing("pack", {"--dry-run", "--json"});
    EXPECT_EQ(json::parse(dry_run.Out)["after"], check["packed_size"]);

    const TCli_Run packed = Edit("pack", {"--json"});
    ASSERT_EQ(packed.Exit_Code, Cli_Exit_Ok) << packed.Err;
    EXPECT_EQ(json::parse(packed.Out),
              json({{"file", Map()}, {"method", 1}, {"before", game_made.size()},
                    {"after", check["packed_size"]}, {"written", true}, {"backup", Backup()}}));
    EXPECT_LT(test::Read_Plain_File(Map()).size(), game_made.size());
    EXPECT_EQ(test::Lzo_Expanded_Image(test::Read_Plain_File(Map())), image);
    EXPECT_EQ(test::Read_Plain_File(Backup()), game_made);
    EXPECT_NE(Edit_Writing_Nothing("pack", {}).Out.find("nothing was written"), std::string::npos);

    const std::size_t packed_size = test::Read_Plain_File(Map()).size();
    ASSERT_EQ(Edit("pack", {"--best"}).Exit_Code, Cli_Exit_Ok);
    EXPECT_LT(test::Read_Plain_File(Map()).size(), packed_size);
    EXPECT_EQ(test::Lzo_Expanded_Image(test::Read_Plain_File(Map())), image);
    EXPECT_EQ(Backups().size(), 2U);
    EXPECT_EQ(Lines(Edit_Writing_Nothing("pack", {"--check"}).Out),
              std::vector<std::string>(
                  {Map(), "  packed:      yes",
                   "  size:        " + std::to_string(test::Read_Plain_File(Map()).size()) +
                       " bytes",
                   "  when packed: " + std::to_string(packed_size) +
                       " bytes, no smaller (method 1)"}));
}

// pack saves only a challenge of the local player's, as the other edits; one of another player
// is refused and left as it is, but --check tells about it.
TEST_F(Cli_Edit_Test, Pack_Refuses_Another_Players_Challenge_But_Checks_It)
{
    test::TChallenge_Description other = test::Fixture_Challenge();
    other.Author_Login = test::In_Place("someone_else", 0x8000);
    ASSERT_EQ(test::Write_Challenge_File(Map(), other), 0U);
    const TCli_Run refused = Edit_Writing_Nothing("pack", {});
    EXPECT_EQ(refused.Exit_Code, Cli_Exit_Failure);
    EXPECT_NE(refused.Err.find("Challenge creator (someone_else)"), std::string::npos);
    const std::vector<std::string> check = Lines(Edit_Writing_Nothing("pack", {"--check"}).Out);
    ASSERT_EQ(check.size(), 4U);
    EXPECT_EQ(check[1], "  packed:      no, its body is one literal run");
    EXPECT_NE(check[3].find("% of its size (method 1)"), std::string::npos) << check[3];
}

TEST_F(Cli_Edit_Test, A_Refused_Edit_Names_The_First_Refusing_Block_And_Writes_Nothing)
{
    ASSERT_EQ(test::Write_Challenge_File(Map(), test::Fixture_Challenge()), 0U);
    test::Write_Plain_File(Backup(), {'o', 'l', 'd'});
    struct TCase {
        std::string Command;
        std::vector<std::string> Arguments;
        std::string Failure;
    };
    // Block 0 stands at x 10, z 2, y 3, block 2 at x 12; the map is 32 x 32 x 32.
    const std::vector<TCase> cases = {
        {"move",
         {"--dx", "250", "--force"},
         "block 0 at x 10, z 2, y 3 would move to x 260, z 2, y 3, outside 0 to 255"},
        {"move",
         {"--dx", "20", "--dz", "-2"},
         "block 2 at x 12, z 2, y 3 would move to x 32, z 0, y 3, outside the challenge's size "
         "32 x 32 x 32; give --force to move it there anyway"},
        {"replace",
         {"--from", "StadiumRoadMain", "--to", "StadiumRoad", "--index", "0", "--index", "4-5"},
         "block 0 writes the name \"StadiumRoadMain\" in place and 1 block outside the selection "
         "refer to it"},
        {"replace",
         {"--from", "StadiumRoadMain", "--to", "StadiumPlatform", "--index", "1"},
         "no name \"StadiumPlatform\" is defined in the challenge before block 1, so the block "
         "cannot refer to it"},
        {"set",
         {"--variations", "4", "0", "6", "7", "--index", "1-3"},
         "block 2: the new variations change how the game reads the block list"},
        {"replace",
         {"--from", "StadiumRoadMain", "--to", "StadiumRoadMainFoo", "--index", "0-1"},
         "the name \"StadiumRoadMainFoo\" is not in Blocks-Stadium.Lst, the block names of the "
         "collection Stadium: the game cannot load a challenge with such a block. Give --force"},
        // Block 2 carries an author record writing its author in place, with names defined
        // after it; block 4 writes StadiumRoadMain in place, with StadiumPlatform defined
        // after it by block 6.
        {"duplicate", {"--index", "1-2"}, "block 2 carries an author record (a skin)"},
        {"delete", {"--index", "2"}, "block 2 writes a name in place (its own or its skin's "
                                     "author) that block 4 needs at its number"},
        {"delete", {"--index", "4-5"}, "block 4 writes a name in place (its own or its skin's "
                                       "author) that block 6 needs"},
        {"paste",
         {Pasted("missing-name.txt",
                 {"{\"name\":\"Nowhere\",\"rotation\":0,\"x\":1,\"z\":1,\"y\":1,"
                  "\"variations\":[0,0,0,0]}"})},
         "the challenge does not define the names \"Nowhere\""},
        // Texts that the challenge defines, but no block's name.
        {"paste",
         {Pasted("not-block-names.txt",
                 {"{\"name\":\"Day\",\"rotation\":0,\"x\":1,\"z\":1,\"y\":1,"
                  "\"variations\":[0,0,0,0]}",
                  "{\"name\":\"StadiumCircuitBase\",\"rotation\":0,\"x\":1,\"z\":1,\"y\":1,"
                  "\"variations\":[0,0,0,0]}",
                  "{\"name\":\"Stadium\",\"rotation\":0,\"x\":1,\"z\":1,\"y\":1,"
                  "\"variations\":[0,0,0,0]}"})},
         "the names \"Day\", \"Stadium\" are not in Blocks-Stadium.Lst, the block names of the "
         "collection Stadium: the game cannot load a challenge with such a block. Give --force "
         "to write them anyway"},
        {"paste", {Pasted("no-bytes.txt", {"{\"name\":\"Stadium\"}"})},
         "the blocks to paste in "},
    };
    for (const TCase& test_case : cases) {
        const TCli_Run run = Edit_Writing_Nothing(test_case.Command, test_case.Arguments);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err.rfind("plotvane-cli: " + Map() + ": " + test_case.Failure, 0), 0U)
            << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
    }
    // Forced, the move leaves the challenge's size; a name in place is renamed when every block
    // that shares it is selected.
    const TCli_Run forced = Edit("move", {"--dx", "20", "--dz", "-2", "--force"});
    EXPECT_EQ(forced.Exit_Code, Cli_Exit_Ok) << forced.Err;
    const TCli_Run renamed =
        Edit("replace", {"--from", "StadiumRoadMain", "--to", "StadiumRoad", "--index", "0-1",
                         "--force"});
    EXPECT_EQ(renamed.Exit_Code, Cli_Exit_Ok) << renamed.Err;
    EXPECT_EQ(Lines(renamed.Out).size(), 4U) << renamed.Out;
    const std::vector<TChallenge_Block> after = Blocks_Expanded_By_Liblzo2(Map());
    EXPECT_EQ(after[1].Name, "StadiumRoad");
    EXPECT_EQ(after[4].Name, "StadiumRoadMain");
    EXPECT_EQ(after[2].X, 32);

    // Forced, variations that drop block 2's author record: the file is written, and the
    // changed blocks print as the new list reads them, block 3 now being that record.
    const TBytes before_forced = test::Read_Plain_File(Map());
    const std::vector<std::string> lines_before = Block_Lines(Run_Command({"blocks", Map()}).Out);
    const TCli_Run forced_reading =
        Edit("set", {"--variations", "4", "0", "6", "7", "--index", "1-3", "--force"});
    EXPECT_EQ(forced_reading.Exit_Code, Cli_Exit_Ok) << forced_reading.Err;
    // .bak1 was there; the two edits before made .bak2 and .bak3.
    EXPECT_EQ(test::Read_Plain_File(Backup(4)), before_forced);
    EXPECT_NE(test::Read_Plain_File(Map()), before_forced);
    const std::vector<std::string> lines = Lines(forced_reading.Out);
    ASSERT_EQ(lines.size(), 6U) << forced_reading.Out;
    EXPECT_EQ(lines[4].rfind("Block 3 (", 0), 0U);
    EXPECT_NE(lines[4].find(": Nadeo  rotation"), std::string::npos) << lines[4];
    EXPECT_EQ(lines[5], "  before: " + lines_before[3]);
}

TEST_F(Cli_Edit_Test, An_Empty_Selection_Or_No_Change_Says_So_And_Writes_Nothing)
{
    ASSERT_EQ(test::Write_Challenge_File(Map(), test::Fixture_Challenge()), 0U);
    const TCli_Run nothing = Edit_Writing_Nothing("move", {"--dz", "1", "--name", "Nothing"});
    EXPECT_EQ(nothing.Exit_Code, Cli_Exit_Ok);
    EXPECT_EQ(nothing.Out, "No block is selected; nothing was written.\n");
    const TCli_Run same = Edit_Writing_Nothing("rotate", {"--quarter-turns", "4", "--json"});
    EXPECT_EQ(same.Exit_Code, Cli_Exit_Ok);
    EXPECT_EQ(json::parse(same.Out), json({{"file", Map()}, {"backup", nullptr},
                                          {"changed", json::array()}}));
    // Adding or deleting nothing, the report has the key of the blocks it would list.
    const std::vector<std::vector<std::string>> structural = {
        {"duplicate", "--name=Nothing", "added"},
        {"delete", "--name=Nothing", "deleted"},
        {"paste", Pasted("none.txt", {}), "added"}};
    for (const std::vector<std::string>& row : structural) {
        EXPECT_EQ(json::parse(Edit_Writing_Nothing(row[0], {row[1], "--json"}).Out),
                  json({{"file", Map()}, {"backup", nullptr}, {row[2], json::array()}}))
            << row[0];
    }
    EXPECT_FALSE(File_Exists(Backup()));
}

TEST_F(Cli_Edit_Test, Bad_Command_Lines_Are_Usage_Errors)
{
    ASSERT_EQ(test::Write_Challenge_File(Map(), test::Fixture_Challenge()), 0U);
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"move", {"--index", "3-1"}},
        {"move", {"--index", "x"}},
        {"move", {"--index", "-1"}},
        {"move", {"--within", "1", "2", "3"}},
        {"move", {"--within", "1", "2", "3", "4", "5", "6", "7"}},
        {"move", {"--within", "0", "0", "0", "0", "0", "256"}},
        {"move", {"--dx", "256"}},
        {"rotate", {}},
        {"replace", {"--from", "StadiumRoadMain"}},
        {"set", {}},
        {"set", {"--x", "3"}},
        {"set", {"--name", "StadiumRoadMain", "--rotation", "1"}},
        {"set", {"0", "--index", "1", "--rotation", "1"}},
        {"set", {"0", "--dry-run", "--rotation", "1"}},
        {"delete", {}},
        {"paste", {}},
        {"pack", {"--check", "--dry-run"}},
    };
    for (const auto& [command, arguments] : cases) {
        const TCli_Run run = Edit_Writing_Nothing(command, arguments);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Usage) << command << testing::PrintToString(arguments);
        EXPECT_NE(run.Err, "");
    }
    const TCli_Run help = Run_Command({"--help"});
    EXPECT_NE(help.Out.find("checkpoint list"), std::string::npos);
    for (const char* command :
         {"move", "rotate", "replace", "duplicate", "delete", "paste", "pack"}) {
        EXPECT_NE(help.Out.find(command), std::string::npos) << command;
    }
}

// Every editing command over a selection holds the map's lock, as `set` on one block does, and
// fails when its report is lost.
TEST_F(Cli_Edit_Test, Edits_Wait_For_Another_Edit_Of_The_Map_And_Fail_When_Their_Report_Is_Lost)
{
    ASSERT_EQ(test::Write_Challenge_File(Map(), test::Fixture_Challenge()), 0U);
    const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"move", {"--dz", "1"}}, {"set", {"--rotation", "2", "--index", "3"}}, {"pack", {}}};
    {
        const TFile_Lock other_edit(Map());
        for (const auto& [command, arguments] : commands) {
            const TCli_Run run = Edit_Writing_Nothing(command, arguments);
            EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure) << command;
            EXPECT_EQ(run.Err, "plotvane-cli: " + Map() +
                                   ": the file is being changed by another program; try again "
                                   "once it is done\n");
        }
    }
    for (const auto& [command, arguments] : commands) {
        std::vector<std::string> line = {command, "--game-folder", Game_Folder(), Map()};
        line.insert(line.end(), arguments.begin(), arguments.end());
        const TCli_Run run = Run_Command(line, true);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure) << command;
        EXPECT_EQ(run.Err, "plotvane-cli: standard output: the report could not be written\n");
    }
}

// Blocks 1, 5 and 6 of eight: their lines of the whole listing, counted as 3 of 8.
TEST_F(Cli_Edit_Test, Blocks_Lists_A_Selection_Numbered_As_In_The_Whole_List)
{
    ASSERT_EQ(test::Write_Challenge_File(Map(), test::Fixture_Challenge()), 0U);
    const std::vector<std::string> whole = Lines(Run_Command({"blocks", Map()}).Out);
    const std::vector<std::string> selected =
        Lines(Run_Command({"blocks", Map(), "--index", "5-6", "--index", "1"}).Out);
    ASSERT_EQ(selected.size(), 7U);
    EXPECT_EQ(selected[3], "Block count: 3 of 8");
    EXPECT_EQ(std::vector<std::string>(selected.begin() + 4, selected.end()),
              (std::vector<std::string>{whole[4 + 1], whole[4 + 5], whole[4 + 6]}));

    const json listing = json::parse(
        Run_Command({"blocks", "--json", Map(), "--name", "StadiumRoadMain", "--within", "0",
                     "0", "0", "14", "2", "3"})
            .Out);
    EXPECT_EQ(listing["block_count"], 8);
    EXPECT_EQ(listing["selected_count"], 3);
    std::vector<int> indexes;
    for (const json& block : listing["blocks"]) {
        indexes.push_back(block["index"]);
    }
    EXPECT_EQ(indexes, (std::vector<int>{0, 1, 4}));
}

// The demo challenge is a Stadium map of 32 x 32 x 32 cells: its track moves one level up.
TEST(Cli_Edit_Demo, The_Demo_Track_Moves_One_Level_Up)
{
    const test::TScratch_Folder folder;
    ASSERT_EQ(Make_Demo_Game_Folder(folder.Path(), 0x3C), 0U);
    const TCli_Run run = Run_Command({"move", "--game-folder", folder.Path(),
                                      Demo_Challenge_Path(folder.Path()), "--dz", "1"});
    EXPECT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
    EXPECT_EQ(Lines(run.Out).size(), 2 * 6U); // each block after and before
}

} // namespace
} // namespace plotvane
