#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_System.h"
#include "platform/Gui_Services.h"
#include "platform/Process.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
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

QString From_Path(const std::string& path)
{
    return QString::fromStdString(path);
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
    : QMainWindow(parent), arguments_(std::move(arguments)), gui_services_(gui_services)
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
    connect(Exit_Action, &QAction::triggered, this, &TMainForm::Exit_ActionExecute);
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

    List_Block_ListBox = new QListView(Mapping_TabSheet);
    List_Block_ListBox->setObjectName(QStringLiteral("List_Block_ListBox"));
    List_Block_ListBox->setAccessibleName(QStringLiteral("Block list"));
    List_Block_ListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List_Block_ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    List_Block_ListBox->setUniformItemSizes(true);
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
            Online_Profiles_ListBox->addItem(QString::fromStdString(login));
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
        logins.push_back(Online_Profiles_ListBox->item(i)->text().toStdString());
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

} // namespace plotvane
