#include "platform/Scripted_Gui_Services.h"

#include <QDialog>

namespace plotvane {

TMessage_Answer TScripted_Gui_Services::Message_Box(QWidget*, TMessage_Kind kind,
                                                    const QString& title, const QString& text,
                                                    TMessage_Buttons buttons)
{
    Boxes.push_back({kind, title, text, buttons});
    if (buttons == TMessage_Buttons::Ok) {
        return TMessage_Answer::Ok;
    }
    if (Answers.empty()) {
        return Closing_Answer(buttons);
    }
    const TMessage_Answer answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::optional<QString> TScripted_Gui_Services::Open_File_Name(QWidget*,
                                                              const TFile_Dialog_Request& request)
{
    Dialogs.push_back({false, request});
    return Next_File_Name();
}

std::optional<QString> TScripted_Gui_Services::Save_File_Name(QWidget*,
                                                              const TFile_Dialog_Request& request)
{
    Dialogs.push_back({true, request});
    return Next_File_Name();
}

void TScripted_Gui_Services::Open_Web_Page(const QString& address)
{
    Pages.append(address);
}

bool TScripted_Gui_Services::Run_Dialog(QDialog& dialog)
{
    Forms.append(dialog.objectName());
    if (Dialog_Answers.empty()) {
        return false;
    }
    const std::function<bool(QDialog&)> answer = std::move(Dialog_Answers.front());
    Dialog_Answers.pop_front();
    return answer(dialog);
}

std::optional<QString> TScripted_Gui_Services::Next_File_Name()
{
    if (File_Names.empty()) {
        return std::nullopt;
    }
    // Built from the parts: copying the optional whole draws a false "may be used
    // uninitialized" from GCC 12 at -O3.
    const bool chosen = File_Names.front().has_value();
    const QString name = File_Names.front().value_or(QString());
    File_Names.pop_front();
    if (!chosen) {
        return std::nullopt;
    }
    return name;
}

} // namespace plotvane
