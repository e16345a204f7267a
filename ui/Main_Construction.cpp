// The window's construction: its Challenge and Help commands, its menus and tool bar, its pages
// (the summary, and the mapping zone with the find field, the block list and the block panel),
// its status bar and its tab order. The commands of each concern are made in that concern's
// file (Create_Edit_Actions, Create_Find_Actions, Create_Record_Actions, Create_Map_Dock).
#include "ui/Main.h"

#include "ui/Block_List_Model.h"
#include "ui/Byte_Spin_Edit.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace plotvane {

namespace {

constexpr int Profiles_Group_Height = 55;

// The line takes the room the numbers leave; a number column is as wide as its heading or
// three digits, whichever is wider. Measured on the font: a width fitted to the contents would
// have Qt measure every row, a million of them.
void Size_Block_List_Columns(QTableView& list)
{
    QHeaderView* header = list.horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(TBlock_List_Model::Line_Column, QHeaderView::Stretch);
    // A cell's text keeps this margin on either side of it.
    const int text_margin =
        list.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &list) + 1;
    const int number_width =
        list.fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 2 * text_margin;
    for (int column = TBlock_List_Model::Rotation_Column; column < TBlock_List_Model::Column_Count;
         ++column) {
        header->resizeSection(column, std::max(number_width, header->sectionSizeHint(column)));
    }
}

} // namespace

void TMainForm::Create_Actions()
{
    const auto make = [this](const char* name, const QString& caption, const QString& tooltip,
                             const QString& status_text) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setToolTip(tooltip);
        action->setStatusTip(status_text);
        return action;
    };
    QStyle* style = QApplication::style();
    ChallengeNew_Action = make("ChallengeNew_Action", QStringLiteral("&New"),
                               QStringLiteral("New"), QStringLiteral("Create a new challenge"));
    ChallengeNew_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    ChallengeNew_Action->setIcon(style->standardIcon(QStyle::SP_FileIcon));
    // New is in the window but nothing ever makes it available.
    ChallengeNew_Action->setEnabled(false);
    ChallengeOpen_Action = make("ChallengeOpen_Action", QStringLiteral("&Open"),
                                QStringLiteral("Open"), QStringLiteral("Open a challenge"));
    ChallengeOpen_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    ChallengeOpen_Action->setIcon(style->standardIcon(QStyle::SP_DialogOpenButton));
    ChallengeReload_Action =
        make("ChallengeReload_Action", QStringLiteral("&Reload"), QStringLiteral("Reload"),
             QStringLiteral("Reload current challenge"));
    ChallengeReload_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    ChallengeReload_Action->setIcon(style->standardIcon(QStyle::SP_BrowserReload));
    ChallengeSave_Action = make("ChallengeSave_Action", QStringLiteral("&Save"),
                                QStringLiteral("Save"), QStringLiteral("Save current challenge"));
    ChallengeSave_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    ChallengeSave_Action->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
    ChallengeSaveAs_Action =
        make("ChallengeSaveAs_Action", QStringLiteral("Save &As..."), QStringLiteral("Save As"),
             QStringLiteral("Save current challenge with different name"));
    ChallengeSaveAs_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    Exit_Action = make("Exit_Action", QStringLiteral("E&xit"), QStringLiteral("Exit"),
                       QStringLiteral("Exit application"));
    Exit_Action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    Help_About =
        make("Help_About", QStringLiteral("&About..."), QStringLiteral("About"),
             QStringLiteral("Displays program information, version number, and copyright"));
    ChallengeRead_Item = make("ChallengeRead_Item", QStringLiteral("Read &Challenge"),
                              QString(), QStringLiteral("Read challenge infos"));
    ChallengeRead_Item->setCheckable(true);
    ChallengeRead_Item->setChecked(true);
    ChallengePackWhenSaving_Item = make(
        "ChallengePackWhenSaving_Item", QStringLiteral("&Pack When Saving"),
        QStringLiteral("Save and Save As pack the challenge, as the game does: the file is about "
                       "half as large, and any LZO1X decoder reads it. The offsets that the block "
                       "list shows are then those of an unpacked save, not of the file"),
        QStringLiteral("Pack the challenge when saving it; the offsets shown are then those of "
                       "an unpacked save"));
    ChallengePackWhenSaving_Item->setCheckable(true);
    ChallengePackWhenSaving_Item->setChecked(Pack_When_Saving_Wanted());
    connect(ChallengePackWhenSaving_Item, &QAction::toggled, this, &Remember_Pack_When_Saving);

    Connect_Command(ChallengeNew_Action, &TMainForm::ChallengeNew_ActionExecute);
    Connect_Command(ChallengeOpen_Action, &TMainForm::ChallengeOpen_ActionExecute);
    Connect_Command(ChallengeReload_Action, &TMainForm::ChallengeReload_ActionExecute);
    Connect_Command(ChallengeSave_Action, &TMainForm::ChallengeSave_ActionExecute);
    Connect_Command(ChallengeSaveAs_Action, &TMainForm::ChallengeSaveAs_ActionExecute);
    Connect_Command(Exit_Action, &TMainForm::Exit_ActionExecute);
    Connect_Command(Help_About, &TMainForm::Help_AboutExecute);
}

