// Many blocks at once in the window: the selection, the Edit menu's batch commands through
// their menu items and shortcuts, their refusals, and undo and redo with the caption's mark.
#include "ui/Main.h"

#include "tests/ui/Editor_Fixture.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace plotvane {
namespace {

using test::TEditor_Fixture;

std::vector<int> Selected_Lines(const TMainForm& form)
{
    std::vector<int> rows;
    for (const QModelIndex& index : form.List_Block_ListBox->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// A player types into the form's first field at once: it is the first widget Tab reaches,
// which takes the focus when the form opens.
void Expect_Focus_On_First_Field(QDialog& dialog)
{
    const std::map<QString, QString> first_fields = {
        {"Move_Dialog", "Move_DX_SpinEdit"},
        {"Duplicate_Dialog", "Move_DX_SpinEdit"},
        {"Paste_Dialog", "Move_DX_SpinEdit"},
        {"Set_Dialog", "Set_Rotation_CheckBox"},
        {"Replace_Dialog", "Replace_From_ComboBox"}};
    QWidget* widget = dialog.nextInFocusChain();
    while (widget != &dialog && !(widget->focusPolicy() & Qt::TabFocus)) {
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(widget->objectName().toStdString(), first_fields.at(dialog.objectName()).toStdString());
}

// A form answer that fills the named spin edits (checking the check box of each, if any) and
// accepts.
std::function<bool(QDialog&)> Fill(std::vector<std::pair<const char*, int>> values)
{
    return [values](QDialog& dialog) {
        Expect_Focus_On_First_Field(dialog);
        for (const auto& [name, value] : values) {
            QString spin_name = QLatin1String(name);
            if (auto* check_box = dialog.findChild<QCheckBox*>(QString(spin_name).replace("_SpinEdit", "_CheckBox"))) {
                check_box->setChecked(true);
            }
            auto* spin_edit = dialog.findChild<QSpinBox*>(spin_name);
            EXPECT_NE(spin_edit, nullptr) << name;
            if (spin_edit != nullptr) {
                spin_edit->setValue(value);
            }
        }
        return true;
    };
}

std::function<bool(QDialog&)> Names(const QString& from, const QString& to)
{
    return [from, to](QDialog& dialog) {
        Expect_Focus_On_First_Field(dialog);
        dialog.findChild<QComboBox*>("Replace_From_ComboBox")->setEditText(from);
        dialog.findChild<QComboBox*>("Replace_To_ComboBox")->setEditText(to);
        return true;
    };
}

class Batch_Edit_Test : public testing::Test {
protected:
    void SetUp() override
    {
        path_ = editor_.Write_Challenge("Fixture.Challenge.Gbx", test::Fixture_Challenge());
        editor_.Open(path_);
        form_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
        loaded_ = form_.Expanded_Image();
    }

    void Click_Row(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTableView& list = *form_.List_Block_ListBox;
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                          list.visualRect(list.model()->index(row, 0)).center());
    }

    std::vector<test::TFile_Block> Blocks() const
    {
        return test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask);
    }

    TEditor_Fixture editor_;
    TMainForm& form_ = editor_.Form();
    std::string path_;
    TFlexible_Byte_Array loaded_;
};

TEST_F(Batch_Edit_Test, Many_Selected_Lines_Hide_The_Panel_And_Reach_The_Batch_Commands)
{
    const std::vector<QAction*> batch = {form_.EditMove_Action, form_.EditSet_Action,
                                         form_.EditRotateClockwise_Action,
                                         form_.EditRotateCounterClockwise_Action,
                                         form_.EditReplaceName_Action};
    const auto batch_enabled = [&] {
        return std::all_of(batch.begin(), batch.end(), [](QAction* a) { return a->isEnabled(); });
    };
    EXPECT_FALSE(std::any_of(batch.begin(), batch.end(), [](QAction* a) { return a->isEnabled(); }));

    Click_Row(2);
    EXPECT_FALSE(form_.Block_Panel->isHidden());
    EXPECT_TRUE(batch_enabled());
    QTest::keyClick(form_.List_Block_ListBox, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{2, 3}));
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    EXPECT_TRUE(batch_enabled());
    Click_Row(4, Qt::ShiftModifier);
    Click_Row(7, Qt::ControlModifier);
    Click_Row(8, Qt::ControlModifier);
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{2, 3, 4, 7, 8}));
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    QTest::keyClick(form_.List_Block_ListBox, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected_Lines(form_).size(), 9u);
    EXPECT_TRUE(form_.Block_Panel->isHidden());

    // Back to one line: the panel as ever, with its question about values not yet written.
    Click_Row(3);
    EXPECT_FALSE(form_.Block_Panel->isHidden());
    EXPECT_EQ(form_.Selected_Block_Index, 2);
    form_.Block_X_SpinEdit->setValue(99);
    Click_Row(5, Qt::ShiftModifier); // answered Cancel
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{3}));
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 3);
    EXPECT_EQ(form_.Block_X_SpinEdit->value(), 99);
    editor_.Services().Answers = {TMessage_Answer::Apply};
    Click_Row(5, Qt::ShiftModifier);
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{3, 4, 5}));
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    EXPECT_EQ(Blocks()[2].Block.X, 99);
    EXPECT_EQ(editor_.Take_Box_Texts().size(), 2u);
}

