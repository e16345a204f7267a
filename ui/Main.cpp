#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "challenge/TMF_Block_Names.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_System.h"
#include "platform/Gui_Services.h"
#include "platform/Process.h"
#include "ui/About.h"
#include "ui/Block_List_Model.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>
#include <iostream>
#include <random>
#include <utility>

namespace plotvane {

const char* const Program_Version = "0.4d Alpha";
std::uint32_t Backup_Counter = 0;

namespace {

constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);

// Sizes of the window and its panel, in pixels.
constexpr int Client_Width = 353;
constexpr int Client_Height = 628;
// The smallest outer size is 361 × 360; a usual frame takes 8 of the width and 34 of the
// height (borders and caption), which leaves this for the window itself.
constexpr int Minimum_Client_Width = 353;
constexpr int Minimum_Client_Height = 326;
constexpr int Design_Left = 192;
constexpr int Design_Top = 102;
constexpr int Profiles_Group_Height = 55;
constexpr int Block_Panel_Height = 187;
constexpr int Spin_Edit_Width = 50;
constexpr int Row_Spacing = 30;

const QString Application_Title = QStringLiteral("Plotvane");
const QString Challenge_Filter = QStringLiteral("Challenge files|*.Challenge.Gbx");
// Added to a typed name without a suffix, so that it stays visible to the Open filter.
const QString Challenge_Suffix = QStringLiteral("Challenge.Gbx");

// The core takes paths as the system's narrow strings: the locale's encoding on Linux, the
// ANSI code page on Windows. Qt knows both ways, also for a name that is not valid UTF-8.
QString From_Path(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string To_Path(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Names and logins are byte strings: each byte is the character of the same number, so a text
// shown and read back gives exactly the bytes it had.
QString From_Bytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string To_Bytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

// Everything up to and including the last separator.
std::string Folder_Part(const std::string& path)
{
#ifdef _WIN32
    const std::size_t end = path.find_last_of("\\:/");
#else
    const std::size_t end = path.find_last_of('/');
#endif
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// A padlock: closed while the name is locked (button raised), open once unlocked (button
// down), crossed out when the button is disabled.
QIcon Padlock_Icon()
{
    const auto draw = [](bool open, bool crossed) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(80, 80, 80), 1.6));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(open ? 7.5 : 4.5, 1.5, 7, 9), 0, 180 * 16);
        painter.drawLine(QPointF(open ? 14.5 : 11.5, 6), QPointF(open ? 14.5 : 11.5, 7.5));
        if (!open) {
            painter.drawLine(QPointF(4.5, 6), QPointF(4.5, 7.5));
        }
        painter.setBrush(QColor(218, 165, 32));
        painter.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
        if (crossed) {
            painter.setPen(QPen(QColor(200, 30, 30), 2));
            painter.drawLine(QPointF(1, 1), QPointF(15, 15));
        }
        return pixmap;
    };
    QIcon icon;
    icon.addPixmap(draw(false, false), QIcon::Normal, QIcon::Off);
    icon.addPixmap(draw(true, false), QIcon::Normal, QIcon::On);
    icon.addPixmap(draw(false, true), QIcon::Disabled, QIcon::Off);
    icon.addPixmap(draw(false, true), QIcon::Disabled, QIcon::On);
    return icon;
}

QString Refusal_Text(TBlock_Write_Status status, const std::string& name)
{
    switch (status) {
    case TBlock_Write_Status::Name_Not_Defined:
        return QStringLiteral("The name \"%1\" is not one of the names this challenge defines "
                              "up to this block. Nothing was written.")
            .arg(From_Bytes(name));
    case TBlock_Write_Status::Size_Fields_Not_Walked:
        return QStringLiteral("The block list could not be read to its end, so a name written "
                              "in place cannot be changed. Nothing was written.");
    case TBlock_Write_Status::Image_Too_Large:
        return QStringLiteral("The new name would make the challenge too large. Nothing was "
                              "written.");
    case TBlock_Write_Status::Block_Not_Walked:
    case TBlock_Write_Status::Written:
        break;
    }
    return QStringLiteral("This block is not in the block list read. Nothing was written.");
}

std::string Status_Text(std::uint32_t status)
{
    return "status " + std::to_string(status) + " (" + Status_Meaning(status) + ")";
}

