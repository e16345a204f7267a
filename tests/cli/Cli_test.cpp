#include "cli/Cli_Commands.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Demo_Game_Folder.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_System.h"

#include "tests/cli/Cli_Run.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <streambuf>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using nlohmann::ordered_json;
using test::Run_Command;
using test::TBytes;
using test::TCli_Run;

std::vector<json> Json_Lines(const std::string& text)
{
    std::vector<json> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(json::parse(line));
    }
    return lines;
}

std::size_t Line_Count(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Runs the command and checks that it left every named file byte for byte as it was.
TCli_Run Run_Changing_Nothing(const std::vector<std::string>& arguments,
                              const std::vector<std::string>& files)
{
    std::vector<TBytes> before;
    for (const std::string& file : files) {
        before.push_back(test::Read_Plain_File(file));
    }
    TCli_Run run = Run_Command(arguments);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(test::Read_Plain_File(files[i]), before[i]) << files[i] << " changed";
    }
    return run;
}

// In a file whose body is one literal run, as Gbx_Compress writes it, the listed offset must
// point at the block's record: its name, then the eight bytes.
void Expect_Record_At_Offset(const TBytes& file, const json& block)
{
    std::size_t at = block["offset"];
    ASSERT_LT(at + 4, file.size());
    const std::uint32_t value = test::Little_Endian_At(file, at);
    if (block["name_in_place"]) {
        EXPECT_EQ(value & 0xFFFF, 0U);
        const std::uint32_t length = test::Little_Endian_At(file, at + 4);
        ASSERT_LT(at + 8 + length + 8, file.size());
        EXPECT_EQ(std::string(file.begin() + at + 8, file.begin() + at + 8 + length),
                  block["name"].get<std::string>());
        at += 8 + length;
    } else {
        EXPECT_EQ(value & 0xFFFF, block["name_index"].get<std::uint32_t>());
        at += 4;
    }
    const std::vector<int> fields = {block["rotation"],      block["x"],
                                     block["z"],             block["y"],
                                     block["variations"][0], block["variations"][1],
                                     block["variations"][2], block["variations"][3]};
    EXPECT_EQ(std::vector<int>(file.begin() + at, file.begin() + at + 8), fields)
        << "block " << block["index"];
}

TEST(Cli_Usage, Bad_Command_Lines_Exit_2_And_Help_Exits_0)
{
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"open"},
                                               {"info"},
                                               {"blocks"},
                                               {"blocks", "a", "b"},
                                               {"info", "--jsn", "a"},
                                               {"profiles", "--game-folder", "/no/such/folder"}}) {
        const TCli_Run run = Run_Command(arguments);
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Usage) << testing::PrintToString(arguments);
        EXPECT_FALSE(run.Err.empty());
        EXPECT_TRUE(run.Out.empty());
    }
    const TCli_Run help = Run_Command({"--help"});
    EXPECT_EQ(help.Exit_Code, Cli_Exit_Ok);
    for (const char* command : {"info", "blocks", "profiles"}) {
        EXPECT_NE(help.Out.find(command), std::string::npos) << command;
    }
    const TCli_Run blocks_help = Run_Command({"blocks", "--help"});
    EXPECT_EQ(blocks_help.Exit_Code, Cli_Exit_Ok);
    EXPECT_NE(blocks_help.Out.find("MAP"), std::string::npos);
}

TEST(Cli_Info, Reports_The_Header_And_Expansion_Of_A_Real_Challenge)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    const TCli_Run run = Run_Changing_Nothing({"info", "--json", path}, {path});
    EXPECT_EQ(run.Exit_Code, Cli_Exit_Ok);
    EXPECT_EQ(run.Err, "");
    const std::vector<json> lines = Json_Lines(run.Out);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0], (json{{"file", path},
                              {"kind", 2},
                              {"class_id", 0x03043000},
                              {"user_data_size", 15835},
                              {"uncompressed_size", 52930},
                              {"compressed_size", 17027},
                              {"expand_status", 0}}));

    const TCli_Run text = Run_Command({"info", path});
    EXPECT_EQ(text.Exit_Code, Cli_Exit_Ok);
    for (const char* part : {"challenge (2)", "0x03043000", "15835", "52930", "17027"}) {
        EXPECT_NE(text.Out.find(part), std::string::npos) << part << " in\n" << text.Out;
    }
}

