// The window's side of the block panel: which block it shows, with the names its name box
// offers, and what a write of it does to the list and the history; and the collection's block
// name list, which the panel, Paste and Replace name check new names against.
#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/TMF_Block_Names.h"
#include "platform/Gui_Services.h"
#include "ui/Block_List_Model.h"
#include "ui/Byte_Text.h"
#include "ui/Path_Text.h"

#include <QTableView>
#include <QUndoStack>

#include <algorithm>

namespace plotvane {

void TMainForm::List_Block_ListBoxDblClick()
{
    const std::optional<std::uint32_t> block =
        Block_List_Model->Block_At(List_Block_ListBox->currentIndex().row());
    if (!block) {
        return;
    }
    Selected_Block_Index = static_cast<std::int32_t>(*block);
    Show_Block(*block);
}

void TMainForm::Show_Block(std::uint32_t block_index)
{
    // The panel shows again only once the whole block is in it, so that a save never writes
    // the values of an earlier block into this one.
    Block_Panel->Forget();
    const std::optional<TChallenge_Block> block =
        Challenge_Read_Block(Expanded_Image(), Block_Address_List(), block_index, Memory_Mask);
    if (!block) {
        return;
    }
    QStringList names;
    if (!block->Name_In_Place) {
        // A reference takes one of the names defined up to its block.
        const TTMF_Challenge_Block_Address_List& list = Block_Address_List();
        const std::vector<std::string>& table = list.String_Table;
        const std::size_t last =
            std::min<std::size_t>(list.Last_String_Indexes[block_index], table.size() - 1);
        for (std::size_t k = list.First_Block_Name_Index; k <= last; ++k) {
            names.append(From_Bytes(table[k]));
        }
    } else {
        QString error;
        const TBlock_Name_List* list = Collection_Block_Names(error);
        if (list == nullptr) {
            Show_Application_Error(error);
            return;
        }
        for (const std::string& name : list->Names) {
            names.append(From_Bytes(name));
        }
    }
    Block_Panel->Show_Block(block_index, *block, names);
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

bool TMainForm::Settle_Panel_Edits()
{
    switch (Block_Panel->Ask_To_Settle()) {
    case TBlock_Panel::TSettling::Settled:
        return true;
    case TBlock_Panel::TSettling::Apply_Wanted:
        return Apply_Block_Panel();
    default:
        return false;
    }
}

void TMainForm::Block_Save_BitBtnClick()
{
    Apply_Block_Panel();
}

bool TMainForm::Apply_Block_Panel()
{
    if (!session_) {
        return false;
    }
    const std::optional<TEdit_Status> status =
        Block_Panel->Write_Into(*session_, [this](const std::string& name) {
            return Confirm_Block_Names({name});
        });
    if (!status) {
        return false;
    }
    if (*status == TEdit_Status::Done) {
        Push_Step();
        List_Block_BitBtnClick();
    }
    Select_Line_Quietly(
        Block_List_Model->Row_Of(static_cast<std::uint32_t>(Selected_Block_Index)));
    List_Block_ListBox->setFocus();
    return true;
}

} // namespace plotvane