// The one line a failed conversion leaves on standard error; returns the exit code.
int Report_Conversion_Failure(const std::string& file_name, const std::string& what_failed,
                              int exit_code)
{
    std::cerr << "plotvane: " << file_name << ": " << what_failed << " (exit code " << exit_code
              << ")\n";
    return exit_code;
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
    : QMainWindow(parent), Block_Name_List_Folder(Program_Folder()),
      arguments_(std::move(arguments)), gui_services_(gui_services)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("TMNF/TMUF Plotvane v") + QLatin1String(Program_Version));
    Create_Actions();
    Create_Menus();
    Create_Tool_Bar();
    Create_Pages();
    Main_StatusBar = new QStatusBar(this);
    Main_StatusBar->setObjectName(QStringLiteral("Main_StatusBar"));
    setStatusBar(Main_StatusBar);
    Set_Tab_Order();
    setMinimumSize(Minimum_Client_Width, Minimum_Client_Height);
    resize(Client_Width, Client_Height);
    move(Design_Left, Design_Top);
    FormCreate();
}

TMainForm::~TMainForm() = default;

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
    Exit_Action = make("Exit_Action", QStringLiteral("E&xit"), QStringLiteral("Exit"),
                       QStringLiteral("Exit application"));
    Help_About =
        make("Help_About", QStringLiteral("&About..."), QStringLiteral("About"),
             QStringLiteral("Displays program information, version number, and copyright"));
    ChallengeRead_Item = make("ChallengeRead_Item", QStringLiteral("Read &Challenge"),
                              QString(), QStringLiteral("Read challenge infos"));
    ChallengeRead_Item->setCheckable(true);
    ChallengeRead_Item->setChecked(true);

    connect(ChallengeNew_Action, &QAction::triggered, this,
            &TMainForm::ChallengeNew_ActionExecute);
    connect(ChallengeOpen_Action, &QAction::triggered, this,
            &TMainForm::ChallengeOpen_ActionExecute);
    connect(ChallengeReload_Action, &QAction::triggered, this,
            &TMainForm::ChallengeReload_ActionExecute);
    connect(ChallengeSave_Action, &QAction::triggered, this,
            &TMainForm::ChallengeSave_ActionExecute);
    connect(ChallengeSaveAs_Action, &QAction::triggered, this,
            &TMainForm::ChallengeSaveAs_ActionExecute);
    connect(Exit_Action, &QAction::triggered, this, &TMainForm::Exit_ActionExecute);
    connect(Help_About, &QAction::triggered, this, &TMainForm::Help_AboutExecute);
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
    Challenge_Menu->addSeparator();
    Challenge_Menu->addAction(Exit_Action);

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

    // A one-column table without headers or grid, which a user sees as a list box. A list view
    // lays out every row whenever the list changes (about 20 ns a row, five times the block
    // walk itself for a million blocks); a table of fixed-height rows computes positions and
    // draws only the rows in sight.
    List_Block_ListBox = new QTableView(Mapping_TabSheet);
    List_Block_ListBox->setObjectName(QStringLiteral("List_Block_ListBox"));
    List_Block_ListBox->setAccessibleName(QStringLiteral("Block list"));
    List_Block_ListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List_Block_ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    List_Block_ListBox->setSelectionBehavior(QAbstractItemView::SelectRows);
    List_Block_ListBox->setShowGrid(false);
    List_Block_ListBox->setWordWrap(false);
    // Tab leaves the list for the panel instead of moving from cell to cell.
    List_Block_ListBox->setTabKeyNavigation(false);
    List_Block_ListBox->horizontalHeader()->hide();
    List_Block_ListBox->horizontalHeader()->setStretchLastSection(true);
    List_Block_ListBox->verticalHeader()->hide();
    List_Block_ListBox->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List_Block_ListBox->verticalHeader()->setDefaultSectionSize(
        List_Block_ListBox->fontMetrics().height() + 2);
    Block_List_Model =
        new TBlock_List_Model(Expanded_Image, Block_Address_List, Memory_Mask, List_Block_ListBox);
    List_Block_ListBox->setModel(Block_List_Model);
    connect(List_Block_ListBox->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TMainForm::List_Block_ListBoxDblClick);
    page_layout->addWidget(List_Block_ListBox, 1);

    page_layout->addWidget(Create_Block_Panel());
    return Mapping_TabSheet;
}

