#pragma once

#include "platform/Gui_Services.h"

namespace plotvane {

// The services as a person meets them: QMessageBox, QFileDialog and QDesktopServices.
class TQt_Gui_Services : public TGui_Services {
public:
    TMessage_Answer Message_Box(QWidget* owner, TMessage_Kind kind, const QString& title,
                                const QString& text, TMessage_Buttons buttons) override;
    std::optional<QString> Open_File_Name(QWidget* owner,
                                          const TFile_Dialog_Request& request) override;
    std::optional<QString> Save_File_Name(QWidget* owner,
                                          const TFile_Dialog_Request& request) override;
    void Open_Web_Page(const QString& address) override;
    bool Run_Dialog(QDialog& dialog) override;
};

// "Challenge files|*.Challenge.Gbx" as Qt writes a filter: "Challenge files (*.Challenge.Gbx)".
QString Qt_File_Filter(const QString& filter);

} // namespace plotvane