void TMainForm::Create_Menus()
{
    menuBar()->setObjectName(QStringLiteral("Main_Menu"));
    Challenge_Menu = menuBar()->addMenu(QStringLiteral("&Challenge"));
    Challenge_Menu->setObjectName(QStringLiteral("Challenge_Menu"));
    Challenge_Menu->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    Challenge_Menu->addAction(ChallengeNew_Action);
    Challenge_Menu->addAction(ChallengeOpen_Action);
    Challenge_Menu->addAction(ChallengeReload_Action);
    Challenge_Menu->addAction(ChallengeSave_Action);
    Challenge_Menu->addAction(ChallengeSaveAs_Action);
    Challenge_Menu->addSeparator();
    Challenge_Menu->addAction(ChallengeRead_Item);
    Challenge_Menu->addAction(ChallengePackWhenSaving_Item);
    Challenge_Menu->addSeparator();
    Challenge_Menu->addAction(Exit_Action);

    Edit_Menu = menuBar()->addMenu(QStringLiteral("&Edit"));
    Edit_Menu->setObjectName(QStringLiteral("Edit_Menu"));
    Edit_Menu->menuAction()->setStatusTip(
        QStringLiteral("Undo, redo and the commands for the selected blocks"));
    Edit_Menu->addAction(EditUndo_Action);
    Edit_Menu->addAction(EditRedo_Action);
    Edit_Menu->addSeparator();
    Edit_Menu->addAction(EditCopy_Action);
    Edit_Menu->addAction(EditPaste_Action);
    Edit_Menu->addAction(EditDuplicate_Action);
    Edit_Menu->addAction(EditDelete_Action);
    Edit_Menu->addSeparator();
    Edit_Menu->addAction(EditMove_Action);
    Edit_Menu->addAction(EditSet_Action);
    Edit_Menu->addAction(EditRotateClockwise_Action);
    Edit_Menu->addAction(EditRotateCounterClockwise_Action);
    Edit_Menu->addAction(EditReplaceName_Action);
    Edit_Menu->addSeparator();
    Edit_Menu->addAction(EditFind_Action);
    Edit_Menu->addAction(EditFindNext_Action);
    Edit_Menu->addAction(EditFindPrevious_Action);
    Edit_Menu->addAction(EditGoTo_Action);

    View_Menu = menuBar()->addMenu(QStringLiteral("&View"));
    View_Menu->setObjectName(QStringLiteral("View_Menu"));
    View_Menu->menuAction()->setStatusTip(QStringLiteral("What the window shows"));
    View_Menu->addAction(ViewMap_Action);
    View_Menu->addSeparator();
    View_Menu->addAction(ViewZoomIn_Action);
    View_Menu->addAction(ViewZoomOut_Action);
    View_Menu->addAction(ViewFitMap_Action);

    Help_Menu = menuBar()->addMenu(QStringLiteral("&Help"));
    Help_Menu->setObjectName(QStringLiteral("Help_Menu"));
    Help_Menu->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    Help_Menu->addAction(Help_About);
}

