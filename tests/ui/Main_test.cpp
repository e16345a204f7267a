#include "ui/Main.h"

#include "platform/Scripted_Gui_Services.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Scratch_Folder.h"
#include "ui/Block_List_Model.h"
#include "ui/Command_Line.h"
#include "ui/Map_View.h"
#include "tests/ui/Game_Folder.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QTableView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>

namespace plotvane {
namespace {

using test::TTest_Game_Folder;

struct TWindow_Under_Test {
    explicit TWindow_Under_Test(std::vector<std::string> arguments = {})
        : Window(std::make_unique<TMainForm>(std::move(arguments), Services))
    {
    }
    TScripted_Gui_Services Services;
    std::unique_ptr<TMainForm> Window;
};

TEST(Draw_Memory_Mask, Draws_Every_Value_From_0_To_254_And_Never_255)
{
    std::set<int> drawn;
    for (std::uint64_t seed = 0; seed < 20000; ++seed) {
        drawn.insert(Draw_Memory_Mask(seed));
    }
    EXPECT_EQ(drawn.size(), 255u);
    EXPECT_EQ(*drawn.rbegin(), 254);
}

TEST(TMainForm, Commands_Carry_Their_Captions_Hints_Shortcuts_And_Start_Availability)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    const TMainForm& form = *under_test.Window;
    struct TExpected {
        QAction* Action;
        const char* Name;
        const char* Caption;
        const char* Tooltip;
        const char* Status_Text;
        const char* Shortcut;
        bool Enabled;
    };
    const TExpected expected[] = {
        {form.ChallengeNew_Action, "ChallengeNew_Action", "&New", "New",
         "Create a new challenge", "Ctrl+N", false},
        {form.ChallengeOpen_Action, "ChallengeOpen_Action", "&Open", "Open", "Open a challenge",
         "Ctrl+O", true},
        {form.ChallengeReload_Action, "ChallengeReload_Action", "&Reload", "Reload",
         "Reload current challenge", "Ctrl+R", false},
        {form.ChallengeSave_Action, "ChallengeSave_Action", "&Save", "Save",
         "Save current challenge", "Ctrl+S", false},
        {form.ChallengeSaveAs_Action, "ChallengeSaveAs_Action", "Save &As...", "Save As",
         "Save current challenge with different name", "Ctrl+Shift+S", false},
        {form.Exit_Action, "Exit_Action", "E&xit", "Exit", "Exit application", "Ctrl+Q", true},
        {form.Help_About, "Help_About", "&About...", "About",
         "Displays program information, version number, and copyright", "", true},
        {form.EditUndo_Action, "EditUndo_Action", "&Undo", "Undo",
         "Take back the last change to the blocks", "Ctrl+Z", false},
        {form.EditRedo_Action, "EditRedo_Action", "&Redo", "Redo",
         "Make again the last change taken back", "Ctrl+Y", false},
        {form.EditMove_Action, "EditMove_Action", "&Move...", "Move",
         "Move the selected blocks by a number of cells along X, Z (the height) and Y",
         "Ctrl+Shift+M", false},
        {form.EditSet_Action, "EditSet_Action", "&Set...", "Set",
         "Write a rotation or variations into every selected block", "Ctrl+E", false},
        {form.EditRotateClockwise_Action, "EditRotateClockwise_Action", "Rotate &clockwise",
         "Rotate clockwise",
         "Turn every selected block a quarter turn clockwise where it stands; positions do not "
         "turn (block footprints are not known)",
         "Ctrl+]", false},
        {form.EditRotateCounterClockwise_Action, "EditRotateCounterClockwise_Action",
         "Rotate c&ounter-clockwise", "Rotate counter-clockwise",
         "Turn every selected block a quarter turn counter-clockwise where it stands; positions "
         "do not turn (block footprints are not known)",
         "Ctrl+[", false},
        {form.EditReplaceName_Action, "EditReplaceName_Action", "Re&place name...",
         "Replace name", "Rename the selected blocks that have one name to another", "Ctrl+H",
         false},
        {form.EditCopy_Action, "EditCopy_Action", "Cop&y", "Copy",
         "Put the selected blocks on the clipboard as text, one JSON object a line as "
         "plotvane-cli blocks --json lists them",
         "Ctrl+C", false},
        {form.EditPaste_Action, "EditPaste_Action", "P&aste...", "Paste",
         "Add the clipboard's blocks at the end of the block list, moved by a number of cells; "
         "their names must be names this challenge defines",
         "Ctrl+V", false},
        {form.EditDuplicate_Action, "EditDuplicate_Action", "&Duplicate...", "Duplicate",
         "Add a copy of the selected blocks at the end of the block list, moved by a number of "
         "cells",
         "Ctrl+D", false},
        {form.EditDelete_Action, "EditDelete_Action", "De&lete", "Delete",
         "Remove the selected blocks from the challenge", "Del", false},
    };
    for (const TExpected& command : expected) {
        SCOPED_TRACE(command.Name);
        ASSERT_NE(command.Action, nullptr);
        EXPECT_EQ(command.Action->objectName(), command.Name);
        EXPECT_EQ(command.Action->text(), command.Caption);
        EXPECT_EQ(command.Action->toolTip(), command.Tooltip);
        EXPECT_EQ(command.Action->statusTip(), command.Status_Text);
        EXPECT_EQ(command.Action->shortcut().toString(), command.Shortcut);
        EXPECT_EQ(command.Action->isEnabled(), command.Enabled);
    }
    EXPECT_EQ(form.windowTitle(), "TMNF/TMUF Plotvane v0.4d Alpha");
    EXPECT_EQ(form.Online_Profiles_ListBox->count(), 1);
    EXPECT_TRUE(under_test.Services.Boxes.empty());
}

TEST(TMainForm, Menus_Hold_The_Commands_In_Order_With_Their_Status_Texts)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    const TMainForm& form = *under_test.Window;
    const QList<QAction*> menus = form.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), "&Challenge");
    EXPECT_EQ(menus[0]->statusTip(), "File related commands");
    EXPECT_EQ(menus[1]->text(), "&Edit");
    EXPECT_EQ(menus[1]->statusTip(), "Undo, redo and the commands for the selected blocks");
    EXPECT_EQ(menus[2]->text(), "&View");
    EXPECT_EQ(menus[3]->text(), "&Help");
    EXPECT_EQ(menus[3]->statusTip(), "Help topics");
    const QList<QAction*> view_items = form.View_Menu->actions();
    ASSERT_EQ(view_items.size(), 5);
    EXPECT_EQ(view_items[0], form.ViewMap_Action);
    EXPECT_EQ(form.ViewMap_Action->text(), "&Map");
    EXPECT_TRUE(form.ViewMap_Action->isCheckable());
    EXPECT_EQ(form.ViewMap_Action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    EXPECT_TRUE(view_items[1]->isSeparator());
    EXPECT_EQ(view_items.mid(2), (QList<QAction*>{form.ViewZoomIn_Action, form.ViewZoomOut_Action,
                                                  form.ViewFitMap_Action}));
    EXPECT_EQ(form.ViewFitMap_Action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    const QList<QAction*> edit_items = form.Edit_Menu->actions();
    ASSERT_EQ(edit_items.size(), 18);
    EXPECT_TRUE(edit_items[2]->isSeparator());
    EXPECT_TRUE(edit_items[7]->isSeparator());
    EXPECT_TRUE(edit_items[13]->isSeparator());
    EXPECT_EQ(edit_items.mid(0, 2), (QList<QAction*>{form.EditUndo_Action, form.EditRedo_Action}));
    EXPECT_EQ(edit_items.mid(3, 4),
              (QList<QAction*>{form.EditCopy_Action, form.EditPaste_Action,
                               form.EditDuplicate_Action, form.EditDelete_Action}));
    EXPECT_EQ(edit_items.mid(8, 5),
              (QList<QAction*>{form.EditMove_Action, form.EditSet_Action,
                               form.EditRotateClockwise_Action,
                               form.EditRotateCounterClockwise_Action,
                               form.EditReplaceName_Action}));
    EXPECT_EQ(edit_items.mid(14),
              (QList<QAction*>{form.EditFind_Action, form.EditFindNext_Action,
                               form.EditFindPrevious_Action, form.EditGoTo_Action}));
    EXPECT_EQ(form.EditRedo_Action->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Y),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}));

    const QList<QAction*> items = form.Challenge_Menu->actions();
    const QList<QAction*> expected = {
        form.ChallengeNew_Action,  form.ChallengeOpen_Action, form.ChallengeReload_Action,
        form.ChallengeSave_Action, form.ChallengeSaveAs_Action, nullptr,
        form.ChallengeRead_Item,   form.ChallengePackWhenSaving_Item, nullptr,
        form.Exit_Action};
    ASSERT_EQ(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i) {
        if (expected[i] == nullptr) {
            EXPECT_TRUE(items[i]->isSeparator()) << i;
        } else {
            EXPECT_EQ(items[i], expected[i]) << i;
        }
    }
    EXPECT_EQ(form.ChallengeRead_Item->text(), "Read &Challenge");
    EXPECT_EQ(form.ChallengeRead_Item->statusTip(), "Read challenge infos");
    EXPECT_TRUE(form.ChallengeRead_Item->isCheckable());
    EXPECT_TRUE(form.ChallengeRead_Item->isChecked());
    form.ChallengeRead_Item->trigger();
    EXPECT_FALSE(form.ChallengeRead_Item->isChecked());
    EXPECT_EQ(form.Help_Menu->actions(), QList<QAction*>{form.Help_About});
}

