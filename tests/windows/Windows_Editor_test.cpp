// plotvane.exe and plotvane-pictures.exe under Wine beside the Linux editor: the conversion of
// one argument, with no display and with one; the window as the pictures program draws it; and
// the window used on a virtual X server, keys typed into it as a person types them.
#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"
#include "tests/windows/Wine_Process.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using namespace test;

const std::string Endurance = "E02-Endurance.Challenge.Gbx";

// Xvfb on a display number of its own for the time of a test.
class TVirtual_Display {
public:
    TVirtual_Display()
        : server_({{PLOTVANE_XVFB, "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
                    "tcp"},
                   {"PATH=" + std::string(std::getenv("PATH"))},
                   "/"})
    {
        name_ = ":" + server_.Read_Line();
    }

    // The variable that sends a program's windows to this display.
    std::string Variable() const { return "DISPLAY=" + name_; }

    // Runs an X client of this machine (xdotool, import) on the display.
    TRun Run_Client(std::vector<std::string> line) const
    {
        return Run({std::move(line), {Variable()}, "/"});
    }

private:
    TChild server_;
    std::string name_;
};

// plotvane.exe MAP converts as the Linux editor does: the same exit codes (9995 to 9999, 0),
// messages and files left, row by row, with no display and beside one (where it shows nothing:
// a box would wait for a person, and the run would not end).
TEST(Windows_Editor, Converts_One_Argument_As_The_Linux_Editor_Does)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(endurance_path, Endurance);
    const TWine wine;
    const TVirtual_Display display;
    const TPrograms programs = {PLOTVANE_LINUX_EDITOR, PLOTVANE_WINDOWS_EDITOR};
    const std::string other_players = "SpeedNotice.Challenge.Gbx";
    const std::string named = "Map.Challenge.Gbx";
    const auto documents = TDocuments::Variable;
    const std::vector<TRow> rows = {
        {{"{map}"}, Endurance, TOutcome::Conversion, "", documents},
        {{"{map}"}, Endurance, TOutcome::Conversion, "Été.Challenge.Gbx", documents},
        // Qt would take it for one of its options: it is the one argument, a map.
        {{"{map}"}, Endurance, TOutcome::Conversion, "-reverse", documents},
        // 9998 while another program's edit holds the map, then converted.
        {{"{map}"}, Endurance, TOutcome::Conversion, "", documents, true},
        // 9997: someone else's map.
        {{"{map}"}, other_players, TOutcome::Refusal, "", documents},
        // 9999: no online profile.
        {{"{map}"}, Endurance, TOutcome::Refusal, "", documents, false, false, {}},
        // 9998: not a GBX file, and no file at all.
        {{"{map}"}, "", TOutcome::Refusal, named, documents, false, false, {"nadeo"},
         TMap_File::Not_Gbx},
        {{"{map}"}, "", TOutcome::Refusal, named, documents, false, false, {"nadeo"},
         TMap_File::Missing},
        // 9995: a folder where the backup goes.
        {{"{map}"}, Endurance, TOutcome::Refusal, "", documents, false, false, {"nadeo"},
         TMap_File::Corpus_Copy, true},
        {{"--help"}, Endurance},
        {{"--version"}, Endurance},
    };
    for (const std::vector<std::string>& variables :
         {std::vector<std::string>{}, {display.Variable()}}) {
        for (const TRow& row : rows) {
            Check_Row(row, wine, programs, variables);
        }
    }
}

// The test's own folder in the build, for what a person may want to look at afterwards.
std::string Output_Folder()
{
    fs::create_directories(PLOTVANE_TEST_OUTPUT);
    return PLOTVANE_TEST_OUTPUT;
}

// How many pixels of a picture have a colour exactly.
int Pixels_Of(const QImage& picture, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            count += (picture.pixel(x, y) & RGB_MASK) == (colour & RGB_MASK) ? 1 : 0;
        }
    }
    return count;
}

// Colours that the window draws itself, whatever the font: where a fault would change them.
struct TLandmark {
    const char* What;
    QRgb Colour;
};
const TLandmark Landmarks[] = {
    {"the selected line (Fusion's highlight)", qRgb(0x30, 0x8C, 0xC6)},
    {"the start's arrow on the map and its key", qRgb(0x2E, 0xCC, 0x40)},
    {"the checkpoints on the map and their key", qRgb(0x00, 0x74, 0xD9)},
    {"the column picked on the map", qRgb(0xFF, 0x40, 0x00)},
    {"the map's empty cells", qRgb(0xF4, 0xF4, 0xF4)},
};