QSpinBox* TMainForm::Create_Spin_Edit(QWidget* panel, const char* name, const QString& caption,
                                      int maximum, int left, int top)
{
    auto* label = new QLabel(caption, panel);
    label->setObjectName(QLatin1String(name).chopped(9) + QStringLiteral("_Label"));
    label->move(left, top + 3);
    auto* spin_edit = new QSpinBox(panel);
    spin_edit->setObjectName(QLatin1String(name));
    spin_edit->setRange(0, maximum);
    spin_edit->setValue(0);
    // A text left that is no whole number reads as the minimum, 0, not as the value before.
    spin_edit->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    spin_edit->setGeometry(left + 80, top, Spin_Edit_Width, 22);
    label->setBuddy(spin_edit);
    QString accessible_name = caption;
    accessible_name.remove(QStringLiteral(" :"));
    spin_edit->setAccessibleName(accessible_name);
    return spin_edit;
}

QWidget* TMainForm::Create_Block_Panel()
{
    Block_Panel = new QWidget(Mapping_TabSheet);
    Block_Panel->setObjectName(QStringLiteral("Block_Panel"));
    Block_Panel->setFixedHeight(Block_Panel_Height);
    Block_Panel->setMinimumWidth(339);

    Block_Name_ComboBox = new QComboBox(Block_Panel);
    Block_Name_ComboBox->setObjectName(QStringLiteral("Block_Name_ComboBox"));
    Block_Name_ComboBox->setAccessibleName(QStringLiteral("Block name"));
    Block_Name_ComboBox->setEditable(true);
    // A typed name is the new name; it is never added to the list of names offered.
    Block_Name_ComboBox->setInsertPolicy(QComboBox::NoInsert);
    Block_Name_ComboBox->setMaxVisibleItems(10);
    Block_Name_ComboBox->setGeometry(8, 8, 297, 22);

    Block_Name_Unlock_SpeedButton = new QToolButton(Block_Panel);
    Block_Name_Unlock_SpeedButton->setObjectName(QStringLiteral("Block_Name_Unlock_SpeedButton"));
    Block_Name_Unlock_SpeedButton->setAccessibleName(QStringLiteral("Unlock block name"));
    Block_Name_Unlock_SpeedButton->setToolTip(QStringLiteral("Unlock block name"));
    Block_Name_Unlock_SpeedButton->setCheckable(true);
    Block_Name_Unlock_SpeedButton->setAutoRaise(true);
    Block_Name_Unlock_SpeedButton->setGeometry(308, 8, 21, 21);
    Block_Name_Unlock_SpeedButton->setIcon(Padlock_Icon());
    connect(Block_Name_Unlock_SpeedButton, &QToolButton::clicked, this,
            &TMainForm::Block_Name_Unlock_SpeedButtonClick);

    const int first_row = 40;
    Block_Rotation_SpinEdit = Create_Spin_Edit(Block_Panel, "Block_Rotation_SpinEdit",
                                               QStringLiteral("Rotation :"), 3, 8, first_row);
    Block_X_SpinEdit = Create_Spin_Edit(Block_Panel, "Block_X_SpinEdit", QStringLiteral("X :"),
                                        255, 8, first_row + Row_Spacing);
    Block_Z_SpinEdit = Create_Spin_Edit(Block_Panel, "Block_Z_SpinEdit", QStringLiteral("Z :"),
                                        255, 8, first_row + 2 * Row_Spacing);
    Block_Y_SpinEdit = Create_Spin_Edit(Block_Panel, "Block_Y_SpinEdit", QStringLiteral("Y :"),
                                        255, 8, first_row + 3 * Row_Spacing);
    Block_V1_SpinEdit = Create_Spin_Edit(Block_Panel, "Block_V1_SpinEdit",
                                         QStringLiteral("Variation 1 :"), 255, 170, first_row);
    Block_V2_SpinEdit =
        Create_Spin_Edit(Block_Panel, "Block_V2_SpinEdit", QStringLiteral("variation 2 :"), 255,
                         170, first_row + Row_Spacing);
    Block_V3_SpinEdit =
        Create_Spin_Edit(Block_Panel, "Block_V3_SpinEdit", QStringLiteral("Variation 3 :"), 255,
                         170, first_row + 2 * Row_Spacing);
    Block_V4_SpinEdit =
        Create_Spin_Edit(Block_Panel, "Block_V4_SpinEdit", QStringLiteral("Variation 4 :"), 255,
                         170, first_row + 3 * Row_Spacing);

    Block_Save_BitBtn =
        new QPushButton(QStringLiteral("Save block modifications to memory"), Block_Panel);
    Block_Save_BitBtn->setObjectName(QStringLiteral("Block_Save_BitBtn"));
    Block_Save_BitBtn->setGeometry(8, 160, 320, 20);
    connect(Block_Save_BitBtn, &QPushButton::clicked, this, &TMainForm::Block_Save_BitBtnClick);

    Block_Panel->hide();
    return Block_Panel;
}

