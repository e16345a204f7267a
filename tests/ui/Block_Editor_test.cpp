// The block list and the block panel, driven as a player drives them.
#include "ui/Block_List_Model.h"
#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "memory/Memory_Tools.h"
#include "tests/support/Corpus.h"
#include "tests/ui/Editor_Fixture.h"

#include <QAccessible>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTableView>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>

namespace plotvane {
namespace {

using test::In_Place;
using test::Reference;
using test::TEditor_Fixture;

QStringList Combo_Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items.append(combo->itemText(i));
    }
    return items;
}

std::vector<int> Spin_Values(const TMainForm& form)
{
    std::vector<int> values;
    for (const QSpinBox* spin : {form.Block_Rotation_SpinEdit, form.Block_X_SpinEdit,
                                 form.Block_Z_SpinEdit, form.Block_Y_SpinEdit,
                                 form.Block_V1_SpinEdit, form.Block_V2_SpinEdit,
                                 form.Block_V3_SpinEdit, form.Block_V4_SpinEdit}) {
        values.push_back(spin->value());
    }
    return values;
}

class Block_Editor_Test : public testing::Test {
protected:
    void SetUp() override
    {
        path_ = editor_.Write_Challenge("Fixture.Challenge.Gbx", test::Fixture_Challenge());
        editor_.Open(path_);
        ASSERT_EQ(form_.Current_File_Name, path_);
        before_ = test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask);
        ASSERT_EQ(before_.size(), 8u);
    }

    // Saves the block shown, then the challenge, and returns the blocks of the saved file.
    std::vector<test::TFile_Block> Save_Block_And_File()
    {
        form_.Block_Save_BitBtn->click();
        form_.ChallengeSave_Action->trigger();
        return test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask);
    }

    TEditor_Fixture editor_;
    TMainForm& form_ = editor_.Form();
    std::string path_;
    std::vector<test::TFile_Block> before_;
};

TEST_F(Block_Editor_Test, Lists_Every_Block_With_Its_File_Offset_And_Name_Kind)
{
    // Beside a block's line, its rotation, X, Z and Y; nothing beside the count.
    const auto numbers = [this](int row) {
        QStringList texts;
        for (int column = 1; column < form_.Block_List_Model->columnCount(); ++column) {
            texts.append(form_.Block_List_Model->index(row, column).data().toString());
        }
        return texts.join(' ');
    };
    ASSERT_EQ(editor_.Line_Count(), 9);
    EXPECT_EQ(editor_.Line(0), "Block Number : 8");
    EXPECT_EQ(numbers(0), "   ");
    const QString kinds[] = {"P", "@", "P", "@", "P", "@", "P", "@"};
    const QString names[] = {"StadiumRoadMain", "StadiumRoadMain", "StadiumCircuitBase",
                             "StadiumCircuitBase", "StadiumRoadMain", "StadiumRoadMain",
                             "StadiumPlatform", "Stadium"};
    for (int i = 0; i < 8; ++i) {
        const QString offset =
            QString::number(before_[static_cast<std::size_t>(i)].Offset +
                                static_cast<std::uint32_t>(form_.Packed_Offset_Delta),
                            16)
                .toUpper()
                .rightJustified(8, QLatin1Char('0'));
        EXPECT_EQ(editor_.Line(i + 1), QStringLiteral("Block %1 (%2)-%3 : %4")
                                           .arg(i)
                                           .arg(offset, kinds[i], names[i]));
        const TChallenge_Block& block = before_[static_cast<std::size_t>(i)].Block;
        EXPECT_EQ(numbers(i + 1), QStringLiteral("%1 %2 %3 %4")
                                      .arg(block.Rotation)
                                      .arg(block.X)
                                      .arg(block.Z)
                                      .arg(block.Y));
    }
    EXPECT_TRUE(form_.Block_Panel->isHidden());
}

TEST_F(Block_Editor_Test, Rows_Reach_Assistive_Technology_With_Their_Text)
{
    form_.show();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(form_.List_Block_ListBox);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->text(QAccessible::Name), "Block list");
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 9);
    for (int row : {0, 3, 8}) {
        QAccessibleInterface* cell = table->cellAt(row, 0);
        ASSERT_NE(cell, nullptr) << row;
        EXPECT_EQ(cell->text(QAccessible::Name), editor_.Line(row)) << row;
    }
}