// plotvane-pictures.exe draws the README's pictures under Wine (offscreen): each the size of
// the Linux program's picture, showing the selected line, the map's start, checkpoints, picked
// column and empty cells where the Linux picture shows them. How much of each, and where,
// depends on the text around them, which the offscreen platform under Wine draws as boxes (it
// finds no font there), so only their presence is compared.
TEST(Windows_Editor, Draws_Its_Window_As_The_Linux_Editor_Does)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(endurance_path, Endurance);
    const TWine wine;
    const std::string linux_pictures = Output_Folder() + "/pictures-linux";
    const std::string windows_pictures = Output_Folder() + "/pictures-windows";
    fs::remove_all(linux_pictures);
    fs::remove_all(windows_pictures);
    const TRun linux_run = test::Run({{PLOTVANE_LINUX_PICTURES, linux_pictures},
                                {"PATH=" + std::string(std::getenv("PATH")),
                                 "HOME=" + TWine::Folder + "/home",
                                 std::string("PLOTVANE_CORPUS_DIR=") + PLOTVANE_CORPUS_DIR},
                                "/"});
    ASSERT_EQ(linux_run.Exit_Code, 0) << linux_run.Err;
    const TRun windows_run = test::Run(wine.Command(
        {PLOTVANE_WINDOWS_PICTURES, wine.Windows_Path(windows_pictures)}, "/",
        {"PLOTVANE_CORPUS_DIR=" + wine.Windows_Path(PLOTVANE_CORPUS_DIR)}));
    ASSERT_EQ(windows_run.Exit_Code, 0) << windows_run.Err;

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(linux_pictures)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    // The window as it opens, its profiles, the About box, and five of an open challenge.
    ASSERT_EQ(names.size(), 8u);
    int landmarks_found = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const QImage linux_picture(QString::fromStdString(linux_pictures + "/" + name));
        const QImage windows_picture(QString::fromStdString(windows_pictures + "/" + name));
        ASSERT_FALSE(windows_picture.isNull()) << "not drawn";
        EXPECT_EQ(windows_picture.size(), linux_picture.size());
        for (const TLandmark& landmark : Landmarks) {
            const int expected = Pixels_Of(linux_picture, landmark.Colour);
            if (expected == 0) {
                continue;
            }
            ++landmarks_found;
            EXPECT_GT(Pixels_Of(windows_picture, landmark.Colour), 0) << landmark.What;
        }
    }
    // Every picture of the challenge shows the selection and its map.
    EXPECT_GE(landmarks_found, 5 * 3);
}

// A player's documents folder: TrackMania with the profile of Nadeo, who made E02-Endurance,
// and a copy of it among the challenges under `name`.
struct TPlayer_Documents {
    explicit TPlayer_Documents(const std::string& name) : Map_Name(name)
    {
        Write_Game_Folder(Folder.Path());
        fs::create_directories(Folder.Path() + "/TrackMania/Tracks/Challenges");
        fs::copy_file(Corpus_File(Endurance), Map);
        fs::permissions(Map, fs::perms::owner_write, fs::perm_options::add);
    }

    const std::string Map_Name;
    const TScratch_Folder Folder;
    const std::string Map = Folder.Path() + "/TrackMania/Tracks/Challenges/" + Map_Name;
};

// The editor started under Wine (whose programs show on the test's display) with
// `--open MAP`, the player's documents folder named; it ends (killed if it has to be) when the test is done with it.
class TOpen_Editor {
public:
    TOpen_Editor(const TWine& wine, const TVirtual_Display& display,
                 const TPlayer_Documents& documents)
        : display_(display),
          editor_(wine.Command({PLOTVANE_WINDOWS_EDITOR, "--open", documents.Map_Name},
                               fs::path(documents.Map).parent_path().string(),
                               {"PLOTVANE_DOCUMENTS=" + wine.Windows_Path(documents.Folder.Path())}))
    {
        // Its caption names the open map once the window shows it.
        const TRun search = display.Run_Client({PLOTVANE_XDOTOOL, "search", "--sync",
                                                "--onlyvisible", "--name", "Plotvane.* - "});
        Window = First_Line(search.Out);
    }

    // Keys as a person presses them (xdotool's names: "ctrl+f", "Tab", "Return"), into the
    // window that has the keyboard.
    void Press(const std::vector<std::string>& keys) const
    {
        std::vector<std::string> line = {PLOTVANE_XDOTOOL, "key", "--delay", "150"};
        line.insert(line.end(), keys.begin(), keys.end());
        EXPECT_EQ(display_.Run_Client(line).Exit_Code, 0);
        Settle();
    }