TEST_F(Batch_Edit_Test, Each_Batch_Command_Through_Its_Menu_And_Shortcut_Is_One_Undoable_Step)
{
    struct TCase {
        const char* Action;
        QKeySequence Shortcut;
        std::function<bool(QDialog&)> Answer;
        std::function<void(const test::TFile_Block& before, const test::TFile_Block& after)> Check;
        const char* Undo_Text;
    };
    const auto same_name = [](const test::TFile_Block& before, const test::TFile_Block& after) {
        EXPECT_EQ(after.Block.Name, before.Block.Name);
    };
    const TCase cases[] = {
        {"EditMove_Action", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M),
         Fill({{"Move_DX_SpinEdit", 3}, {"Move_DZ_SpinEdit", 1}, {"Move_DY_SpinEdit", -2}}),
         [&](const auto& before, const auto& after) {
             EXPECT_EQ(after.Block.X, before.Block.X + 3);
             EXPECT_EQ(after.Block.Z, before.Block.Z + 1);
             EXPECT_EQ(after.Block.Y, before.Block.Y - 2);
             same_name(before, after);
         },
         "&Undo move 8 blocks"},
        {"EditSet_Action", QKeySequence(Qt::CTRL | Qt::Key_E),
         Fill({{"Set_Rotation_SpinEdit", 3}, {"Set_V4_SpinEdit", 9}}),
         [&](const auto& before, const auto& after) {
             EXPECT_EQ(after.Block.Rotation, 3);
             EXPECT_EQ(after.Block.Variations[3], 9);
             EXPECT_EQ(after.Block.Variations[0], before.Block.Variations[0]);
             EXPECT_EQ(after.Block.X, before.Block.X);
         },
         "&Undo set 8 blocks"},
        {"EditRotateClockwise_Action", QKeySequence(Qt::CTRL | Qt::Key_BracketRight), nullptr,
         [&](const auto&, const auto& after) { EXPECT_EQ(after.Block.Rotation, 2); },
         "&Undo rotate 8 blocks"},
        {"EditRotateCounterClockwise_Action", QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
         nullptr, [&](const auto&, const auto& after) { EXPECT_EQ(after.Block.Rotation, 0); },
         "&Undo rotate 8 blocks"},
        // Every block that refers to a renamed in-place name is selected too.
        {"EditReplaceName_Action", QKeySequence(Qt::CTRL | Qt::Key_H),
         Names("StadiumRoadMain", "StadiumPillar"),
         [&](const auto& before, const auto& after) {
             EXPECT_EQ(after.Block.Name,
                       before.Block.Name == "StadiumRoadMain" ? "StadiumPillar" : before.Block.Name);
             EXPECT_EQ(after.Block.Name_In_Place, before.Block.Name_In_Place);
         },
         "&Undo replace StadiumRoadMain by StadiumPillar"},
    };
    const std::vector<test::TFile_Block> before = Blocks();
    for (const TCase& command : cases) {
        for (const bool by_shortcut : {true, false}) {
            SCOPED_TRACE(std::string(command.Action) + (by_shortcut ? " by shortcut" : " by menu"));
            QAction* action = form_.findChild<QAction*>(command.Action);
            ASSERT_NE(action, nullptr);
            ASSERT_TRUE(form_.Edit_Menu->actions().contains(action));
            EXPECT_TRUE(action->shortcuts().contains(command.Shortcut));
            QTest::keyClick(form_.List_Block_ListBox, Qt::Key_A, Qt::ControlModifier);
            if (command.Answer) {
                editor_.Services().Dialog_Answers.push_back(command.Answer);
            }
            if (by_shortcut) {
                QTest::keySequence(&form_, command.Shortcut);
            } else {
                action->trigger();
            }
            const std::vector<test::TFile_Block> after = Blocks();
            ASSERT_EQ(after.size(), before.size());
            for (std::size_t i = 0; i < after.size(); ++i) {
                command.Check(before[i], after[i]);
            }
            // The list again, each block selected, the panel hidden.
            EXPECT_EQ(editor_.Line_Count(), 9);
            EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
            EXPECT_TRUE(form_.Block_Panel->isHidden());
            EXPECT_TRUE(form_.Is_Modified());
            EXPECT_EQ(form_.EditUndo_Action->text(), command.Undo_Text);

            QTest::keyClick(&form_, Qt::Key_Z, Qt::ControlModifier);
            EXPECT_EQ(form_.Expanded_Image(), loaded_);
            EXPECT_FALSE(form_.Is_Modified());
            EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
            EXPECT_EQ(form_.EditRedo_Action->text(),
                      QString(command.Undo_Text).replace("&Undo", "&Redo"));
            QTest::keyClick(&form_, Qt::Key_Y, Qt::ControlModifier);
            EXPECT_EQ(Blocks()[7].Block.Name, after[7].Block.Name);
            EXPECT_EQ(Blocks()[7].Block.X, after[7].Block.X);
            EXPECT_TRUE(form_.Is_Modified());
            QTest::keyClick(&form_, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            EXPECT_FALSE(form_.EditRedo_Action->isEnabled());
            form_.EditUndo_Action->trigger();
            EXPECT_EQ(form_.Expanded_Image(), loaded_);
        }
    }
    EXPECT_TRUE(editor_.Take_Box_Texts().empty());
    EXPECT_EQ(editor_.Services().Forms,
              (QStringList{"Move_Dialog", "Move_Dialog", "Set_Dialog", "Set_Dialog",
                           "Replace_Dialog", "Replace_Dialog"}));
}