class Cli_Files_Test : public testing::Test {
protected:
    std::string Write(const std::string& name, const TBytes& bytes)
    {
        const std::string path = folder_.Path() + "/" + name;
        test::Write_Plain_File(path, bytes);
        return path;
    }

    test::TScratch_Folder folder_;
};

TEST_F(Cli_Files_Test, Info_Goes_On_Past_Files_It_Cannot_Read_And_Then_Exits_1)
{
    const TBytes body = test::Compressible_Body(5000, 7);
    const TBytes user_data(40, 0x11);
    const std::string profile = Write(
        "a.Profile.Gbx", test::Make_Lzo_Gbx_File(test::Profile_Class_Id, user_data, body, false));
    TBytes damaged_bytes = test::Make_Lzo_Gbx_File(test::Replay_Class_Id, user_data, body, true);
    damaged_bytes.push_back(0); // a byte after the end of the body
    const std::string damaged = Write("b.Replay.Gbx", damaged_bytes);
    const std::string text = Write("c.txt", {'h', 'e', 'l', 'l', 'o'});
    const std::string missing = folder_.Path() + "/missing.Gbx";

    const TCli_Run run =
        Run_Changing_Nothing({"info", "--json", profile, missing, damaged, text},
                             {profile, damaged, text});
    EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(run.Err, "plotvane-cli: " + missing + ": error 1: the file does not exist\n");
    const std::vector<json> lines = Json_Lines(run.Out);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0]["file"], profile);
    EXPECT_EQ(lines[0]["kind"], 13);
    EXPECT_EQ(lines[0]["class_id"], test::Profile_Class_Id);
    EXPECT_EQ(lines[0]["user_data_size"], 40);
    EXPECT_EQ(lines[0]["uncompressed_size"], 5000);
    EXPECT_EQ(lines[0]["expand_status"], 0);
    EXPECT_EQ(lines[1]["kind"], 15);
    EXPECT_EQ(lines[1]["expand_status"], 2002);
    EXPECT_EQ(lines[2]["kind"], 39);
    EXPECT_EQ(lines[2]["class_id"], 0);
    EXPECT_EQ(lines[2]["expand_status"], 2001);

    const TCli_Run words = Run_Command({"info", damaged});
    EXPECT_EQ(words.Exit_Code, Cli_Exit_Ok);
    EXPECT_NE(words.Out.find("2002: the compressed body is damaged"), std::string::npos)
        << words.Out;
}

TEST_F(Cli_Files_Test, An_Input_Output_Error_Is_One_Line_And_Exit_1)
{
    // Longer than any byte array can be: the load refuses it before reading a byte. The file
    // is sparse, so it takes no room on the disk.
    const std::string huge = folder_.Path() + "/huge.Challenge.Gbx";
    std::ofstream{huge};
    fs::resize_file(huge, std::uintmax_t{1} << 31);
    const std::string expected =
        "plotvane-cli: " + huge + ": " + In_Out_Error_Text(In_Out_Error_Code_From_Errno(EFBIG)) +
        "\n";

    const TCli_Run info = Run_Command({"info", huge});
    EXPECT_EQ(info.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(info.Err, expected);
    EXPECT_EQ(info.Out, "");
    const TCli_Run blocks = Run_Command({"blocks", huge});
    EXPECT_EQ(blocks.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(blocks.Err, expected);
}

TEST(Cli_Blocks, Lists_Every_Block_Of_A_Real_Challenge_As_The_Independent_Parser_Does)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "E02-Endurance.Challenge.Gbx");
    PLOTVANE_REQUIRE_CORPUS_FILE(table_path, "E02-Endurance.blocks.tsv");
    const TCli_Run run = Run_Changing_Nothing({"blocks", "--json", path}, {path});
    ASSERT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
    const json listing = json::parse(run.Out);
    EXPECT_EQ(listing["file"], path);
    EXPECT_EQ(listing["author"], "Nadeo");
    EXPECT_EQ(listing["collection"], "Stadium");
    EXPECT_EQ(listing["block_count"], 907);
    EXPECT_EQ(listing["complete"], true);
    ASSERT_EQ(listing["blocks"].size(), 907U);

    std::ifstream table(table_path);
    std::string line;
    std::getline(table, line); // column titles
    for (const json& block : listing["blocks"]) {
        ASSERT_TRUE(std::getline(table, line));
        std::istringstream fields(line);
        int index = 0;
        std::string name;
        std::vector<int> bytes(8);
        fields >> index >> name;
        for (int& byte : bytes) {
            fields >> byte;
        }
        EXPECT_EQ(block["index"], index);
        EXPECT_EQ(block["name"], name) << "block " << index;
        EXPECT_EQ((std::vector<int>{block["rotation"], block["x"], block["z"], block["y"],
                                    block["variations"][0], block["variations"][1],
                                    block["variations"][2], block["variations"][3]}),
                  bytes)
            << "block " << index;
    }
    // Block 0's name is the fifth text the file writes in place; the second block to use
    // that name refers to it.
    EXPECT_EQ(listing["blocks"][0]["name_in_place"], true);
    EXPECT_EQ(listing["blocks"][0]["name_index"], 5);
    EXPECT_EQ(listing["blocks"][2]["name_in_place"], false);
    EXPECT_EQ(listing["blocks"][2]["name_index"], 5);
}

