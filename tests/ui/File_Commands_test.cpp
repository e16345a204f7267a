// Open, Reload, Save and Save As, with every message they show, and the decisions that keep
// edits and files safe.
#include "challenge/Gbx_Challenge_Read.h"
#include "ui/Block_List_Model.h"
#include "ui/Main.h"

#include "tests/support/Corpus.h"
#include "tests/ui/Editor_Fixture.h"

#include <QAction>
#include <QComboBox>
#include <QTableView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <new>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using test::In_Place;
using test::TBytes;
using test::TEditor_Fixture;

class File_Commands_Test : public testing::Test {
protected:
    void SetUp() override
    {
        path_ = editor_.Write_Challenge("Fixture.Challenge.Gbx", test::Fixture_Challenge());
        editor_.Open(path_);
        ASSERT_EQ(form_.Current_File_Name, path_);
        editor_.Take_Box_Texts();
    }

    // Changes X of block 1 in memory.
    void Edit_Block(int x)
    {
        editor_.Select(2);
        form_.Block_X_SpinEdit->setValue(x);
        form_.Block_Save_BitBtn->click();
    }

    int X_Of_Block_1() const { return test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X; }

    TEditor_Fixture editor_;
    TMainForm& form_ = editor_.Form();
    std::string path_;
};

TEST_F(File_Commands_Test, Open_Takes_The_Challenge_Folder_Filter_And_Suffix_And_Enables_Commands)
{
    const auto& dialog = editor_.Services().Dialogs.front();
    EXPECT_FALSE(dialog.Save);
    EXPECT_EQ(dialog.Request.Filter, "Challenge files|*.Challenge.Gbx");
    EXPECT_EQ(dialog.Request.Folder.toStdString(), editor_.Game().Game_Folder() + "/Tracks/Challenges/");
    EXPECT_EQ(dialog.Request.Default_Suffix, "Challenge.Gbx");
    EXPECT_EQ(form_.Challenge_Folder, editor_.Game().Game_Folder() + "/Tracks/Challenges/");
    for (QAction* action : {form_.ChallengeReload_Action, form_.ChallengeSave_Action,
                            form_.ChallengeSaveAs_Action}) {
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    }
    // A cancelled dialog changes nothing.
    form_.ChallengeOpen_Action->trigger();
    EXPECT_EQ(form_.Current_File_Name, path_);
    EXPECT_EQ(editor_.Line_Count(), 9);
}

TEST_F(File_Commands_Test, A_Failed_Open_Says_Why_And_Keeps_The_Open_Challenge)
{
    test::TChallenge_Description other = test::Fixture_Challenge();
    other.Author_Login = In_Place("Someone_Else", 0x8000);
    const std::string other_path = editor_.Write_Challenge("Other.Challenge.Gbx", other);
    const TFlexible_Byte_Array image = form_.Expanded_Image();

    editor_.Open(other_path);
    editor_.Open(editor_.Game().Challenge_Path("Missing.Challenge.Gbx"));
    EXPECT_EQ(editor_.Take_Box_Texts(),
              (std::vector<QString>{
                  QString::fromStdString(
                      "Challenge creator (Someone_Else) not corresponding with listed profiles\n"
                      "The profiles searched, in " + editor_.Game().Game_Folder() +
                      "/Profiles: fixture_player.\n"
                      "Only challenges made by one of your own profiles can be edited."),
                  "Error (1001) loading file\nThe file does not exist."}));
    EXPECT_EQ(form_.Current_File_Name, path_);
    EXPECT_EQ(form_.Expanded_Image(), image);
    form_.ChallengeSave_Action->trigger();
    EXPECT_TRUE(editor_.Take_Box_Texts().empty());
}

TEST_F(File_Commands_Test, Ten_Saves_Wrap_The_Numbered_Backups)
{
    const TBytes original = test::Read_Plain_File(path_);
    for (int save = 1; save <= 9; ++save) {
        Edit_Block(60 + save);
        form_.ChallengeSave_Action->trigger();
        // A Save with nothing changed since writes nothing and makes no backup.
        form_.ChallengeSave_Action->trigger();
    }
    for (int number = 1; number <= 9; ++number) {
        EXPECT_TRUE(fs::exists(path_ + ".bak" + std::to_string(number))) << number;
    }
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak1"), original);
    EXPECT_TRUE(form_.Main_StatusBar->currentMessage().startsWith("Nothing to save"));
    const TBytes before_tenth = test::Read_Plain_File(path_);
    Edit_Block(77);
    form_.ChallengeSave_Action->trigger();
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak1"), before_tenth);
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X, 77);
    EXPECT_TRUE(editor_.Services().Boxes.empty());
}

