#pragma once

#include "platform/Gui_Services.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace plotvane {

// Services that answer from queues filled beforehand and record everything asked of them, so
// that every dialog path of the window runs without a person (tests, the picture program).
class TScripted_Gui_Services : public TGui_Services {
public:
    struct TRecorded_Box {
        TMessage_Kind Kind;
        QString Title;
        QString Text;
        TMessage_Buttons Buttons;
    };
    struct TRecorded_Dialog {
        bool Save;
        TFile_Dialog_Request Request;
    };

    // A box with OK alone is answered OK without taking an answer. A box with a choice takes
    // the next answer; with none left it answers Cancel (or No), as closing the box would.
    std::deque<TMessage_Answer> Answers;
    // Each file dialog takes the next entry; nothing (or an empty queue) is a cancel.
    std::deque<std::optional<QString>> File_Names;

    // Each form takes the next entry, which fills it in as a person would and says whether
    // it is accepted; with none left the form is cancelled.
    std::deque<std::function<bool(QDialog&)>> Dialog_Answers;

    std::vector<TRecorded_Box> Boxes;
    std::vector<TRecorded_Dialog> Dialogs;
    QStringList Pages;
    // The object names of the forms shown.
    QStringList Forms;

    TMessage_Answer Message_Box(QWidget* owner, TMessage_Kind kind, const QString& title,
                                const QString& text, TMessage_Buttons buttons) override;
    std::optional<QString> Open_File_Name(QWidget* owner,
                                          const TFile_Dialog_Request& request) override;
    std::optional<QString> Save_File_Name(QWidget* owner,
                                          const TFile_Dialog_Request& request) override;
    void Open_Web_Page(const QString& address) override;
    bool Run_Dialog(QDialog& dialog) override;

private:
    std::optional<QString> Next_File_Name();
};

} // namespace plotvane