TEST_F(Batch_Edit_Test, Refusals_Say_What_To_Do_And_Write_Nothing)
{
    auto& services = editor_.Services();
    const auto expect_box = [&](TMessage_Kind kind, const QString& text) {
        ASSERT_EQ(services.Boxes.size(), 1u);
        EXPECT_EQ(services.Boxes[0].Kind, kind);
        EXPECT_EQ(services.Boxes[0].Text, text);
        services.Boxes.clear();
        EXPECT_EQ(form_.Expanded_Image(), loaded_);
        EXPECT_FALSE(form_.EditUndo_Action->isEnabled());
    };
    QTest::keyClick(form_.List_Block_ListBox, Qt::Key_A, Qt::ControlModifier);

    services.Dialog_Answers = {Fill({{"Move_DZ_SpinEdit", -3}})};
    form_.EditMove_Action->trigger();
    expect_box(TMessage_Kind::Error,
               "Block 0 would leave the grid, whose positions run from 0 to 255, so nothing was "
               "moved. Move by less, or leave that block out of the selection.");

    // Past the challenge's size (32 cells a side) only when the player says so.
    services.Dialog_Answers = {Fill({{"Move_DX_SpinEdit", 20}, {"Move_DZ_SpinEdit", 0}})};
    form_.EditMove_Action->trigger(); // answered No
    expect_box(TMessage_Kind::Confirmation,
               "Block 2 would stand outside the challenge, whose size is 32 x 32 x 32 (X, Z, "
               "Y): the game may not show it there. Move the blocks anyway?");
    // The form opens at the offsets last given: OK alone moves by them again.
    services.Dialog_Answers = {[](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QSpinBox*>("Move_DX_SpinEdit")->value(), 20);
        return true;
    }};
    services.Answers = {TMessage_Answer::Yes};
    form_.EditMove_Action->trigger();
    EXPECT_EQ(Blocks()[7].Block.X, 37);
    form_.EditUndo_Action->trigger();
    services.Boxes.clear();

    // Variation 2 of block 2 says an author record follows it.
    services.Dialog_Answers = {Fill({{"Set_V2_SpinEdit", 0}})};
    form_.EditSet_Action->trigger(); // answered No
    expect_box(TMessage_Kind::Confirmation,
               "These variation values change how the game reads the block list (whether an "
               "author record follows block 2, or whether it counts as a block): the game may "
               "no longer load the challenge. Write them anyway?");

    // Block 1 refers to the name that block 0 writes in place.
    Click_Row(1);
    Click_Row(3, Qt::ControlModifier);
    services.Dialog_Answers = {Names("StadiumRoadMain", "StadiumPillar")};
    form_.EditReplaceName_Action->trigger();
    expect_box(TMessage_Kind::Error,
               "Block 0 writes the name \"StadiumRoadMain\" in place, and blocks outside the "
               "selection refer to it (1 of them): renaming it there would rename them too, so "
               "nothing was changed. Select them as well, or leave block 0 out of the "
               "selection.");

    // A reference takes only a name defined before its block.
    Click_Row(2);
    Click_Row(4, Qt::ControlModifier);
    services.Dialog_Answers = {Names("StadiumRoadMain", "StadiumPillar")};
    form_.EditReplaceName_Action->trigger();
    expect_box(TMessage_Kind::Error,
               "Block 1 refers to its name, and the challenge does not define \"StadiumPillar\" "
               "before it, so nothing was changed. Choose a name that the challenge defines "
               "before block 1, or leave that block out of the selection.");

    // A cancelled form changes nothing and asks nothing.
    form_.EditMove_Action->trigger();
    EXPECT_TRUE(services.Boxes.empty());
    EXPECT_FALSE(form_.Is_Modified());
}