TEST_F(File_Commands_Test, Save_Of_A_Deleted_File_Writes_It_Anew_Without_Backup)
{
    fs::remove(path_);
    form_.ChallengeSave_Action->trigger();
    EXPECT_FALSE(fs::exists(path_ + ".bak1"));
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask).size(), 8u);
}

TEST_F(File_Commands_Test, A_Backup_That_Cannot_Be_Made_Asks_Before_Writing)
{
    // The newest backup is .bak1, so the next one is .bak2: a folder, which no copy replaces.
    fs::create_directory(path_ + ".bak1");
    fs::create_directory(path_ + ".bak2");
    fs::last_write_time(path_ + ".bak1", fs::last_write_time(path_ + ".bak2") + std::chrono::hours(1));
    Edit_Block(50);
    const TBytes on_disk = test::Read_Plain_File(path_);

    form_.ChallengeSave_Action->trigger(); // answered No
    EXPECT_EQ(test::Read_Plain_File(path_), on_disk);
    EXPECT_TRUE(form_.Is_Modified());

    editor_.Services().Answers = {TMessage_Answer::Yes};
    form_.ChallengeSave_Action->trigger();
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X, 50);
    EXPECT_FALSE(form_.Is_Modified());
    ASSERT_EQ(editor_.Services().Boxes.size(), 2u);
    for (const auto& box : editor_.Services().Boxes) {
        EXPECT_EQ(box.Kind, TMessage_Kind::Error);
        EXPECT_EQ(box.Buttons, TMessage_Buttons::Yes_No);
        EXPECT_EQ(box.Text, "Error saving .bak file. Do you want to overwrite original without "
                            "backup?");
    }
}

TEST_F(File_Commands_Test, Each_File_Numbers_Its_Backups_After_Its_Own_Newest)
{
    // A backup of an earlier run, newer than the others: this run goes on after it.
    for (const char* number : {"1", "2", "3", "4"}) {
        test::Write_Plain_File(path_ + ".bak" + number, {1});
    }
    fs::last_write_time(path_ + ".bak3", fs::last_write_time(path_ + ".bak4") + std::chrono::hours(1));
    const TBytes original = test::Read_Plain_File(path_);
    Edit_Block(40);
    form_.ChallengeSave_Action->trigger();
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak4"), original);

    // Another file starts its own sequence.
    const std::string copy = editor_.Lists_Folder() + "Copy.Challenge.Gbx";
    editor_.Services().File_Names = {QString::fromStdString(copy)};
    form_.ChallengeSaveAs_Action->trigger();
    Edit_Block(41);
    form_.ChallengeSave_Action->trigger();
    EXPECT_TRUE(fs::exists(copy + ".bak1"));
    EXPECT_FALSE(fs::exists(copy + ".bak5"));
    EXPECT_TRUE(editor_.Services().Boxes.empty());
}

TEST_F(File_Commands_Test, Save_Asks_Before_Overwriting_A_File_Changed_On_Disk)
{
    Edit_Block(33);
    // Another program's change, of another size and time.
    const TBytes changed = {'c', 'h', 'a', 'n', 'g', 'e', 'd'};
    test::Write_Plain_File(path_, changed);
    fs::last_write_time(path_, fs::last_write_time(path_) + std::chrono::seconds(5));

    form_.ChallengeSave_Action->trigger(); // answered No
    ASSERT_EQ(editor_.Services().Boxes.size(), 1u);
    const auto& box = editor_.Services().Boxes[0];
    EXPECT_EQ(box.Kind, TMessage_Kind::Confirmation);
    EXPECT_EQ(box.Title, "Confirm");
    EXPECT_EQ(box.Buttons, TMessage_Buttons::Yes_No);
    EXPECT_EQ(box.Text.toStdString(), path_ + " was changed on disk since it was opened. Do "
                                              "you want to overwrite it?");
    EXPECT_EQ(test::Read_Plain_File(path_), changed);
    EXPECT_FALSE(fs::exists(path_ + ".bak1"));
    EXPECT_TRUE(form_.Is_Modified());

    editor_.Services().Answers = {TMessage_Answer::Yes};
    form_.ChallengeSave_Action->trigger();
    EXPECT_EQ(test::Read_Plain_File(path_ + ".bak1"), changed);
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X, 33);
    // Its own save is no change on disk: the next Save asks nothing.
    editor_.Services().Boxes.clear();
    form_.ChallengeSave_Action->trigger();
    EXPECT_TRUE(editor_.Services().Boxes.empty());
}