TEST(TMainForm, Tool_Bar_Shows_Tooltips_But_For_Reload)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    TMainForm& form = *under_test.Window;
    form.show();
    const QList<QAction*> buttons = form.Main_ToolBar->actions();
    ASSERT_EQ(buttons, (QList<QAction*>{form.ChallengeNew_Action, form.ChallengeOpen_Action,
                                        form.ChallengeReload_Action, form.ChallengeSave_Action}));
    const auto tooltip_shown_by = [&](QAction* action) {
        QWidget* button = form.Main_ToolBar->widgetForAction(action);
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(button, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    // Reload first: a tooltip shown before would still be on screen for a moment.
    EXPECT_EQ(tooltip_shown_by(form.ChallengeReload_Action), QString());
    for (QAction* action : buttons) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_EQ(form.Main_ToolBar->widgetForAction(action)->statusTip(), action->statusTip());
        if (action != form.ChallengeReload_Action) {
            EXPECT_EQ(tooltip_shown_by(action), action->toolTip());
        }
    }
    QToolTip::hideText();
}

TEST(TMainForm, Status_Bar_Shows_The_Menus_Own_Hints_Under_The_Pointer)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    TMainForm& form = *under_test.Window;
    form.show();
    const auto hover = [](QWidget* widget, QPoint position) {
        QMouseEvent move(QEvent::MouseMove, position, widget->mapToGlobal(position), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    };
    QMenuBar* menu_bar = form.menuBar();
    hover(menu_bar, menu_bar->actionGeometry(form.Help_Menu->menuAction()).center());
    EXPECT_EQ(form.Main_StatusBar->currentMessage(), "Help topics");
    hover(menu_bar, menu_bar->actionGeometry(form.Challenge_Menu->menuAction()).center());
    EXPECT_EQ(form.Main_StatusBar->currentMessage(), "File related commands");
}

