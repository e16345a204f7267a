#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "challenge/TMF_Block_Names.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"
#include "platform/Gui_Services.h"
#include "platform/Process.h"
#include "ui/About.h"
#include "ui/Art.h"
#include "ui/Batch_Dialogs.h"
#include "ui/Block_List_Model.h"
#include "ui/Byte_Spin_Edit.h"
#include "ui/Byte_Text.h"
#include "ui/Command_Line.h"
#include "ui/Map_View.h"
#include "ui/Path_Text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QCompleter>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <new>
#include <random>
#include <utility>

namespace plotvane {

const char* const Program_Version = "0.4d Alpha";

namespace {

// The longest line of a usual challenge's list: a six-digit block number and the longest name
// of the Stadium collection, which the window's first width shows whole beside the map.
const QString Long_Block_Line =
    QStringLiteral("Block 999999 (00FFFFFF)-@ : StadiumCircuitBorderSlopeGTCurve2OutRightBottom");
// Around the list: the page's margins, the tab page's frame and the dock's splitter, about.
constexpr int List_Surround_Width = 24;
// A usual frame takes 8 of the width and 34 of the height (borders and caption).
constexpr int Frame_Width = 8;
constexpr int Frame_Height = 34;
// The width the map takes beside the list at least when it appears.
constexpr int Map_Width = 420;
constexpr int Profiles_Group_Height = 55;
constexpr int Spin_Edit_Width = 60;

const QString Application_Title = QStringLiteral("Plotvane");
const QString Program_Title = QStringLiteral("TMNF/TMUF Plotvane v") + QLatin1String(Program_Version);




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

TMemory_Mask Draw_Memory_Mask(std::uint64_t seed)
{
    std::mt19937_64 generator(seed);
    // 255 values: a mask of 255 would turn every 0 byte of a file into 255 and back.
    std::uniform_int_distribution<int> draw(0, 254);
    return static_cast<TMemory_Mask>(draw(generator));
}

TMainForm::TMainForm(std::vector<std::string> arguments, TGui_Services& gui_services,
                     QWidget* parent)
    : QMainWindow(parent),
      Block_Name_List_Folders(plotvane::Block_Name_List_Folders(Program_Folder())),
      arguments_(std::move(arguments)), gui_services_(gui_services)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(Program_Title);
    Undo_Stack = new QUndoStack(this);
    Undo_Stack->setObjectName(QStringLiteral("Undo_Stack"));
    // The caption's * follows the stack's clean state, also when undo reaches it.
    connect(Undo_Stack, &QUndoStack::cleanChanged, this, [this] { Show_File_Place(); });
    Create_Actions();
    Create_Edit_Actions();
    Create_Map_Dock();
    Create_Menus();
    Create_Tool_Bar();
    Create_Pages();
    Give_Record_Keys_To_List_And_Map();
    Main_StatusBar = new QStatusBar(this);
    Main_StatusBar->setObjectName(QStringLiteral("Main_StatusBar"));
    File_Status_Label = new QLabel(Main_StatusBar);
    File_Status_Label->setObjectName(QStringLiteral("File_Status_Label"));
    // A long path is cut at the window's edge rather than widening the window.
    File_Status_Label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Main_StatusBar->addWidget(File_Status_Label, 1);
    setStatusBar(Main_StatusBar);
    Set_Tab_Order();
    // The window opens with the keyboard in the find field, the first in the tab order.
    Find_Edit->setFocus(Qt::OtherFocusReason);
    Set_Window_Sizes();
    FormCreate();
}

void TMainForm::Set_Window_Sizes()
{
    // The panel is hidden until a block is selected, and a layout leaves hidden widgets out:
    // the smallest size is taken with it shown.
    Block_Panel->show();
    setMinimumSize(minimumSizeHint());
    list_minimum_size_ = minimumSize();
    Block_Panel->hide();
    // The size and place the player left it at, else a first size centred on the screen.
    if (restoreGeometry(Remembered_Window_Geometry())) {
        return;
    }
    const QRect available = screen()->availableGeometry();
    const QSize room = available.size() - QSize(Frame_Width, Frame_Height);
    const QSize size = First_Window_Size().boundedTo(room).expandedTo(minimumSize());
    resize(size);
    move(available.left() + std::max(0, (room.width() - size.width()) / 2),
         available.top() + std::max(0, (room.height() - size.height()) / 2));
}

int TMainForm::Block_List_Width() const
{
    const QHeaderView& header = *List_Block_ListBox->horizontalHeader();
    const int text_margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    int width = List_Block_ListBox->fontMetrics().horizontalAdvance(Long_Block_Line) +
                text_margin + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                2 * List_Block_ListBox->frameWidth() + List_Surround_Width;
    for (int column = TBlock_List_Model::Rotation_Column; column < TBlock_List_Model::Column_Count;
         ++column) {
        width += header.sectionSize(column);
    }
    return width;
}

QSize TMainForm::First_Window_Size() const
{
    // As tall as most of the screen, for many lines; as wide as the list wants, and the map
    // about as wide as its grid can be tall above the legend.
    const int height = screen()->availableGeometry().height() * 7 / 8;
    return {Block_List_Width() + std::max(Map_Width, height * 3 / 4), height};
}

void TMainForm::Fit_Window_To_Map(bool map_appeared)
{
    if (Map_View->isHidden() || Map_View->isFloating()) {
        setMinimumSize(list_minimum_size_);
        return;
    }
    // The list keeps the room a long line wants, the map takes the rest: the window grows for
    // the map, as far as the screen allows.
    const QSize map_minimum = Map_View->minimumSizeHint();
    setMinimumSize(list_minimum_size_.width() + map_minimum.width(),
                   std::max(list_minimum_size_.height(), map_minimum.height()));
    if (!map_appeared) {
        return;
    }
    const int map_width = std::max({map_minimum.width(), Map_Width, width() - Block_List_Width()});
    const QRect available = screen()->availableGeometry();
    const int wanted = std::min(available.width() - Frame_Width,
                                std::max(width(), list_minimum_size_.width() + map_width));
    if (wanted > width()) {
        resize(wanted, height());
        move(std::max(available.left(),
                      std::min(x(), available.right() + 1 - Frame_Width - wanted)),
             y());
    }
    resizeDocks({Map_View}, {map_width}, Qt::Horizontal);
}

void TMainForm::Run_Command(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::bad_alloc&) {
        Show_Application_Error(QStringLiteral(
            "There is not enough memory for this command. Close other programs, or open a "
            "smaller challenge, and try again"));
    }
}