TEST_F(File_Commands_Test, Save_As_Asks_Only_Over_An_Existing_File_And_Switches_To_The_New_Name)
{
    Edit_Block(60);
    // Over the open file: asked, answered No, nothing written.
    const TBytes on_disk = test::Read_Plain_File(path_);
    editor_.Services().File_Names = {QString::fromStdString(path_)};
    form_.ChallengeSaveAs_Action->trigger();
    EXPECT_EQ(test::Read_Plain_File(path_), on_disk);
    ASSERT_EQ(editor_.Services().Boxes.size(), 1u);
    EXPECT_EQ(editor_.Services().Boxes[0].Kind, TMessage_Kind::Confirmation);
    EXPECT_EQ(editor_.Services().Boxes[0].Title, "Confirm");
    EXPECT_EQ(editor_.Services().Boxes[0].Text.toStdString(), "OK to overwrite " + path_);
    const auto& dialog = editor_.Services().Dialogs.back();
    EXPECT_TRUE(dialog.Save);
    EXPECT_EQ(dialog.Request.File_Name.toStdString(), path_);
    EXPECT_EQ(dialog.Request.Default_Suffix, "Challenge.Gbx");

    // Answered Yes: written without a backup.
    editor_.Services().File_Names = {QString::fromStdString(path_)};
    editor_.Services().Answers = {TMessage_Answer::Yes};
    form_.ChallengeSaveAs_Action->trigger();
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X, 60);
    EXPECT_FALSE(fs::exists(path_ + ".bak1"));

    // A new name in another folder: written without a question, and it becomes the open one.
    const std::string new_path = editor_.Lists_Folder() + "Copy.Challenge.Gbx";
    editor_.Services().Boxes.clear();
    editor_.Services().File_Names = {QString::fromStdString(new_path)};
    form_.ChallengeSaveAs_Action->trigger();
    EXPECT_TRUE(editor_.Services().Boxes.empty());
    EXPECT_EQ(form_.Current_File_Name, new_path);
    EXPECT_EQ(form_.Challenge_Folder, editor_.Lists_Folder());
    EXPECT_EQ(test::Saved_Blocks(new_path, form_.Expanded_Image(), form_.Memory_Mask).size(), 8u);
}

// Off at first and remembered; on, Save and Save As write a packed body that liblzo2 expands
// to the image, and Save packs an unchanged file that is one literal run, once.
TEST_F(File_Commands_Test, Pack_When_Saving_Packs_Save_And_Save_As_And_Is_Remembered)
{
    EXPECT_FALSE(form_.ChallengePackWhenSaving_Item->isChecked());
    const std::uintmax_t literal_run_size = fs::file_size(path_);
    form_.ChallengePackWhenSaving_Item->setChecked(true);
    EXPECT_TRUE(TEditor_Fixture().Form().ChallengePackWhenSaving_Item->isChecked());
    form_.ChallengeSave_Action->trigger();
    form_.ChallengeSave_Action->trigger();
    EXPECT_TRUE(form_.Main_StatusBar->currentMessage().startsWith("Nothing to save"));
    EXPECT_TRUE(fs::exists(path_ + ".bak1"));
    EXPECT_FALSE(fs::exists(path_ + ".bak2"));
    EXPECT_LT(fs::file_size(path_), literal_run_size);
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask).size(), 8u);

    Edit_Block(70);
    const std::string new_path = editor_.Lists_Folder() + "Packed.Challenge.Gbx";
    editor_.Services().File_Names = {QString::fromStdString(new_path)};
    form_.ChallengeSaveAs_Action->trigger();
    EXPECT_LT(fs::file_size(new_path), literal_run_size);
    EXPECT_EQ(test::Saved_Blocks(new_path, form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X,
              70);
    form_.ChallengePackWhenSaving_Item->setChecked(false);
}

