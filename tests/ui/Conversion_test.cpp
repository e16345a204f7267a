// The editor started with one argument, and plotvane-cli convert, as processes: exit codes, the
// file and its .bak.
#include "platform/File_Lock.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Corpus.h"
#include "tests/support/File_Faults.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/ui/Game_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using test::TBytes;
using test::TTest_Game_Folder;

struct TRun {
    int Exit_Status = -1;
    std::string Error_Output;
};

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

// No display and no platform named, as on a server.
const std::string Without_Display = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";

// The two programs that convert a challenge in place: the editor given one argument, and
// plotvane-cli's command.
const std::string Editor = Quoted(PLOTVANE_EDITOR);
const std::string Cli_Convert = Quoted(PLOTVANE_CLI) + " convert";

// Runs the program (the editor unless told) in `scratch` (as its current directory), in the
// given environment.
TRun Run_Editor(const std::vector<std::string>& arguments, const std::string& scratch,
                const std::string& environment = Without_Display,
                const std::string& program = Editor)
{
    const std::string error_path = scratch + "/stderr.txt";
    std::string command = "cd " + Quoted(scratch) + " && " + environment + " " + program;
    for (const std::string& argument : arguments) {
        command += " " + Quoted(argument);
    }
    command += " 2>" + Quoted(error_path);
    const int raw = std::system(command.c_str());
    TRun run;
    run.Exit_Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream error_file(error_path);
    std::ostringstream text;
    text << error_file.rdbuf();
    run.Error_Output = text.str();
    return run;
}

class Conversion_Test : public testing::Test {
protected:
    void Write_Challenge(const std::string& author)
    {
        test::TChallenge_Description description;
        description.Author_Login = test::In_Place(author, 0x8000);
        description.Blocks = {{test::In_Place("StadiumRoadMain"), {1, 2, 3, 4, 0, 0, 0, 0}, {}}};
        ASSERT_EQ(test::Write_Challenge_File(path_, description), 0u);
        original_ = test::Read_Plain_File(path_);
    }

    TRun Convert(const std::string& program)
    {
        return Run_Editor({path_}, game_.Game_Folder(), Without_Display, program);
    }

    void Expect_Untouched(const TRun& run, int exit_status)
    {
        EXPECT_EQ(run.Exit_Status, exit_status);
        EXPECT_EQ(test::Read_Plain_File(path_), original_);
        EXPECT_FALSE(fs::exists(path_ + ".bak"));
        // One line that names the file and the full exit code.
        EXPECT_EQ(std::count(run.Error_Output.begin(), run.Error_Output.end(), '\n'), 1)
            << run.Error_Output;
        EXPECT_NE(run.Error_Output.find(path_), std::string::npos) << run.Error_Output;
        EXPECT_NE(run.Error_Output.find("exit code 99"), std::string::npos) << run.Error_Output;
    }

    TTest_Game_Folder game_{{"player"}};
    std::string path_ = game_.Challenge_Path("Map.Challenge.Gbx");
    TBytes original_;
};

// Each test of this fixture runs both programs that convert.
class Both_Conversions_Test : public Conversion_Test,
                              public testing::WithParamInterface<std::string> {};

std::string Program_Name(const testing::TestParamInfo<std::string>& info)
{
    return info.param == Editor ? "Editor" : "Cli_Convert";
}

INSTANTIATE_TEST_SUITE_P(Editor_And_Cli, Both_Conversions_Test, testing::Values(Editor, Cli_Convert),
                         Program_Name);

TEST_P(Both_Conversions_Test, Failures_End_With_Their_Code_And_Write_Nothing)
{
    Write_Challenge("someone_else");
    Expect_Untouched(Convert(GetParam()), 9997 & 0xFF);

    test::Write_Plain_File(path_, {'n', 'o', 't', ' ', 'G', 'B', 'X'});
    original_ = test::Read_Plain_File(path_);
    Expect_Untouched(Convert(GetParam()), 9998 & 0xFF);

    fs::remove(path_);
    original_.clear();
    Expect_Untouched(Convert(GetParam()), 9998 & 0xFF);
}