TEST_F(Batch_Edit_Test, A_Name_The_Collection_List_Lacks_Is_Written_Only_When_Asked_For)
{
    auto& services = editor_.Services();
    const auto replace = [&](const QString& to) {
        QTest::keyClick(form_.List_Block_ListBox, Qt::Key_A, Qt::ControlModifier);
        services.Dialog_Answers.push_front(Names(Blocks()[0].Block.Name.c_str(), to));
        form_.EditReplaceName_Action->trigger();
    };
    // No: nothing written, and the form comes back as the player left it.
    QString to_again;
    services.Dialog_Answers = {[&to_again](QDialog& dialog) {
        to_again = dialog.findChild<QComboBox*>("Replace_To_ComboBox")->currentText();
        return false;
    }};
    replace("StadiumRoadMainFoo");
    EXPECT_EQ(to_again, "StadiumRoadMainFoo");
    EXPECT_EQ(form_.Expanded_Image(), loaded_);
    EXPECT_EQ(services.Boxes.back().Buttons, TMessage_Buttons::Yes_No_Default_No);
    EXPECT_TRUE(editor_.Take_Box_Texts().at(0).startsWith(
        "\"StadiumRoadMainFoo\" is not in Blocks-Stadium.Lst, the list of the block names"));
    services.Answers = {TMessage_Answer::Yes};
    replace("StadiumRoadMainFoo");
    EXPECT_EQ(Blocks()[1].Block.Name, "StadiumRoadMainFoo");

    // Without the list, names go unchecked, which is said once for the open challenge.
    std::filesystem::remove(editor_.Lists_Folder() + "Blocks-Stadium.Lst");
    services.Answers = {TMessage_Answer::Discard};
    form_.ChallengeReload_Action->trigger();
    services.Boxes.clear();
    replace("StadiumRoadMainBar");
    replace("StadiumRoadMainBaz");
    EXPECT_EQ(Blocks()[1].Block.Name, "StadiumRoadMainBaz");
    const std::vector<QString> told = editor_.Take_Box_Texts();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains("Blocks-Stadium.Lst")) << told[0].toStdString();
}

