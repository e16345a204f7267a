#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "challenge/Gbx_Challenge_Write.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

class QComboBox;
class QPushButton;
class QToolButton;

namespace plotvane {

class TByte_Spin_Edit;
class TGui_Services;

// The block panel below the block list: the name box with its padlock, the rotation, position
// and variation numbers, and the Save block modifications button. It shows one block, asks what
// a player must answer before its values are written or dropped, and writes them through the
// open challenge's edit session. Hidden while it shows no block.
class TBlock_Panel : public QWidget {
    Q_OBJECT

public:
    // `gui_services` answers the panel's questions and must outlive it.
    TBlock_Panel(TGui_Services& gui_services, QWidget* parent);

    // Shows `block`, block number `block_index`, offering `names` in the name box, and appears.
    void Show_Block(std::uint32_t block_index, const TChallenge_Block& block,
                    const QStringList& names);
    // Hides, showing no block, so that nothing reaches the image at old offsets.
    void Forget();
    // The block the panel shows; nothing while it is hidden.
    std::optional<std::uint32_t> Shown_Block() const;

    // What the player wants done with values the panel holds for its block and has not written.
    enum class TSettling {
        // None were held, or the player dropped them: the panel shows its block as it is.
        Settled,
        Apply_Wanted,
        Cancelled,
    };
    // Asks, when the panel holds values it has not written, whether to write or drop them.
    TSettling Ask_To_Settle();

    // Whether the collection's block list holds a new name written in place, or the player wants
    // it anyway.
    using TName_Check = std::function<bool(const std::string& name)>;
    // Writes the panel's values into its block, after asking about variations that change how
    // the game reads the list and checking a new name written in place; a refusal is told.
    // The write's status (Done or Unchanged), after which the panel shows the block as written;
    // nothing when the player said no or the write was refused.
    std::optional<TEdit_Status> Write_Into(TChallenge_Edit_Session& session,
                                           const TName_Check& check_new_name);

    // Controls, named as their objectName.
    QComboBox* Block_Name_ComboBox = nullptr;
    QToolButton* Block_Name_Unlock_SpeedButton = nullptr;
    TByte_Spin_Edit* Block_Rotation_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_X_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_Z_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_Y_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V1_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V2_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V3_SpinEdit = nullptr;
    TByte_Spin_Edit* Block_V4_SpinEdit = nullptr;
    QPushButton* Block_Save_BitBtn = nullptr;

signals:
    // The player asked to write the values: the button, Ctrl+Enter, or Enter in a number.
    void Write_Requested();
    // A note for the status bar about the block shown.
    void Note(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Create_Name_Box();
    void Create_Spin_Edits();
    void Create_Save_Button();
    void Unlock_Name_Click();
    void Show_Name(const TChallenge_Block& block);
    // The spin edits of the eight bytes, in the record's order.
    using TByte_Spin_Edits = std::array<TByte_Spin_Edit*, std::tuple_size_v<TBlock_Field_Bytes>>;
    TByte_Spin_Edits Byte_Spin_Edits() const;
    void Show_Field_Bytes(const TBlock_Field_Bytes& bytes);
    TBlock_Field_Bytes Field_Bytes();
    // The record's own name bytes while the name box shows them unchanged, else its text.
    std::string Name_To_Write() const;
    bool Has_Unsaved_Values();
    // The variation bytes change whether the game reads an author record after the block or
    // counts it: the player's Yes.
    bool Confirm_Variations(const TChallenge_Block& old_block, const TBlock_Field_Bytes& bytes);

    TGui_Services& gui_services_;
    bool name_unlocked_ = false;
    // What the panel was given for the block it shows: its number, its record's name bytes,
    // the text the name box showed for them (cut when the name is too long for it) and the
    // eight bytes.
    struct TShown_Block {
        std::uint32_t Index = 0;
        std::string Name;
        QString Name_Text;
        TBlock_Field_Bytes Bytes{};
    };
    std::optional<TShown_Block> shown_block_;
};

} // namespace plotvane
