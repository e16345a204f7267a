// The window driven through its input events, as a player drives it: a click on a row, the
// arrow keys, the keyboard shortcuts and the tab key.
#include "ui/Main.h"

#include "tests/ui/Editor_Fixture.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

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
    EXPECT_EQ(test::Saved_Blocks(path, form.Expanded_Image, form.Memory_Mask)[1].Block.X, 12);
    EXPECT_TRUE(editor.Services().Boxes.empty());
}

} // namespace
} // namespace plotvane
