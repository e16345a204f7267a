#pragma once

#include <QString>

#include <optional>

class QDialog;
class QWidget;

namespace plotvane {

enum class TMessage_Kind { Error, Warning, Confirmation };
// Apply_Discard_Cancel has Cancel as its default button, so that Enter loses nothing;
// Save_Discard_Cancel has Save, so that Enter keeps the work; Yes_No_Default_No has No, for a
// question whose Yes may harm. Escape answers Cancel, or No where there is no Cancel.
enum class TMessage_Buttons {
    Ok,
    Ok_Cancel,
    Yes_No,
    Yes_No_Default_No,
    Apply_Discard_Cancel,
    Save_Discard_Cancel
};
enum class TMessage_Answer { Ok, Cancel, Yes, No, Apply, Discard, Save };

// What a file dialog is given. Filter is a name and a pattern joined by a vertical bar, as
// "Challenge files|*.Challenge.Gbx"; Default_Suffix is added to a typed name without one.
struct TFile_Dialog_Request {
    QString Filter;
    QString Folder;    // the folder shown first (open)
    QString File_Name; // the name preset (save)
    QString Default_Suffix;
};

// Every modal interaction of the editor: message boxes, the two file dialogs and opening a
// web page. The window asks these of an object it is given, so that tests can answer them.
class TGui_Services {
public:
    virtual ~TGui_Services() = default;

    // Shows a modal box and returns the button pressed; closing the box without a button
    // answers Cancel, or No for a box without Cancel.
    virtual TMessage_Answer Message_Box(QWidget* owner, TMessage_Kind kind, const QString& title,
                                        const QString& text, TMessage_Buttons buttons) = 0;
    // The chosen path, or nothing when the user cancelled. Neither dialog asks by itself
    // whether the file exists or may be overwritten.
    virtual std::optional<QString> Open_File_Name(QWidget* owner,
                                                  const TFile_Dialog_Request& request) = 0;
    virtual std::optional<QString> Save_File_Name(QWidget* owner,
                                                  const TFile_Dialog_Request& request) = 0;
    // Asks the desktop to show the page in the user's browser; a failure is not reported.
    virtual void Open_Web_Page(const QString& address) = 0;
    // Shows a form of the window (such as the Move dialog) modally; true when the user
    // accepted it, after which the form holds what they chose.
    virtual bool Run_Dialog(QDialog& dialog) = 0;
};

// What closing a box without a button answers: No where there is no Cancel, else Cancel.
TMessage_Answer Closing_Answer(TMessage_Buttons buttons);

// The title every box of a kind carries: "Error", "Warning" or "Confirm".
QString Message_Title(TMessage_Kind kind);

// A box with its kind's title.
TMessage_Answer Show_Message(TGui_Services& services, QWidget* owner, TMessage_Kind kind,
                             const QString& text, TMessage_Buttons buttons);

} // namespace plotvane
