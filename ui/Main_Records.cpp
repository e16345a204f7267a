// Blocks added and removed: Copy puts the selected blocks on the clipboard as text, Paste adds
// the clipboard's blocks at the end of the list, Duplicate adds copies of the selected blocks
// there, Delete removes them. Each change is one step of the undo history.
#include "ui/Main.h"

#include "challenge/Block_Clipboard.h"
#include "platform/Gui_Services.h"
#include "ui/Batch_Dialogs.h"
#include "ui/Edit_Commands.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QGuiApplication>
#include <QStatusBar>
#include <QTableView>

namespace plotvane {

namespace {

// How many missing names a refused paste lists before it only counts the others.
constexpr std::size_t Names_Listed = 10;

QString Block_Text(std::size_t block)
{
    return QStringLiteral("block %1").arg(block);
}

// The clipboard holds UTF-8 JSON, so names come back as UTF-8 text.
QString Quoted_Names(const std::vector<std::string>& names)
{
    QStringList quoted;
    for (std::size_t i = 0; i < std::min(names.size(), Names_Listed); ++i) {
        quoted.append(QLatin1Char('"') + QString::fromStdString(names[i]) + QLatin1Char('"'));
    }
    QString text = quoted.join(QStringLiteral(", "));
    if (names.size() > Names_Listed) {
        text += QStringLiteral(" and %1 more").arg(names.size() - Names_Listed);
    }
    return text;
}

} // namespace

void TMainForm::Create_Record_Actions()
{
    const auto make = [this](const char* name, const QString& caption, const QString& tooltip,
                             const QString& status_text, const QKeySequence& shortcut,
                             void (TMainForm::*command)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setToolTip(tooltip);
        action->setStatusTip(status_text);
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        Connect_Command(action, command);
        return action;
    };
    EditCopy_Action = make("EditCopy_Action", QStringLiteral("Cop&y"), QStringLiteral("Copy"),
                           QStringLiteral("Put the selected blocks on the clipboard as text, "
                                          "one JSON object a line as plotvane-cli blocks --json "
                                          "lists them"),
                           QKeySequence(Qt::CTRL | Qt::Key_C), &TMainForm::EditCopy_ActionExecute);
    EditPaste_Action =
        make("EditPaste_Action", QStringLiteral("P&aste..."), QStringLiteral("Paste"),
             QStringLiteral("Add the clipboard's blocks at the end of the block list, moved by a "
                            "number of cells; their names must be names this challenge defines"),
             QKeySequence(Qt::CTRL | Qt::Key_V), &TMainForm::EditPaste_ActionExecute);
    EditDuplicate_Action =
        make("EditDuplicate_Action", QStringLiteral("&Duplicate..."), QStringLiteral("Duplicate"),
             QStringLiteral("Add a copy of the selected blocks at the end of the block list, "
                            "moved by a number of cells"),
             QKeySequence(Qt::CTRL | Qt::Key_D), &TMainForm::EditDuplicate_ActionExecute);
    EditDelete_Action = make("EditDelete_Action", QStringLiteral("De&lete"),
                             QStringLiteral("Delete"),
                             QStringLiteral("Remove the selected blocks from the challenge"),
                             QKeySequence(Qt::Key_Delete), &TMainForm::EditDelete_ActionExecute);
}

void TMainForm::Give_Record_Keys_To_List_And_Map()
{
    for (QWidget* widget : {static_cast<QWidget*>(List_Block_ListBox),
                            static_cast<QWidget*>(Map_View)}) {
        widget->addActions(
            {EditCopy_Action, EditPaste_Action, EditDuplicate_Action, EditDelete_Action});
    }
}

void TMainForm::EditCopy_ActionExecute()
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (!session_ || blocks.empty()) {
        return;
    }
    const std::string text = Block_Clipboard_Text(Expanded_Image(), Block_Address_List(), blocks,
                                                  Packed_Offset_Delta, Memory_Mask);
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    Main_StatusBar->showMessage(
        blocks.size() == 1
            ? QStringLiteral("Block %1 copied to the clipboard").arg(blocks.front())
            : QStringLiteral("%1 blocks copied to the clipboard").arg(blocks.size()));
}

void TMainForm::EditPaste_ActionExecute()
{
    if (!session_ || !Settle_Panel_Edits() || !Records_Can_Change(TRecord_Command::Paste)) {
        return;
    }
    const std::optional<std::vector<TNew_Block>> blocks = Clipboard_Blocks_To_Paste();
    if (!blocks) {
        return;
    }
    const auto paste = [this, &blocks](bool allow_outside_challenge, bool without_skin) {
        const auto [dx, dz, dy] = copy_offsets_;
        return session_->Paste(*blocks, dx, dz, dy, allow_outside_challenge, without_skin);
    };
    // Counted from 1 among the clipboard's blocks, whose own numbers are another challenge's.
    const auto block = [&blocks](std::size_t number) {
        return QStringLiteral("pasted block %1 of %2 (\"%3\")")
            .arg(number + 1)
            .arg(blocks->size())
            .arg(QString::fromStdString((*blocks)[number].Name));
    };
    Add_Copies(TRecord_Command::Paste, blocks->size(), paste, block);
}

