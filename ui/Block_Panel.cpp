// The block panel: its controls, the block it shows, its questions and its write.
#include "ui/Block_Panel.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "platform/Gui_Services.h"
#include "ui/Art.h"
#include "ui/Batch_Dialogs.h"
#include "ui/Byte_Spin_Edit.h"
#include "ui/Byte_Text.h"

#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>

#include <iterator>

namespace plotvane {

namespace {

constexpr int Spin_Edit_Width = 60;
constexpr int Name_Row = 0;
constexpr int First_Number_Row = 1;
constexpr int Save_Row = 5;
constexpr int Column_Count = 5;

QString Refusal_Text(TEdit_Status status, const std::string& name)
{
    switch (status) {
    case TEdit_Status::Name_Not_Defined:
        return QStringLiteral("The name \"%1\" is not one of the names this challenge defines "
                              "up to this block. Nothing was written.")
            .arg(From_Bytes(name));
    case TEdit_Status::Size_Fields_Not_Walked:
        return QStringLiteral("The block list could not be read to its end, so a name written "
                              "in place cannot be changed. Nothing was written.");
    case TEdit_Status::Image_Too_Large:
        return QStringLiteral("The new name would make the challenge too large. Nothing was "
                              "written.");
    default:
        break;
    }
    return QStringLiteral("This block is not in the block list read. Nothing was written.");
}

} // namespace

TBlock_Panel::TBlock_Panel(TGui_Services& gui_services, QWidget* parent)
    : QWidget(parent), gui_services_(gui_services)
{
    setObjectName(QStringLiteral("Block_Panel"));
    // Laid out rather than placed, so that larger fonts and scaling keep every control whole.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    Create_Name_Box();
    Create_Spin_Edits();
    Create_Save_Button();
    hide();
}

void TBlock_Panel::Create_Name_Box()
{
    auto* grid = static_cast<QGridLayout*>(layout());
    Block_Name_ComboBox = new QComboBox(this);
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
    grid->addWidget(Block_Name_ComboBox, Name_Row, 0, 1, Column_Count - 1);

    Block_Name_Unlock_SpeedButton = new QToolButton(this);
    Block_Name_Unlock_SpeedButton->setObjectName(QStringLiteral("Block_Name_Unlock_SpeedButton"));
    Block_Name_Unlock_SpeedButton->setAccessibleName(QStringLiteral("Unlock block name"));
    Block_Name_Unlock_SpeedButton->setToolTip(QStringLiteral("Unlock block name"));
    Block_Name_Unlock_SpeedButton->setCheckable(true);
    Block_Name_Unlock_SpeedButton->setAutoRaise(true);
    Block_Name_Unlock_SpeedButton->setIcon(Padlock_Icon());
    connect(Block_Name_Unlock_SpeedButton, &QToolButton::clicked, this,
            [this] { Unlock_Name_Click(); });
    grid->addWidget(Block_Name_Unlock_SpeedButton, Name_Row, Column_Count - 1);
}

void TBlock_Panel::Create_Spin_Edits()
{
    auto* grid = static_cast<QGridLayout*>(layout());
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
        auto* spin_edit = new TByte_Spin_Edit(place.Maximum, this);
        spin_edit->setObjectName(QLatin1String(place.Name));
        spin_edit->setMinimumWidth(Spin_Edit_Width);
        QString accessible_name = place.Caption;
        accessible_name.remove(QStringLiteral(" :"));
        spin_edit->setAccessibleName(accessible_name);
        // Enter writes the panel, as the button does.
        spin_edit->installEventFilter(this);
        place.Spin_Edit = spin_edit;

        auto* label = new QLabel(place.Caption, this);
        label->setObjectName(QLatin1String(place.Name).chopped(9) + QStringLiteral("_Label"));
        label->setBuddy(spin_edit);
        const int row = First_Number_Row + i % 4;
        const int column = i < 4 ? 0 : 2;
        grid->addWidget(label, row, column);
        grid->addWidget(spin_edit, row, column + 1);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
}

void TBlock_Panel::Create_Save_Button()
{
    Block_Save_BitBtn = new QPushButton(QStringLiteral("Save block modifications to memory"), this);
    Block_Save_BitBtn->setObjectName(QStringLiteral("Block_Save_BitBtn"));
    // A button's own shortcut clicks it only after a short animation; an action of the panel
    // (alive while the panel shows) clicks it at once.
    auto* apply = new QAction(this);
    apply->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    addAction(apply);
    connect(apply, &QAction::triggered, Block_Save_BitBtn, &QPushButton::click);
    Block_Save_BitBtn->setToolTip(
        QStringLiteral("Write these values into the open challenge (%1, or Enter in a number)")
            .arg(apply->shortcut().toString(QKeySequence::NativeText)));
    connect(Block_Save_BitBtn, &QPushButton::clicked, this, &TBlock_Panel::Write_Requested);
    static_cast<QGridLayout*>(layout())->addWidget(Block_Save_BitBtn, Save_Row, 0, 1, Column_Count);
}

bool TBlock_Panel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* spin_edit = qobject_cast<TByte_Spin_Edit*>(watched);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            spin_edit != nullptr) {
            spin_edit->interpretText();
            Block_Save_BitBtn->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TBlock_Panel::Show_Block(std::uint32_t block_index, const TChallenge_Block& block,
                              const QStringList& names)
{
    Block_Name_ComboBox->clear();
    Block_Name_ComboBox->clearEditText();
    Block_Name_ComboBox->addItems(names);
    Show_Name(block);
    const TBlock_Field_Bytes bytes = Field_Bytes_Of(block);
    Show_Field_Bytes(bytes);
    shown_block_ = TShown_Block{block_index, block.Name, Block_Name_ComboBox->currentText(), bytes};
    show();
}

void TBlock_Panel::Forget()
{
    hide();
    shown_block_.reset();
}

std::optional<std::uint32_t> TBlock_Panel::Shown_Block() const
{
    if (isHidden() || !shown_block_) {
        return std::nullopt;
    }
    return shown_block_->Index;
}

void TBlock_Panel::Show_Name(const TChallenge_Block& block)
{
    const QString name = From_Bytes(block.Name);
    // The drop-down opens at the block's own name.
    Block_Name_ComboBox->setCurrentIndex(
        Block_Name_ComboBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
    Block_Name_ComboBox->setEditText(name);
    const int room = Block_Name_ComboBox->lineEdit()->maxLength();
    const bool too_long = name.size() > room;
    if (too_long) {
        // The box holds only the start of it: the name cannot be edited, and a save of the
        // other fields writes the record's own name.
        const QString note =
            QStringLiteral("This name is %1 characters long: the name box shows only its first "
                           "%2, and it cannot be edited here.")
                .arg(QLocale().toString(static_cast<qlonglong>(name.size())),
                     QLocale().toString(room));
        Block_Name_ComboBox->setToolTip(note);
        emit Note(note);
    } else {
        Block_Name_ComboBox->setToolTip(QString());
    }
    if (!block.Name_In_Place) {
        Block_Name_ComboBox->setEnabled(!too_long);
        Block_Name_Unlock_SpeedButton->hide();
    } else {
        Block_Name_ComboBox->setEnabled(false);
        Block_Name_Unlock_SpeedButton->setEnabled(!too_long);
        Block_Name_Unlock_SpeedButton->setChecked(false);
        Block_Name_Unlock_SpeedButton->show();
        name_unlocked_ = false;
    }
}

TBlock_Panel::TByte_Spin_Edits TBlock_Panel::Byte_Spin_Edits() const
{
    return {Block_Rotation_SpinEdit, Block_X_SpinEdit,  Block_Z_SpinEdit,  Block_Y_SpinEdit,
            Block_V1_SpinEdit,       Block_V2_SpinEdit, Block_V3_SpinEdit, Block_V4_SpinEdit};
}

void TBlock_Panel::Show_Field_Bytes(const TBlock_Field_Bytes& bytes)
{
    const TByte_Spin_Edits spin_edits = Byte_Spin_Edits();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // A rotation above 3 shows as stored, so that a save of other fields keeps it.
        spin_edits[i]->Show_Stored_Value(bytes[i]);
    }
}

TBlock_Field_Bytes TBlock_Panel::Field_Bytes()
{
    TBlock_Field_Bytes bytes{};
    const TByte_Spin_Edits spin_edits = Byte_Spin_Edits();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // A number still being typed counts as the edit takes it on losing the focus.
        spin_edits[i]->interpretText();
        bytes[i] = static_cast<std::uint8_t>(spin_edits[i]->value());
    }
    return bytes;
}

