#include "ui/Batch_Dialogs.h"

#include "challenge/Gbx_Challenge_Write.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QSpinBox>
#include <QVBoxLayout>

namespace plotvane {

namespace {

// Watches a completer's pop-up, ahead of the completer itself: a press outside the pop-up
// closes it and clicks the widget under the pointer in the name box's window. The whole click
// goes there, as the press's own release, which Qt sends after a pop-up took the press, finds
// no widget pressed and is dropped.
class TPopup_Click_Passer : public QObject {
public:
    TPopup_Click_Passer(QComboBox& name_box, QWidget& popup)
        : QObject(&popup), name_box_(&name_box), popup_(popup)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &popup_ || event->type() != QEvent::MouseButtonPress || !name_box_) {
            return false;
        }
        const auto* press = static_cast<QMouseEvent*>(event);
        const QPointF global = press->globalPosition();
        if (popup_.rect().contains(popup_.mapFromGlobal(global).toPoint())) {
            return false;
        }
        popup_.hide();
        QPointer<QWidget> target = QApplication::widgetAt(global.toPoint());
        if (target && target->window() == name_box_->window()) {
            // Once the pop-up's press is over: a click may open a modal box.
            QMetaObject::invokeMethod(
                target,
                [target, global, button = press->button(), modifiers = press->modifiers()] {
                    Click(target, global, button, modifiers);
                },
                Qt::QueuedConnection);
        }
        return true;
    }

private:
    static void Click(const QPointer<QWidget>& target, const QPointF& global,
                      Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
    {
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            if (!target) {
                return;
            }
            const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
            QMouseEvent event(type, target->mapFromGlobal(global), global, button, held,
                              modifiers);
            QCoreApplication::sendEvent(target, &event);
        }
    }

    QPointer<QComboBox> name_box_;
    QWidget& popup_;
};

QString Selected_Text(std::size_t block_count)
{
    return block_count == 1 ? QStringLiteral("the selected block")
                            : QStringLiteral("the %1 selected blocks").arg(block_count);
}

QString Copied_Text(TCopy_Dialog::TSource source, std::size_t block_count)
{
    if (source == TCopy_Dialog::TSource::Selection) {
        return QStringLiteral("a copy of ") + Selected_Text(block_count);
    }
    return block_count == 1 ? QStringLiteral("the block on the clipboard")
                            : QStringLiteral("the %1 blocks on the clipboard").arg(block_count);
}

// The form's layout: a line saying what it does, then the fields that the caller adds.
QFormLayout* Lay_Out(QDialog* dialog, const char* name, const QString& title,
                     const QString& heading)
{
    dialog->setObjectName(QLatin1String(name));
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(heading, dialog));
    auto* form = new QFormLayout;
    layout->addLayout(form);
    return form;
}

// OK and Cancel below the fields, made after them: the focus starts where widgets were made
// first, so a player types into the first field at once and Enter accepts.
void Add_Buttons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    dialog->layout()->addWidget(buttons);
}

QSpinBox* Add_Spin_Edit(QDialog* dialog, QFormLayout* form, const char* name,
                        const QString& caption, int minimum, int maximum)
{
    auto* spin_edit = new QSpinBox(dialog);
    spin_edit->setObjectName(QLatin1String(name));
    spin_edit->setRange(minimum, maximum);
    form->addRow(caption, spin_edit);
    return spin_edit;
}

// An editable box whose typed text is the name, as the block panel's name box: names that
// begin with it are offered in a pop-up, with their letter case, and never filled in.
QComboBox* Add_Name_Box(QDialog* dialog, QFormLayout* form, const char* name,
                        const QString& caption, const QStringList& names)
{
    auto* combo = new QComboBox(dialog);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(names);
    combo->completer()->setCompletionMode(QCompleter::PopupCompletion);
    combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
    Pass_Clicks_Beside_Name_Popup(*combo);
    combo->setMinimumContentsLength(24);
    form->addRow(caption, combo);
    return combo;
}

} // namespace

void Pass_Clicks_Beside_Name_Popup(QComboBox& name_box)
{
    // Asking for the pop-up makes it, with the completer's own filter: this one, installed
    // after, sees each event first.
    QAbstractItemView* popup = name_box.completer()->popup();
    // Qt would otherwise replay the press itself on some systems, making it two.
    popup->setAttribute(Qt::WA_NoMouseReplay);
    popup->installEventFilter(new TPopup_Click_Passer(name_box, *popup));
}

TMove_Dialog::TMove_Dialog(std::size_t block_count, const TMove_Offsets& offsets,
                           QWidget* parent)
    : TMove_Dialog(
          "Move_Dialog", QStringLiteral("Move blocks"),
          QStringLiteral("Move %1 by a number of cells:").arg(Selected_Text(block_count)),
          offsets, parent)
{
    Add_Buttons(this);
}

TMove_Dialog::TMove_Dialog(const char* name, const QString& title, const QString& heading,
                           const TMove_Offsets& offsets, QWidget* parent)
    : QDialog(parent)
{
    Form = Lay_Out(this, name, title, heading);
    Move_DX_SpinEdit = Add_Spin_Edit(this, Form, "Move_DX_SpinEdit", QStringLiteral("&X :"), -255, 255);
    Move_DZ_SpinEdit = Add_Spin_Edit(this, Form, "Move_DZ_SpinEdit",
                                     QStringLiteral("&Z (height) :"), -255, 255);
    Move_DY_SpinEdit = Add_Spin_Edit(this, Form, "Move_DY_SpinEdit", QStringLiteral("&Y :"), -255, 255);
    Move_DX_SpinEdit->setValue(offsets[0]);
    Move_DZ_SpinEdit->setValue(offsets[1]);
    Move_DY_SpinEdit->setValue(offsets[2]);
    // The first field's number selected, so that typing replaces it.
    Move_DX_SpinEdit->selectAll();
}