    void Type(const std::string& text) const
    {
        EXPECT_EQ(display_.Run_Client({PLOTVANE_XDOTOOL, "type", "--delay", "150", text}).Exit_Code,
                  0);
        Settle();
    }

    // The caption as the window manager reads it (_NET_WM_NAME, UTF-8).
    std::string Caption() const
    {
        return First_Line(
            display_.Run_Client({PLOTVANE_XDOTOOL, "getwindowname", Window}).Out);
    }

    // The display as the player sees it, into a PNG file.
    void Screenshot(const std::string& path) const
    {
        EXPECT_EQ(display_.Run_Client({PLOTVANE_IMPORT, "-window", "root", path}).Exit_Code, 0);
    }

    TRun Finish() { return editor_.Finish(); }

    std::string Window;

private:
    // Wine and the window take their time with each key.
    static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(500)); }

    const TVirtual_Display& display_;
    TChild editor_;
};

// Waits until `path` exists, at most `longest`.
bool Appears(const std::string& path, std::chrono::seconds longest)
{
    for (const auto end = TClock::now() + longest; TClock::now() < end;) {
        if (fs::exists(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

std::string Block_Listing(const std::string& map)
{
    const TRun run = Run({{PLOTVANE_LINUX_CLI, "blocks", map}, {}, "/"});
    EXPECT_EQ(run.Exit_Code, 0) << run.Err;
    return run.Out;
}

// The window used as a player uses it: the find field (Ctrl+F) narrowed to the checkpoints,
// Enter on the first (block 1, at X 15), Tab on to its X (the list, the name, the rotation, X),
// 16 typed and Enter, then Ctrl+S. The
// Linux plotvane-cli reads that block moved and every other block as it was, and MAP.bak1
// holds the file as it was.
TEST(Windows_Editor, Saves_A_Block_Changed_With_Keys_In_Its_Window)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(endurance_path, Endurance);
    const TVirtual_Display display;
    const TWine wine({display.Variable()});
    const TPlayer_Documents documents(Endurance);
    const TBytes original = Read_Plain_File(documents.Map);
    std::string expected = Block_Listing(documents.Map);
    const std::string changed_line = "StadiumRoadMainCheckpoint  rotation 0  x ";
    const std::size_t at = expected.find("Block 1 (");
    ASSERT_NE(at, std::string::npos);
    const std::size_t x_at = expected.find(changed_line, at) + changed_line.size();
    ASSERT_EQ(expected.substr(x_at, 3), "15 ");
    expected.replace(x_at, 2, "16");

    TOpen_Editor editor(wine, display, documents);
    ASSERT_FALSE(editor.Window.empty()) << "no window";
    editor.Press({"ctrl+f"});
    editor.Type("checkpoint");
    editor.Press({"Return", "Tab", "Tab", "Tab", "Tab", "ctrl+a"});
    editor.Type("16");
    editor.Press({"Return", "ctrl+s"});
    EXPECT_TRUE(Appears(documents.Map + ".bak1", std::chrono::seconds(20)));
    const std::string screenshot = Output_Folder() + "/window-after-save.png";
    editor.Screenshot(screenshot);
    editor.Press({"ctrl+q"});
    const TRun run = editor.Finish();
    EXPECT_EQ(run.Exit_Code, 0) << run.Err << "\nsee " << screenshot;

    EXPECT_EQ(Read_Plain_File(documents.Map + ".bak1"), original);
    Expect_Same_Text("The saved map's blocks", Block_Listing(documents.Map), expected);
}

// A map named outside ASCII: the caption names it as it is, not its UTF-8 bytes read in the
// ANSI code page.
TEST(Windows_Editor, Caption_Names_A_Map_Outside_ASCII_As_It_Is)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(endurance_path, Endurance);
    const TVirtual_Display display;
    const TWine wine({display.Variable()});
    const TPlayer_Documents documents("Été.Challenge.Gbx");
    TOpen_Editor editor(wine, display, documents);
    ASSERT_FALSE(editor.Window.empty()) << "no window";
    const std::string caption = editor.Caption();
    const std::string ending = " - Été.Challenge.Gbx";
    EXPECT_TRUE(caption.size() > ending.size() &&
                caption.compare(caption.size() - ending.size(), ending.size(), ending) == 0)
        << caption;
    editor.Press({"ctrl+q"});
    EXPECT_EQ(editor.Finish().Exit_Code, 0);
}

} // namespace
} // namespace plotvane