TEST_F(File_Commands_Test, A_System_Error_Shows_The_Application_Error_Box_And_Changes_No_Name)
{
    const std::string unreachable = editor_.Lists_Folder() + "no such folder/Map.Challenge.Gbx";
    editor_.Services().File_Names = {QString::fromStdString(unreachable)};
    form_.ChallengeSaveAs_Action->trigger();
    ASSERT_EQ(editor_.Services().Boxes.size(), 1u);
    const auto& box = editor_.Services().Boxes[0];
    EXPECT_EQ(box.Kind, TMessage_Kind::Error);
    EXPECT_EQ(box.Title, "Plotvane");
    EXPECT_EQ(box.Buttons, TMessage_Buttons::Ok);
    EXPECT_TRUE(box.Text.endsWith('.')) << box.Text.toStdString();
    EXPECT_EQ(form_.Current_File_Name, path_);
    EXPECT_FALSE(fs::exists(unreachable));
}

TEST_F(File_Commands_Test, Unsaved_Block_Edits_Are_Saved_Discarded_Or_Kept_As_Asked)
{
    Edit_Block(42);
    EXPECT_TRUE(form_.isWindowModified());

    form_.ChallengeReload_Action->trigger(); // answered Cancel
    EXPECT_EQ(X_Of_Block_1(), 42);
    EXPECT_FALSE(form_.close());
    editor_.Services().File_Names = {QString::fromStdString(path_)};
    form_.ChallengeOpen_Action->trigger(); // answered Cancel before the dialog
    EXPECT_EQ(editor_.Services().File_Names.size(), 1u);
    ASSERT_EQ(editor_.Services().Boxes.size(), 3u);
    for (const auto& box : editor_.Services().Boxes) {
        EXPECT_EQ(box.Kind, TMessage_Kind::Confirmation);
        EXPECT_EQ(box.Buttons, TMessage_Buttons::Save_Discard_Cancel);
        EXPECT_EQ(box.Text, "The block changes made to \"Fixture.Challenge.Gbx\" are not saved. "
                            "Do you want to save them? If you discard them, they are lost.");
    }

    // Save as the Save command: the file changed on disk, overwriting it answered No, then Yes.
    fs::last_write_time(path_, fs::last_write_time(path_) + std::chrono::seconds(5));
    editor_.Services().Answers = {TMessage_Answer::Save, TMessage_Answer::No};
    form_.ChallengeReload_Action->trigger();
    EXPECT_TRUE(form_.Is_Modified());
    editor_.Services().Answers = {TMessage_Answer::Save, TMessage_Answer::Yes};
    form_.ChallengeReload_Action->trigger();
    EXPECT_FALSE(form_.Is_Modified());
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X, 42);
    Edit_Block(43);
    editor_.Services().Answers = {TMessage_Answer::Discard};
    form_.ChallengeReload_Action->trigger();
    EXPECT_FALSE(form_.isWindowModified());
    // The block the player was at shows again, as the file holds it.
    EXPECT_FALSE(form_.Block_Panel->isHidden());
    EXPECT_EQ(form_.Block_X_SpinEdit->value(), 42);
}

TEST_F(File_Commands_Test, Reading_Unchecked_Forgets_The_Old_List)
{
    editor_.Select(2);
    form_.ChallengeRead_Item->trigger();
    editor_.Open(path_);
    EXPECT_EQ(editor_.Line_Count(), 0);
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    EXPECT_FALSE(form_.EditMove_Action->isEnabled());
    form_.Block_Save_BitBtn->click(); // nothing can reach the image
    EXPECT_FALSE(form_.Is_Modified());
}

TEST_F(File_Commands_Test, A_Missing_Block_Name_List_Hides_The_Panel)
{
    editor_.Select(2);
    ASSERT_FALSE(form_.Block_Panel->isHidden());
    fs::remove(editor_.Lists_Folder() + "Blocks-Stadium.Lst");
    editor_.Select(3); // in place: needs the list
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    ASSERT_EQ(editor_.Services().Boxes.size(), 1u);
    EXPECT_TRUE(editor_.Services().Boxes[0].Text.startsWith(
        QString::fromStdString("Cannot open file \"" + editor_.Lists_Folder() + "Blocks-Stadium.Lst\".")));
    EXPECT_EQ(editor_.Services().Boxes[0].Title, "Plotvane");
}

TEST_F(File_Commands_Test, A_Referenced_Name_The_File_Does_Not_Define_Is_Refused)
{
    const TFlexible_Byte_Array image = form_.Expanded_Image();
    editor_.Select(2);
    form_.Block_Name_ComboBox->setEditText("NoSuchBlock");
    form_.Block_Save_BitBtn->click();
    EXPECT_EQ(form_.Expanded_Image(), image);
    EXPECT_FALSE(form_.Is_Modified());
    ASSERT_EQ(editor_.Services().Boxes.size(), 1u);
    EXPECT_EQ(editor_.Services().Boxes[0].Kind, TMessage_Kind::Error);
    EXPECT_TRUE(editor_.Services().Boxes[0].Text.contains("\"NoSuchBlock\""));
}

