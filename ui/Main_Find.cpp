// The find field, which narrows the block list to the blocks a find text matches, the moves
// through those matches, and Go to block.
#include "ui/Main.h"

#include "challenge/Block_Find.h"
#include "platform/Gui_Services.h"
#include "ui/Batch_Dialogs.h"
#include "ui/Block_List_Model.h"
#include "ui/Byte_Text.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>

namespace plotvane {

void TMainForm::Create_Find_Actions()
{
    const auto make = [this](const char* name, const QString& caption,
                             const QString& status_text, const QKeySequence& shortcut,
                             void (TMainForm::*command)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setStatusTip(status_text);
        action->setShortcut(shortcut);
        Connect_Command(action, command);
        return action;
    };
    EditFind_Action = make("EditFind_Action", QStringLiteral("&Find"),
                           QStringLiteral("Narrow the block list to the blocks that match: a "
                                          "part of the name, x=N, z=N, y=N, x=N-M, kind=P or "
                                          "kind=@; terms of one field add blocks, different "
                                          "fields narrow"),
                           QKeySequence(Qt::CTRL | Qt::Key_F), &TMainForm::EditFind_ActionExecute);
    EditFindNext_Action = make("EditFindNext_Action", QStringLiteral("Find &next"),
                               QStringLiteral("Select the next block the list shows"),
                               QKeySequence(Qt::Key_F3), &TMainForm::EditFindNext_ActionExecute);
    EditFindPrevious_Action =
        make("EditFindPrevious_Action", QStringLiteral("Find pre&vious"),
             QStringLiteral("Select the previous block the list shows"),
             QKeySequence(Qt::SHIFT | Qt::Key_F3), &TMainForm::EditFindPrevious_ActionExecute);
    EditGoTo_Action = make("EditGoTo_Action", QStringLiteral("&Go to block..."),
                           QStringLiteral("Select a block by its number"),
                           QKeySequence(Qt::CTRL | Qt::Key_G), &TMainForm::EditGoTo_ActionExecute);
}

QLineEdit* TMainForm::Create_Find_Edit()
{
    Find_Edit = new QLineEdit(Mapping_TabSheet);
    Find_Edit->setObjectName(QStringLiteral("Find_Edit"));
    Find_Edit->setAccessibleName(QStringLiteral("Find blocks"));
    Find_Edit->setPlaceholderText(
        QStringLiteral("Find: a part of the name, x=N, z=N, y=N (or N-M), kind=P, kind=@"));
    Find_Edit->setToolTip(QStringLiteral(
        "Terms, separated by spaces:\n"
        "  a part of the name (letter case ignored)\n"
        "  x=N, z=N (the height), y=N, or a range such as x=3-12\n"
        "  kind=P (name written in place) or kind=@ (by reference)\n"
        "Terms of one field add blocks: x=3 x=9 finds X 3 or X 9.\n"
        "Different fields narrow: x=3 z=1 finds X 3 and Z 1.\n"
        "Every part of the name must occur: road turbo finds the names holding both."));
    Find_Edit->setClearButtonEnabled(true);
    connect(Find_Edit, &QLineEdit::textChanged, this,
            [this] { Run_Command([this] { Apply_Find(); }); });
    // Enter goes to the first match.
    connect(Find_Edit, &QLineEdit::returnPressed, this, [this] {
        Run_Command([this] {
            if (Block_List_Model->Shown_Block_Count() > 0) {
                Go_To_Line(1);
            }
        });
    });
    return Find_Edit;
}

void TMainForm::Apply_Find()
{
    if (!session_) {
        return;
    }
    const std::string text = To_Bytes(Find_Edit->text());
    std::string error;
    const std::optional<TBlock_Find> find =
        text.find_first_not_of(' ') == std::string::npos ? std::nullopt
                                                          : Parse_Block_Find(text, error);
    if (find || Block_List_Model->Is_Narrowed()) {
        // The selection is of blocks: those still in sight stay selected on their new lines.
        const TBlock_Selection selected = Selected_Blocks();
        if (find) {
            std::vector<std::uint32_t> found =
                Find_Blocks(session_->Image(), session_->Blocks(), *find, session_->Mask());
            Map_Canvas->Show_Matches(found);
            Block_List_Model->Show_Only(std::move(found));
        } else {
            Map_Canvas->Show_Matches(std::nullopt);
            Block_List_Model->Show_All();
        }
        Select_Blocks_Quietly(selected);
        Update_Edit_Actions();
    }
    const TTMF_Challenge_Block_Address_List& list = session_->Blocks();
    if (find) {
        Main_StatusBar->showMessage(QStringLiteral("%1 of %2 blocks")
                                        .arg(Block_List_Model->Shown_Block_Count())
                                        .arg(list.Block_Offsets.size()));
    } else if (!error.empty()) {
        Main_StatusBar->showMessage(QString::fromStdString(error));
    } else if (!list.Complete) {
        Main_StatusBar->showMessage(Incomplete_Block_List_Text(list.Block_Offsets.size()));
    } else {
        Main_StatusBar->clearMessage();
    }
}

void TMainForm::Go_To_Line(int row)
{
    const QModelIndex index = Block_List_Model->index(row);
    // The view's own setCurrentIndex also makes the line the anchor that Shift+arrows and
    // Shift+click extend from, which the selection model alone does not know. It picks how to
    // select from the keys held, as a click does; in single selection it selects the line
    // alone whatever they are (Shift+F3 holds Shift).
    const QAbstractItemView::SelectionMode mode = List_Block_ListBox->selectionMode();
    List_Block_ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    List_Block_ListBox->setCurrentIndex(index);
    List_Block_ListBox->setSelectionMode(mode);
    List_Block_ListBox->scrollTo(index);
}

void TMainForm::Step_Through_Matches(int step)
{
    const int count = Block_List_Model->Shown_Block_Count();
    if (count == 0) {
        return;
    }
    // From line 0 or no line, the next match is the first and the previous one the last.
    const int current = List_Block_ListBox->currentIndex().row();
    const int line = current >= 1 && current <= count ? current - 1 : (step > 0 ? -1 : count);
    Go_To_Line((line + step + count) % count + 1);
}

void TMainForm::EditFind_ActionExecute()
{
    Find_Edit->setFocus(Qt::ShortcutFocusReason);
    Find_Edit->selectAll();
}

void TMainForm::EditFindNext_ActionExecute()
{
    Step_Through_Matches(1);
}

void TMainForm::EditFindPrevious_ActionExecute()
{
    Step_Through_Matches(-1);
}

void TMainForm::EditGoTo_ActionExecute()
{
    if (!session_ || session_->Blocks().Block_Offsets.empty()) {
        return;
    }
    TGo_To_Dialog dialog(session_->Blocks().Block_Offsets.size(), std::max(Selected_Block_Index, 0),
                         this);
    if (!gui_services_.Run_Dialog(dialog)) {
        return;
    }
    const auto block = static_cast<std::uint32_t>(dialog.Go_To_Block_SpinEdit->value());
    // A block the find hides is reached by showing every block again.
    if (Block_List_Model->Row_Of(block) < 0) {
        Find_Edit->clear();
    }
    Go_To_Line(Block_List_Model->Row_Of(block));
    List_Block_ListBox->setFocus();
}

} // namespace plotvane
