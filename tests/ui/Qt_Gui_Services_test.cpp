// The services a person meets, answered from a timer as a person would answer them.
#include "platform/Qt_Gui_Services.h"

#include "tests/support/Scratch_Folder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace plotvane {
namespace {

// Runs `answer` on the modal dialog of type T once it is open.
template <typename T>
void Answer_When_Open(std::function<void(T&)> answer)
{
    QTimer::singleShot(0, [answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<T*>(widget); dialog != nullptr && dialog->isVisible()) {
                answer(*dialog);
                return;
            }
        }
        Answer_When_Open<T>(answer);
    });
}

TEST(Qt_Gui_Services, Message_Boxes_Carry_Title_Text_Buttons_And_Return_The_Button_Pressed)
{
    TQt_Gui_Services services;
    QString title;
    QString text;
    int buttons = 0;
    Answer_When_Open<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        buttons = static_cast<int>(box.buttons().size());
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(services.Message_Box(nullptr, TMessage_Kind::Confirmation, "Confirm", "Go on?",
                                   TMessage_Buttons::Yes_No),
              TMessage_Answer::No);
    EXPECT_EQ(title, "Confirm");
    EXPECT_EQ(text, "Go on?");
    EXPECT_EQ(buttons, 2);

    Answer_When_Open<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(services.Message_Box(nullptr, TMessage_Kind::Warning, "Warning", "Sure?",
                                   TMessage_Buttons::Ok_Cancel),
              TMessage_Answer::Ok);

    // Each button answers itself; Enter presses the default, Escape Cancel or else No.
    struct TCase {
        TMessage_Buttons Buttons;
        QMessageBox::StandardButton Pressed;
        TMessage_Answer Answer;
        QMessageBox::StandardButton Default;
        QMessageBox::StandardButton Escape;
    };
    const TCase cases[] = {
        {TMessage_Buttons::Apply_Discard_Cancel, QMessageBox::Apply, TMessage_Answer::Apply,
         QMessageBox::Cancel, QMessageBox::Cancel},
        {TMessage_Buttons::Apply_Discard_Cancel, QMessageBox::Discard, TMessage_Answer::Discard,
         QMessageBox::Cancel, QMessageBox::Cancel},
        {TMessage_Buttons::Save_Discard_Cancel, QMessageBox::Save, TMessage_Answer::Save,
         QMessageBox::Save, QMessageBox::Cancel},
        {TMessage_Buttons::Yes_No_Default_No, QMessageBox::Yes, TMessage_Answer::Yes,
         QMessageBox::No, QMessageBox::No},
    };
    for (const TCase& answer : cases) {
        Answer_When_Open<QMessageBox>([&answer](QMessageBox& box) {
            EXPECT_EQ(box.defaultButton(), box.button(answer.Default));
            EXPECT_EQ(box.escapeButton(), box.button(answer.Escape));
            box.button(answer.Pressed)->click();
        });
        EXPECT_EQ(services.Message_Box(nullptr, TMessage_Kind::Confirmation, "Confirm", "Keep?",
                                       answer.Buttons),
                  answer.Answer);
    }
}

TEST(Qt_Gui_Services, Save_Dialog_Adds_The_Default_Suffix_To_A_Bare_Name)
{
    const test::TScratch_Folder folder;
    TQt_Gui_Services services;
    QString filters;
    Answer_When_Open<QFileDialog>([&](QFileDialog& dialog) {
        filters = dialog.nameFilters().join('\n');
        dialog.findChild<QLineEdit*>()->setText("Map");
        static_cast<QDialog&>(dialog).accept(); // what the Save button does
    });
    const std::optional<QString> chosen = services.Save_File_Name(
        nullptr, {"Challenge files|*.Challenge.Gbx", QString::fromStdString(folder.Path()),
                  QString(), "Challenge.Gbx"});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->toStdString(), folder.Path() + "/Map.Challenge.Gbx");
    EXPECT_EQ(filters, "Challenge files (*.Challenge.Gbx)");

    Answer_When_Open<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(services.Open_File_Name(nullptr, {"Challenge files|*.Challenge.Gbx",
                                                   QString::fromStdString(folder.Path()),
                                                   QString(), "Challenge.Gbx"}));
}

} // namespace
} // namespace plotvane