TEST(Cli_Blocks, Keeps_A_Name_With_Line_Breaks_On_One_Line)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(path, "SpeedNotice.Challenge.Gbx");
    const TCli_Run run = Run_Command({"blocks", path});
    ASSERT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
    // Its note to players, a record the game does not count; the record that the count then
    // announces would start past the list's end.
    EXPECT_NE(run.Out.find("Author: bigbang1112\nCollection: Speed\nBlock count: 1 (incomplete"),
              std::string::npos)
        << run.Out;
    EXPECT_EQ(Line_Count(run.Out), 6U) << run.Out;
    EXPECT_NE(run.Out.find("this challenge.\\n - You"), std::string::npos) << run.Out;

    const json listing = json::parse(Run_Command({"blocks", "--json", path}).Out);
    ASSERT_EQ(listing["blocks"].size(), 1U);
    EXPECT_EQ(listing["blocks"][0]["name"].get<std::string>().size(), 149U);
}

TEST_F(Cli_Files_Test, Block_Offsets_Point_At_The_Records_In_The_File)
{
    test::TChallenge_Description description;
    description.Map_Author = test::In_Place("someone_else");
    description.Blocks = {{test::In_Place("StadiumRoadMain"), {0, 1, 2, 3, 4, 5, 6, 7}, {}},
                          {test::In_Place("StadiumPlatformWallPub2"), {3, 9, 1, 8, 0, 128, 0, 0},
                           test::TFixture_Author_Record{test::In_Place("NADEO"),
                                                        test::TFixture_Attached_Record{}}},
                          {test::Reference(5), {2, 30, 4, 31, 1, 2, 3, 4}, {}}};
    // Long enough that packing needs a run with a length extension.
    description.Map_Name = std::string(400, 'm');
    const std::string path = folder_.Path() + "/Fixture.Challenge.Gbx";
    ASSERT_EQ(test::Write_Challenge_File(path, description), 0U);

    const TCli_Run run = Run_Changing_Nothing({"blocks", "--json", path}, {path});
    ASSERT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
    const json listing = json::parse(run.Out);
    EXPECT_EQ(listing["author"], "fixture_player");
    EXPECT_EQ(listing["complete"], true);
    ASSERT_EQ(listing["blocks"].size(), 3U);
    EXPECT_EQ(listing["blocks"][2]["name"], "StadiumRoadMain");
    const TBytes file = test::Read_Plain_File(path);
    for (const json& block : listing["blocks"]) {
        Expect_Record_At_Offset(file, block);
    }
}

TEST_F(Cli_Files_Test, Blocks_Says_When_The_List_Is_Incomplete)
{
    test::TChallenge_Description description;
    description.Blocks = {{test::In_Place("StadiumRoadMain"), {}, {}},
                          {test::In_Place("StadiumRoadMainCheckpoint"), {}, {}}};
    description.Block_Count = 40; // more blocks than the image holds
    const std::string path = folder_.Path() + "/Short.Challenge.Gbx";
    ASSERT_EQ(test::Write_Challenge_File(path, description), 0U);

    const json listing = json::parse(Run_Command({"blocks", "--json", path}).Out);
    EXPECT_EQ(listing["complete"], false);
    EXPECT_EQ(listing["block_count"], listing["blocks"].size());
    EXPECT_LE(listing["blocks"].size(), 2U);

    const TCli_Run text = Run_Command({"blocks", path});
    EXPECT_EQ(text.Exit_Code, Cli_Exit_Ok);
    EXPECT_NE(text.Out.find("incomplete"), std::string::npos) << text.Out;
}