void TMainForm::Set_Tab_Order()
{
    const QWidget* const order[] = {
        List_Block_ListBox, Block_Name_ComboBox, Block_Name_Unlock_SpeedButton,
        Block_Rotation_SpinEdit, Block_X_SpinEdit, Block_Z_SpinEdit, Block_Y_SpinEdit,
        Block_V1_SpinEdit, Block_V2_SpinEdit, Block_V3_SpinEdit, Block_V4_SpinEdit,
        Block_Save_BitBtn};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
    }
}

void TMainForm::FormCreate()
{
    Memory_Mask = Draw_Memory_Mask(Clock_Value());
    Backup_Counter = 0;
    Challenge_Folder = Get_TrackMania_Folder() + Separator + "Tracks" + Separator +
                       "Challenges" + Separator;
    Current_File_Name.clear();
    Clear_Array(Expanded_Image);

    Online_Profiles_ListBox->clear();
    const TProfile_List profiles = Get_Online_Profiles(Memory_Mask);
    if (profiles.Empty()) {
        if (arguments_.size() == 1) {
            conversion_exit_code_ = Report_Conversion_Failure(
                arguments_.front(),
                "no online profile found in " + Get_TrackMania_Folder() + Separator + "Profiles",
                Exit_No_Profile);
            return;
        }
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("No valid TMNF/TMUF Online Profile found in  ") +
                         From_Path(Get_TrackMania_Folder() + Separator + "Profiles"),
                     TMessage_Buttons::Ok);
    } else {
        for (const std::string& login : profiles.Logins()) {
            Online_Profiles_ListBox->addItem(From_Bytes(login));
        }
        if (arguments_.size() == 1) {
            conversion_exit_code_ = Convert_Challenge(arguments_.front());
            return;
        }
    }
    FormUpdate();
}

std::vector<std::string> TMainForm::Profile_Logins() const
{
    std::vector<std::string> logins;
    for (int i = 0; i < Online_Profiles_ListBox->count(); ++i) {
        logins.push_back(To_Bytes(Online_Profiles_ListBox->item(i)->text()));
    }
    return logins;
}

