#include "ui/About.h"

#include "platform/Gui_Services.h"
#include "ui/About_Config.h"
#include "ui/Art.h"
#include "ui/Link_Label.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

namespace plotvane {

QString About_Link_Address(const QString& address)
{
    if (!QUrl(address).isRelative()) {
        return address;
    }
    return QUrl::fromLocalFile(QDir(QCoreApplication::applicationDirPath()).filePath(address))
        .toString();
}

namespace {

QLabel* Make_Label(const QString& text, const char* name, int left, int top, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

TLink_Label* Make_Link_Label(const QString& text, const QString& address, const char* name,
                             int top, QWidget* parent)
{
    auto* label = new TLink_Label(text, address, parent);
    label->setObjectName(QLatin1String(name));
    label->move(125, top);
    label->adjustSize();
    return label;
}

QString Forum_Caption(const char* language, const char* forum_name)
{
    return QString::fromUtf8(language) + QStringLiteral(" : ") + QString::fromUtf8(forum_name)
           + QStringLiteral(" forum");
}

} // namespace

TAboutBox::TAboutBox(TGui_Services& gui_services, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                  | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Gui_Services(gui_services)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    // The classic dialog font, 8 points at 96 dots per inch; where it is missing the system's
    // own sans serif font stands in.
    QFont dialog_font(QStringLiteral("MS Sans Serif"));
    dialog_font.setPixelSize(11);
    dialog_font.setStretch(QFont::SemiCondensed);
    setFont(dialog_font);
    QPalette black_text = palette();
    black_text.setColor(QPalette::WindowText, Qt::black);
    setPalette(black_text);
    setFixedSize(281, 183);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 265, 135);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 74, 74);
    ProgramIcon->setPixmap(About_Picture());
    ProgramIcon->setAccessibleName(QStringLiteral("Plotvane picture"));

    ProductName_Label = Make_Label(QStringLiteral("Plotvane"), "ProductName_Label", 90, 10, Panel1);
    Version_Label =
        Make_Label(QStringLiteral("Version : 0.4d Alpha"), "Version_Label", 90, 30, Panel1);
    Author_Label = Make_Label(QStringLiteral("Author : ") + QString::fromUtf8(PLOTVANE_ABOUT_AUTHOR),
                              "Author_Label", 90, 50, Panel1);
    Help_Label = Make_Label(QStringLiteral("Help :"), "Help_Label", 90, 70, Panel1);

    Download_Label =
        Make_Link_Label(QStringLiteral("Download latest version"),
                        About_Link_Address(QStringLiteral(PLOTVANE_ABOUT_DOWNLOAD_ADDRESS)),
                        "Download_Label", 70, Panel1);
    French_Forum_Label = Make_Link_Label(Forum_Caption("Français", PLOTVANE_ABOUT_FRENCH_FORUM_NAME),
                                         QStringLiteral(PLOTVANE_ABOUT_FRENCH_FORUM_ADDRESS),
                                         "French_Forum_Label", 90, Panel1);
    English_Forum_Label = Make_Link_Label(Forum_Caption("English", PLOTVANE_ABOUT_ENGLISH_FORUM_NAME),
                                          QStringLiteral(PLOTVANE_ABOUT_ENGLISH_FORUM_ADDRESS),
                                          "English_Forum_Label", 110, Panel1);
    connect(Download_Label, &TLink_Label::Clicked, this, &TAboutBox::Download_LabelClick);
    connect(French_Forum_Label, &TLink_Label::Clicked, this, &TAboutBox::French_Forum_LabelClick);
    connect(English_Forum_Label, &TLink_Label::Clicked, this, &TAboutBox::English_Forum_LabelClick);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(108, 149, 65, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(OKButton, Download_Label);
    setTabOrder(Download_Label, French_Forum_Label);
    setTabOrder(French_Forum_Label, English_Forum_Label);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    // Each opening starts afresh: centred on the screen, with the focus on OK, wherever the box
    // stood and whatever had the focus when it was last closed.
    if (QScreen* box_screen = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(box_screen->availableGeometry().center());
        move(frame.topLeft());
    }
    OKButton->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void TAboutBox::Download_LabelClick()
{
    Gui_Services.Open_Web_Page(Download_Label->Address());
}

void TAboutBox::French_Forum_LabelClick()
{
    Gui_Services.Open_Web_Page(French_Forum_Label->Address());
}

void TAboutBox::English_Forum_LabelClick()
{
    Gui_Services.Open_Web_Page(English_Forum_Label->Address());
}

} // namespace plotvane