TEST_F(File_Commands_Test, Variations_That_Change_How_The_Game_Reads_Ask_First)
{
    editor_.Select(2); // variation 2 is 5: bit 15 off
    form_.Block_V2_SpinEdit->setValue(0x85);
    const TFlexible_Byte_Array image = form_.Expanded_Image();
    form_.Block_Save_BitBtn->click(); // answered No
    EXPECT_EQ(form_.Expanded_Image(), image);
    editor_.Services().Answers = {TMessage_Answer::Yes};
    // Written as asked; the list of the image then no longer reads past block 1.
    const TTMF_Challenge_Block_Address_List list = form_.Block_Address_List();
    form_.Block_Save_BitBtn->click();
    const auto written = Challenge_Read_Block(form_.Expanded_Image(), list, 1, form_.Memory_Mask);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->Variations[1], 0x85);
    ASSERT_EQ(editor_.Services().Boxes.size(), 2u);
    EXPECT_EQ(editor_.Services().Boxes[0].Kind, TMessage_Kind::Confirmation);
}

TEST_F(File_Commands_Test, A_Rotation_Above_3_Shows_As_Stored_And_Is_Kept_Unless_Changed)
{
    test::TChallenge_Description description = test::Fixture_Challenge();
    description.Blocks[1].Bytes[0] = 7;
    const std::string path = editor_.Write_Challenge("Rotated.Challenge.Gbx", description);
    editor_.Open(path);
    editor_.Select(2);
    EXPECT_EQ(form_.Block_Rotation_SpinEdit->value(), 7);
    // Stepping down from it goes into the game's range.
    form_.Block_Rotation_SpinEdit->stepDown();
    EXPECT_EQ(form_.Block_Rotation_SpinEdit->value(), 3);
    form_.Block_Rotation_SpinEdit->setValue(7);
    form_.Block_X_SpinEdit->setValue(30);
    form_.Block_Save_BitBtn->click();
    const TChallenge_Block saved = test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask)[1].Block;
    EXPECT_EQ(saved.X, 30);
    EXPECT_EQ(saved.Rotation, 7);
    editor_.Select(3); // another block: the game's range again
    EXPECT_EQ(form_.Block_Rotation_SpinEdit->maximum(), 3);
}

TEST_F(File_Commands_Test, The_Caption_Names_The_Open_File_And_The_Status_Bar_Its_Path)
{
    // Qt shows the mark of unsaved changes in place of [*].
    const QString title = "TMNF/TMUF Plotvane v0.4d Alpha - Fixture.Challenge.Gbx[*]";
    EXPECT_EQ(form_.windowTitle(), title);
    EXPECT_EQ(form_.File_Status_Label->text(), QString::fromStdString(path_) + " - 8 blocks");
    Edit_Block(42);
    EXPECT_TRUE(form_.isWindowModified());
    const std::string new_path = editor_.Lists_Folder() + "Copy.Challenge.Gbx";
    editor_.Services().File_Names = {QString::fromStdString(new_path)};
    form_.ChallengeSaveAs_Action->trigger();
    EXPECT_EQ(form_.windowTitle(), "TMNF/TMUF Plotvane v0.4d Alpha - Copy.Challenge.Gbx[*]");
    EXPECT_FALSE(form_.isWindowModified());
    EXPECT_EQ(form_.File_Status_Label->text(), QString::fromStdString(new_path) + " - 8 blocks");
}

TEST_F(File_Commands_Test, Reload_Keeps_The_Selected_Block_And_The_Scroll_Position)
{
    test::TChallenge_Description description = test::Fixture_Challenge();
    for (int i = 0; i < 100; ++i) {
        description.Blocks.push_back({test::Reference(6), {0, static_cast<std::uint8_t>(i)}, {}});
    }
    editor_.Open(editor_.Write_Challenge("Many.Challenge.Gbx", description));
    form_.resize(form_.minimumSize());
    form_.show();
    editor_.Select(60);
    const int scrolled = form_.List_Block_ListBox->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    form_.ChallengeReload_Action->trigger();
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 60);
    EXPECT_EQ(form_.Selected_Block_Index, 59);
    EXPECT_FALSE(form_.Block_Panel->isHidden());
    EXPECT_EQ(form_.List_Block_ListBox->verticalScrollBar()->value(), scrolled);
}

