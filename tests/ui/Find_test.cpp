// The find field and Go to block: the list narrowed to the matching blocks, each line keeping
// its block's number, the moves through the matches, and the selection and batch commands on a
// narrowed list reaching the blocks its lines show.
#include "ui/Main.h"

#include "tests/ui/Editor_Fixture.h"
#include "ui/Block_List_Model.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace plotvane {
namespace {

using test::TEditor_Fixture;

class Find_Test : public testing::Test {
protected:
    void SetUp() override
    {
        editor_.Open(editor_.Write_Challenge("Fixture.Challenge.Gbx", test::Fixture_Challenge()));
        form_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }

    // The block number each line after line 0 shows, read from its text.
    std::vector<int> Shown_Blocks() const
    {
        std::vector<int> blocks;
        for (int row = 1; row < editor_.Line_Count(); ++row) {
            const QString line = editor_.Line(row);
            blocks.push_back(line.section(QLatin1Char(' '), 1, 1).toInt());
        }
        return blocks;
    }

    std::vector<std::uint32_t> Selected() const
    {
        std::vector<std::uint32_t> blocks;
        QItemSelectionModel* selection = form_.List_Block_ListBox->selectionModel();
        for (const QModelIndex& index : selection->selectedRows()) {
            blocks.push_back(*form_.Block_List_Model->Block_At(index.row()));
        }
        std::sort(blocks.begin(), blocks.end());
        return blocks;
    }

    QString Status() const { return form_.Main_StatusBar->currentMessage(); }

    TEditor_Fixture editor_;
    TMainForm& form_ = editor_.Form();
};

TEST_F(Find_Test, A_Find_Text_Narrows_The_List_And_Says_How_Many_Match)
{
    struct TCase {
        const char* Text;
        std::vector<int> Blocks;
        QString Status;
    };
    const std::vector<TCase> cases = {
        {"x=12-14", {2, 3, 4}, "3 of 8 blocks"},
        {"kind=P", {0, 2, 4, 6}, "4 of 8 blocks"},
        {"kind=P x=11-14", {2, 4}, "2 of 8 blocks"},
        {"PLATFORM", {6}, "1 of 8 blocks"},
        {"x=200", {}, "0 of 8 blocks"},
        // A wrong term says so and shows every block; no box is shown while typing.
        {"x=300", {0, 1, 2, 3, 4, 5, 6, 7}, ""},
        {"", {0, 1, 2, 3, 4, 5, 6, 7}, ""},
    };
    for (const TCase& find : cases) {
        form_.Find_Edit->setText(QLatin1String(find.Text));
        EXPECT_EQ(Shown_Blocks(), find.Blocks) << find.Text;
        EXPECT_EQ(editor_.Line(0), QStringLiteral("Block Number : 8")) << find.Text;
        if (find.Status.isEmpty() && find.Text[0] != '\0') {
            EXPECT_TRUE(Status().contains(QStringLiteral("x="))) << Status().toStdString();
        } else {
            EXPECT_EQ(Status(), find.Status) << find.Text;
        }
    }
    EXPECT_TRUE(editor_.Take_Box_Texts().empty());
}

TEST_F(Find_Test, Ctrl_F_Enter_And_F3_Move_Through_The_Matches)
{
    QTest::keyClick(&form_, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(form_.Find_Edit->hasFocus());
    EXPECT_TRUE(form_.Find_Edit->isClearButtonEnabled());
    EXPECT_FALSE(form_.Find_Edit->accessibleName().isEmpty());
    QTest::keyClicks(form_.Find_Edit, "kind=P");
    QTest::keyClick(form_.Find_Edit, Qt::Key_Return);
    EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(form_.Selected_Block_Index, 0);
    EXPECT_FALSE(form_.Block_Panel->isHidden());
    const std::vector<std::pair<Qt::KeyboardModifiers, std::uint32_t>> steps = {
        {Qt::NoModifier, 2}, {Qt::NoModifier, 4}, {Qt::NoModifier, 6},
        {Qt::NoModifier, 0}, {Qt::ShiftModifier, 6}, {Qt::ShiftModifier, 4}};
    for (const auto& [modifiers, block] : steps) {
        QTest::keyClick(form_.Find_Edit, Qt::Key_F3, modifiers);
        EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{block}));
        EXPECT_EQ(form_.Selected_Block_Index, static_cast<std::int32_t>(block));
    }
}

TEST_F(Find_Test, Go_To_Block_Selects_It_Even_Where_The_Find_Hides_It)
{
    form_.Find_Edit->setText(QStringLiteral("kind=@"));
    editor_.Services().Dialog_Answers = {[](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), QStringLiteral("Go_To_Dialog"));
        dialog.findChild<QSpinBox*>("Go_To_Block_SpinEdit")->setValue(5);
        return true;
    }};
    QTest::keyClick(&form_, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{5}));
    EXPECT_EQ(form_.Selected_Block_Index, 5);
    EXPECT_FALSE(form_.Block_Panel->isHidden());

    editor_.Services().Dialog_Answers = {[](QDialog& dialog) {
        dialog.findChild<QSpinBox*>("Go_To_Block_SpinEdit")->setValue(2);
        return true;
    }};
    form_.EditGoTo_Action->trigger();
    EXPECT_TRUE(form_.Find_Edit->text().isEmpty());
    EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(form_.Selected_Block_Index, 2);

    // The block gone to is where a range starts, not the line selected before.
    editor_.Select(7);
    editor_.Services().Dialog_Answers = {[](QDialog& dialog) {
        dialog.findChild<QSpinBox*>("Go_To_Block_SpinEdit")->setValue(3);
        return true;
    }};
    form_.EditGoTo_Action->trigger();
    QTest::keyClick(form_.List_Block_ListBox, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{3, 4}));
}

TEST_F(Find_Test, A_Selection_And_A_Batch_Command_On_A_Narrowed_List_Reach_Its_Blocks)
{
    form_.Find_Edit->setText(QStringLiteral("kind=P"));
    // Lines 2 and 3 show blocks 2 and 4: a click and a Shift+click select those two alone.
    QTableView& list = *form_.List_Block_ListBox;
    const auto click = [&list](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers,
                          list.visualRect(list.model()->index(row, 0)).center());
    };
    click(2, Qt::NoModifier);
    EXPECT_EQ(form_.Selected_Block_Index, 2);
    click(3, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{2, 4}));
    EXPECT_TRUE(form_.Block_Panel->isHidden());

    const std::vector<test::TFile_Block> before =
        test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask);
    form_.EditRotateClockwise_Action->trigger();
    const std::vector<test::TFile_Block> after =
        test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t block = 0; block < after.size(); ++block) {
        const bool turned = block == 2 || block == 4;
        EXPECT_EQ(after[block].Block.Rotation, turned ? 2 : before[block].Block.Rotation)
            << block;
    }
    // The list stays narrowed, the turned blocks selected on their lines.
    EXPECT_EQ(Shown_Blocks(), (std::vector<int>{0, 2, 4, 6}));
    EXPECT_EQ(Selected(), (std::vector<std::uint32_t>{2, 4}));
}

} // namespace
} // namespace plotvane
