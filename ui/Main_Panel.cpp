// The block panel below the list: it shows the one selected block, and writes what the player
// changed in it into the open challenge.
#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "challenge/TMF_Block_Names.h"
#include "platform/Gui_Services.h"
#include "ui/Block_List_Model.h"
#include "ui/Byte_Text.h"
#include "ui/Path_Text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QUndoStack>

#include <algorithm>

namespace plotvane {

namespace {

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

void TMainForm::List_Block_ListBoxDblClick()
{
    const std::optional<std::uint32_t> block =
        Block_List_Model->Block_At(List_Block_ListBox->currentIndex().row());
    if (!block) {
        return;
    }
    Selected_Block_Index = static_cast<std::int32_t>(*block);
    // The panel shows again only once the whole block is in it, so that a save never writes
    // the values of an earlier block into this one.
    Block_Panel->hide();
    shown_block_.reset();
    if (Show_Block(static_cast<std::size_t>(Selected_Block_Index))) {
        Block_Panel->show();
    }
}

bool TMainForm::Show_Block(std::size_t block_index)
{
    const std::optional<TChallenge_Block> block =
        Challenge_Read_Block(Expanded_Image(), Block_Address_List(), block_index, Memory_Mask);
    if (!block) {
        return false;
    }
    Block_Name_ComboBox->clear();
    Block_Name_ComboBox->clearEditText();
    QStringList names;
    if (!block->Name_In_Place) {
        const TTMF_Challenge_Block_Address_List& list = Block_Address_List();
        const std::vector<std::string>& table = list.String_Table;
        const std::size_t last =
            std::min<std::size_t>(list.Last_String_Indexes[block_index], table.size() - 1);
        for (std::size_t k = list.First_Block_Name_Index; k <= last; ++k) {
            names.append(From_Bytes(table[k]));
        }
    } else {
        Block_Name_ComboBox->setEditText(From_Bytes(block->Name));
        QString error;
        const TBlock_Name_List* list = Collection_Block_Names(error);
        if (list == nullptr) {
            Show_Application_Error(error);
            return false;
        }
        for (const std::string& name : list->Names) {
            names.append(From_Bytes(name));
        }
    }
    Block_Name_ComboBox->addItems(names);
    Show_Name(*block);
    const TBlock_Field_Bytes bytes = Field_Bytes_Of(*block);
    Show_Field_Bytes(bytes);
    shown_block_ = TShown_Block{block->Name, Block_Name_ComboBox->currentText(), bytes};
    return true;
}

void TMainForm::Show_Name(const TChallenge_Block& block)
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
        Main_StatusBar->showMessage(note);
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

void TMainForm::Show_Field_Bytes(const TBlock_Field_Bytes& bytes)
{
    TByte_Spin_Edit* const spin_edits[] = {
        Block_Rotation_SpinEdit, Block_X_SpinEdit,  Block_Z_SpinEdit,  Block_Y_SpinEdit,
        Block_V1_SpinEdit,       Block_V2_SpinEdit, Block_V3_SpinEdit, Block_V4_SpinEdit};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // A rotation above 3 shows as stored, so that a save of other fields keeps it.
        spin_edits[i]->Show_Stored_Value(bytes[i]);
    }
}

TBlock_Field_Bytes TMainForm::Panel_Field_Bytes()
{
    TBlock_Field_Bytes bytes{};
    TByte_Spin_Edit* const spin_edits[] = {
        Block_Rotation_SpinEdit, Block_X_SpinEdit,  Block_Z_SpinEdit,  Block_Y_SpinEdit,
        Block_V1_SpinEdit,       Block_V2_SpinEdit, Block_V3_SpinEdit, Block_V4_SpinEdit};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // A number still being typed counts as the edit takes it on losing the focus.
        spin_edits[i]->interpretText();
        bytes[i] = static_cast<std::uint8_t>(spin_edits[i]->value());
    }
    return bytes;
}

std::string TMainForm::Name_To_Write() const
{
    const QString text = Block_Name_ComboBox->currentText();
    return shown_block_ && text == shown_block_->Name_Text ? shown_block_->Name : To_Bytes(text);
}

const TMainForm::TBlock_Name_List* TMainForm::Collection_Block_Names(QString& error)
{
    if (!block_name_list_) {
        TBlock_Name_List list;
        try {
            list.Names = Read_Block_Name_List(Find_Block_Name_List(
                Block_Name_List_Folders, Block_Address_List().Collection_Name));
        } catch (const EFOpenError& failure) {
            error = From_Core_Message(failure.what());
            return nullptr;
        }
        list.Sorted_Names = list.Names;
        std::sort(list.Sorted_Names.begin(), list.Sorted_Names.end());
        block_name_list_ = std::move(list);
    }
    return &*block_name_list_;
}