void TMainForm::Create_Tool_Bar()
{
    Main_ToolBar = addToolBar(QStringLiteral("Main"));
    Main_ToolBar->setObjectName(QStringLiteral("Main_ToolBar"));
    Main_ToolBar->setIconSize(QSize(16, 16));
    Main_ToolBar->setMovable(false);
    Main_ToolBar->addAction(ChallengeNew_Action);
    Main_ToolBar->addAction(ChallengeOpen_Action);
    Main_ToolBar->addAction(ChallengeReload_Action);
    Main_ToolBar->addAction(ChallengeSave_Action);
    // The Reload button shows no tooltip; the button copies its action's tooltip on every
    // change of the action, so the tooltip event itself is stopped.
    Main_ToolBar->widgetForAction(ChallengeReload_Action)->installEventFilter(this);
}

void TMainForm::Create_Pages()
{
    Main_PageControl = new QTabWidget(this);
    Main_PageControl->setObjectName(QStringLiteral("Main_PageControl"));
    Main_PageControl->addTab(Create_Summary_Page(), QStringLiteral("Summary"));
    Main_PageControl->addTab(Create_Mapping_Page(), QStringLiteral("Mapping Zone"));
    Main_PageControl->setCurrentWidget(Mapping_TabSheet);
    setCentralWidget(Main_PageControl);
}

QWidget* TMainForm::Create_Summary_Page()
{
    Summary_TabSheet = new QWidget;
    Summary_TabSheet->setObjectName(QStringLiteral("Summary_TabSheet"));
    auto* page_layout = new QVBoxLayout(Summary_TabSheet);

    Online_Profiles_GroupBox =
        new QGroupBox(QStringLiteral("Online Profiles List"), Summary_TabSheet);
    Online_Profiles_GroupBox->setObjectName(QStringLiteral("Online_Profiles_GroupBox"));
    Online_Profiles_GroupBox->setFixedHeight(Profiles_Group_Height);
    auto* group_layout = new QVBoxLayout(Online_Profiles_GroupBox);
    group_layout->setContentsMargins(4, 0, 4, 4);
    Online_Profiles_ListBox = new QListWidget(Online_Profiles_GroupBox);
    Online_Profiles_ListBox->setObjectName(QStringLiteral("Online_Profiles_ListBox"));
    Online_Profiles_ListBox->setAccessibleName(QStringLiteral("Online profiles"));
    group_layout->addWidget(Online_Profiles_ListBox);
    page_layout->addWidget(Online_Profiles_GroupBox);

    Challenge_Summary_GroupBox =
        new QGroupBox(QStringLiteral("Challenge Summary"), Summary_TabSheet);
    Challenge_Summary_GroupBox->setObjectName(QStringLiteral("Challenge_Summary_GroupBox"));
    Challenge_Summary_GroupBox->hide();
    page_layout->addWidget(Challenge_Summary_GroupBox);
    page_layout->addStretch();
    return Summary_TabSheet;
}