// Names that the report must escape in both forms: control bytes, quotes, backslashes, bytes
// that are not UTF-8, an empty name in place and by reference.
test::TChallenge_Description Hard_Names_Challenge()
{
    test::TChallenge_Description description;
    description.Author_Login = test::In_Place("au\nth\xC3\xA9or\x7F", 0x8000);
    description.Collection = test::In_Place("Sta\"dium\\\x01\xFF");
    description.Blocks = {
        {test::In_Place("Name\twith\x01\x1F\"quote\\slash\xE2\x82\xAC\xFF\xFE end"),
         {255, 1, 2, 3, 4, 5, 6, 7}, {}},
        {test::In_Place(""), {9, 9, 9, 9, 9, 9, 9, 9}, {}},
        {test::Reference(6), {1, 2, 3, 4, 5, 6, 7, 8}, {}},
        {test::Reference(5), {0, 0, 0, 0, 0, 0, 0, 0},
         test::TFixture_Author_Record{test::In_Place("NADEO"), test::TFixture_Attached_Record{}}}};
    return description;
}

TEST_F(Cli_Files_Test, Blocks_Json_Is_The_Document_The_Json_Library_Writes)
{
    const std::string path = folder_.Path() + "/Hard.Challenge.Gbx";
    ASSERT_EQ(test::Write_Challenge_File(path, Hard_Names_Challenge()), 0U);
    // The same document built whole from the core readers, as a tree.
    TFlexible_Byte_Array image;
    ASSERT_EQ(Gbx_Load_File(path, image, 0x21), 0U);
    const auto list = Challenge_Read_Block_List(image, 0x21);
    // The file's body is one literal run, so a save moves every record by the same amount.
    const auto delta = static_cast<std::int64_t>(test::Read_Plain_File(path).size()) -
                       static_cast<std::int64_t>(image.size());
    ordered_json blocks = ordered_json::array();
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block(image, list, i, 0x21);
        ASSERT_TRUE(block);
        blocks.push_back({{"index", i},
                          {"offset", list.Block_Offsets[i] + delta},
                          {"name", block->Name},
                          {"name_in_place", block->Name_In_Place},
                          {"name_index", block->Name_Index},
                          {"rotation", block->Rotation},
                          {"x", block->X},
                          {"z", block->Z},
                          {"y", block->Y},
                          {"variations", block->Variations}});
    }
    const ordered_json document = {{"file", path},
                                   {"author", "au\nth\xC3\xA9or\x7F"},
                                   {"collection", list.Collection_Name},
                                   {"block_count", 4},
                                   {"complete", true},
                                   {"blocks", blocks}};

    const TCli_Run run = Run_Command({"blocks", "--json", path});
    ASSERT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
    EXPECT_EQ(run.Out,
              document.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n");

    const TCli_Run text = Run_Command({"blocks", path});
    EXPECT_NE(text.Out.find("Author: au\\nth\xC3\xA9or\\x7F\nCollection: Sta\"dium\\\\\\x01\xFF\n"
                            "Block count: 4\n"),
              std::string::npos)
        << text.Out;
    EXPECT_NE(text.Out.find(" in place #5: Name\\x09with\\x01\\x1F\"quote\\\\slash\xE2\x82\xAC\xFF\xFE "
                            "end  rotation 255  x 1  z 2  y 3  variations 4 5 6 7\n"),
              std::string::npos)
        << text.Out;
    EXPECT_NE(text.Out.find(" reference #6:   rotation 1  x 2  z 3  y 4  variations 5 6 7 8\n"),
              std::string::npos)
        << text.Out;
}

TEST_F(Cli_Files_Test, Running_Out_Of_Memory_While_Writing_Is_One_Line_And_Exit_1)
{
    const std::string path = folder_.Path() + "/Hard.Challenge.Gbx";
    ASSERT_EQ(test::Write_Challenge_File(path, Hard_Names_Challenge()), 0U);
    // A stream whose every write runs out of memory.
    struct TFailing_Buffer : std::streambuf {
        std::streamsize xsputn(const char*, std::streamsize) override { throw std::bad_alloc(); }
        int_type overflow(int_type) override { throw std::bad_alloc(); }
    } failing;
    for (const char* form : {"--json", ""}) {
        std::ostream out(&failing);
        out.exceptions(std::ios::badbit); // passes on what the buffer raised
        std::ostringstream err;
        const char* argv[] = {"plotvane-cli", "blocks", path.c_str(), form};
        EXPECT_EQ(Run_Cli(*form ? 4 : 3, argv, out, err), Cli_Exit_Failure);
        EXPECT_EQ(err.str(), "plotvane-cli: not enough memory to list the blocks of " + path + "\n");
    }
}