TEST_P(Both_Conversions_Test, No_Profile_Ends_Before_The_Argument_Is_Looked_At)
{
    Write_Challenge("player");
    const TTest_Game_Folder empty_game({});
    const TRun run = Run_Editor({path_}, empty_game.Game_Folder(), Without_Display, GetParam());
    Expect_Untouched(run, 9999 & 0xFF);
}

TEST_P(Both_Conversions_Test, A_Map_Another_Edit_Holds_Is_Left_As_It_Is)
{
    Write_Challenge("player");
    const TFile_Lock other_edit(path_);
    const TRun run = Convert(GetParam());
    Expect_Untouched(run, 9998 & 0xFF);
    EXPECT_NE(run.Error_Output.find("being changed by another program"), std::string::npos)
        << run.Error_Output;
}

TEST_P(Both_Conversions_Test, Backup_That_Cannot_Be_Made_Leaves_The_Challenge_Untouched)
{
    Write_Challenge("player");
    // A folder in the way, then a link to the map itself, which a copy would overwrite.
    fs::create_directory(path_ + ".bak");
    TRun run = Convert(GetParam());
    EXPECT_EQ(run.Exit_Status, 9995 & 0xFF);
    EXPECT_EQ(test::Read_Plain_File(path_), original_);
    EXPECT_TRUE(fs::is_directory(path_ + ".bak"));
    EXPECT_NE(run.Error_Output.find("exit code 9995"), std::string::npos) << run.Error_Output;

    fs::remove(path_ + ".bak");
    fs::create_symlink(path_, path_ + ".bak");
    run = Convert(GetParam());
    EXPECT_EQ(run.Exit_Status, 9995 & 0xFF);
    EXPECT_EQ(test::Read_Plain_File(path_), original_);
    EXPECT_NE(run.Error_Output.find("The copy would overwrite its own source"), std::string::npos)
        << run.Error_Output;
}

// The decision is the program's own: Qt takes "-reverse" for one of its options, but it is the
// one argument, here a challenge of that name in the current directory. The platform named
// cannot start here, so a window, wrongly opened, ends the program instead of waiting.
TEST_F(Conversion_Test, One_Argument_Converts_Even_When_Qt_Would_Take_It_For_An_Option)
{
    path_ = game_.Game_Folder() + "/-reverse";
    Write_Challenge("player");
    const TRun run = Run_Editor({"-reverse"}, game_.Game_Folder(),
                                "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb");
    EXPECT_EQ(run.Exit_Status, 0) << run.Error_Output;
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak"), original_);
}

// A display named but not answering, and a platform named that needs it: the conversion uses
// neither.
TEST_F(Conversion_Test, Converts_Beside_A_Display_That_Does_Not_Answer)
{
    Write_Challenge("player");
    const TRun run = Run_Editor({path_}, game_.Game_Folder(),
                                "env DISPLAY=:97531 WAYLAND_DISPLAY=plotvane-nowhere "
                                "QT_QPA_PLATFORM=xcb");
    EXPECT_EQ(run.Exit_Status, 0) << run.Error_Output;
    EXPECT_EQ(run.Error_Output, "");
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak"), original_);
}

// What a desktop entry's "--open %f" leaves without a file: the window (which cannot open here,
// without a display), never a conversion of a file named --open.
TEST_F(Conversion_Test, Open_Option_Alone_Converts_Nothing)
{
    path_ = game_.Game_Folder() + "/--open";
    Write_Challenge("player");
    Run_Editor({"--open"}, game_.Game_Folder());
    EXPECT_EQ(test::Read_Plain_File(path_), original_);
    EXPECT_FALSE(fs::exists(path_ + ".bak"));
}