std::optional<std::vector<TNew_Block>> TMainForm::Clipboard_Blocks_To_Paste()
{
    const auto refuse = [this](const QString& text) {
        Show_Message(gui_services_, this, TMessage_Kind::Error, text, TMessage_Buttons::Ok);
        return std::nullopt;
    };
    std::vector<TNew_Block> blocks;
    std::string error;
    if (!Read_Block_Clipboard_Text(QGuiApplication::clipboard()->text().toStdString(), blocks,
                                   error)) {
        return refuse(QStringLiteral("The clipboard does not hold blocks as Copy puts them there "
                                     "(%1), so nothing was pasted. Copy the blocks again: one "
                                     "JSON object a line, as plotvane-cli blocks --json lists "
                                     "them.")
                          .arg(QString::fromStdString(error)));
    }
    if (blocks.empty()) {
        return refuse(QStringLiteral("The clipboard holds no blocks, so nothing was pasted. "
                                     "Select blocks in a block list and copy them (Ctrl+C) "
                                     "first."));
    }
    const std::vector<std::string> missing = Names_Not_Defined(Block_Address_List(), blocks);
    if (!missing.empty()) {
        return refuse(QStringLiteral("This challenge does not define %1 %2, which the "
                                     "clipboard's blocks use, so nothing was pasted: a pasted "
                                     "block can only refer to a name that the challenge "
                                     "already defines. Place a block of each such name in the "
                                     "game's editor first, or copy the blocks again without "
                                     "them.")
                          .arg(missing.size() == 1 ? QStringLiteral("the name")
                                                   : QStringLiteral("the names"),
                               Quoted_Names(missing)));
    }
    // The challenge also defines texts that name no block (its collection, its mood, its
    // author's login), which the game could not load as one.
    if (!Confirm_Block_Names(Block_Names(blocks))) {
        return std::nullopt;
    }
    return blocks;
}

void TMainForm::EditDuplicate_ActionExecute()
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (!session_ || blocks.empty() || !Settle_Panel_Edits() ||
        !Records_Can_Change(TRecord_Command::Duplicate)) {
        return;
    }
    const auto duplicate = [this, &blocks](bool allow_outside_challenge, bool without_skin) {
        const auto [dx, dz, dy] = copy_offsets_;
        return session_->Duplicate(blocks, dx, dz, dy, allow_outside_challenge, without_skin);
    };
    Add_Copies(TRecord_Command::Duplicate, blocks.size(), duplicate, Block_Text);
}

void TMainForm::Add_Copies(
    TRecord_Command command, std::size_t block_count,
    const std::function<TEdit_Result(bool allow_outside_challenge, bool without_skin)>& add,
    const std::function<QString(std::size_t)>& block)
{
    TCopy_Dialog dialog(command == TRecord_Command::Duplicate ? TCopy_Dialog::TSource::Selection
                                                              : TCopy_Dialog::TSource::Clipboard,
                        block_count, copy_offsets_, this);
    if (!gui_services_.Run_Dialog(dialog)) {
        return;
    }
    copy_offsets_ = dialog.Offsets();
    TEdit_Result result = add(false, dialog.Without_Skin());
    if (result.Status == TEdit_Status::Outside_Challenge) {
        const QString verb = command == TRecord_Command::Duplicate ? QStringLiteral("Duplicate")
                                                                   : QStringLiteral("Paste");
        if (!Confirm_Outside_Challenge(Moved_Copy_Text(command, block(result.Block)), verb)) {
            return;
        }
        result = add(true, dialog.Without_Skin());
    }
    Finish_Record_Step(result, command, block);
}

void TMainForm::EditDelete_ActionExecute()
{
    const TBlock_Selection blocks = Selected_Blocks();
    if (!session_ || blocks.empty() || !Settle_Panel_Edits() ||
        !Records_Can_Change(TRecord_Command::Delete)) {
        return;
    }
    const QString question =
        blocks.size() == 1
            ? QStringLiteral("Delete block %1? Undo (Ctrl+Z) brings it back.").arg(blocks.front())
            : QStringLiteral("Delete the %1 selected blocks? Undo (Ctrl+Z) brings them back.")
                  .arg(blocks.size());
    if (Show_Message(gui_services_, this, TMessage_Kind::Confirmation, question,
                     TMessage_Buttons::Yes_No) != TMessage_Answer::Yes) {
        return;
    }
    Finish_Record_Step(session_->Delete(blocks), TRecord_Command::Delete, Block_Text);
}

bool TMainForm::Records_Can_Change(TRecord_Command command)
{
    // Deleting no block writes nothing: it only meets the refusals that concern the whole
    // list, before the player fills in a form for nothing.
    const TEdit_Result result = session_->Delete({});
    if (result.Status == TEdit_Status::Unchanged) {
        return true;
    }
    Finish_Record_Step(result, command, Block_Text);
    return false;
}

void TMainForm::Finish_Record_Step(const TEdit_Result& result, TRecord_Command command,
                                   const std::function<QString(std::size_t)>& block)
{
    if (result.Status == TEdit_Status::Done || result.Status == TEdit_Status::Unchanged) {
        Finish_Batch(result);
        return;
    }
    Show_Message(gui_services_, this, TMessage_Kind::Error,
                 Record_Refusal_Text(result, command, block(result.Block)), TMessage_Buttons::Ok);
}

} // namespace plotvane