TEST_F(Block_Editor_Test, A_Referenced_Name_Offers_The_Names_Defined_So_Far)
{
    editor_.Select(4); // block 3: a reference to 7, after the texts up to 8
    EXPECT_FALSE(form_.Block_Panel->isHidden());
    EXPECT_EQ(form_.Selected_Block_Index, 3);
    EXPECT_EQ(form_.Block_Name_ComboBox->currentText(), "StadiumCircuitBase");
    EXPECT_EQ(Combo_Items(form_.Block_Name_ComboBox),
              (QStringList{"StadiumRoadMain", "StadiumCircuitBase", "Nadeo"}));
    // The drop-down opens at the block's own name.
    EXPECT_EQ(form_.Block_Name_ComboBox->currentIndex(), 1);
    EXPECT_TRUE(form_.Block_Name_ComboBox->isEnabled());
    EXPECT_TRUE(form_.Block_Name_Unlock_SpeedButton->isHidden());
    EXPECT_EQ(Spin_Values(form_), (std::vector<int>{1, 13, 2, 3, 4, 5, 6, 7}));

    // Line 0 changes nothing.
    editor_.Select(0);
    EXPECT_EQ(form_.Selected_Block_Index, 3);
    EXPECT_FALSE(form_.Block_Panel->isHidden());
}

TEST_F(Block_Editor_Test, A_Spin_Edit_Left_Without_A_Number_Reads_0)
{
    editor_.Select(2);
    QSpinBox* x = form_.Block_X_SpinEdit;
    ASSERT_EQ(x->value(), 11);
    x->findChild<QLineEdit*>()->setText("");
    QFocusEvent focus_out(QEvent::FocusOut);
    QCoreApplication::sendEvent(x, &focus_out);
    EXPECT_EQ(x->value(), 0);
}

TEST_F(Block_Editor_Test, A_Typed_Value_Outside_The_Range_Is_Brought_Into_It_On_Leaving)
{
    editor_.Select(2);
    struct TCase {
        QSpinBox* Spin_Edit;
        const char* Typed;
        int Value;
    };
    for (const TCase& typed : {TCase{form_.Block_X_SpinEdit, "300", 255},
                               TCase{form_.Block_Rotation_SpinEdit, "7", 3},
                               TCase{form_.Block_V1_SpinEdit, "256", 255},
                               TCase{form_.Block_Z_SpinEdit, "42", 42}}) {
        SCOPED_TRACE(typed.Typed);
        typed.Spin_Edit->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(typed.Spin_Edit, typed.Typed);
        QFocusEvent focus_out(QEvent::FocusOut);
        QCoreApplication::sendEvent(typed.Spin_Edit, &focus_out);
        EXPECT_EQ(typed.Spin_Edit->value(), typed.Value);
    }
}

TEST_F(Block_Editor_Test, A_Save_That_Changes_No_Byte_Leaves_The_Challenge_Unmodified)
{
    form_.show();
    const auto caption = [this] { return form_.windowHandle()->title(); };
    const QString title = "TMNF/TMUF Plotvane v0.4d Alpha - Fixture.Challenge.Gbx";
    for (const int row : {1, 2, 4}) { // in place, its reference, another reference
        editor_.Select(row);
        form_.Block_Save_BitBtn->click();
        EXPECT_FALSE(form_.Is_Modified()) << row;
    }
    EXPECT_EQ(caption(), title);
    form_.Block_X_SpinEdit->setValue(12);
    form_.Block_Save_BitBtn->click();
    EXPECT_TRUE(form_.Is_Modified());
    // The mark of unsaved changes follows the file's name.
    EXPECT_EQ(caption(), title + "*");
}

TEST_F(Block_Editor_Test, Values_Left_In_The_Panel_Are_Applied_Discarded_Or_Kept_As_Asked)
{
    auto& services = editor_.Services();
    const auto x_of = [&](std::size_t block) {
        return test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask)[block].Block.X;
    };
    editor_.Select(2);
    form_.Block_X_SpinEdit->setValue(99);

    // Cancel (also what Enter or closing the box answers): back on the block, values kept.
    editor_.Select(3);
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 2);
    EXPECT_EQ(form_.Selected_Block_Index, 1);
    EXPECT_EQ(form_.Block_X_SpinEdit->value(), 99);
    for (QAction* command : {form_.ChallengeSave_Action, form_.ChallengeSaveAs_Action,
                             form_.ChallengeOpen_Action, form_.ChallengeReload_Action}) {
        command->trigger();
    }
    EXPECT_FALSE(form_.close());
    EXPECT_EQ(services.Dialogs.size(), 1u); // the first Open's only
    EXPECT_FALSE(std::filesystem::exists(path_ + ".bak1"));
    ASSERT_EQ(services.Boxes.size(), 6u);
    for (const auto& box : services.Boxes) {
        EXPECT_EQ(box.Kind, TMessage_Kind::Confirmation);
        EXPECT_EQ(box.Buttons, TMessage_Buttons::Apply_Discard_Cancel);
        EXPECT_TRUE(box.Text.contains("block 1")) << box.Text.toStdString();
    }

    // Apply: written, then the next block shown.
    services.Answers = {TMessage_Answer::Apply};
    editor_.Select(3);
    EXPECT_EQ(x_of(1), 99);
    EXPECT_EQ(form_.Selected_Block_Index, 2);
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 3);
    EXPECT_TRUE(form_.Is_Modified());

    // Save applies first too; Discard drops the values and goes on.
    form_.Block_X_SpinEdit->setValue(77);
    services.Answers = {TMessage_Answer::Apply};
    form_.ChallengeSave_Action->trigger();
    EXPECT_EQ(test::Saved_Blocks(path_, form_.Expanded_Image(), form_.Memory_Mask)[2].Block.X, 77);
    form_.Block_X_SpinEdit->setValue(55);
    services.Answers = {TMessage_Answer::Discard};
    form_.ChallengeSave_Action->trigger();
    EXPECT_EQ(form_.Block_X_SpinEdit->value(), 77);
    EXPECT_EQ(x_of(2), 77);
    EXPECT_FALSE(form_.Is_Modified());
}

