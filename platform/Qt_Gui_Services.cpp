#include "platform/Qt_Gui_Services.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace plotvane {

namespace {

QMessageBox::Icon Icon_Of(TMessage_Kind kind)
{
    switch (kind) {
    case TMessage_Kind::Error:
        return QMessageBox::Critical;
    case TMessage_Kind::Warning:
        return QMessageBox::Warning;
    case TMessage_Kind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons Buttons_Of(TMessage_Buttons buttons)
{
    switch (buttons) {
    case TMessage_Buttons::Ok:
        return QMessageBox::Ok;
    case TMessage_Buttons::Ok_Cancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMessage_Buttons::Yes_No:
    case TMessage_Buttons::Yes_No_Default_No:
        return QMessageBox::Yes | QMessageBox::No;
    case TMessage_Buttons::Apply_Discard_Cancel:
        return QMessageBox::Apply | QMessageBox::Discard | QMessageBox::Cancel;
    case TMessage_Buttons::Save_Discard_Cancel:
        return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The button Enter presses where Qt's own choice is not the one wanted.
QMessageBox::StandardButton Default_Button_Of(TMessage_Buttons buttons)
{
    switch (buttons) {
    case TMessage_Buttons::Yes_No_Default_No:
        return QMessageBox::No;
    case TMessage_Buttons::Apply_Discard_Cancel:
        return QMessageBox::Cancel;
    case TMessage_Buttons::Save_Discard_Cancel:
        return QMessageBox::Save;
    default:
        return QMessageBox::NoButton;
    }
}

// The button Escape presses: Cancel, or No where there is no Cancel.
QMessageBox::StandardButton Escape_Button_Of(TMessage_Buttons buttons)
{
    switch (buttons) {
    case TMessage_Buttons::Ok:
        return QMessageBox::Ok;
    case TMessage_Buttons::Yes_No:
    case TMessage_Buttons::Yes_No_Default_No:
        return QMessageBox::No;
    default:
        return QMessageBox::Cancel;
    }
}

TMessage_Answer Answer_Of(int button, TMessage_Buttons buttons)
{
    switch (button) {
    case QMessageBox::Ok:
        return TMessage_Answer::Ok;
    case QMessageBox::Yes:
        return TMessage_Answer::Yes;
    case QMessageBox::No:
        return TMessage_Answer::No;
    case QMessageBox::Apply:
        return TMessage_Answer::Apply;
    case QMessageBox::Discard:
        return TMessage_Answer::Discard;
    case QMessageBox::Save:
        return TMessage_Answer::Save;
    default:
        return Closing_Answer(buttons);
    }
}

std::optional<QString> Run_File_Dialog(QWidget* owner, const TFile_Dialog_Request& request,
                                       QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner);
    dialog.setAcceptMode(mode);
    // Any name may be typed: a missing file is reported by the command that loads it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(Qt_File_Filter(request.Filter));
    dialog.setDefaultSuffix(request.Default_Suffix);
    if (!request.Folder.isEmpty()) {
        dialog.setDirectory(request.Folder);
    }
    if (!request.File_Name.isEmpty()) {
        dialog.selectFile(request.File_Name);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first();
}

} // namespace

QString Qt_File_Filter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        return filter;
    }
    return filter.left(bar) + QStringLiteral(" (") + filter.mid(bar + 1) + QLatin1Char(')');
}

TMessage_Answer TQt_Gui_Services::Message_Box(QWidget* owner, TMessage_Kind kind,
                                              const QString& title, const QString& text,
                                              TMessage_Buttons buttons)
{
    QMessageBox box(Icon_Of(kind), title, text, Buttons_Of(buttons), owner);
    if (const QMessageBox::StandardButton default_button = Default_Button_Of(buttons);
        default_button != QMessageBox::NoButton) {
        box.setDefaultButton(default_button);
    }
    box.setEscapeButton(Escape_Button_Of(buttons));
    return Answer_Of(box.exec(), buttons);
}

std::optional<QString> TQt_Gui_Services::Open_File_Name(QWidget* owner,
                                                        const TFile_Dialog_Request& request)
{
    return Run_File_Dialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<QString> TQt_Gui_Services::Save_File_Name(QWidget* owner,
                                                        const TFile_Dialog_Request& request)
{
    return Run_File_Dialog(owner, request, QFileDialog::AcceptSave);
}

void TQt_Gui_Services::Open_Web_Page(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

bool TQt_Gui_Services::Run_Dialog(QDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

} // namespace plotvane