TEST(TMainForm, Starts_On_The_Mapping_Page_With_The_Block_Panel_Hidden)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    TMainForm& form = *under_test.Window;
    form.show();
    EXPECT_EQ(form.Main_PageControl->count(), 2);
    EXPECT_EQ(form.Main_PageControl->tabText(0), "Summary");
    EXPECT_EQ(form.Main_PageControl->tabText(1), "Mapping Zone");
    EXPECT_EQ(form.Main_PageControl->currentWidget(), form.Mapping_TabSheet);
    EXPECT_FALSE(form.Block_Panel->isVisible());
    EXPECT_FALSE(form.Challenge_Summary_GroupBox->isVisibleTo(form.Summary_TabSheet));
    EXPECT_EQ(form.Online_Profiles_GroupBox->title(), "Online Profiles List");
    EXPECT_TRUE(form.List_Block_ListBox->model() == nullptr ||
                form.List_Block_ListBox->model()->rowCount() == 0);

    struct TSpin {
        QSpinBox* Spin_Edit;
        const char* Label;
        int Maximum;
    };
    const TSpin spin_edits[] = {
        {form.Block_Rotation_SpinEdit, "Rotation :", 3}, {form.Block_X_SpinEdit, "X :", 255},
        {form.Block_Z_SpinEdit, "Z :", 255},             {form.Block_Y_SpinEdit, "Y :", 255},
        {form.Block_V1_SpinEdit, "Variation 1 :", 255},  {form.Block_V2_SpinEdit, "variation 2 :", 255},
        {form.Block_V3_SpinEdit, "Variation 3 :", 255},  {form.Block_V4_SpinEdit, "Variation 4 :", 255},
    };
    for (const TSpin& spin : spin_edits) {
        SCOPED_TRACE(spin.Label);
        EXPECT_EQ(spin.Spin_Edit->minimum(), 0);
        EXPECT_EQ(spin.Spin_Edit->maximum(), spin.Maximum);
        EXPECT_EQ(spin.Spin_Edit->value(), 0);
        // The label names its spin edit for the keyboard and for assistive technology.
        const QList<QLabel*> labels = form.Block_Panel->findChildren<QLabel*>();
        const auto label = std::find_if(labels.begin(), labels.end(), [&](QLabel* candidate) {
            return candidate->buddy() == spin.Spin_Edit;
        });
        ASSERT_NE(label, labels.end());
        EXPECT_EQ((*label)->text(), spin.Label);
    }
    EXPECT_EQ(form.Block_Save_BitBtn->text(), "Save block modifications to memory");
    EXPECT_TRUE(form.Block_Name_ComboBox->isEditable());
    EXPECT_EQ(form.Block_Name_ComboBox->maxVisibleItems(), 10);
    EXPECT_TRUE(form.Block_Name_Unlock_SpeedButton->isCheckable());
}

