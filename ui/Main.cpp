// The window's life: its creation (FormCreate: the conversion, the profiles, --open), its
// sizes, the commands' run, closing with the confirmation of unsaved changes, the caption and
// the status bar's file place, and the listing of the open challenge's blocks.
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
#include "ui/Block_List_Model.h"
#include "ui/Byte_Text.h"
#include "ui/Command_Line.h"
#include "ui/Map_View.h"
#include "ui/Path_Text.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QUndoStack>

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

const QString Application_Title = QStringLiteral("Plotvane");
const QString Program_Title = QStringLiteral("TMNF/TMUF Plotvane v") + QLatin1String(Program_Version);

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
    Create_Status_Bar();
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
        const bool home_or_end = key->key() == Qt::Key_Home || key->key() == Qt::Key_End;
        if (key->modifiers() == Qt::NoModifier && home_or_end && watched == List_Block_ListBox &&
            Block_List_Model->rowCount() > 0) {
            // A table moves Home and End along the row; a list goes to its first and last line.
            const int row = key->key() == Qt::Key_Home ? 0 : Block_List_Model->rowCount() - 1;
            List_Block_ListBox->setCurrentIndex(Block_List_Model->index(row));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
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
    Block_Panel->Forget();
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