bool TMainForm::Confirm_Block_Names(const std::vector<std::string>& names)
{
    const std::string& collection = Block_Address_List().Collection_Name;
    QString error;
    const TBlock_Name_List* list = Collection_Block_Names(error);
    if (list == nullptr) {
        if (!unchecked_names_told_) {
            unchecked_names_told_ = true;
            Show_Message(gui_services_, this, TMessage_Kind::Warning,
                         QStringLiteral("The block names of the %1 collection cannot be "
                                        "checked: %2. Names are written as typed in this "
                                        "challenge.")
                             .arg(From_Bytes(collection), error),
                         TMessage_Buttons::Ok);
        }
        return true;
    }
    QStringList unlisted;
    for (const std::string& name : names) {
        if (!std::binary_search(list->Sorted_Names.begin(), list->Sorted_Names.end(), name)) {
            unlisted.append(QLatin1Char('"') + From_Bytes(name) + QLatin1Char('"'));
        }
    }
    if (unlisted.isEmpty()) {
        return true;
    }
    const bool one = unlisted.size() == 1;
    return Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                        QStringLiteral("%1 %2 not in %3, the list of the block names of the %4 "
                                       "collection: the game cannot load a challenge with %5. "
                                       "Write %6 anyway?")
                            .arg(unlisted.join(QStringLiteral(", ")),
                                 one ? QStringLiteral("is") : QStringLiteral("are"),
                                 From_Path(Block_Name_List_File_Name(collection)),
                                 From_Bytes(collection),
                                 one ? QStringLiteral("a block of that name")
                                     : QStringLiteral("blocks of those names"),
                                 one ? QStringLiteral("it") : QStringLiteral("them")),
                        TMessage_Buttons::Yes_No_Default_No) == TMessage_Answer::Yes;
}

bool TMainForm::Panel_Has_Unsaved_Values()
{
    return !Block_Panel->isHidden() && shown_block_ &&
           (Panel_Field_Bytes() != shown_block_->Bytes ||
            Block_Name_ComboBox->currentText() != shown_block_->Name_Text);
}

bool TMainForm::Settle_Panel_Edits()
{
    if (!Panel_Has_Unsaved_Values()) {
        return true;
    }
    switch (Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                         QStringLiteral("The values in the block panel are not written into "
                                        "block %1 yet. Apply them to the challenge, or discard "
                                        "them?")
                             .arg(Selected_Block_Index),
                         TMessage_Buttons::Apply_Discard_Cancel)) {
    case TMessage_Answer::Apply:
        return Apply_Block_Panel();
    case TMessage_Answer::Discard:
        Block_Name_ComboBox->setEditText(shown_block_->Name_Text);
        Show_Field_Bytes(shown_block_->Bytes);
        return true;
    default:
        return false;
    }
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
    Apply_Block_Panel();
}

bool TMainForm::Apply_Block_Panel()
{
    if (Block_Panel->isHidden() || Selected_Block_Index < 0 || !shown_block_ || !session_) {
        return false;
    }
    const auto block_index = static_cast<std::size_t>(Selected_Block_Index);
    const std::optional<TChallenge_Block> old_block =
        Challenge_Read_Block(Expanded_Image(), Block_Address_List(), block_index, Memory_Mask);
    const TBlock_Field_Bytes bytes = Panel_Field_Bytes();
    if (old_block &&
        Variations_Change_Game_Reading(old_block->Variations,
                                       {bytes[4], bytes[5], bytes[6], bytes[7]}) &&
        Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                     QStringLiteral("These variation values change how the game reads the "
                                    "block list (whether an author record follows this block, "
                                    "or whether it counts as a block): the game may no longer "
                                    "load the challenge. Write them anyway?"),
                     TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
        return false;
    }
    const std::string name = Name_To_Write();
    // A reference can only take a name that the challenge already writes in place for an
    // earlier block: only a name written in place can bring in one the game does not know.
    if (old_block && old_block->Name_In_Place && name != old_block->Name &&
        !Confirm_Block_Names({name})) {
        return false;
    }
    const TEdit_Result result = session_->Write_Block(block_index, name, bytes);
    if (result.Status != TEdit_Status::Done && result.Status != TEdit_Status::Unchanged) {
        Show_Message(gui_services_, this, TMessage_Kind::Error, Refusal_Text(result.Status, name),
                     TMessage_Buttons::Ok);
        return false;
    }
    // The record as written, which the panel goes on showing.
    const std::optional<TChallenge_Block> new_block =
        Challenge_Read_Block(Expanded_Image(), Block_Address_List(), block_index, Memory_Mask);
    if (new_block) {
        Show_Field_Bytes(Field_Bytes_Of(*new_block));
        shown_block_ = TShown_Block{new_block->Name, Block_Name_ComboBox->currentText(),
                                    Field_Bytes_Of(*new_block)};
    }
    if (result.Status == TEdit_Status::Done) {
        Push_Step();
        List_Block_BitBtnClick();
    }
    Select_Line_Quietly(
        Block_List_Model->Row_Of(static_cast<std::uint32_t>(Selected_Block_Index)));
    List_Block_ListBox->setFocus();
    return true;
}

} // namespace plotvane