TEST(Block_Editor_Names, A_Name_Too_Long_For_The_Name_Box_Is_Shown_Cut_And_Written_Whole)
{
    TEditor_Fixture editor;
    test::TChallenge_Description description = test::Fixture_Challenge();
    const std::string long_name(40000, 'n');
    description.Blocks[0].Name = In_Place(long_name);
    editor.Open(editor.Write_Challenge("Long.Challenge.Gbx", description));
    TMainForm& form = editor.Form();
    for (const int row : {1, 2}) { // in place, then the reference to it
        SCOPED_TRACE(row);
        editor.Select(row);
        ASSERT_FALSE(form.Block_Panel->isHidden());
        EXPECT_EQ(form.Block_Name_ComboBox->currentText().size(), 32767);
        EXPECT_FALSE(form.Block_Name_ComboBox->isEnabled());
        EXPECT_FALSE(form.Block_Name_Unlock_SpeedButton->isEnabled());
        EXPECT_TRUE(form.Main_StatusBar->currentMessage().contains("cannot be edited"));
        form.Block_Y_SpinEdit->setValue(20 + row);
        form.Block_Save_BitBtn->click();
        const auto blocks = test::Image_Blocks(form.Expanded_Image(), form.Memory_Mask);
        EXPECT_EQ(blocks[0].Block.Name, long_name);
        EXPECT_EQ(blocks[1].Block.Name, long_name);
        EXPECT_EQ(blocks[static_cast<std::size_t>(row - 1)].Block.Y, 20 + row);
    }
    EXPECT_TRUE(editor.Take_Box_Texts().empty());
}

TEST_F(Block_Editor_Test, An_In_Place_Name_Stays_Locked_Until_The_Warning_Is_Accepted)
{
    editor_.Select(3); // block 2: StadiumCircuitBase, in place
    EXPECT_EQ(form_.Block_Name_ComboBox->currentText(), "StadiumCircuitBase");
    EXPECT_EQ(Combo_Items(form_.Block_Name_ComboBox),
              (QStringList{"StadiumRoadMain", "StadiumPillar"}));
    EXPECT_FALSE(form_.Block_Name_ComboBox->isEnabled());
    QToolButton* lock = form_.Block_Name_Unlock_SpeedButton;
    EXPECT_FALSE(lock->isHidden());
    EXPECT_FALSE(lock->isChecked());

    editor_.Services().Answers = {TMessage_Answer::Cancel, TMessage_Answer::Ok};
    lock->click();
    EXPECT_FALSE(lock->isChecked());
    EXPECT_FALSE(form_.Block_Name_ComboBox->isEnabled());
    lock->click();
    EXPECT_TRUE(lock->isChecked());
    EXPECT_TRUE(form_.Block_Name_ComboBox->isEnabled());
    lock->click(); // unlocked: no warning, stays down
    EXPECT_TRUE(lock->isChecked());
    ASSERT_EQ(editor_.Services().Boxes.size(), 2u);
    for (const auto& box : editor_.Services().Boxes) {
        EXPECT_EQ(box.Kind, TMessage_Kind::Warning);
        EXPECT_EQ(box.Title, "Warning");
        EXPECT_EQ(box.Buttons, TMessage_Buttons::Ok_Cancel);
        EXPECT_EQ(box.Text, "This block contain the main description. If you modify it name, "
                            "all instances of this block type will be modified");
    }
    // A new selection locks again.
    editor_.Select(1);
    EXPECT_FALSE(lock->isChecked());
    EXPECT_FALSE(form_.Block_Name_ComboBox->isEnabled());
}