TEST(TMainForm, Opens_Within_The_Screen_And_Shows_The_Whole_Panel_At_Its_Smallest)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    TMainForm& form = *under_test.Window;
    form.show();
    EXPECT_TRUE(form.screen()->availableGeometry().contains(form.frameGeometry()));

    form.Block_Panel->show();
    form.resize(form.minimumSize());
    QCoreApplication::sendPostedEvents();
    const QRect page = form.Mapping_TabSheet->rect();
    const QList<QWidget*> panel_widgets = form.Block_Panel->findChildren<QWidget*>();
    for (const QWidget* widget : panel_widgets) {
        if (widget->isHidden() || widget->parentWidget() != form.Block_Panel) {
            continue;
        }
        SCOPED_TRACE(widget->objectName().toStdString());
        const QRect on_page(widget->mapTo(form.Mapping_TabSheet, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(page.contains(on_page));
        EXPECT_GE(widget->height(), widget->minimumSizeHint().height());
    }

    // Closed, it leaves its size to the next window.
    form.resize(form.minimumSize() + QSize(40, 30));
    const QSize left_at = form.size();
    ASSERT_TRUE(form.close());
    const TWindow_Under_Test next;
    EXPECT_EQ(next.Window->size(), left_at);
}

TEST(TMainForm, Every_Control_Has_A_Name_For_Assistive_Technology_And_A_Place_In_The_Tab_Order)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    TMainForm& form = *under_test.Window;
    form.show();
    form.Block_Panel->show();
    const QList<QWidget*> order = {
        form.List_Block_ListBox, form.Block_Name_ComboBox, form.Block_Name_Unlock_SpeedButton,
        form.Block_Rotation_SpinEdit, form.Block_X_SpinEdit, form.Block_Z_SpinEdit,
        form.Block_Y_SpinEdit, form.Block_V1_SpinEdit, form.Block_V2_SpinEdit,
        form.Block_V3_SpinEdit, form.Block_V4_SpinEdit, form.Block_Save_BitBtn, form.Map_Canvas};
    for (int i = 0; i < order.size(); ++i) {
        SCOPED_TRACE(order[i]->objectName().toStdString());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(order[i]);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());
        if (i > 0) {
            QWidget* next = order[i - 1]->nextInFocusChain();
            // A combo box's line edit sits in the chain right after the combo box.
            while (next->parentWidget() == order[i - 1] || !next->focusPolicy()) {
                next = next->nextInFocusChain();
            }
            EXPECT_EQ(next, order[i]);
        }
    }
}

TEST(TMainForm, Without_A_Profile_Says_Where_It_Looked_And_Offers_Only_What_Works)
{
    const TTest_Game_Folder game({});
    TWindow_Under_Test under_test;
    const TMainForm& form = *under_test.Window;
    ASSERT_EQ(under_test.Services.Boxes.size(), 1u);
    const auto& box = under_test.Services.Boxes.front();
    EXPECT_EQ(box.Kind, TMessage_Kind::Error);
    EXPECT_EQ(box.Title, "Error");
    EXPECT_EQ(box.Buttons, TMessage_Buttons::Ok);
    EXPECT_EQ(box.Text.toStdString(),
              "No valid TMNF/TMUF Online Profile found in  " + game.Game_Folder() + "/Profiles");
    for (QAction* action : {form.ChallengeNew_Action, form.ChallengeOpen_Action,
                            form.ChallengeReload_Action, form.ChallengeSave_Action,
                            form.ChallengeSaveAs_Action}) {
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    }
    for (QAction* action : {form.ChallengeRead_Item, form.Exit_Action, form.Help_About}) {
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    }
    EXPECT_FALSE(form.Conversion_Exit_Code().has_value());
}