int TMainForm::Convert_Challenge(const std::string& file_name)
{
    std::uint32_t status = Status_Ok;
    try {
        status = Gbx_Load_File(file_name, Expanded_Image, Memory_Mask);
    } catch (const EInOutError& error) {
        return Report_Conversion_Failure(file_name, std::string("loading failed: ") + error.what(),
                                         Exit_Load_Failed);
    }
    if (status != Status_Ok) {
        return Report_Conversion_Failure(file_name, "loading failed: " + Status_Text(status),
                                         Exit_Load_Failed);
    }
    Current_File_Name = file_name;
    if (!Challenge_Author_Is_Listed(Expanded_Image, Profile_Logins(), Memory_Mask)) {
        std::string author;
        Challenge_Read_Author(Expanded_Image, Memory_Mask, author);
        return Report_Conversion_Failure(
            file_name, "the author \"" + author + "\" is not one of the online profiles",
            Exit_Author_Not_Listed);
    }
    const std::string backup_name = file_name + ".bak";
    if (File_Exists(file_name)) {
        try {
            Copy_File(file_name, backup_name);
        } catch (const EInOutError& error) {
            return Report_Conversion_Failure(
                file_name, "copying to " + backup_name + " failed: " + error.what(),
                Exit_Backup_Failed);
        }
    }
    try {
        status = Gbx_Save_File(file_name, Expanded_Image, 0, Memory_Mask);
    } catch (const EInOutError& error) {
        return Report_Conversion_Failure(file_name, std::string("saving failed: ") + error.what(),
                                         Exit_Save_Failed);
    }
    if (status != Status_Ok) {
        return Report_Conversion_Failure(file_name, "saving failed: " + Status_Text(status),
                                         Exit_Save_Failed);
    }
    return Exit_Converted;
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
    if (Confirm_Discarding_Block_Changes()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool TMainForm::Confirm_Discarding_Block_Changes()
{
    return !modified_ ||
           Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                        QStringLiteral("The block changes made to this challenge are not saved. "
                                       "Do you want to discard them?"),
                        TMessage_Buttons::Yes_No) == TMessage_Answer::Yes;
}

void TMainForm::Set_Modified(bool modified)
{
    modified_ = modified;
    const QString title = QStringLiteral("TMNF/TMUF Plotvane v") + QLatin1String(Program_Version);
    setWindowTitle(modified ? QLatin1Char('*') + title : title);
}

void TMainForm::Show_Application_Error(const QString& text)
{
    gui_services_.Message_Box(this, TMessage_Kind::Error, Application_Title,
                              text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.'),
                              TMessage_Buttons::Ok);
}

void TMainForm::ChallengeOpen_ActionExecute()
{
    if (!Confirm_Discarding_Block_Changes()) {
        return;
    }
    const std::optional<QString> chosen = gui_services_.Open_File_Name(
        this, {Challenge_Filter, From_Path(Challenge_Folder), QString(), Challenge_Suffix});
    if (chosen) {
        Load_Challenge(To_Path(*chosen), true);
    }
}

void TMainForm::ChallengeReload_ActionExecute()
{
    if (Current_File_Name.empty() || !Confirm_Discarding_Block_Changes()) {
        return;
    }
    Load_Challenge(Current_File_Name, false);
}

void TMainForm::Load_Challenge(const std::string& file_name, bool takes_new_name)
{
    // Loaded beside the open challenge, which stays as it is unless this one is accepted.
    TFlexible_Byte_Array image;
    std::uint32_t status = Status_Ok;
    try {
        status = Gbx_Load_File(file_name, image, Memory_Mask);
    } catch (const EInOutError& error) {
        Show_Application_Error(QString::fromLocal8Bit(error.what()));
        return;
    }
    if (status != Status_Ok) {
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("Error (%1) loading file").arg(status), TMessage_Buttons::Ok);
    } else if (!Challenge_Author_Is_Listed(image, Profile_Logins(), Memory_Mask)) {
        std::string author;
        Challenge_Read_Author(image, Memory_Mask, author);
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("Challenge creator (") + From_Bytes(author) +
                         QStringLiteral(") not corresponding with listed profiles"),
                     TMessage_Buttons::Ok);
    } else {
        if (takes_new_name) {
            Current_File_Name = file_name;
            Challenge_Folder = Folder_Part(file_name);
        }
        Expanded_Image = std::move(image);
        Set_Packed_Offset_Delta();
        Set_Modified(false);
        if (ChallengeRead_Item->isChecked()) {
            List_Block_BitBtnClick();
            Block_Panel->hide();
        } else {
            Forget_Block_List();
        }
    }
    FormUpdate();
}

