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
#include <QToolButton>

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
        before_ = test::Image_Blocks(form_.Expanded_Image, form_.Memory_Mask);
        ASSERT_EQ(before_.size(), 8u);
    }

    // Saves the block shown, then the challenge, and returns the blocks of the saved file.
    std::vector<test::TFile_Block> Save_Block_And_File()
    {
        form_.Block_Save_BitBtn->click();
        form_.ChallengeSave_Action->trigger();
        return test::Saved_Blocks(path_, form_.Expanded_Image, form_.Memory_Mask);
    }

    TEditor_Fixture editor_;
    TMainForm& form_ = editor_.Form();
    std::string path_;
    std::vector<test::TFile_Block> before_;
};

TEST_F(Block_Editor_Test, Lists_Every_Block_With_Its_File_Offset_And_Name_Kind)
{
    ASSERT_EQ(editor_.Line_Count(), 9);
    EXPECT_EQ(editor_.Line(0), "Block Number : 8");
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
    const std::size_t length = form_.Expanded_Image.size();
    editor_.Select(6); // block 5: reference to 9, StadiumRoadMain (also 6)
    form_.Block_Name_ComboBox->setEditText("StadiumCircuitBase");
    form_.Block_X_SpinEdit->setValue(99);
    const auto after = Save_Block_And_File();
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(form_.Expanded_Image.size(), length);
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
        const auto old_blocks = test::Image_Blocks(form_.Expanded_Image, form_.Memory_Mask);
        const std::size_t old_length = form_.Expanded_Image.size();
        const std::int64_t change =
            static_cast<std::int64_t>(name.size()) -
            static_cast<std::int64_t>(old_blocks[2].Block.Name.size());
        editor_.Select(3);
        editor_.Services().Answers = {TMessage_Answer::Ok};
        form_.Block_Name_Unlock_SpeedButton->click();
        form_.Block_Name_ComboBox->setEditText(QString::fromStdString(name));
        const auto after = Save_Block_And_File();
        ASSERT_EQ(after.size(), 8u);
        // The panel still shows what was written: the selection did not run again.
        EXPECT_TRUE(form_.Block_Name_Unlock_SpeedButton->isChecked());
        EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 3);
        EXPECT_EQ(static_cast<std::int64_t>(form_.Expanded_Image.size()),
                  static_cast<std::int64_t>(old_length) + change);
        EXPECT_EQ(after[2].Block.Name, name);
        EXPECT_EQ(after[3].Block.Name, name); // refers to it
        for (std::size_t i = 0; i < 8; ++i) {
            const std::int64_t shift = i > 2 ? change : 0;
            EXPECT_EQ(after[i].Offset, old_blocks[i].Offset + shift) << i;
            EXPECT_EQ(after[i].Block.X, old_blocks[i].Block.X) << i;
        }
        // Both size fields say the body's new length.
        const auto& image = form_.Expanded_Image;
        std::uint32_t cursor = 13;
        const std::uint32_t body_offset = 33 + Read_DWord(image, cursor, false, form_.Memory_Mask);
        const auto body_size = static_cast<std::uint32_t>(image.size() - body_offset - 3);
        cursor = form_.Block_Address_List.Size_Fields_Offset;
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
    const TFlexible_Byte_Array image = form.Expanded_Image;
    for (const int row : {1, 2}) { // in place, then the reference to it
        editor.Select(row);
        ASSERT_FALSE(form.Block_Panel->isHidden());
        form.Block_Save_BitBtn->click();
        EXPECT_EQ(form.Expanded_Image, image) << row;
    }
    EXPECT_EQ(test::Image_Blocks(form.Expanded_Image, form.Memory_Mask)[0].Block.Name, odd_name);
}

} // namespace
} // namespace plotvane