TEST_F(Cli_Files_Test, A_Folder_A_Fifo_Or_A_Device_Is_Named_As_Such)
{
    const std::string fifo = folder_.Path() + "/Pipe.Challenge.Gbx";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {folder_.Make_Folder("Folder.Challenge.Gbx"), "a folder, not a regular file"},
        {fifo, "a FIFO, not a regular file"},
        {"/dev/null", "a device, not a regular file"}};
    for (const auto& [path, failure] : cases) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"info", path}, {"blocks", path}, {"set", path, "0"}}) {
            const TCli_Run run = Run_Command(command);
            EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure) << command[0] << " " << path;
            EXPECT_EQ(run.Err, "plotvane-cli: " + path + ": " + failure + "\n");
            EXPECT_EQ(run.Out, "");
        }
    }
}

TEST_F(Cli_Files_Test, Blocks_Refuses_What_Is_Not_A_Readable_Challenge)
{
    const std::string replay =
        Write("a.Replay.Gbx",
              test::Make_Lzo_Gbx_File(test::Replay_Class_Id, {}, {1, 2, 3, 4, 5}, false));
    const std::string text = Write("b.Challenge.Gbx", {'n', 'o', 't', ' ', 'G', 'B', 'X'});
    const std::string missing = folder_.Path() + "/missing.Challenge.Gbx";
    const std::pair<std::string, std::string> cases[] = {
        {replay, "a replay, not a challenge"},
        {text, "error 2001: not a recognised GBX file (no compressed body)"},
        {missing, "error 1001: the file does not exist"}};
    for (const auto& [path, failure] : cases) {
        const TCli_Run run = Run_Command({"blocks", path});
        EXPECT_EQ(run.Exit_Code, Cli_Exit_Failure) << path;
        EXPECT_EQ(run.Err, "plotvane-cli: " + path + ": " + failure + "\n");
        EXPECT_EQ(run.Out, "");
    }
}

TEST(Cli_Profiles, Lists_The_Logins_Of_The_Named_Or_Found_Game_Folder_In_Order)
{
    const test::TFake_Home home;
    const std::string documents = home.Make_Folder("Documents");
    const std::string game_folder = home.Make_Folder("Documents/TrackMania");
    const std::string profiles = home.Make_Folder("Documents/TrackMania/Profiles");
    for (const char* login : {"carl", "Alice", "bob"}) {
        test::Write_Profile_File(profiles + "/" + login + ".Profile.Gbx", {login});
    }
    test::Write_Profile_File(profiles + "/Offline.Profile.Gbx", {""});
    const test::TScoped_Environment_Variable documents_variable("PLOTVANE_DOCUMENTS", documents);

    const json expected = {{"game_folder", game_folder},
                           {"profiles_folder", profiles + "/"},
                           {"logins", {"Alice", "bob", "carl"}}};
    const TCli_Run found = Run_Command({"profiles", "--json"});
    EXPECT_EQ(found.Exit_Code, Cli_Exit_Ok);
    EXPECT_EQ(json::parse(found.Out), expected);
    const TCli_Run named = Run_Command({"profiles", "--json", "--game-folder", game_folder});
    EXPECT_EQ(json::parse(named.Out), expected);

    const TCli_Run text = Run_Command({"profiles"});
    EXPECT_NE(text.Out.find("Logins: 3\n  Alice\n  bob\n  carl\n"), std::string::npos)
        << text.Out;
    const TCli_Run empty =
        Run_Command({"profiles", "--game-folder", home.Make_Folder("Elsewhere")});
    EXPECT_EQ(empty.Exit_Code, Cli_Exit_Ok);
    EXPECT_NE(empty.Out.find("no online profile found"), std::string::npos) << empty.Out;
}