QWidget* TMainForm::Create_Mapping_Page()
{
    Mapping_TabSheet = new QWidget;
    Mapping_TabSheet->setObjectName(QStringLiteral("Mapping_TabSheet"));
    auto* page_layout = new QVBoxLayout(Mapping_TabSheet);
    page_layout->setContentsMargins(4, 4, 4, 4);

    // A table without grid, which a user sees as a list box with a block's rotation and place
    // beside its line. A list view lays out every row whenever the list changes (about 20 ns a
    // row, five times the block walk itself for a million blocks); a table of fixed-height rows
    // computes positions and draws only the rows in sight.
    page_layout->addWidget(Create_Find_Edit());
    List_Block_ListBox = new QTableView(Mapping_TabSheet);
    List_Block_ListBox->setObjectName(QStringLiteral("List_Block_ListBox"));
    List_Block_ListBox->setAccessibleName(QStringLiteral("Block list"));
    List_Block_ListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Click, Shift+click, Ctrl+click, Shift+arrows and Ctrl+A select many lines.
    List_Block_ListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List_Block_ListBox->setSelectionBehavior(QAbstractItemView::SelectRows);
    List_Block_ListBox->setShowGrid(false);
    // Bands of colour lead the eye from a name to its numbers across a wide list.
    List_Block_ListBox->setAlternatingRowColors(true);
    List_Block_ListBox->setWordWrap(false);
    // Tab leaves the list for the panel instead of moving from cell to cell.
    List_Block_ListBox->setTabKeyNavigation(false);
    List_Block_ListBox->verticalHeader()->hide();
    List_Block_ListBox->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List_Block_ListBox->verticalHeader()->setDefaultSectionSize(
        List_Block_ListBox->fontMetrics().height() + 2);
    Block_List_Model = new TBlock_List_Model(List_Block_ListBox);
    List_Block_ListBox->setModel(Block_List_Model);
    // Whatever selects a line, by whichever cell, selects it whole.
    QItemSelectionModel* cell_selection = List_Block_ListBox->selectionModel();
    List_Block_ListBox->setSelectionModel(
        new TBlock_List_Selection_Model(Block_List_Model, List_Block_ListBox));
    cell_selection->deleteLater();
    Size_Block_List_Columns(*List_Block_ListBox);
    // Key and mouse moves change the current line and the selection in either order: the
    // selection, which comes with every one of them, settles what the panel shows.
    connect(List_Block_ListBox->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] {
                Run_Command([this] {
                    Show_Selection_On_Map();
                    Block_List_Selection_Changed();
                });
            });
    connect(List_Block_ListBox, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        Run_Command([this, index] { Block_List_Clicked(index); });
    });
    List_Block_ListBox->installEventFilter(this);
    List_Block_ListBox->viewport()->installEventFilter(this);
    page_layout->addWidget(List_Block_ListBox, 1);

    page_layout->addWidget(Create_Block_Panel());
    return Mapping_TabSheet;
}

QWidget* TMainForm::Create_Block_Panel()
{
    Block_Panel = new TBlock_Panel(gui_services_, Mapping_TabSheet);
    Block_Name_ComboBox = Block_Panel->Block_Name_ComboBox;
    Block_Name_Unlock_SpeedButton = Block_Panel->Block_Name_Unlock_SpeedButton;
    Block_Rotation_SpinEdit = Block_Panel->Block_Rotation_SpinEdit;
    Block_X_SpinEdit = Block_Panel->Block_X_SpinEdit;
    Block_Z_SpinEdit = Block_Panel->Block_Z_SpinEdit;
    Block_Y_SpinEdit = Block_Panel->Block_Y_SpinEdit;
    Block_V1_SpinEdit = Block_Panel->Block_V1_SpinEdit;
    Block_V2_SpinEdit = Block_Panel->Block_V2_SpinEdit;
    Block_V3_SpinEdit = Block_Panel->Block_V3_SpinEdit;
    Block_V4_SpinEdit = Block_Panel->Block_V4_SpinEdit;
    Block_Save_BitBtn = Block_Panel->Block_Save_BitBtn;
    connect(Block_Panel, &TBlock_Panel::Write_Requested, this,
            [this] { Run_Command([this] { Block_Save_BitBtnClick(); }); });
    connect(Block_Panel, &TBlock_Panel::Note, this,
            [this](const QString& text) { Main_StatusBar->showMessage(text); });
    return Block_Panel;
}

void TMainForm::Set_Tab_Order()
{
    const QWidget* const order[] = {
        Find_Edit, List_Block_ListBox, Block_Name_ComboBox, Block_Name_Unlock_SpeedButton,
        Block_Rotation_SpinEdit, Block_X_SpinEdit, Block_Z_SpinEdit, Block_Y_SpinEdit,
        Block_V1_SpinEdit, Block_V2_SpinEdit, Block_V3_SpinEdit, Block_V4_SpinEdit,
        Block_Save_BitBtn, Map_Canvas};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

void TMainForm::Create_Status_Bar()
{
    Main_StatusBar = new QStatusBar(this);
    Main_StatusBar->setObjectName(QStringLiteral("Main_StatusBar"));
    File_Status_Label = new QLabel(Main_StatusBar);
    File_Status_Label->setObjectName(QStringLiteral("File_Status_Label"));
    // A long path is cut at the window's edge rather than widening the window.
    File_Status_Label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Main_StatusBar->addWidget(File_Status_Label, 1);
    setStatusBar(Main_StatusBar);
}

} // namespace plotvane
