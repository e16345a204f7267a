#include "ui/Edit_Commands.h"

#include <utility>

namespace plotvane {

namespace {

QString Capitalised(QString text)
{
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

// "Move 12 blocks" as a menu item's text ends: "Undo move 12 blocks". A name may hold an
// ampersand, which a menu would take for an access key.
QString Menu_Text(const std::string& step_text)
{
    QString text = QString::fromLatin1(step_text.data(), static_cast<qsizetype>(step_text.size()));
    if (!text.isEmpty()) {
        text[0] = text[0].toLower();
    }
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TEdit_Step_Command::TEdit_Step_Command(TChallenge_Edit_Session& session,
                                       std::function<void()> show_step)
    : QUndoCommand(Menu_Text(session.Undo_Text())), session_(session),
      show_step_(std::move(show_step))
{
}

void TEdit_Step_Command::undo()
{
    session_.Undo();
    show_step_();
}

void TEdit_Step_Command::redo()
{
    if (!pushed_) {
        pushed_ = true; // the push: the session made the step already
        return;
    }
    session_.Redo();
    show_step_();
}

QString Edit_Refusal_Text(const TEdit_Result& result, const QString& from, const QString& to)
{
    const QString block = QString::number(result.Block);
    switch (result.Status) {
    case TEdit_Status::Block_Not_Walked:
        return QStringLiteral("Block %1 is not in the block list read, so nothing was changed. "
                              "Leave it out of the selection, or reload the challenge.")
            .arg(block);
    case TEdit_Status::Name_Not_Defined:
        return QStringLiteral("Block %1 refers to its name, and the challenge does not define "
                              "\"%2\" before it, so nothing was changed. Choose a name that the "
                              "challenge defines before block %1, or leave that block out of "
                              "the selection.")
            .arg(block, to);
    case TEdit_Status::Size_Fields_Not_Walked:
        return QStringLiteral("Block %1 writes its name in place, which cannot be changed: the "
                              "block list could not be read to its end. Nothing was changed. "
                              "Leave that block out of the selection.")
            .arg(block);
    case TEdit_Status::Image_Too_Large:
        return QStringLiteral("The new name would make the challenge too large, so nothing was "
                              "changed. Choose a shorter name.");
    case TEdit_Status::Position_Out_Of_Range:
        return QStringLiteral("Block %1 would leave the grid, whose positions run from 0 to "
                              "255, so nothing was moved. Move by less, or leave that block out "
                              "of the selection.")
            .arg(block);
    case TEdit_Status::Outside_Challenge:
        return QStringLiteral("Block %1 would stand outside the challenge's size, so nothing "
                              "was moved. Move by less, or leave that block out of the "
                              "selection.")
            .arg(block);
    case TEdit_Status::Changes_Game_Reading:
        return QStringLiteral("The new variations of block %1 change how the game reads the "
                              "block list, so nothing was changed. Choose other variations, or "
                              "leave that block out of the selection.")
            .arg(block);
    case TEdit_Status::Shared_In_Place_Name:
        return QStringLiteral("Block %1 writes the name \"%2\" in place, and blocks outside the "
                              "selection refer to it (%3 of them): renaming it there would "
                              "rename them too, so nothing was changed. Select them as well, or "
                              "leave block %1 out of the selection.")
            .arg(block, from)
            .arg(result.Unselected_Sharing);
    case TEdit_Status::Done:
    case TEdit_Status::Unchanged:
    case TEdit_Status::Nothing_To_Undo:
    case TEdit_Status::Nothing_To_Redo:
    // Only adding or removing records refuses so: see Record_Refusal_Text.
    case TEdit_Status::List_Not_Walked:
    case TEdit_Status::Block_Number_Chunks:
    case TEdit_Status::Uncounted_Record:
    case TEdit_Status::Carries_Skin:
    case TEdit_Status::Brings_Skin:
    case TEdit_Status::Name_Needed_Later:
    case TEdit_Status::Strands_Uncounted_Record:
        break;
    }
    return QStringLiteral("Nothing was changed.");
}

QString Record_Refusal_Text(const TEdit_Result& result, TRecord_Command command,
                            const QString& block)
{
    const QString done = command == TRecord_Command::Duplicate ? QStringLiteral("duplicated")
                         : command == TRecord_Command::Paste   ? QStringLiteral("pasted")
                                                               : QStringLiteral("deleted");
    // A pasted block is left out by copying the blocks again without it.
    const QString leave_out = command == TRecord_Command::Paste
                                  ? QStringLiteral("copy the blocks again without it")
                                  : QStringLiteral("leave that block out of the selection");
    switch (result.Status) {
    case TEdit_Status::List_Not_Walked:
        return QStringLiteral("The block list could not be read to its end, so blocks cannot be "
                              "added or removed: nothing was %1. Move, Set, Rotate and Replace "
                              "name still work on the blocks listed.")
            .arg(done);
    case TEdit_Status::Block_Number_Chunks:
        return QStringLiteral("This challenge holds data of a game extension that points at "
                              "blocks by their number: adding or removing blocks would make it "
                              "point at others, so nothing was %1. Blocks can still be moved, "
                              "turned, set and renamed.")
            .arg(done);
    case TEdit_Status::Uncounted_Record:
        return QStringLiteral("%1 is a record that the game does not count as a block (its four "
                              "variations are all 255), so nothing was %2. %3.")
            .arg(Capitalised(block), done, Capitalised(leave_out));
    case TEdit_Status::Carries_Skin:
        return QStringLiteral("%1 carries a skin (an author record), which a copy may not "
                              "repeat, so nothing was %2. Check \"Copy without skin\" in the "
                              "form to copy it without its skin, or %3.")
            .arg(Capitalised(block), done, leave_out);
    case TEdit_Status::Brings_Skin:
        return QStringLiteral("%1 carries a skin (an author record) that brings a node of its "
                              "own, which block %3 refers to by its number: removing it would "
                              "leave that reference without its node, so nothing was %2. Select "
                              "block %3 too, or leave %4 out of the selection.")
            .arg(Capitalised(block), done)
            .arg(result.Later_Block.value_or(0))
            .arg(block);
    case TEdit_Status::Name_Needed_Later:
        return QStringLiteral("%1 writes a name in place (its own or its skin's author) that "
                              "block %3 needs at its number: removing it would renumber the "
                              "challenge's names, so nothing was %2. Select the blocks that "
                              "refer to it too, or leave %4 out of the selection.")
            .arg(Capitalised(block), done)
            .arg(result.Later_Block.value_or(0))
            .arg(block);
    case TEdit_Status::Strands_Uncounted_Record:
        return QStringLiteral("Record %1, which the game does not count as a block, would be left "
                              "after the last block, where the game no longer reads the list, "
                              "so nothing was %2. Keep a block after it in the list.")
            .arg(result.Block)
            .arg(done);
    case TEdit_Status::Position_Out_Of_Range:
        return QStringLiteral("%1 would leave the grid, whose positions run from 0 to 255, so "
                              "nothing was %2. Give a smaller offset, or %3.")
            .arg(Moved_Copy_Text(command, block), done, leave_out);
    case TEdit_Status::Name_Not_Defined:
        return QStringLiteral("The challenge defines no name that %1 could refer to, so "
                              "nothing was %2. %3.")
            .arg(block, done, Capitalised(leave_out));
    case TEdit_Status::Image_Too_Large:
        return QStringLiteral("The new blocks would make the challenge too large, so nothing "
                              "was %1. Copy fewer blocks.")
            .arg(done);
    case TEdit_Status::Size_Fields_Not_Walked:
        return QStringLiteral("The challenge's body sizes do not match its body, so blocks "
                              "cannot be added or removed: nothing was %1. Move, Set, Rotate "
                              "and Replace name still work.")
            .arg(done);
    default:
        return Edit_Refusal_Text(result, QString(), QString());
    }
}

QString Moved_Copy_Text(TRecord_Command command, const QString& block)
{
    return Capitalised(command == TRecord_Command::Duplicate ? QStringLiteral("the copy of ") + block
                                                             : block);
}

} // namespace plotvane
