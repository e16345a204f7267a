#include "ui/About.h"

#include "platform/Scripted_Gui_Services.h"
#include "ui/About_Config.h"
#include "ui/Main.h"
#include "tests/ui/Game_Folder.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace plotvane {
namespace {

struct TLink_Case {
    const char* Name;
    QString Text;
    QString Address;
};

std::vector<TLink_Case> Link_Cases()
{
    return {
        {"Download_Label", QStringLiteral("Download latest version"),
         QStringLiteral(PLOTVANE_ABOUT_DOWNLOAD_ADDRESS)},
        {"French_Forum_Label",
         QString::fromUtf8("Français : " PLOTVANE_ABOUT_FRENCH_FORUM_NAME " forum"),
         QStringLiteral(PLOTVANE_ABOUT_FRENCH_FORUM_ADDRESS)},
        {"English_Forum_Label",
         QString::fromUtf8("English : " PLOTVANE_ABOUT_ENGLISH_FORUM_NAME " forum"),
         QStringLiteral(PLOTVANE_ABOUT_ENGLISH_FORUM_ADDRESS)},
    };
}

class About_Box : public ::testing::Test {
protected:
    template <typename T>
    T* Child(const char* name)
    {
        T* child = Box.findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    TScripted_Gui_Services Gui_Services;
    TAboutBox Box{Gui_Services};
};

TEST_F(About_Box, Shows_Its_Texts_Picture_And_Links_Inside_A_Fixed_Size_Box)
{
    EXPECT_EQ(Box.windowTitle(), "About");
    EXPECT_EQ(Box.size(), QSize(281, 183));
    EXPECT_EQ(Box.minimumSize(), Box.maximumSize());
    EXPECT_FALSE(Box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    EXPECT_EQ(Child<QLabel>("ProductName_Label")->text(), "Plotvane");
    EXPECT_EQ(Child<QLabel>("Version_Label")->text(), "Version : 0.4d Alpha");
    EXPECT_EQ(Child<QLabel>("Author_Label")->text(),
              QString::fromUtf8("Author : " PLOTVANE_ABOUT_AUTHOR));
    EXPECT_EQ(Child<QLabel>("Help_Label")->text(), "Help :");
    EXPECT_EQ(Child<QLabel>("ProgramIcon")->pixmap().size(), QSize(74, 74));

    // Every text is whole: no label reaches past the panel's sunken edge.
    auto* panel = Child<QFrame>("Panel1");
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        EXPECT_TRUE(panel->contentsRect().contains(label->geometry()))
            << label->objectName().toStdString();
    }

    for (const TLink_Case& link : Link_Cases()) {
        SCOPED_TRACE(link.Name);
        auto* label = Child<QLabel>(link.Name);
        EXPECT_EQ(label->text(), link.Text);
        EXPECT_EQ(label->toolTip(), link.Address);
        EXPECT_TRUE(label->font().underline());
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), QAccessible::Link);
        EXPECT_EQ(accessible->text(QAccessible::Name), link.Text);
    }
}

// The Windows archive's link names README.txt beside the program; addresses with a scheme,
// web pages and the installed README alike, stay as they are.
TEST(About_Link_Address, Names_A_File_Beside_The_Program_When_It_Has_No_Scheme)
{
    const QString beside = QUrl::fromLocalFile(QCoreApplication::applicationDirPath()).toString();
    EXPECT_EQ(About_Link_Address(QStringLiteral("README.txt")), beside + "/README.txt");
    for (const QString& kept : {QStringLiteral("https://www.tm-forum.com/"),
                               QStringLiteral("file:///usr/share/doc/plotvane/README.md")}) {
        EXPECT_EQ(About_Link_Address(kept), kept);
    }
}

TEST_F(About_Box, Each_Link_Opens_Its_Page_When_Clicked_Pressed_Or_Activated)
{
    Box.show();
    for (const TLink_Case& link : Link_Cases()) {
        SCOPED_TRACE(link.Name);
        auto* label = Child<QLabel>(link.Name);
        Gui_Services.Pages.clear();
        QTest::mouseClick(label, Qt::LeftButton);
        label->setFocus();
        QTest::keyClick(label, Qt::Key_Space);
        QAccessible::queryAccessibleInterface(label)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
        EXPECT_EQ(Gui_Services.Pages, QStringList({link.Address, link.Address, link.Address}));
    }
    EXPECT_TRUE(Box.isVisible()) << "opening a page leaves the box open";
}

TEST_F(About_Box, Opens_Centred_With_The_Focus_On_OK_Each_Time_And_Enter_Closes_It)
{
    auto* ok = Child<QPushButton>("OKButton");
    EXPECT_TRUE(ok->isDefault());
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        Box.open();
        ASSERT_TRUE(Box.isVisible());
        EXPECT_EQ(Box.frameGeometry().center(), Box.screen()->availableGeometry().center());
        EXPECT_EQ(Box.focusWidget(), ok);
        EXPECT_EQ(Child<QLabel>("Version_Label")->text(), "Version : 0.4d Alpha");

        // Move the focus to a link: Enter still closes the box (it presses OK, not the link).
        QTest::keyClick(&Box, Qt::Key_Tab);
        EXPECT_EQ(Box.focusWidget(), Child<QWidget>("Download_Label"));
        QTest::keyClick(Box.focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(Box.isVisible());
        EXPECT_EQ(Box.result(), QDialog::Accepted);
        Box.move(0, 0); // the next opening centres it again
    }
    EXPECT_TRUE(Gui_Services.Pages.isEmpty());
}

TEST(Help_About, Shows_The_Box_Modally_And_Returns_When_It_Is_Closed)
{
    const test::TTest_Game_Folder game({"player"});
    TScripted_Gui_Services gui_services;
    TMainForm main_form({}, gui_services);
    TAboutBox box(gui_services, &main_form);
    main_form.AboutBox = &box;
    EXPECT_FALSE(box.isVisible()) << "created hidden";

    QWidget* modal_widget = nullptr;
    QTimer::singleShot(0, &box, [&] {
        modal_widget = QApplication::activeModalWidget();
        QTest::keyClick(&box, Qt::Key_Return);
    });
    main_form.Help_About->trigger();
    EXPECT_EQ(modal_widget, &box);
    EXPECT_FALSE(box.isVisible());
}

} // namespace
} // namespace plotvane