std::string TBlock_Panel::Name_To_Write() const
{
    const QString text = Block_Name_ComboBox->currentText();
    return shown_block_ && text == shown_block_->Name_Text ? shown_block_->Name : To_Bytes(text);
}

bool TBlock_Panel::Has_Unsaved_Values()
{
    return Shown_Block() && (Field_Bytes() != shown_block_->Bytes ||
                             Block_Name_ComboBox->currentText() != shown_block_->Name_Text);
}

TBlock_Panel::TSettling TBlock_Panel::Ask_To_Settle()
{
    if (!Has_Unsaved_Values()) {
        return TSettling::Settled;
    }
    switch (Show_Message(gui_services_, window(), TMessage_Kind::Confirmation,
                         QStringLiteral("The values in the block panel are not written into "
                                        "block %1 yet. Apply them to the challenge, or discard "
                                        "them?")
                             .arg(shown_block_->Index),
                         TMessage_Buttons::Apply_Discard_Cancel)) {
    case TMessage_Answer::Apply:
        return TSettling::Apply_Wanted;
    case TMessage_Answer::Discard:
        Block_Name_ComboBox->setEditText(shown_block_->Name_Text);
        Show_Field_Bytes(shown_block_->Bytes);
        return TSettling::Settled;
    default:
        return TSettling::Cancelled;
    }
}

