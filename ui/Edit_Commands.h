#pragma once

#include "challenge/Challenge_Edit_Session.h"

#include <QString>
#include <QUndoCommand>

#include <functional>

namespace plotvane {

// One step of the open challenge's history on the window's undo stack, named as the session
// names it. The session has made the step when the command is pushed, so the push's own redo
// leaves the image alone; every later undo and redo takes the step back or makes it again in
// the session, then calls `show_step`. The session must outlive the command.
class TEdit_Step_Command : public QUndoCommand {
public:
    TEdit_Step_Command(TChallenge_Edit_Session& session, std::function<void()> show_step);

    void undo() override;
    void redo() override;

private:
    TChallenge_Edit_Session& session_;
    std::function<void()> show_step_;
    bool pushed_ = false;
};

// The error box's text for a write the session refused: which block refused, why, and what to
// do. `from` and `to` are the names of a Replace name.
QString Edit_Refusal_Text(const TEdit_Result& result, const QString& from, const QString& to);

// The commands that add or remove block records.
enum class TRecord_Command { Duplicate, Paste, Delete };

// The error box's text for a Duplicate, Paste or Delete that the session refused. `block` names
// the refusing block within a sentence: "block 12", or a pasted block by its place on the
// clipboard and its name.
QString Record_Refusal_Text(const TEdit_Result& result, TRecord_Command command,
                            const QString& block);

// How Duplicate's and Paste's texts name a copy that their offsets move, to begin a sentence:
// "The copy of block 12", or the pasted block as `block` names it.
QString Moved_Copy_Text(TRecord_Command command, const QString& block);

} // namespace plotvane