void TMainForm::ChallengeSave_ActionExecute()
{
    if (File_Exists(Current_File_Name)) {
        if (Backup_Counter >= 9) {
            Backup_Counter = 0;
        }
        ++Backup_Counter;
        try {
            Copy_File(Current_File_Name, Current_File_Name + ".bak" + std::to_string(Backup_Counter));
        } catch (const EInOutError&) {
            if (Show_Message(gui_services_, this, TMessage_Kind::Error,
                             QStringLiteral("Error saving .bak file. Do you want to overwrite "
                                            "original without backup?"),
                             TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
                return;
            }
        }
    }
    Save_Image_To(Current_File_Name);
}

void TMainForm::ChallengeSaveAs_ActionExecute()
{
    const std::optional<QString> chosen = gui_services_.Save_File_Name(
        this, {Challenge_Filter, QString(), From_Path(Current_File_Name), Challenge_Suffix});
    if (!chosen) {
        return;
    }
    const std::string target = To_Path(*chosen);
    if (File_Exists(target) &&
        Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                     QStringLiteral("OK to overwrite %1").arg(*chosen),
                     TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
        return;
    }
    if (Save_Image_To(target)) {
        Current_File_Name = target;
        Challenge_Folder = Folder_Part(target);
        FormUpdate();
    }
}

bool TMainForm::Save_Image_To(const std::string& file_name)
{
    std::uint32_t status = Status_Ok;
    try {
        status = Gbx_Save_File(file_name, Expanded_Image, 0, Memory_Mask);
    } catch (const EInOutError& error) {
        Show_Application_Error(QString::fromLocal8Bit(error.what()));
        return false;
    }
    if (status != Status_Ok) {
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     QStringLiteral("Error (%1) saving file").arg(status), TMessage_Buttons::Ok);
        return false;
    }
    Set_Modified(false);
    return true;
}

void TMainForm::List_Block_BitBtnClick()
{
    Block_Address_List = Challenge_Read_Block_List(Expanded_Image, Memory_Mask);
    // Again at every listing: a rename changes the image's length, and with it the delta.
    Set_Packed_Offset_Delta();
    Block_List_Model->Show_List(Packed_Offset_Delta);
    if (Block_Address_List.Complete) {
        Main_StatusBar->clearMessage();
    } else {
        Main_StatusBar->showMessage(
            Incomplete_Block_List_Text(Block_Address_List.Block_Offsets.size()));
    }
}

void TMainForm::Set_Packed_Offset_Delta()
{
    // Follows from the image's length alone: nothing is packed.
    std::uint32_t delta = 0;
    Gbx_Packed_Offset_Delta(Expanded_Image, Memory_Mask, delta);
    Packed_Offset_Delta = static_cast<std::int32_t>(delta);
}

void TMainForm::Forget_Block_List()
{
    Block_Address_List = TTMF_Challenge_Block_Address_List();
    Block_List_Model->Clear();
    Block_Panel->hide();
    Selected_Block_Index = -1;
}

void TMainForm::List_Block_ListBoxDblClick()
{
    const QModelIndex current = List_Block_ListBox->currentIndex();
    if (!current.isValid() || current.row() == 0 ||
        static_cast<std::size_t>(current.row()) > Block_Address_List.Block_Offsets.size()) {
        return;
    }
    Selected_Block_Index = current.row() - 1;
    // The panel shows again only once the whole block is in it, so that a save never writes
    // the values of an earlier block into this one.
    Block_Panel->hide();
    if (Show_Block(static_cast<std::size_t>(Selected_Block_Index))) {
        Block_Panel->show();
    }
}

bool TMainForm::Show_Block(std::size_t block_index)
{
    const std::optional<TChallenge_Block> block =
        Challenge_Read_Block(Expanded_Image, Block_Address_List, block_index, Memory_Mask);
    if (!block) {
        return false;
    }
    Block_Name_ComboBox->clear();
    Block_Name_ComboBox->clearEditText();
    if (!block->Name_In_Place) {
        const std::vector<std::string>& table = Block_Address_List.String_Table;
        const std::size_t last =
            std::min<std::size_t>(Block_Address_List.Last_String_Indexes[block_index],
                                  table.size() - 1);
        QStringList names;
        for (std::size_t k = Block_Address_List.First_Block_Name_Index; k <= last; ++k) {
            names.append(From_Bytes(table[k]));
        }
        Block_Name_ComboBox->addItems(names);
        Block_Name_ComboBox->setEditText(From_Bytes(block->Name));
        Block_Name_ComboBox->setEnabled(true);
        Block_Name_Unlock_SpeedButton->hide();
    } else {
        Block_Name_ComboBox->setEditText(From_Bytes(block->Name));
        try {
            const std::vector<std::string> names = Read_Block_Name_List(
                Block_Name_List_Folder +
                Block_Name_List_File_Name(Block_Address_List.Collection_Name));
            QStringList items;
            for (const std::string& name : names) {
                items.append(From_Bytes(name));
            }
            Block_Name_ComboBox->addItems(items);
            Block_Name_ComboBox->setEditText(From_Bytes(block->Name));
        } catch (const EFOpenError& error) {
            Show_Application_Error(QString::fromLocal8Bit(error.what()));
            return false;
        }
        Block_Name_ComboBox->setEnabled(false);
        Block_Name_Unlock_SpeedButton->setChecked(false);
        Block_Name_Unlock_SpeedButton->show();
        name_unlocked_ = false;
    }
    const std::uint8_t values[] = {block->Rotation,      block->X,
                                   block->Z,             block->Y,
                                   block->Variations[0], block->Variations[1],
                                   block->Variations[2], block->Variations[3]};
    QSpinBox* const spin_edits[] = {Block_Rotation_SpinEdit, Block_X_SpinEdit, Block_Z_SpinEdit,
                                    Block_Y_SpinEdit,        Block_V1_SpinEdit, Block_V2_SpinEdit,
                                    Block_V3_SpinEdit,       Block_V4_SpinEdit};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        spin_edits[i]->setValue(values[i]); // a rotation above 3 shows 3
    }
    return true;
}

