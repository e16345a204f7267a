#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace plotvane {

class TGui_Services;
class TLink_Label;

// A link's address as the About box opens it: an address without a scheme names a file in the
// program's own folder (the README.txt of the Windows archive), any other is kept as it is.
QString About_Link_Address(const QString& address);

// The About box: the program's name, version and author, and three links to web pages that
// open in the user's browser. Created once, hidden; shown modally any number of times.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    TAboutBox(TGui_Services& gui_services, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Download_LabelClick();
    void French_Forum_LabelClick();
    void English_Forum_LabelClick();

    TGui_Services& Gui_Services;
    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName_Label;
    QLabel* Version_Label;
    QLabel* Author_Label;
    QLabel* Help_Label;
    TLink_Label* Download_Label;
    TLink_Label* French_Forum_Label;
    TLink_Label* English_Forum_Label;
    QPushButton* OKButton;
};

} // namespace plotvane