TEST(TMainForm, Two_Arguments_Open_The_Window_Normally)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test({"one", "two"});
    EXPECT_FALSE(under_test.Window->Conversion_Exit_Code().has_value());
    EXPECT_TRUE(under_test.Window->ChallengeOpen_Action->isEnabled());
}

// The program's own arguments, Qt's options among them: exactly one converts, --open names the
// challenge the window opens.
TEST(Command_Line, Exactly_One_Argument_Converts_And_Open_Names_The_Challenge)
{
    struct TCase {
        std::vector<std::string> Arguments;
        bool Converts;
        std::optional<std::string> To_Open;
    };
    const std::vector<TCase> cases = {
        {{}, false, std::nullopt},
        {{"/maps/A.Challenge.Gbx"}, true, std::nullopt},
        {{"-reverse"}, true, std::nullopt},
        {{"-style", "fusion", "/maps/A.Challenge.Gbx"}, false, std::nullopt},
        {{"--open"}, false, std::nullopt},
        {{"--open", "/maps/A.Challenge.Gbx"}, false, "/maps/A.Challenge.Gbx"},
        {{"-style", "fusion", "--open", "/maps/A.Challenge.Gbx"}, false,
         "/maps/A.Challenge.Gbx"},
    };
    for (const TCase& test_case : cases) {
        const std::string shown = testing::PrintToString(test_case.Arguments);
        EXPECT_EQ(Asks_For_Conversion(test_case.Arguments), test_case.Converts) << shown;
        EXPECT_EQ(Challenge_To_Open(test_case.Arguments), test_case.To_Open) << shown;
    }
}

// plotvane --open MAP: the window starts with MAP open as Open would leave it, or with Open's
// message when MAP is not the player's.
TEST(TMainForm, Open_Option_Opens_The_Challenge_With_The_Checks_Of_Open)
{
    const TTest_Game_Folder game({"player"});
    test::TChallenge_Description description;
    description.Author_Login = test::In_Place("Player", 0x8000);
    description.Blocks = {{test::In_Place("StadiumRoadMain"), {1, 2, 3, 4, 0, 0, 0, 0}, {}}};
    ASSERT_EQ(test::Write_Challenge_File(game.Challenge_Path("Mine.Challenge.Gbx"), description),
              0u);
    description.Author_Login = test::In_Place("someone", 0x8000);
    ASSERT_EQ(test::Write_Challenge_File(game.Challenge_Path("Theirs.Challenge.Gbx"), description),
              0u);

    // A name relative to the current directory is the file there.
    const test::TScoped_Current_Directory current(game.Game_Folder() + "/Tracks");
    TWindow_Under_Test mine({"--open", "Challenges/Mine.Challenge.Gbx"});
    EXPECT_TRUE(mine.Services.Boxes.empty());
    EXPECT_FALSE(mine.Window->Conversion_Exit_Code().has_value());
    EXPECT_EQ(mine.Window->Current_File_Name, game.Challenge_Path("Mine.Challenge.Gbx"));
    EXPECT_EQ(mine.Window->Challenge_Folder, game.Game_Folder() + "/Tracks/Challenges/");
    EXPECT_TRUE(mine.Window->ChallengeSave_Action->isEnabled());
    EXPECT_EQ(mine.Window->Block_List_Model->rowCount(), 2); // the heading and the block

    TWindow_Under_Test theirs({"--open", game.Challenge_Path("Theirs.Challenge.Gbx")});
    ASSERT_EQ(theirs.Services.Boxes.size(), 1u);
    EXPECT_TRUE(theirs.Services.Boxes.front().Text.startsWith(
        QStringLiteral("Challenge creator (someone) not corresponding with listed profiles")))
        << theirs.Services.Boxes.front().Text.toStdString();
    EXPECT_TRUE(theirs.Window->Current_File_Name.empty());
    EXPECT_FALSE(theirs.Window->ChallengeSave_Action->isEnabled());
}

TEST(TMainForm, Challenge_Folder_Is_The_Game_Folder_Challenges)
{
    const TTest_Game_Folder game({"player"});
    TWindow_Under_Test under_test;
    EXPECT_EQ(under_test.Window->Challenge_Folder, game.Game_Folder() + "/Tracks/Challenges/");
    EXPECT_TRUE(under_test.Window->Current_File_Name.empty());
}

} // namespace
} // namespace plotvane