TEST_F(Block_Editor_Test, A_Referenced_Rename_Writes_The_Lowest_Index_And_Keeps_The_Length)
{
    const std::size_t length = form_.Expanded_Image().size();
    editor_.Select(6); // block 5: reference to 9, StadiumRoadMain (also 6)
    form_.Block_Name_ComboBox->setEditText("StadiumCircuitBase");
    form_.Block_X_SpinEdit->setValue(99);
    const auto after = Save_Block_And_File();
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(form_.Expanded_Image().size(), length);
    EXPECT_EQ(after[5].Block.Name, "StadiumCircuitBase");
    EXPECT_EQ(after[5].Block.Name_Index, 7u);
    EXPECT_EQ(after[5].Block.X, 99);
    for (std::size_t i = 0; i < 8; ++i) {
        if (i != 5) {
            EXPECT_EQ(after[i].Block.Name, before_[i].Block.Name) << i;
            EXPECT_EQ(after[i].Offset, before_[i].Offset) << i;
        }
    }
    // The same line is selected again, without the selection being run again.
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 6);
    EXPECT_EQ(form_.Block_Name_ComboBox->currentText(), "StadiumCircuitBase");
}

TEST_F(Block_Editor_Test, In_Place_Renames_Shift_Later_Blocks_And_Correct_The_Sizes)
{
    for (const std::string name : {"StadiumCircuitBaseLonger", "Short", ""}) {
        SCOPED_TRACE(name);
        const auto old_blocks = test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask);
        const std::size_t old_length = form_.Expanded_Image().size();
        const std::int64_t change =
            static_cast<std::int64_t>(name.size()) -
            static_cast<std::int64_t>(old_blocks[2].Block.Name.size());
        editor_.Select(3);
        editor_.Services().Answers = {TMessage_Answer::Ok};
        form_.Block_Name_Unlock_SpeedButton->click();
        form_.Block_Name_ComboBox->setEditText(QString::fromStdString(name));
        // Asked first: the collection's list lacks the name.
        editor_.Services().Answers = {TMessage_Answer::Yes};
        const auto after = Save_Block_And_File();
        ASSERT_EQ(after.size(), 8u);
        // The panel still shows what was written: the selection did not run again.
        EXPECT_TRUE(form_.Block_Name_Unlock_SpeedButton->isChecked());
        EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 3);
        EXPECT_EQ(static_cast<std::int64_t>(form_.Expanded_Image().size()),
                  static_cast<std::int64_t>(old_length) + change);
        EXPECT_EQ(after[2].Block.Name, name);
        EXPECT_EQ(after[3].Block.Name, name); // refers to it
        for (std::size_t i = 0; i < 8; ++i) {
            const std::int64_t shift = i > 2 ? change : 0;
            EXPECT_EQ(after[i].Offset, old_blocks[i].Offset + shift) << i;
            EXPECT_EQ(after[i].Block.X, old_blocks[i].Block.X) << i;
        }
        // Both size fields say the body's new length.
        const auto& image = form_.Expanded_Image();
        std::uint32_t cursor = 13;
        const std::uint32_t body_offset = 33 + Read_DWord(image, cursor, false, form_.Memory_Mask);
        const auto body_size = static_cast<std::uint32_t>(image.size() - body_offset - 3);
        cursor = form_.Block_Address_List().Size_Fields_Offset;
        ASSERT_NE(cursor, 0u);
        EXPECT_EQ(Read_DWord(image, cursor, true, form_.Memory_Mask), body_size);
        EXPECT_EQ(Read_DWord(image, cursor, true, form_.Memory_Mask), body_size + 3);
        // Offsets shown stay those of the file Save wrote.
        EXPECT_TRUE(editor_.Line(4).contains(
            QString::number(after[3].Offset + static_cast<std::uint32_t>(form_.Packed_Offset_Delta),
                            16)
                .toUpper()));
    }
}

TEST(Block_Editor_Names, A_Name_Is_Shown_On_One_Line_And_Saved_Unchanged_Byte_For_Byte)
{
    TEditor_Fixture editor;
    test::TChallenge_Description description = test::Fixture_Challenge();
    const std::string odd_name = "Line one\r\nline two\n\xE9t\xE9\x01";
    description.Blocks[0].Name = In_Place(odd_name);
    const std::string path = editor.Write_Challenge("Odd.Challenge.Gbx", description);
    editor.Open(path);
    TMainForm& form = editor.Form();
    EXPECT_FALSE(editor.Line(1).contains('\n'));
    EXPECT_FALSE(editor.Line(1).contains('\r'));
    const TFlexible_Byte_Array image = form.Expanded_Image();
    for (const int row : {1, 2}) { // in place, then the reference to it
        editor.Select(row);
        ASSERT_FALSE(form.Block_Panel->isHidden());
        form.Block_Save_BitBtn->click();
        EXPECT_EQ(form.Expanded_Image(), image) << row;
    }
    EXPECT_EQ(test::Image_Blocks(form.Expanded_Image(), form.Memory_Mask)[0].Block.Name, odd_name);
}

} // namespace
} // namespace plotvane