TEST_F(Batch_Edit_Test, Duplicate_And_Delete_Add_And_Remove_Blocks_In_One_Step_After_Asking)
{
    auto& services = editor_.Services();
    QTableView* list = form_.List_Block_ListBox;
    list->setFocus();
    const std::vector<test::TFile_Block> before = Blocks();
    // Block 2 carries a skin: a copy goes without it only when the form says so.
    Click_Row(2);
    Click_Row(3, Qt::ShiftModifier);
    services.Dialog_Answers = {Fill({{"Move_DX_SpinEdit", 2}, {"Move_DY_SpinEdit", -1}})};
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(editor_.Take_Box_Texts().at(0).startsWith("Block 2 carries a skin"));
    EXPECT_EQ(form_.Expanded_Image(), loaded_);
    services.Dialog_Answers = {[](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QSpinBox*>("Move_DX_SpinEdit")->value(), 2);
        dialog.findChild<QCheckBox*>("Copy_Without_Skin_CheckBox")->setChecked(true);
        return true;
    }};
    form_.EditDuplicate_Action->trigger();
    const std::vector<test::TFile_Block> after = Blocks();
    ASSERT_EQ(after.size(), 10u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(after[8 + i].Block.Name, before[1 + i].Block.Name);
        EXPECT_EQ(after[8 + i].Block.X, before[1 + i].Block.X + 2);
        EXPECT_EQ(after[8 + i].Block.Y, before[1 + i].Block.Y - 1);
    }
    EXPECT_EQ(after[9].Block.Variations[1], 0x05); // the author record's flag cleared
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{9, 10}));
    EXPECT_EQ(form_.EditUndo_Action->text(), "&Undo duplicate 2 blocks");
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form_.Expanded_Image(), loaded_);
    EXPECT_EQ(editor_.Line_Count(), 9);

    // Removing block 4 would renumber the names defined after it: asked, then refused.
    Click_Row(5);
    Click_Row(6, Qt::ShiftModifier);
    services.Answers = {TMessage_Answer::Yes};
    QTest::keyClick(list, Qt::Key_Delete);
    std::vector<QString> texts = editor_.Take_Box_Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Delete the 2 selected blocks? Undo (Ctrl+Z) brings them back.");
    EXPECT_TRUE(texts[1].startsWith("Block 4 writes a name in place (its own or its skin's "
                                    "author) that block 6 needs")) << texts[1].toStdString();
    Click_Row(8);
    QTest::keyClick(list, Qt::Key_Delete); // answered No
    EXPECT_EQ(form_.Expanded_Image(), loaded_);
    services.Answers = {TMessage_Answer::Yes};
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(editor_.Take_Box_Texts().back(), "Delete block 7? Undo (Ctrl+Z) brings it back.");
    EXPECT_EQ(Blocks().size(), 7u);
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    EXPECT_FALSE(form_.EditDelete_Action->isEnabled());
    form_.EditUndo_Action->trigger();
    EXPECT_EQ(form_.Expanded_Image(), loaded_);
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{8}));
}

