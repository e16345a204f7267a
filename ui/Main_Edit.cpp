// The block list's selection of one block or many, the Edit menu's batch commands over it, and
// undo and redo of every write into the open challenge.
#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "platform/Gui_Services.h"
#include "ui/Batch_Dialogs.h"
#include "ui/Block_List_Model.h"
#include "ui/Byte_Text.h"
#include "ui/Edit_Commands.h"

#include <QAction>
#include <QComboBox>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QUndoStack>

#include <algorithm>
#include <set>

namespace plotvane {

void TMainForm::Create_Edit_Actions()
{
    const auto set_up = [](QAction* action, const char* name, const QString& tooltip,
                           const QString& status_text, const QList<QKeySequence>& shortcuts) {
        action->setObjectName(QLatin1String(name));
        action->setToolTip(tooltip);
        action->setStatusTip(status_text);
        action->setShortcuts(shortcuts);
    };
    const auto make = [this, &set_up](const char* name, const QString& caption,
                                      const QString& tooltip, const QString& status_text,
                                      const QKeySequence& shortcut) {
        auto* action = new QAction(caption, this);
        set_up(action, name, tooltip, status_text, {shortcut});
        return action;
    };
    // The stack names them after the step they take back or make again ("&Undo move 12
    // blocks") and enables them; a trigger goes through the window, which first settles the
    // panel's values.
    EditUndo_Action = Undo_Stack->createUndoAction(this, QStringLiteral("&Undo"));
    set_up(EditUndo_Action, "EditUndo_Action", QStringLiteral("Undo"),
           QStringLiteral("Take back the last change to the blocks"),
           {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    EditRedo_Action = Undo_Stack->createRedoAction(this, QStringLiteral("&Redo"));
    set_up(EditRedo_Action, "EditRedo_Action", QStringLiteral("Redo"),
           QStringLiteral("Make again the last change taken back"),
           {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* action : {EditUndo_Action, EditRedo_Action}) {
        disconnect(action, &QAction::triggered, Undo_Stack, nullptr);
    }
    EditMove_Action = make("EditMove_Action", QStringLiteral("&Move..."), QStringLiteral("Move"),
                           QStringLiteral("Move the selected blocks by a number of cells along "
                                          "X, Z (the height) and Y"),
                           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    EditSet_Action = make("EditSet_Action", QStringLiteral("&Set..."), QStringLiteral("Set"),
                          QStringLiteral("Write a rotation or variations into every selected "
                                         "block"),
                          QKeySequence(Qt::CTRL | Qt::Key_E));
    EditRotateClockwise_Action = make(
        "EditRotateClockwise_Action", QStringLiteral("Rotate &clockwise"),
        QStringLiteral("Rotate clockwise"),
        QStringLiteral("Turn every selected block a quarter turn clockwise where it stands; "
                       "positions do not turn (block footprints are not known)"),
        QKeySequence(Qt::CTRL | Qt::Key_BracketRight));
    EditRotateCounterClockwise_Action = make(
        "EditRotateCounterClockwise_Action", QStringLiteral("Rotate c&ounter-clockwise"),
        QStringLiteral("Rotate counter-clockwise"),
        QStringLiteral("Turn every selected block a quarter turn counter-clockwise where it "
                       "stands; positions do not turn (block footprints are not known)"),
        QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
    EditReplaceName_Action =
        make("EditReplaceName_Action", QStringLiteral("Re&place name..."),
             QStringLiteral("Replace name"),
             QStringLiteral("Rename the selected blocks that have one name to another"),
             QKeySequence(Qt::CTRL | Qt::Key_H));

    Connect_Command(EditUndo_Action, &TMainForm::EditUndo_ActionExecute);
    Connect_Command(EditRedo_Action, &TMainForm::EditRedo_ActionExecute);
    Connect_Command(EditMove_Action, &TMainForm::EditMove_ActionExecute);
    Connect_Command(EditSet_Action, &TMainForm::EditSet_ActionExecute);
    Connect_Command(EditRotateClockwise_Action, &TMainForm::EditRotateClockwise_ActionExecute);
    Connect_Command(EditRotateCounterClockwise_Action,
                    &TMainForm::EditRotateCounterClockwise_ActionExecute);
    Connect_Command(EditReplaceName_Action, &TMainForm::EditReplaceName_ActionExecute);
    Create_Record_Actions();
    Create_Find_Actions();
    Update_Edit_Actions();
}

void TMainForm::Update_Edit_Actions()
{
    // Before the list exists, no challenge is open.
    const int block_count = session_ ? Block_List_Model->Shown_Block_Count() : 0;
    const std::vector<std::pair<int, int>> rows =
        session_ ? Selected_Rows() : std::vector<std::pair<int, int>>();
    const bool blocks_selected =
        std::any_of(rows.begin(), rows.end(), [block_count](const auto& range) {
            return range.second >= 1 && range.first <= block_count;
        });
    for (QAction* action : {EditMove_Action, EditSet_Action, EditRotateClockwise_Action,
                            EditRotateCounterClockwise_Action, EditReplaceName_Action,
                            EditCopy_Action, EditDuplicate_Action, EditDelete_Action}) {
        action->setEnabled(blocks_selected);
    }
    EditPaste_Action->setEnabled(session_ != nullptr);
    EditGoTo_Action->setEnabled(session_ != nullptr);
}

std::vector<std::pair<int, int>> TMainForm::Selected_Rows() const
{
    // Ranges come in the order they were selected and may overlap after Ctrl+clicks: sorted and
    // merged, a million selected lines cost a few ranges, not a sort of a million numbers.
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : List_Block_ListBox->selectionModel()->selection()) {
        ranges.emplace_back(range.top(), range.bottom());
    }
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<int, int>> rows;
    for (const auto& range : ranges) {
        if (!rows.empty() && range.first <= rows.back().second + 1) {
            rows.back().second = std::max(rows.back().second, range.second);
        } else {
            rows.push_back(range);
        }
    }
    return rows;
}

TBlock_Selection TMainForm::Selected_Blocks() const
{
    // Line 0 counts the blocks and a last line may say where the list ends: neither is a block.
    // A narrowed list shows blocks in ascending order, so the blocks come ascending still.
    const int block_count = Block_List_Model->Shown_Block_Count();
    TBlock_Selection blocks;
    for (const auto& [top, bottom] : Selected_Rows()) {
        for (int row = std::max(top, 1); row <= std::min(bottom, block_count); ++row) {
            blocks.push_back(*Block_List_Model->Block_At(row));
        }
    }
    return blocks;
}

void TMainForm::Select_Rows_Quietly(const std::vector<std::pair<int, int>>& rows, int current_row)
{
    QItemSelectionModel* selection_model = List_Block_ListBox->selectionModel();
    const QSignalBlocker blocker(selection_model);
    QItemSelection selection;
    const int last_row = Block_List_Model->rowCount() - 1;
    for (const auto& [top, bottom] : rows) {
        if (top <= last_row) {
            selection.select(Block_List_Model->index(top),
                             Block_List_Model->index(std::min(bottom, last_row)));
        }
    }
    selection_model->setCurrentIndex(Block_List_Model->index(current_row),
                                     QItemSelectionModel::NoUpdate);
    selection_model->select(selection, QItemSelectionModel::ClearAndSelect);
    // The view repaints from the selection model's state, which the blocked signals did not
    // announce.
    List_Block_ListBox->viewport()->update();
    Show_Selection_On_Map();
}

void TMainForm::Block_List_Selection_Changed()
{
    const TBlock_Selection blocks = Selected_Blocks();
    const bool shows_the_block = blocks.size() == 1 && Block_Panel->Shown_Block() == blocks.front();
    // Line 0 alone changes nothing.
    if (blocks.empty() || shows_the_block) {
        Update_Edit_Actions();
        return;
    }
    const std::vector<std::pair<int, int>> rows = Selected_Rows();
    const int current_row = List_Block_ListBox->currentIndex().row();
    if (!Settle_Panel_Edits()) {
        // Back to the line of the block whose values the panel keeps.
        Select_Line_Quietly(
            Block_List_Model->Row_Of(static_cast<std::uint32_t>(Selected_Block_Index)));
        Update_Edit_Actions();
        return;
    }
    // Applying lists the blocks again, which drops the selection.
    Select_Rows_Quietly(rows, current_row);
    Show_Selection(blocks);
}

void TMainForm::Block_List_Clicked(const QModelIndex& index)
{
    // A click on another line has already run through the selection's change.
    const std::optional<std::uint32_t> block = Block_List_Model->Block_At(index.row());
    if (index.row() != row_at_press_ || !block || Selected_Blocks() != TBlock_Selection{*block}) {
        return;
    }
    if (Settle_Panel_Edits()) {
        List_Block_ListBoxDblClick();
    }
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
    Show_Selection_On_Map();
    List_Block_ListBox->scrollTo(index);
}

void TMainForm::Show_Selection(const TBlock_Selection& blocks)
{
    if (blocks.size() == 1) {
        Selected_Block_Index = static_cast<std::int32_t>(blocks.front());
        Show_Block(blocks.front());
    } else {
        Block_Panel->Forget();
        Main_StatusBar->showMessage(QStringLiteral("%1 blocks selected").arg(blocks.size()));
    }
    Update_Edit_Actions();
}

void TMainForm::Push_Step()
{
    Undo_Stack->push(new TEdit_Step_Command(*session_, [this] { Show_Step(); }));
}

void TMainForm::Show_Step()
{
    List_Block_BitBtnClick();
    const TBlock_Selection blocks = session_->Last_Step_Blocks();
    if (blocks.empty()) {
        // The step removed blocks: those after them are numbered anew, and the panel's block
        // may be gone.
        Block_Panel->Forget();
        Show_Selection_On_Map();
        Update_Edit_Actions();
        return;
    }
    Select_Blocks_Quietly(blocks);
    // Lines added at the end are laid out now, so that the scroll bar reaches them.
    List_Block_ListBox->doItemsLayout();
    // The last block first, then the current one: all of them show when they fit.
    const int last_row = Block_List_Model->Row_Of(blocks.back());
    if (last_row >= 0) {
        List_Block_ListBox->scrollTo(Block_List_Model->index(last_row, 0));
    }
    List_Block_ListBox->scrollTo(List_Block_ListBox->currentIndex());
    Show_Selection(blocks);
}

void TMainForm::Select_Blocks_Quietly(const TBlock_Selection& blocks)
{
    // A block the find hides has no line: it stays out of the list's selection.
    std::vector<std::pair<int, int>> rows;
    for (const std::uint32_t block : blocks) {
        const int row = Block_List_Model->Row_Of(block);
        if (row < 0) {
            continue;
        }
        if (!rows.empty() && rows.back().second + 1 == row) {
            rows.back().second = row;
        } else {
            rows.emplace_back(row, row);
        }
    }
    Select_Rows_Quietly(rows, rows.empty() ? -1 : rows.front().first);
}

void TMainForm::Finish_Batch(const TEdit_Result& result, const QString& from, const QString& to)
{
    switch (result.Status) {
    case TEdit_Status::Done:
        Push_Step();
        Show_Step();
        break;
    case TEdit_Status::Unchanged:
        Main_StatusBar->showMessage(QStringLiteral("No block changed"));
        break;
    default:
        Show_Message(gui_services_, this, TMessage_Kind::Error,
                     Edit_Refusal_Text(result, from, to), TMessage_Buttons::Ok);
        break;
    }
}

void TMainForm::EditUndo_ActionExecute()
{
    if (Settle_Panel_Edits()) {
        Undo_Stack->undo();
    }
}

void TMainForm::EditRedo_ActionExecute()
{
    if (Settle_Panel_Edits()) {
        Undo_Stack->redo();
    }
}

void TMainForm::EditMove_ActionExecute()
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (!session_ || blocks.empty() || !Settle_Panel_Edits()) {
        return;
    }
    TMove_Dialog dialog(blocks.size(), move_offsets_, this);
    if (!gui_services_.Run_Dialog(dialog)) {
        return;
    }
    move_offsets_ = dialog.Offsets();
    const auto [dx, dz, dy] = move_offsets_;
    TEdit_Result result = session_->Move(blocks, dx, dz, dy, false);
    if (result.Status == TEdit_Status::Outside_Challenge) {
        if (!Confirm_Outside_Challenge(QStringLiteral("Block %1").arg(result.Block),
                                       QStringLiteral("Move"))) {
            return;
        }
        result = session_->Move(blocks, dx, dz, dy, true);
    }
    Finish_Batch(result);
}

bool TMainForm::Confirm_Outside_Challenge(const QString& block, const QString& verb)
{
    const std::array<std::uint32_t, 3> size = *session_->Blocks().Challenge_Size;
    return Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                        QStringLiteral("%1 would stand outside the challenge, whose size is %2 x "
                                       "%3 x %4 (X, Z, Y): the game may not show it there. %5 "
                                       "the blocks anyway?")
                            .arg(block)
                            .arg(size[0])
                            .arg(size[1])
                            .arg(size[2])
                            .arg(verb),
                        TMessage_Buttons::Yes_No) == TMessage_Answer::Yes;
}

void TMainForm::EditSet_ActionExecute()
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (!session_ || blocks.empty() || !Settle_Panel_Edits()) {
        return;
    }
    TSet_Dialog dialog(blocks.size(), this);
    if (!gui_services_.Run_Dialog(dialog)) {
        return;
    }
    const TBlock_Settings settings = dialog.Settings();
    TEdit_Result result = session_->Set(blocks, settings, false);
    if (result.Status == TEdit_Status::Changes_Game_Reading) {
        if (Show_Message(gui_services_, this, TMessage_Kind::Confirmation,
                         QStringLiteral("These variation values change how the game reads the "
                                        "block list (whether an author record follows block "
                                        "%1, or whether it counts as a block): the game may no "
                                        "longer load the challenge. Write them anyway?")
                             .arg(result.Block),
                         TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
            return;
        }
        result = session_->Set(blocks, settings, true);
    }
    Finish_Batch(result);
}

void TMainForm::EditRotateClockwise_ActionExecute()
{
    Rotate_Selection(1);
}

void TMainForm::EditRotateCounterClockwise_ActionExecute()
{
    Rotate_Selection(-1);
}

void TMainForm::Rotate_Selection(int quarter_turns)
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (session_ && !blocks.empty() && Settle_Panel_Edits()) {
        Finish_Batch(session_->Rotate(blocks, quarter_turns));
    }
}

void TMainForm::EditReplaceName_ActionExecute()
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (!session_ || blocks.empty() || !Settle_Panel_Edits()) {
        return;
    }
    TReplace_Dialog dialog(blocks.size(), Names_Of_Blocks(blocks), Names_To_Offer(), this);
    QString from;
    QString to;
    // A name the player does not want written after all brings the form back as they left it.
    do {
        if (!gui_services_.Run_Dialog(dialog)) {
            return;
        }
        from = dialog.Replace_From_ComboBox->currentText();
        to = dialog.Replace_To_ComboBox->currentText();
    } while (to != from && !Confirm_Block_Names({To_Bytes(to)}));
    Finish_Batch(session_->Replace_Name(blocks, To_Bytes(from), To_Bytes(to)), from, to);
}

QStringList TMainForm::Names_Of_Blocks(const TBlock_Selection& blocks) const
{
    std::set<std::string> names;
    for (const std::uint32_t block : blocks) {
        const std::optional<TChallenge_Block> record =
            Challenge_Read_Block(Expanded_Image(), Block_Address_List(), block, Memory_Mask);
        if (record) {
            names.insert(record->Name);
        }
    }
    QStringList texts;
    for (const std::string& name : names) {
        texts.append(From_Bytes(name));
    }
    return texts;
}

QStringList TMainForm::Names_To_Offer()
{
    const TTMF_Challenge_Block_Address_List& list = Block_Address_List();
    // Entry 0 is no name: it stands for "none".
    const std::size_t first = std::clamp<std::size_t>(list.First_Block_Name_Index, 1,
                                                      list.String_Table.size());
    std::set<std::string> names(list.String_Table.begin() + static_cast<std::ptrdiff_t>(first),
                                list.String_Table.end());
    // Without the collection's list, the challenge's own names are offered still; a name
    // typed then says what is missing.
    QString error;
    if (const TBlock_Name_List* listed = Collection_Block_Names(error)) {
        names.insert(listed->Names.begin(), listed->Names.end());
    }
    QStringList texts;
    for (const std::string& name : names) {
        texts.append(From_Bytes(name));
    }
    return texts;
}

} // namespace plotvane
