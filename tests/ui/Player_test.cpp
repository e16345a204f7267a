// The window driven through its input events, as a player drives it: a click on a row, the
// arrow keys, the keyboard shortcuts and the tab key.
#include "ui/Main.h"

#include "tests/ui/Editor_Fixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace plotvane {
namespace {

TEST(Player, Clicks_A_Row_Moves_With_The_Arrow_Keys_Edits_And_Saves_With_The_Keyboard)
{
    test::TEditor_Fixture editor;
    const std::string path =
        editor.Write_Challenge("Fixture.Challenge.Gbx", test::Fixture_Challenge());
    TMainForm& form = editor.Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    editor.Services().File_Names.push_back(QString::fromStdString(path));
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(form.Current_File_Name, path);

    QTableView& list = *form.List_Block_ListBox;
    const QRect row_2 = list.visualRect(list.model()->index(2, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row_2.center());
    EXPECT_EQ(form.Selected_Block_Index, 1);
    EXPECT_FALSE(form.Block_Panel->isHidden());

    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(form.Selected_Block_Index, 2);
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(form.Selected_Block_Index, 1);

    // Tab goes from the list to the name, then on to the spin edits.
    QTest::keyClick(&list, Qt::Key_Tab);
    const QWidget* focused = QApplication::focusWidget();
    EXPECT_TRUE(focused == form.Block_Name_ComboBox ||
                focused->parentWidget() == form.Block_Name_ComboBox);
    form.Block_X_SpinEdit->setFocus();
    QTest::keyClick(form.Block_X_SpinEdit, Qt::Key_Up);
    EXPECT_EQ(form.Block_X_SpinEdit->value(), 12);
    QTest::mouseClick(form.Block_Save_BitBtn, Qt::LeftButton);
    EXPECT_TRUE(form.Is_Modified());
    EXPECT_EQ(list.currentIndex().row(), 2);

    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(form.Is_Modified());
    EXPECT_EQ(test::Saved_Blocks(path, form.Expanded_Image(), form.Memory_Mask)[1].Block.X, 12);
    EXPECT_TRUE(editor.Services().Boxes.empty());
}

class Player_Test : public testing::Test {
protected:
    void SetUp() override
    {
        path_ = editor_.Write_Challenge("Fixture.Challenge.Gbx", test::Fixture_Challenge());
        editor_.Open(path_);
        form_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }

    void Click_Row(int row)
    {
        QTableView& list = *form_.List_Block_ListBox;
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.visualRect(list.model()->index(row, 0)).center());
    }

    test::TEditor_Fixture editor_;
    TMainForm& form_ = editor_.Form();
    std::string path_;
};

TEST_F(Player_Test, Typed_Names_Are_Written_As_Typed)
{
    // Block 1 refers to StadiumRoadMain; the names offered begin with "Stadium".
    for (const char* typed : {"Stadium", "stadiumroadmain", "StadiumRoad"}) {
        SCOPED_TRACE(typed);
        Click_Row(2);
        QLineEdit* edit = form_.Block_Name_ComboBox->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        EXPECT_EQ(form_.Block_Name_ComboBox->currentText(), typed);
        // Escape closes the names offered, which would take the next click.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }
    // In place: unlocked, then the same; with names offered, the button's first click writes.
    editor_.Services().Answers = {TMessage_Answer::Discard, TMessage_Answer::Ok,
                                  TMessage_Answer::Yes};
    editor_.Select(1);
    form_.Block_Name_Unlock_SpeedButton->click();
    QLineEdit* edit = form_.Block_Name_ComboBox->lineEdit();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "StadiumRoad");
    ASSERT_TRUE(form_.Block_Name_ComboBox->completer()->popup()->isVisible());
    // Through the window, where the pop-up takes the press (sent to the button itself, the
    // click would pass the pop-up by).
    QPushButton& button = *form_.Block_Save_BitBtn;
    QTest::mouseClick(form_.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      button.mapTo(&form_, button.rect().center()));
    QCoreApplication::processEvents();
    EXPECT_EQ(test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask)[0].Block.Name,
              "StadiumRoad");
}

TEST_F(Player_Test, Enter_In_A_Number_And_The_Button_Shortcut_Apply_The_Panel)
{
    Click_Row(2);
    QSpinBox* x = form_.Block_X_SpinEdit;
    x->setFocus();
    x->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(x, "300");
    QTest::keyClick(x, Qt::Key_Return);

    EXPECT_EQ(test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask)[1].Block.X, 255);

    form_.Block_Y_SpinEdit->setValue(40);
    QTest::keyClick(&form_, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(test::Image_Blocks(form_.Expanded_Image(), form_.Memory_Mask)[1].Block.Y, 40);
    EXPECT_TRUE(form_.Block_Save_BitBtn->toolTip().contains("Ctrl+Return"));
    EXPECT_TRUE(editor_.Services().Boxes.empty());
}

TEST_F(Player_Test, Home_And_End_Go_To_The_First_And_Last_Line)
{
    Click_Row(3);
    QTest::keyClick(form_.List_Block_ListBox, Qt::Key_End);
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 8);
    EXPECT_EQ(form_.Selected_Block_Index, 7);
    QTest::keyClick(form_.List_Block_ListBox, Qt::Key_Home);
    EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(), 0);
}

TEST_F(Player_Test, A_Click_On_The_Selected_Line_Runs_Its_Selection_Again)
{
    // A retry once the block name list is back.
    const std::string list_file = editor_.Lists_Folder() + "Blocks-Stadium.Lst";
    std::filesystem::rename(list_file, list_file + ".away");
    Click_Row(1);
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    std::filesystem::rename(list_file + ".away", list_file);
    Click_Row(1);
    EXPECT_FALSE(form_.Block_Panel->isHidden());

    // An unlocked name is locked again.
    editor_.Services().Answers = {TMessage_Answer::Ok};
    form_.Block_Name_Unlock_SpeedButton->click();
    ASSERT_TRUE(form_.Block_Name_ComboBox->isEnabled());
    Click_Row(1);
    EXPECT_FALSE(form_.Block_Name_ComboBox->isEnabled());
    EXPECT_FALSE(form_.Block_Name_Unlock_SpeedButton->isChecked());
}

} // namespace
} // namespace plotvane
