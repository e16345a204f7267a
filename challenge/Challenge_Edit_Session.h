#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "memory/Base_Structure.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plotvane {

// Block numbers in ascending order, each at most once.
using TBlock_Selection = std::vector<std::uint32_t>;

enum class TEdit_Status {
    Done,
    // Nothing in the image would change: no step was made.
    Unchanged,
    // A selected block that the walk did not list (or whose record no longer fits the image).
    Block_Not_Walked,
    // A referenced name whose text the file does not define before the block.
    Name_Not_Defined,
    // An in-place rename needs the body size fields, which the walk did not reach.
    Size_Fields_Not_Walked,
    // An in-place rename would make the image longer than its 32-bit length can say.
    Image_Too_Large,
    // A position byte would leave 0 to 255.
    Position_Out_Of_Range,
    // A position byte would reach the challenge's size or beyond (allowed when asked for).
    Outside_Challenge,
    // New variations change how the game reads the block list (allowed when asked for).
    Changes_Game_Reading,
    // A name written in place names blocks outside the selection too: renaming it there would
    // rename them as well.
    Shared_In_Place_Name,
    Nothing_To_Undo,
    Nothing_To_Redo,
    // Adding or removing records needs the whole block list, which the walk did not read.
    List_Not_Walked,
    // The body holds chunks of a game extension that point at blocks by their number.
    Block_Number_Chunks,
    // A record that the game does not count as a block (its four variations all 255).
    Uncounted_Record,
    // A block that carries an author record (a skin): a copy may not repeat it (a copy without
    // it is allowed when asked for).
    Carries_Skin,
    // An author record that brings a node of its own, which a kept record refers to by number.
    Brings_Skin,
    // A text written in place (a name, or an author record's author) that a kept record needs
    // at its number: a reference that cannot take the text in place (other texts are defined
    // between them), or a text defined after it.
    Name_Needed_Later,
    // Removing the blocks would leave this record, which the game does not count as a block,
    // after the last block: the game stops reading the list before it, and would read it as
    // what follows the list.
    Strands_Uncounted_Record,
};

// What a write did, or the first block that refused it and why.
struct TEdit_Result {
    TEdit_Result() = default;
    TEdit_Result(TEdit_Status status, std::size_t block, std::size_t unselected_sharing,
                 std::optional<std::size_t> later_block = std::nullopt)
        : Status(status), Block(block), Unselected_Sharing(unselected_sharing),
          Later_Block(later_block)
    {
    }

    TEdit_Status Status = TEdit_Status::Done;
    // The refusing block; for Done, the number of blocks changed.
    std::size_t Block = 0;
    // Shared_In_Place_Name: how many blocks outside the selection share the name.
    std::size_t Unselected_Sharing = 0;
    // Name_Needed_Later and Brings_Skin: the kept block that needs what the refusing block
    // defines (it refers to it, or defines a text after it that would be renumbered).
    std::optional<std::size_t> Later_Block;
};

// The fields that a Set changes on every selected block; the others are kept.
struct TBlock_Settings {
    std::optional<std::uint8_t> Rotation;
    std::array<std::optional<std::uint8_t>, 4> Variations;
};

// A block to add at the end of the list: the text of its name, which must be one that the
// challenge defines, and its eight bytes.
struct TNew_Block {
    std::string Name;
    TBlock_Field_Bytes Bytes{};
};

// One open challenge: its expanded image, the walk of it, what has been saved and the history
// of its edits. Every write checks every block it touches first and then writes, or refuses
// and writes nothing; each write that changes bytes is one step that Undo takes back and Redo
// makes again. A step keeps only what it changed (the bytes it replaced, as differences, and
// the spans of names it rewrote), never a copy of the image.
class TChallenge_Edit_Session {
public:
    // Takes the expanded image of a challenge; the mask must outlive the session.
    TChallenge_Edit_Session(TFlexible_Byte_Array image, const TMemory_Mask& mask);
    ~TChallenge_Edit_Session();
    TChallenge_Edit_Session(const TChallenge_Edit_Session&) = delete;
    TChallenge_Edit_Session& operator=(const TChallenge_Edit_Session&) = delete;

    const TFlexible_Byte_Array& Image() const { return image_; }
    const TTMF_Challenge_Block_Address_List& Blocks() const { return list_; }
    const TMemory_Mask& Mask() const { return mask_; }

    // Whether the image differs from the state last marked as saved (or loaded).
    bool Is_Modified() const;
    void Mark_Saved();