void TBlock_Panel::Unlock_Name_Click()
{
    if (name_unlocked_) {
        // Once unlocked the button stays down.
        Block_Name_Unlock_SpeedButton->setChecked(true);
        return;
    }
    if (Show_Message(gui_services_, window(), TMessage_Kind::Warning,
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

bool TBlock_Panel::Confirm_Variations(const TChallenge_Block& old_block,
                                      const TBlock_Field_Bytes& bytes)
{
    return !Variations_Change_Game_Reading(old_block.Variations,
                                           {bytes[4], bytes[5], bytes[6], bytes[7]}) ||
           Show_Message(gui_services_, window(), TMessage_Kind::Confirmation,
                        QStringLiteral("These variation values change how the game reads the "
                                       "block list (whether an author record follows this "
                                       "block, or whether it counts as a block): the game may "
                                       "no longer load the challenge. Write them anyway?"),
                        TMessage_Buttons::Yes_No) == TMessage_Answer::Yes;
}

std::optional<TEdit_Status> TBlock_Panel::Write_Into(TChallenge_Edit_Session& session,
                                                     const TName_Check& check_new_name)
{
    const std::optional<std::uint32_t> block_index = Shown_Block();
    if (!block_index) {
        return std::nullopt;
    }
    const std::optional<TChallenge_Block> old_block =
        Challenge_Read_Block(session.Image(), session.Blocks(), *block_index, session.Mask());
    const TBlock_Field_Bytes bytes = Field_Bytes();
    if (old_block && !Confirm_Variations(*old_block, bytes)) {
        return std::nullopt;
    }
    const std::string name = Name_To_Write();
    // A reference can only take a name that the challenge already writes in place for an
    // earlier block: only a name written in place can bring in one the game does not know.
    if (old_block && old_block->Name_In_Place && name != old_block->Name &&
        !check_new_name(name)) {
        return std::nullopt;
    }
    const TEdit_Result result = session.Write_Block(*block_index, name, bytes);
    if (result.Status != TEdit_Status::Done && result.Status != TEdit_Status::Unchanged) {
        Show_Message(gui_services_, window(), TMessage_Kind::Error,
                     Refusal_Text(result.Status, name), TMessage_Buttons::Ok);
        return std::nullopt;
    }
    // The record as written, which the panel goes on showing.
    const std::optional<TChallenge_Block> new_block =
        Challenge_Read_Block(session.Image(), session.Blocks(), *block_index, session.Mask());
    if (new_block) {
        Show_Field_Bytes(Field_Bytes_Of(*new_block));
        shown_block_ = TShown_Block{*block_index, new_block->Name,
                                    Block_Name_ComboBox->currentText(), Field_Bytes_Of(*new_block)};
    }
    return result.Status;
}

} // namespace plotvane