TMove_Offsets TMove_Dialog::Offsets() const
{
    return {Move_DX_SpinEdit->value(), Move_DZ_SpinEdit->value(), Move_DY_SpinEdit->value()};
}

TCopy_Dialog::TCopy_Dialog(TSource source, std::size_t block_count, const TMove_Offsets& offsets,
                           QWidget* parent)
    : TMove_Dialog(source == TSource::Selection ? "Duplicate_Dialog" : "Paste_Dialog",
                   source == TSource::Selection ? QStringLiteral("Duplicate blocks")
                                                : QStringLiteral("Paste blocks"),
                   QStringLiteral("Add %1 at the end of the block list, moved by a number of "
                                  "cells:")
                       .arg(Copied_Text(source, block_count)),
                   offsets, parent)
{
    Copy_Without_Skin_CheckBox = new QCheckBox(QStringLiteral("Copy &without skin"), this);
    Copy_Without_Skin_CheckBox->setObjectName(QStringLiteral("Copy_Without_Skin_CheckBox"));
    Copy_Without_Skin_CheckBox->setToolTip(
        QStringLiteral("A block that carries a skin (an author record) is copied without it.\n"
                       "Unchecked, such a block is refused: a copy may not repeat its skin."));
    Form->addRow(Copy_Without_Skin_CheckBox);
    Add_Buttons(this);
}

bool TCopy_Dialog::Without_Skin() const
{
    return Copy_Without_Skin_CheckBox->isChecked();
}

TSet_Dialog::TSet_Dialog(std::size_t block_count, QWidget* parent) : QDialog(parent)
{
    QFormLayout* form = Lay_Out(
        this, "Set_Dialog", QStringLiteral("Set blocks"),
        QStringLiteral("Write the checked values into %1:").arg(Selected_Text(block_count)));
    Set_Rotation_SpinEdit = Add_Field(form, Set_Rotation_CheckBox, "Set_Rotation",
                                      QStringLiteral("&Rotation :"), Block_Rotation_Max);
    const char* const names[] = {"Set_V1", "Set_V2", "Set_V3", "Set_V4"};
    for (std::size_t v = 0; v < 4; ++v) {
        Set_Variation_SpinEdits[v] =
            Add_Field(form, Set_Variation_CheckBoxes[v], names[v],
                      QStringLiteral("Variation &%1 :").arg(v + 1), 255);
    }
    Add_Buttons(this);
}

QSpinBox* TSet_Dialog::Add_Field(QFormLayout* form, QCheckBox*& check_box, const char* name,
                                 const QString& caption, int maximum)
{
    check_box = new QCheckBox(caption, this);
    check_box->setObjectName(QLatin1String(name) + QStringLiteral("_CheckBox"));
    auto* spin_edit = new QSpinBox(this);
    spin_edit->setObjectName(QLatin1String(name) + QStringLiteral("_SpinEdit"));
    spin_edit->setRange(0, maximum);
    spin_edit->setEnabled(false);
    connect(check_box, &QCheckBox::toggled, spin_edit, &QSpinBox::setEnabled);
    form->addRow(check_box, spin_edit);
    return spin_edit;
}

TBlock_Settings TSet_Dialog::Settings() const
{
    const auto value_of = [](const QCheckBox* check_box, const QSpinBox* spin_edit) {
        return check_box->isChecked()
                   ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(spin_edit->value()))
                   : std::nullopt;
    };
    TBlock_Settings settings;
    settings.Rotation = value_of(Set_Rotation_CheckBox, Set_Rotation_SpinEdit);
    for (std::size_t v = 0; v < 4; ++v) {
        settings.Variations[v] = value_of(Set_Variation_CheckBoxes[v], Set_Variation_SpinEdits[v]);
    }
    return settings;
}

TReplace_Dialog::TReplace_Dialog(std::size_t block_count, const QStringList& from_names,
                                 const QStringList& to_names, QWidget* parent)
    : QDialog(parent)
{
    QFormLayout* form = Lay_Out(
        this, "Replace_Dialog", QStringLiteral("Replace name"),
        QStringLiteral("Rename the blocks named FROM among %1:").arg(Selected_Text(block_count)));
    Replace_From_ComboBox =
        Add_Name_Box(this, form, "Replace_From_ComboBox", QStringLiteral("&From :"), from_names);
    Replace_To_ComboBox =
        Add_Name_Box(this, form, "Replace_To_ComboBox", QStringLiteral("&To :"), to_names);
    // Opens empty: what is typed is what is written.
    Replace_To_ComboBox->setCurrentIndex(-1);
    Add_Buttons(this);
}

TGo_To_Dialog::TGo_To_Dialog(std::size_t block_count, int current_block, QWidget* parent)
    : QDialog(parent)
{
    QFormLayout* form = Lay_Out(this, "Go_To_Dialog", QStringLiteral("Go to block"),
                                QStringLiteral("Select the block numbered:"));
    const int last = static_cast<int>(std::min<std::size_t>(block_count, INT32_MAX)) - 1;
    Go_To_Block_SpinEdit = Add_Spin_Edit(this, form, "Go_To_Block_SpinEdit",
                                         QStringLiteral("Block (0 to %1):").arg(last), 0, last);
    Go_To_Block_SpinEdit->setValue(current_block);
    Add_Buttons(this);
}

} // namespace plotvane