TEST_F(Batch_Edit_Test, Copied_Blocks_Paste_By_Names_The_Challenge_Defines_And_Text_Fields_Keep_Their_Keys)
{
    auto& services = editor_.Services();
    QClipboard& clipboard = *QGuiApplication::clipboard();
    QTableView* list = form_.List_Block_ListBox;
    list->setFocus();
    const std::vector<test::TFile_Block> before = Blocks();
    Click_Row(7);
    Click_Row(8, Qt::ShiftModifier);
    // The map answers the keys as the list does.
    form_.Map_Canvas->setFocus();
    QTest::keyClick(form_.Map_Canvas, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = clipboard.text().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("{\"index\":6,\"offset\":")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("\"name\":\"StadiumPlatform\",\"name_in_place\":true"));

    // A name that the collection's list lacks goes when the player says so.
    services.Answers = {TMessage_Answer::Yes};
    services.Dialog_Answers = {Fill({{"Move_DZ_SpinEdit", 1}})};
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(editor_.Take_Box_Texts(),
              std::vector<QString>{
                  "\"StadiumPlatform\", \"Stadium\" are not in Blocks-Stadium.Lst, the list of the "
                  "block names of the Stadium collection: the game cannot load a challenge with "
                  "blocks of those names. Write them anyway?"});
    const std::vector<test::TFile_Block> after = Blocks();
    ASSERT_EQ(after.size(), 10u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(after[8 + i].Block.Name, before[6 + i].Block.Name);
        EXPECT_FALSE(after[8 + i].Block.Name_In_Place);
        EXPECT_EQ(after[8 + i].Block.Z, before[6 + i].Block.Z + 1);
    }
    EXPECT_EQ(form_.EditUndo_Action->text(), "&Undo paste 2 blocks");

    // A name this challenge lacks refuses the whole paste.
    clipboard.setText(QString(lines[0]).replace("StadiumPlatform", "StadiumNoSuchBlock") + '\n' +
                      lines[1]);
    form_.EditPaste_Action->trigger();
    EXPECT_TRUE(editor_.Take_Box_Texts().at(0).startsWith(
        "This challenge does not define the name \"StadiumNoSuchBlock\", which the clipboard's "
        "blocks use, so nothing was pasted"));
    EXPECT_EQ(Blocks().size(), 10u);
    // A text it defines that is no block's name (its mood) is pasted only when asked for.
    clipboard.setText(QString(lines[0]).replace("StadiumPlatform", "Day") + '\n');
    form_.EditPaste_Action->trigger(); // No, the default
    EXPECT_EQ(services.Boxes.back().Buttons, TMessage_Buttons::Yes_No_Default_No);
    EXPECT_TRUE(editor_.Take_Box_Texts().at(0).startsWith(
        "\"Day\" is not in Blocks-Stadium.Lst, the list of the block names"));
    EXPECT_EQ(Blocks().size(), 10u);

    // In the find field the keys edit the text, and the block commands' keys do nothing.
    form_.Find_Edit->setFocus();
    QTest::keyClicks(form_.Find_Edit, "platform");
    QTest::keyClick(form_.Find_Edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(form_.Find_Edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard.text(), "platform");
    QTest::keyClick(form_.Find_Edit, Qt::Key_Delete);
    EXPECT_EQ(form_.Find_Edit->text(), "");
    QTest::keyClick(form_.Find_Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form_.Find_Edit->text(), "platform");
    QTest::keyClick(form_.Find_Edit, Qt::Key_D, Qt::ControlModifier); // no Duplicate form
    EXPECT_TRUE(services.Boxes.empty());
    EXPECT_EQ(services.Forms, (QStringList{"Paste_Dialog"}));
    EXPECT_EQ(Blocks().size(), 10u);
}

TEST_F(Batch_Edit_Test, The_Caption_Mark_Follows_Undo_Redo_And_Save)
{
    const auto marked = [this] { return form_.isWindowModified(); };
    EXPECT_EQ(form_.EditUndo_Action->text(), "&Undo");
    EXPECT_FALSE(form_.EditUndo_Action->isEnabled());

    // The panel's save is a step too.
    Click_Row(3);
    form_.Block_X_SpinEdit->setValue(40);
    form_.Block_Save_BitBtn->click();
    EXPECT_TRUE(marked());
    EXPECT_EQ(form_.EditUndo_Action->text(), "&Undo block 2");
    QTest::keyClick(&form_, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(marked());
    EXPECT_EQ(form_.Block_X_SpinEdit->value(), 12); // the panel shows the block as undone
    EXPECT_EQ(Selected_Lines(form_), (std::vector<int>{3}));
    QTest::keyClick(&form_, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(marked());
    EXPECT_EQ(form_.Block_X_SpinEdit->value(), 40);

    // Save keeps the history; undoing past it marks the caption again.
    form_.ChallengeSave_Action->trigger();
    EXPECT_FALSE(marked());
    EXPECT_TRUE(form_.EditUndo_Action->isEnabled());
    form_.EditRotateClockwise_Action->trigger();
    EXPECT_TRUE(marked());
    form_.EditUndo_Action->trigger();
    EXPECT_FALSE(marked());
    form_.EditUndo_Action->trigger();
    EXPECT_TRUE(marked());
    EXPECT_EQ(form_.Expanded_Image(), loaded_);
    // A new step where the saved state was undone: the saved state cannot come back.
    form_.EditRotateClockwise_Action->trigger();
    form_.EditUndo_Action->trigger();
    EXPECT_TRUE(marked());

    // Reload (after its question) starts a new history.
    editor_.Services().Answers = {TMessage_Answer::Discard};
    form_.ChallengeReload_Action->trigger();
    EXPECT_FALSE(marked());
    EXPECT_FALSE(form_.EditUndo_Action->isEnabled());
    EXPECT_FALSE(form_.EditRedo_Action->isEnabled());
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[2].Block.X, 40);
}

} // namespace
} // namespace plotvane
