#pragma once

#include "challenge/Challenge_Edit_Session.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QSpinBox;

namespace plotvane {

// Makes a click beside a name box's pop-up of matching names do what it does without the
// pop-up. Qt's completer closes the pop-up on such a click and swallows it, so a button pressed
// while names are offered would need a second click.
void Pass_Clicks_Beside_Name_Popup(QComboBox& name_box);

// The forms of the batch commands, each named by its objectName, with its fields named too,
// so that tests fill them in through findChild.

// Offsets along X, Z (the height) and Y, in cells.
using TMove_Offsets = std::array<int, 3>;

// The offsets of Move: how many cells along X, Z (the height) and Y. It opens at `offsets`,
// which the window keeps from the last Move, so that a repeated move needs only Enter.
class TMove_Dialog : public QDialog {
    Q_OBJECT

public:
    TMove_Dialog(std::size_t block_count, const TMove_Offsets& offsets, QWidget* parent);

    TMove_Offsets Offsets() const;

    QSpinBox* Move_DX_SpinEdit = nullptr;
    QSpinBox* Move_DZ_SpinEdit = nullptr;
    QSpinBox* Move_DY_SpinEdit = nullptr;

protected:
    // The offset fields under `heading`, without buttons: a form of its own adds its fields
    // below them, then its buttons.
    TMove_Dialog(const char* name, const QString& title, const QString& heading,
                 const TMove_Offsets& offsets, QWidget* parent);

    QFormLayout* Form = nullptr;
};

// Where Duplicate and Paste put their copies, as offsets from the blocks copied, and whether a
// block that carries a skin (an author record) is copied without it rather than refused.
class TCopy_Dialog : public TMove_Dialog {
    Q_OBJECT

public:
    // Duplicate copies the selected blocks, Paste those of the clipboard.
    enum class TSource { Selection, Clipboard };

    TCopy_Dialog(TSource source, std::size_t block_count, const TMove_Offsets& offsets,
                 QWidget* parent);

    bool Without_Skin() const;

    QCheckBox* Copy_Without_Skin_CheckBox = nullptr;
};

// The fields Set writes: each checked field is written on every block, the others are kept.
class TSet_Dialog : public QDialog {
    Q_OBJECT

public:
    TSet_Dialog(std::size_t block_count, QWidget* parent);

    TBlock_Settings Settings() const;

    QCheckBox* Set_Rotation_CheckBox = nullptr;
    QSpinBox* Set_Rotation_SpinEdit = nullptr;
    std::array<QCheckBox*, 4> Set_Variation_CheckBoxes{};
    std::array<QSpinBox*, 4> Set_Variation_SpinEdits{};

private:
    // A check box and the number it enables, on one row of the form.
    QSpinBox* Add_Field(QFormLayout* form, QCheckBox*& check_box, const char* name,
                        const QString& caption, int maximum);
};

// The names of Replace name: the selected blocks named FROM are renamed TO. Both boxes offer
// names and take any typed text as it stands.
class TReplace_Dialog : public QDialog {
    Q_OBJECT

public:
    TReplace_Dialog(std::size_t block_count, const QStringList& from_names,
                    const QStringList& to_names, QWidget* parent);

    QComboBox* Replace_From_ComboBox = nullptr;
    QComboBox* Replace_To_ComboBox = nullptr;
};

// The number of the block that Go to block selects, from 0 to the last block.
class TGo_To_Dialog : public QDialog {
    Q_OBJECT

public:
    TGo_To_Dialog(std::size_t block_count, int current_block, QWidget* parent);

    QSpinBox* Go_To_Block_SpinEdit = nullptr;
};

} // namespace plotvane