TEST_F(Conversion_Test, Two_Arguments_Open_The_Window_And_Convert_Nothing)
{
    Write_Challenge("player");
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout 5 " + Quoted(PLOTVANE_EDITOR) +
                                " " + Quoted(path_) + " " + Quoted(path_) + " 2>/dev/null";
    const int raw = std::system(command.c_str());
    // timeout's own status: the window was still open, waiting for a person.
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 124);
    EXPECT_EQ(test::Read_Plain_File(path_), original_);
    EXPECT_FALSE(fs::exists(path_ + ".bak"));
}

TEST_F(Conversion_Test, Help_And_Version_End_With_0)
{
    EXPECT_EQ(Run_Editor({"--version"}, game_.Game_Folder()).Exit_Status, 0);
    EXPECT_EQ(Run_Editor({"--help"}, game_.Game_Folder()).Exit_Status, 0);
}

// Real file: the body is expanded, checked and written back as one literal run.
class Corpus_Conversion_Test : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        PLOTVANE_REQUIRE_CORPUS_FILE(source, "E02-Endurance.Challenge.Gbx");
        fs::copy_file(source, path_);
        fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
        original_ = test::Read_Plain_File(path_);
    }

    // Author "Nadeo", listed here in other letter case.
    TTest_Game_Folder game_{{"NADEO"}};
    std::string path_ = game_.Challenge_Path("E02-Endurance.Challenge.Gbx");
    TBytes original_;
};

constexpr std::size_t User_Data_Size_Offset = 13;

INSTANTIATE_TEST_SUITE_P(Editor_And_Cli, Corpus_Conversion_Test,
                         testing::Values(Editor, Cli_Convert), Program_Name);

TEST_P(Corpus_Conversion_Test, Converts_In_Place_Beside_A_Fresh_Backup)
{
    test::Write_Plain_File(path_ + ".bak", {'s', 't', 'a', 'l', 'e'});
    const TRun run = Run_Editor({path_}, game_.Game_Folder(), Without_Display, GetParam());
    ASSERT_EQ(run.Exit_Status, 0) << run.Error_Output;
    EXPECT_EQ(run.Error_Output, "");
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak"), original_);

    const TBytes converted = test::Read_Plain_File(path_);
    const std::size_t body_offset = 33 + test::Little_Endian_At(original_, User_Data_Size_Offset);
    const std::uint32_t body_size = test::Little_Endian_At(original_, body_offset - 8);
    ASSERT_GT(converted.size(), body_offset);
    // The header is the original's but for the compressed-size field.
    EXPECT_TRUE(std::equal(original_.begin(), original_.begin() + static_cast<long>(body_offset - 4),
                           converted.begin()));
    EXPECT_EQ(test::Little_Endian_At(converted, body_offset - 4), converted.size() - body_offset);
    const TBytes original_body =
        test::Lzo_Decompress(TBytes(original_.begin() + static_cast<long>(body_offset),
                                    original_.end()),
                             body_size);
    const TBytes converted_body =
        test::Lzo_Decompress(TBytes(converted.begin() + static_cast<long>(body_offset),
                                    converted.end()),
                             body_size);
    EXPECT_EQ(converted_body, original_body);
}

TEST_P(Corpus_Conversion_Test, Failed_Save_Ends_With_9996_And_Leaves_The_Challenge_As_It_Was)
{
    // Room for the backup (the file as it is) but not for the expanded body.
    const std::uint64_t limit = original_.size() + 1024;
    const int exit_status = test::Run_With_File_Size_Limit(limit, [&] {
        const int raw = std::system((Without_Display + " " + GetParam() + " " + Quoted(path_) +
                                     " 2>/dev/null")
                                        .c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    });
    EXPECT_EQ(exit_status, 9996 & 0xFF);
    EXPECT_EQ(test::Read_Plain_File(path_), original_);
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak"), original_);
}

} // namespace
} // namespace plotvane