void TMainForm::Connect_Command(QAction* action, void (TMainForm::*command)())
{
    connect(action, &QAction::triggered, this, [this, command] { Run_Command([this, command] { (this->*command)(); }); });
}

TMainForm::~TMainForm()
{
    // The stack announces its clean state as it goes, which must not reach a window half gone.
    disconnect(Undo_Stack, nullptr, this, nullptr);
    // The dock hides and the map loses the keyboard as they go, likewise.
    disconnect(Map_View, nullptr, this, nullptr);
    disconnect(Map_Canvas, nullptr, this, nullptr);
}

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

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip &&
        watched == Main_ToolBar->widgetForAction(ChallengeReload_Action)) {
        return true;
    }
    if (event->type() == QEvent::Close && watched == Map_View) {
        // Closed by its own button: the player does not want it until they show it again.
        Remember_Map_Wanted(false);
        setMinimumSize(list_minimum_size_);
    }
    if (event->type() == QEvent::MouseButtonPress && watched == List_Block_ListBox->viewport()) {
        row_at_press_ = List_Block_ListBox->currentIndex().row();
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool home_or_end = key->key() == Qt::Key_Home || key->key() == Qt::Key_End;
        if (key->modifiers() == Qt::NoModifier && home_or_end && watched == List_Block_ListBox &&
            Block_List_Model->rowCount() > 0) {
            // A table moves Home and End along the row; a list goes to its first and last line.
            const int row = key->key() == Qt::Key_Home ? 0 : Block_List_Model->rowCount() - 1;
            List_Block_ListBox->setCurrentIndex(Block_List_Model->index(row));
            return true;
        }
        auto* spin_edit = qobject_cast<TByte_Spin_Edit*>(watched);
        if (enter && spin_edit != nullptr && spin_edit->parentWidget() == Block_Panel) {
            spin_edit->interpretText();
            Block_Save_BitBtn->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
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

TByte_Spin_Edit* TMainForm::Create_Spin_Edit(const char* name, const QString& caption,
                                             int maximum)
{
    auto* spin_edit = new TByte_Spin_Edit(maximum, Block_Panel);
    spin_edit->setObjectName(QLatin1String(name));
    spin_edit->setMinimumWidth(Spin_Edit_Width);
    QString accessible_name = caption;
    accessible_name.remove(QStringLiteral(" :"));
    spin_edit->setAccessibleName(accessible_name);
    // Enter writes the panel, as the button does.
    spin_edit->installEventFilter(this);
    return spin_edit;
}

QWidget* TMainForm::Create_Block_Panel()
{
    Block_Panel = new QWidget(Mapping_TabSheet);
    Block_Panel->setObjectName(QStringLiteral("Block_Panel"));
    // Laid out rather than placed, so that larger fonts and scaling keep every control whole.
    auto* grid = new QGridLayout(Block_Panel);
    grid->setContentsMargins(4, 4, 4, 4);

    Block_Name_ComboBox = new QComboBox(Block_Panel);
    Block_Name_ComboBox->setObjectName(QStringLiteral("Block_Name_ComboBox"));
    Block_Name_ComboBox->setAccessibleName(QStringLiteral("Block name"));
    Block_Name_ComboBox->setEditable(true);
    // A typed name is the new name; it is never added to the list of names offered.
    Block_Name_ComboBox->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is what is written: names that begin with it are offered in a pop-up, with
    // their letter case, and never filled into the text.
    Block_Name_ComboBox->completer()->setCompletionMode(QCompleter::PopupCompletion);
    Block_Name_ComboBox->completer()->setCaseSensitivity(Qt::CaseSensitive);
    // "Save block modifications to memory" works at the first click with names offered.
    Pass_Clicks_Beside_Name_Popup(*Block_Name_ComboBox);
    Block_Name_ComboBox->setMaxVisibleItems(10);
    Block_Name_ComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Block_Name_ComboBox->setMinimumContentsLength(12);
    grid->addWidget(Block_Name_ComboBox, 0, 0, 1, 4);

    Block_Name_Unlock_SpeedButton = new QToolButton(Block_Panel);
    Block_Name_Unlock_SpeedButton->setObjectName(QStringLiteral("Block_Name_Unlock_SpeedButton"));
    Block_Name_Unlock_SpeedButton->setAccessibleName(QStringLiteral("Unlock block name"));
    Block_Name_Unlock_SpeedButton->setToolTip(QStringLiteral("Unlock block name"));
    Block_Name_Unlock_SpeedButton->setCheckable(true);
    Block_Name_Unlock_SpeedButton->setAutoRaise(true);
    Block_Name_Unlock_SpeedButton->setIcon(Padlock_Icon());
    connect(Block_Name_Unlock_SpeedButton, &QToolButton::clicked, this,
            [this] { Run_Command([this] { Block_Name_Unlock_SpeedButtonClick(); }); });
    grid->addWidget(Block_Name_Unlock_SpeedButton, 0, 4);

    struct TSpin_Edit_Place {
        TByte_Spin_Edit*& Spin_Edit;
        const char* Name;
        QString Caption;
        int Maximum;
    };
    const TSpin_Edit_Place places[] = {
        {Block_Rotation_SpinEdit, "Block_Rotation_SpinEdit", QStringLiteral("Rotation :"),
         Block_Rotation_Max},
        {Block_X_SpinEdit, "Block_X_SpinEdit", QStringLiteral("X :"), 255},
        {Block_Z_SpinEdit, "Block_Z_SpinEdit", QStringLiteral("Z :"), 255},
        {Block_Y_SpinEdit, "Block_Y_SpinEdit", QStringLiteral("Y :"), 255},
        {Block_V1_SpinEdit, "Block_V1_SpinEdit", QStringLiteral("Variation 1 :"), 255},
        {Block_V2_SpinEdit, "Block_V2_SpinEdit", QStringLiteral("variation 2 :"), 255},
        {Block_V3_SpinEdit, "Block_V3_SpinEdit", QStringLiteral("Variation 3 :"), 255},
        {Block_V4_SpinEdit, "Block_V4_SpinEdit", QStringLiteral("Variation 4 :"), 255},
    };
    // Two columns of four rows: rotation and position on the left, the variations on the right.
    for (int i = 0; i < static_cast<int>(std::size(places)); ++i) {
        const TSpin_Edit_Place& place = places[i];
        place.Spin_Edit = Create_Spin_Edit(place.Name, place.Caption, place.Maximum);
        auto* label = new QLabel(place.Caption, Block_Panel);
        label->setObjectName(QLatin1String(place.Name).chopped(9) + QStringLiteral("_Label"));
        label->setBuddy(place.Spin_Edit);
        const int row = 1 + i % 4;
        const int column = i < 4 ? 0 : 2;
        grid->addWidget(label, row, column);
        grid->addWidget(place.Spin_Edit, row, column + 1);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    Block_Save_BitBtn =
        new QPushButton(QStringLiteral("Save block modifications to memory"), Block_Panel);
    Block_Save_BitBtn->setObjectName(QStringLiteral("Block_Save_BitBtn"));
    // A button's own shortcut clicks it only after a short animation; an action of the panel
    // (alive while the panel shows) clicks it at once.
    auto* apply = new QAction(Block_Panel);
    apply->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    Block_Panel->addAction(apply);
    connect(apply, &QAction::triggered, Block_Save_BitBtn, &QPushButton::click);
    Block_Save_BitBtn->setToolTip(
        QStringLiteral("Write these values into the open challenge (%1, or Enter in a number)")
            .arg(apply->shortcut().toString(QKeySequence::NativeText)));
    connect(Block_Save_BitBtn, &QPushButton::clicked, this,
            [this] { Run_Command([this] { Block_Save_BitBtnClick(); }); });
    grid->addWidget(Block_Save_BitBtn, 5, 0, 1, 5);

    Block_Panel->hide();
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

void TMainForm::FormCreate()
{
    Memory_Mask = Draw_Memory_Mask(Clock_Value());
    Challenge_Folder = Get_TrackMania_Folder() + Separator + "Tracks" + Separator +
                       "Challenges" + Separator;
    Current_File_Name.clear();
    session_.reset();

    if (Asks_For_Conversion(arguments_)) {
        conversion_exit_code_ = Convert_From_Command_Line(arguments_.front(), Memory_Mask);
        return;
    }
    Online_Profiles_ListBox->clear();
    const TProfile_List profiles = Get_Online_Profiles(Memory_Mask);
    if (profiles.Empty()) {
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("No valid TMNF/TMUF Online Profile found in  ") +
                         From_Path(Get_TrackMania_Folder() + Separator + "Profiles"),
                     TMessage_Buttons::Ok);
    } else {
        for (const std::string& login : profiles.Logins()) {
            Online_Profiles_ListBox->addItem(From_Bytes(login));
        }
    }
    FormUpdate();
    // plotvane --open CHALLENGE: the Open command on that file, once Open is available.
    if (const std::optional<std::string> file_name = Challenge_To_Open(arguments_);
        file_name && ChallengeOpen_Action->isEnabled()) {
        Load_Challenge(*file_name, true);
    }
}

std::vector<std::string> TMainForm::Profile_Logins() const
{
    std::vector<std::string> logins;
    for (int i = 0; i < Online_Profiles_ListBox->count(); ++i) {
        logins.push_back(To_Bytes(Online_Profiles_ListBox->item(i)->text()));
    }
    return logins;
}

void TMainForm::FormUpdate()
{
    if (Online_Profiles_ListBox->count() > 0) {
        ChallengeOpen_Action->setEnabled(true);
    } else {
        ChallengeNew_Action->setEnabled(false);
        ChallengeOpen_Action->setEnabled(false);
    }
    const bool challenge_open = !Current_File_Name.empty();
    ChallengeReload_Action->setEnabled(challenge_open);
    ChallengeSave_Action->setEnabled(challenge_open);
    ChallengeSaveAs_Action->setEnabled(challenge_open);
    Update_Edit_Actions();
}

void TMainForm::ChallengeNew_ActionExecute()
{
    // New makes nothing: the command is there but never available.
}

void TMainForm::Exit_ActionExecute()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (Settle_Panel_Edits() && Confirm_Discarding_Block_Changes()) {
        Close_Challenge();
        Remember_Window_Geometry(saveGeometry());
        event->accept();
    } else {
        event->ignore();
    }
}

bool TMainForm::Confirm_Discarding_Block_Changes()
{
    if (!Is_Modified()) {
        return true;
    }
    switch (Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                         QStringLiteral("The block changes made to \"%1\" are not saved. Do you "
                                        "want to save them? If you discard them, they are lost.")
                             .arg(From_Path(File_Part(Current_File_Name))),
                         TMessage_Buttons::Save_Discard_Cancel)) {
    case TMessage_Answer::Save:
        // A save that fails or is cancelled keeps the changes, and the window with them.
        return Save_Challenge();
    case TMessage_Answer::Discard:
        return true;
    default:
        return false;
    }
}

bool TMainForm::Is_Modified() const
{
    return !Undo_Stack->isClean();
}

const TFlexible_Byte_Array& TMainForm::Expanded_Image() const
{
    static const TFlexible_Byte_Array none;
    return session_ ? session_->Image() : none;
}

const TTMF_Challenge_Block_Address_List& TMainForm::Block_Address_List() const
{
    static const TTMF_Challenge_Block_Address_List none;
    return session_ ? session_->Blocks() : none;
}

void TMainForm::Close_Challenge()
{
    // The commands and the list read the session: they go first.
    Undo_Stack->clear();
    Forget_Block_List();
    session_.reset();
    // The next challenge may be of another collection, or its list may have been mended.
    block_name_list_.reset();
    unchecked_names_told_ = false;
}

void TMainForm::Show_File_Place()
{
    QString caption = Program_Title;
    if (!Current_File_Name.empty()) {
        // Qt shows the mark of unsaved changes where [*] stands, after the file's name, or the
        // system's own mark where it has one; a [*] of the name itself is kept by doubling it.
        QString file = From_Path(File_Part(Current_File_Name));
        file.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
        caption += QStringLiteral(" - ") + file + QStringLiteral("[*]");
    }
    setWindowTitle(caption);
    setWindowModified(Is_Modified());
    QString place = From_Path(Current_File_Name);
    if (!Current_File_Name.empty() && Block_List_Model->rowCount() > 0) {
        const std::size_t blocks = Block_Address_List().Block_Offsets.size();
        place += (blocks == 1 ? QStringLiteral(" - %1 block") : QStringLiteral(" - %1 blocks"))
                     .arg(blocks);
    }
    File_Status_Label->setText(place);
    File_Status_Label->setToolTip(place);
}

void TMainForm::Show_Application_Error(const QString& text)
{
    gui_services_.Message_Box(this, TMessage_Kind::Error, Application_Title,
                              text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.'),
                              TMessage_Buttons::Ok);
}

void TMainForm::List_Block_BitBtnClick()
{
    if (!session_) {
        return;
    }
    // Again at every listing: a rename changes the image's length, and with it the delta.
    Set_Packed_Offset_Delta();
    Block_List_Model->Show_List(*session_, Packed_Offset_Delta);
    Map_Canvas->Show_Challenge(*session_);
    const TTMF_Challenge_Block_Address_List& list = session_->Blocks();
    if (list.Complete) {
        Main_StatusBar->clearMessage();
    } else {
        Main_StatusBar->showMessage(Incomplete_Block_List_Text(list.Block_Offsets.size()));
    }
    Apply_Find();
    Show_File_Place();
}

void TMainForm::Set_Packed_Offset_Delta()
{
    // Follows from the image's length alone: nothing is packed.
    std::uint32_t delta = 0;
    Gbx_Packed_Offset_Delta(Expanded_Image(), Memory_Mask, delta);
    Packed_Offset_Delta = static_cast<std::int32_t>(delta);
}

void TMainForm::Forget_Block_List()
{
    Block_List_Model->Clear();
    Map_Canvas->Clear();
    Show_Map_As_Wanted();
    Block_Panel->hide();
    Selected_Block_Index = -1;
    Show_File_Place();
}

void TMainForm::Help_AboutExecute()
{
    if (AboutBox != nullptr) {
        AboutBox->exec();
    }
}

} // namespace plotvane