    // The single-block write of the block panel: `name` and the eight bytes, by the rules of
    // Challenge_Write_Block. Unchanged when every byte would stay as it is.
    TEdit_Result Write_Block(std::size_t block_index, const std::string& name,
                             const TBlock_Field_Bytes& bytes);
    // Adds the offsets to the X, Z (height) and Y bytes of every selected block.
    TEdit_Result Move(const TBlock_Selection& selection, int dx, int dz, int dy,
                      bool allow_outside_challenge);
    // A rotation above the game's range becomes its highest; the variation guard of the panel
    // applies to each block unless `allow_game_reading_change`.
    TEdit_Result Set(const TBlock_Selection& selection, const TBlock_Settings& settings,
                     bool allow_game_reading_change);
    // Turns every selected block by quarter turns (negative: counter-clockwise); the rotation
    // byte is taken modulo 4. Positions do not turn.
    TEdit_Result Rotate(const TBlock_Selection& selection, int quarter_turns);
    // Renames the selected blocks named `from` to `to`: a reference takes the lowest entry
    // `to` defined before its block; a name written in place is renamed there, which is allowed
    // only when every block that refers to it is selected. No record changes between in place
    // and reference.
    TEdit_Result Replace_Name(const TBlock_Selection& selection, const std::string& from,
                              const std::string& to);

    // Appends a copy of each selected block at the end of the list, moved by the offsets (the
    // bounds rules of Move): its name by reference to the lowest entry of that name, its
    // eight bytes. A block with an author record is copied without it (its flags cleared) when
    // `without_skin`, else refused; a record that the game does not count is refused. The
    // copies are the step's blocks.
    TEdit_Result Duplicate(const TBlock_Selection& selection, int dx, int dz, int dy,
                           bool allow_outside_challenge, bool without_skin);
    // Appends new blocks, moved by the offsets, named by reference to the names this challenge
    // defines (Name_Not_Defined, the block being the number in `blocks`, for one it lacks);
    // a rotation above the game's range becomes its highest, as in Set, and the author-record
    // rules of Duplicate apply to their variations.
    TEdit_Result Paste(const std::vector<TNew_Block>& blocks, int dx, int dz, int dy,
                       bool allow_outside_challenge, bool without_skin);
    // Removes the selected records, as Plan_Deletion allows.
    TEdit_Result Delete(const TBlock_Selection& selection);

    bool Can_Undo() const;
    bool Can_Redo() const;
    // What the step that Undo (Redo) would take back (make again) did, such as "Move 12 blocks".
    std::string Undo_Text() const;
    std::string Redo_Text() const;
    TEdit_Result Undo();
    TEdit_Result Redo();
    // The blocks that the last write, undo or redo touched.
    TBlock_Selection Last_Step_Blocks() const;

private:
    struct TStep;

    // Names a step of byte changes over a selection, writes it and keeps it.
    TEdit_Result Apply_Batch_Step(const char* action, const TBlock_Selection& selection,
                                  TStep step);
    void Apply(const TStep& step, bool forward);
    void Finish_Step(TStep step);
    void Walk_Again();
    // Why the list cannot take added or removed records, or Done.
    TEdit_Result Structure_Refusal();
    // Gives new block `i`: the entry its name is to refer to (0 when none is defined) and its
    // eight bytes.
    using TNew_Record_Source =
        std::function<void(std::size_t i, std::uint32_t& entry, TBlock_Field_Bytes& bytes)>;
    // Appends `count` blocks as records at the end of the list, moved by the offsets: one step.
    TEdit_Result Append_Blocks(const char* action, std::size_t count,
                               const TNew_Record_Source& source, int dx, int dz, int dy,
                               bool allow_outside_challenge, bool without_skin);
    // Makes a step of added or removed records (its count and size changes, then its spans)
    // and keeps it.
    void Make_Structure_Step(TStep step);
    // The high 16 bits of a name reference: those of the list's first block, all blocks'
    // names being written alike.
    std::uint16_t Name_Flags() const;
    // Adds the change of the block count and of the body size fields to a step whose spans
    // add `added_blocks` records and `added_bytes` bytes (negative: remove).
    void Add_Count_And_Size_Changes(TStep& step, std::int64_t added_blocks,
                                    std::int64_t added_bytes) const;

    TFlexible_Byte_Array image_;
    const TMemory_Mask& mask_;
    TTMF_Challenge_Block_Address_List list_;
    std::vector<TStep> history_;
    // Steps [0, done_) are in the image; history_[done_] is the next to redo.
    std::size_t done_ = 0;
    // The number of done steps when last saved; nothing when that state can no longer be
    // reached (steps were undone and others made since).
    std::optional<std::size_t> saved_at_ = 0;
    // Index into history_ of the last step applied or taken back.
    std::optional<std::size_t> last_step_;
    // Whether the body holds chunks that point at blocks by number, once looked for: no edit
    // adds or removes them.
    std::optional<bool> block_number_chunks_;
};

} // namespace plotvane