TEST(Cli_Profiles, Shows_Any_Folder_Path_Whole_In_Text_And_Usable_Again_In_Json)
{
    const test::TScratch_Folder scratch;
    // A line break and a byte that is not UTF-8 in the folder's name.
    const std::string game_folder = scratch.Make_Folder("Track\nMania\xFF");
    test::Write_Profile_File(scratch.Make_Folder("Track\nMania\xFF/Profiles") + "/A.Profile.Gbx",
                             {"Alice"});

    const TCli_Run text = Run_Command({"profiles", "--game-folder", game_folder});
    EXPECT_EQ(text.Exit_Code, Cli_Exit_Ok);
    EXPECT_EQ(text.Out, "Game folder: " + scratch.Path() + "/Track\\nMania\xFF\n" +
                            "Profiles folder: " + scratch.Path() + "/Track\\nMania\xFF/Profiles/\n" +
                            "Logins: 1\n  Alice\n");

    const json report = json::parse(Run_Command({"profiles", "--json", "--game-folder",
                                                 game_folder}).Out);
    EXPECT_EQ(report["logins"], json::array({"Alice"}));
    for (const auto& [key, path] : {std::pair<std::string, std::string>{"game_folder", game_folder},
                                    {"profiles_folder", game_folder + "/Profiles/"}}) {
        // The exact bytes come back from the hexadecimal form.
        const std::string hex = report[key + "_hex"];
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        EXPECT_EQ(bytes, path) << key;
        // The value itself shows the byte as U+FFFD.
        EXPECT_NE(report[key].get<std::string>().find("\xEF\xBF\xBD"), std::string::npos) << key;
    }
    // A UTF-8 path has no hexadecimal form.
    const std::string plain_folder = scratch.Make_Folder("Tr\xC3\xA4" "ckMania");
    const json plain = json::parse(
        Run_Command({"profiles", "--json", "--game-folder", plain_folder}).Out);
    EXPECT_EQ(plain["game_folder"], plain_folder);
    EXPECT_FALSE(plain.contains("game_folder_hex"));
}

TEST(Demo_Game_Folder, Holds_A_Profile_And_A_Challenge_By_It_That_The_Cli_Reads_Whole)
{
    const test::TScratch_Folder folder;
    ASSERT_EQ(Make_Demo_Game_Folder(folder.Path(), 0x3C), 0U);
    const std::string profile = Demo_Profile_Path(folder.Path());
    const std::string challenge = Demo_Challenge_Path(folder.Path());

    const std::vector<json> info =
        Json_Lines(Run_Command({"info", "--json", profile, challenge}).Out);
    ASSERT_EQ(info.size(), 2U);
    EXPECT_EQ(info[0]["kind"], 13);
    EXPECT_EQ(info[0]["expand_status"], 0);
    EXPECT_EQ(info[1]["kind"], 2);
    EXPECT_EQ(info[1]["expand_status"], 0);

    const json listing = json::parse(Run_Command({"blocks", "--json", challenge}).Out);
    EXPECT_EQ(listing["author"], Demo_Login);
    EXPECT_EQ(listing["collection"], "Stadium");
    EXPECT_EQ(listing["complete"], true);
    ASSERT_EQ(listing["block_count"], 6);
    std::vector<bool> in_place;
    const TBytes file = test::Read_Plain_File(challenge);
    for (const json& block : listing["blocks"]) {
        in_place.push_back(block["name_in_place"]);
        Expect_Record_At_Offset(file, block);
    }
    // A name used again is written by reference.
    EXPECT_EQ(in_place, (std::vector<bool>{true, true, true, true, false, true}));
    EXPECT_EQ(listing["blocks"][4]["name"], listing["blocks"][1]["name"]);

    const json profiles =
        json::parse(Run_Command({"profiles", "--json", "--game-folder", folder.Path()}).Out);
    EXPECT_EQ(profiles["logins"], json::array({Demo_Login}));

    // The mask never reaches the disk.
    ASSERT_EQ(Make_Demo_Game_Folder(folder.Path(), 0xC3), 0U);
    EXPECT_EQ(test::Read_Plain_File(challenge), file);
}

TEST(Demo_Game_Folder, A_Profile_Of_Another_Login_Is_Listed_With_It)
{
    const test::TScratch_Folder folder;
    const std::string profiles_folder = folder.Make_Folder("Profiles");
    ASSERT_EQ(Gbx_Save_File(profiles_folder + "/Author.Profile.Gbx",
                            Demo_Profile_Image(0x5A, "Nadeo"), 0, 0x5A),
              0U);
    const json profiles =
        json::parse(Run_Command({"profiles", "--json", "--game-folder", folder.Path()}).Out);
    EXPECT_EQ(profiles["logins"], json::array({"Nadeo"}));
}

} // namespace
} // namespace plotvane