void TMainForm::Block_Name_Unlock_SpeedButtonClick()
{
    if (name_unlocked_) {
        // Once unlocked the button stays down.
        Block_Name_Unlock_SpeedButton->setChecked(true);
        return;
    }
    if (Show_Message(gui_services_, this, TMessage_Kind::Warning,
                     QStringLiteral("This block contain the main description. If you modify it "
                                    "name, all instances of this block type will be modified"),
                     TMessage_Buttons::Ok_Cancel) == TMessage_Answer::Ok) {
        Block_Name_ComboBox->setEnabled(true);
        Block_Name_Unlock_SpeedButton->setChecked(true);
        name_unlocked_ = true;
    } else {
        Block_Name_Unlock_SpeedButton->setChecked(false);
    }
}

void TMainForm::Block_Save_BitBtnClick()
{
    if (Block_Panel->isHidden() || Selected_Block_Index < 0) {
        return;
    }
    const auto block_index = static_cast<std::size_t>(Selected_Block_Index);
    const std::optional<TChallenge_Block> old_block =
        Challenge_Read_Block(Expanded_Image, Block_Address_List, block_index, Memory_Mask);
    const TBlock_Field_Bytes bytes = {
        static_cast<std::uint8_t>(Block_Rotation_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_X_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_Z_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_Y_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_V1_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_V2_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_V3_SpinEdit->value()),
        static_cast<std::uint8_t>(Block_V4_SpinEdit->value())};
    if (old_block &&
        Variations_Change_Game_Reading(old_block->Variations,
                                       {bytes[4], bytes[5], bytes[6], bytes[7]}) &&
        Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                     QStringLiteral("These variation values change how the game reads the "
                                    "block list (whether an author record follows this block, "
                                    "or whether it counts as a block): the game may no longer "
                                    "load the challenge. Write them anyway?"),
                     TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
        return;
    }
    const std::string name = To_Bytes(Block_Name_ComboBox->currentText());
    const TBlock_Write_Status status = Challenge_Write_Block(
        Expanded_Image, Block_Address_List, block_index, name, bytes, Memory_Mask);
    if (status != TBlock_Write_Status::Written) {
        Show_Message(gui_services_, this, TMessage_Kind::Error, Refusal_Text(status, name),
                     TMessage_Buttons::Ok);
        return;
    }
    Set_Modified(true);
    List_Block_BitBtnClick();
    Select_Line_Quietly(Selected_Block_Index + 1);
    List_Block_ListBox->setFocus();
}

void TMainForm::Select_Line_Quietly(int row)
{
    const QSignalBlocker blocker(List_Block_ListBox->selectionModel());
    const QModelIndex index = Block_List_Model->index(row);
    List_Block_ListBox->selectionModel()->setCurrentIndex(index,
                                                          QItemSelectionModel::ClearAndSelect);
    // The view repaints from the selection model's state, which the blocked signals did not
    // announce.
    List_Block_ListBox->viewport()->update();
    List_Block_ListBox->scrollTo(index);
}

void TMainForm::Help_AboutExecute()
{
    if (AboutBox != nullptr) {
        AboutBox->exec();
    }
}

} // namespace plotvane