// A command that runs out of memory says so and leaves the window running.
class TMemory_Starved_Services : public TScripted_Gui_Services {
public:
    std::optional<QString> Open_File_Name(QWidget*, const TFile_Dialog_Request&) override
    {
        throw std::bad_alloc();
    }
};

TEST(File_Commands_Memory, Running_Out_Of_Memory_Shows_An_Error_Box)
{
    const test::TTest_Game_Folder game({"player"});
    TMemory_Starved_Services services;
    TMainForm form({}, services);
    form.ChallengeOpen_Action->trigger();
    ASSERT_EQ(services.Boxes.size(), 1u);
    EXPECT_EQ(services.Boxes[0].Kind, TMessage_Kind::Error);
    EXPECT_TRUE(services.Boxes[0].Text.contains("not enough memory"));
}

TEST(File_Commands_Corpus, A_Replay_Is_Refused_As_Not_A_Challenge)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(source, "Turbo001.Replay.Gbx");
    TEditor_Fixture editor;
    editor.Open(source);
    EXPECT_EQ(editor.Take_Box_Texts(),
              (std::vector<QString>{"\"Turbo001.Replay.Gbx\" is a replay, not a challenge.\n"
                                    "Open a challenge file (*.Challenge.Gbx) instead."}));
    EXPECT_TRUE(editor.Form().Current_File_Name.empty());
}

TEST(File_Commands_Incomplete, An_Incomplete_List_Says_So_In_Its_Last_Line_And_The_Status_Bar)
{
    TEditor_Fixture editor;
    test::TChallenge_Description description = test::Fixture_Challenge();
    description.Block_Count = 9; // one more than the image holds
    description.Tail.clear();
    const std::string path = editor.Write_Challenge("Cut.Challenge.Gbx", description);
    editor.Open(path);
    TMainForm& form = editor.Form();
    ASSERT_FALSE(form.Block_Address_List().Complete);
    const int lines = editor.Line_Count();
    EXPECT_EQ(editor.Line(lines - 1),
              Incomplete_Block_List_Text(form.Block_Address_List().Block_Offsets.size()));
    EXPECT_EQ(form.Main_StatusBar->currentMessage(), editor.Line(lines - 1));
    editor.Select(lines - 1); // the note is no block
    EXPECT_TRUE(form.Block_Panel->isHidden());
}

TEST(File_Commands_Corpus, Offsets_Shown_Are_Those_Of_The_Saved_File)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(source, "E02-Endurance.Challenge.Gbx");
    TEditor_Fixture editor({"nadeo"});
    const std::string path = editor.Game().Challenge_Path("E02-Endurance.Challenge.Gbx");
    fs::copy_file(source, path);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    editor.Open(path);
    TMainForm& form = editor.Form();
    ASSERT_EQ(editor.Line_Count(), 908);
    EXPECT_EQ(editor.Line(0), "Block Number : 907");
    // Save writes nothing without a change: Save As writes the same image.
    const std::string saved_path = editor.Game().Challenge_Path("E02-Saved.Challenge.Gbx");
    editor.Services().File_Names = {QString::fromStdString(saved_path)};
    form.ChallengeSaveAs_Action->trigger();
    const TBytes saved = test::Read_Plain_File(saved_path);
    const TBytes image = test::Unmasked(form.Expanded_Image(), form.Memory_Mask);
    for (int row = 1; row < 908; ++row) {
        const QString line = editor.Line(row);
        bool ok = false;
        const std::size_t offset = line.section('(', 1).left(8).toUInt(&ok, 16);
        ASSERT_TRUE(ok) << line.toStdString();
        const std::size_t image_offset = form.Block_Address_List().Block_Offsets[static_cast<std::size_t>(row - 1)];
        ASSERT_LE(offset + 12, saved.size());
        EXPECT_TRUE(std::equal(saved.begin() + static_cast<long>(offset),
                               saved.begin() + static_cast<long>(offset + 12),
                               image.begin() + static_cast<long>(image_offset)))
            << line.toStdString();
    }
    // Saved without a change: the file holds the same blocks as the original.
    EXPECT_EQ(test::Saved_Blocks(saved_path, form.Expanded_Image(), form.Memory_Mask).size(),
              907u);
}

} // namespace
} // namespace plotvane
