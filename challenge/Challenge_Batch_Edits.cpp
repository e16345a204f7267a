// The edit session's batch edits: the block panel's write of one block, and Move, Set, Rotate
// and Replace_Name over a selection. Each checks every selected block, then writes its bytes
// where they stand as one step (a rename in place also rewrites spans of names).

#include "challenge/Challenge_Edit_Session.h"

#include "challenge/Challenge_Edit_Steps.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "memory/Memory_Tools.h"

#include <algorithm>
#include <utility>

namespace plotvane {

namespace {

// An indexed string's index is 16 bits wide.
constexpr std::uint32_t Highest_String_Index = 0xFFFF;

std::uint8_t Stored_Byte(const TFlexible_Byte_Array& image, std::uint32_t offset,
                         const TMemory_Mask& mask)
{
    return static_cast<std::uint8_t>(image[offset] ^ mask);
}

std::vector<std::uint8_t> Stored_Bytes(const TFlexible_Byte_Array& image, std::uint32_t offset,
                                       std::uint64_t count)
{
    return {image.begin() + offset, image.begin() + static_cast<std::ptrdiff_t>(offset + count)};
}

// The fields of every selected block, or the first block whose fields cannot be found.
bool Selected_Fields(const TFlexible_Byte_Array& image,
                     const TTMF_Challenge_Block_Address_List& list,
                     const TBlock_Selection& selection, const TMemory_Mask& mask,
                     std::vector<std::uint32_t>& fields, TEdit_Result& refusal)
{
    fields.resize(selection.size());
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::optional<std::uint32_t> offset =
            Challenge_Block_Fields_Offset(image, list, selection[i], mask);
        if (!offset) {
            refusal = {TEdit_Status::Block_Not_Walked, selection[i], 0};
            return false;
        }
        fields[i] = *offset;
    }
    return true;
}

bool Has_Changes(const std::vector<std::uint8_t>& differences)
{
    return std::any_of(differences.begin(), differences.end(),
                       [](std::uint8_t difference) { return difference != 0; });
}

// The change of the two body size fields at `offset` from `old_sizes` to what they hold now.
TByte_Changes Size_Field_Changes(const TFlexible_Byte_Array& image, std::uint32_t offset,
                                 const std::vector<std::uint8_t>& old_sizes)
{
    TByte_Changes sizes{Size_Fields_Bytes, {offset}, old_sizes};
    for (std::uint32_t i = 0; i < Size_Fields_Bytes; ++i) {
        sizes.Differences[i] ^= image[offset + i];
    }
    return sizes;
}

// The loops of Set and Replace_Name below read the image's bytes and write the differences
// through pointers held in locals: a byte store may alias any object, which would make the
// compiler read a vector's pointer again after each one.

// The change of the rotation byte at each of `fields` to `rotation`, as a new rotation is
// written.
TByte_Changes Rotation_Changes(const std::uint8_t* image, TMemory_Mask mask,
                               const std::vector<std::uint32_t>& fields, std::uint8_t rotation)
{
    TByte_Changes rotations{1, fields, {}};
    rotations.Differences.resize(fields.size());
    std::uint8_t* const differences = rotations.Differences.data();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto stored = static_cast<std::uint8_t>(image[fields[i]] ^ mask);
        differences[i] = static_cast<std::uint8_t>(stored ^ Rotation_To_Write(stored, rotation));
    }
    return rotations;
}

// The change of the four variation bytes of each of `fields` (block `selection[i]`) to those
// that `settings` gives, the others kept. A change of how the game reads the list refuses at
// its first block unless `allow_game_reading_change`; `reading_changes` says whether any does.
bool Variation_Changes(const std::uint8_t* image, TMemory_Mask mask,
                       const std::vector<std::uint32_t>& fields, const TBlock_Selection& selection,
                       const TBlock_Settings& settings, bool allow_game_reading_change,
                       TByte_Changes& variations, bool& reading_changes, TEdit_Result& refusal)
{
    variations.Offsets.resize(fields.size());
    variations.Differences.resize(fields.size() * 4);
    std::uint32_t* const offsets = variations.Offsets.data();
    std::uint8_t* const differences = variations.Differences.data();
    // The four bytes as the game reads them, one little-endian value: those kept, those
    // given.
    std::uint32_t kept = 0;
    std::uint32_t given = 0;
    for (std::uint32_t v = 0; v < 4; ++v) {
        kept |= (settings.Variations[v] ? 0U : 0xFFU) << (8 * v);
        given |= std::uint32_t{settings.Variations[v].value_or(0)} << (8 * v);
    }
    const std::uint32_t mask_value = 0x01010101U * mask;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::uint32_t offset = fields[i] + Variations_Field;
        const std::uint32_t old_value = Little_Endian_Value(image + offset) ^ mask_value;
        const std::uint32_t new_value = (old_value & kept) | given;
        const std::uint32_t difference = old_value ^ new_value;
        for (std::uint32_t v = 0; v < 4; ++v) {
            differences[4 * i + v] = static_cast<std::uint8_t>(difference >> (8 * v));
        }
        offsets[i] = offset;
        if (Flags_Change_Game_Reading(old_value, new_value)) {
            if (!allow_game_reading_change) {
                refusal = {TEdit_Status::Changes_Game_Reading, selection[i], 0};
                return false;
            }
            reading_changes = true;
        }
    }
    return true;
}

// The index of a block's name at its record's `offset` (0: written in place); the selected
// blocks' records lie inside the image, as Selected_Fields found.
std::uint16_t Name_Index(const std::uint8_t* image, TMemory_Mask mask, std::uint32_t offset)
{
    return static_cast<std::uint16_t>((image[offset] ^ mask) | (image[offset + 1] ^ mask) << 8);
}

// The selected blocks named `from`: those that write it in place (each an entry of its own) and
// those that refer to an entry holding it.
struct TNamed_Blocks {
    // By entry: whether a selected block writes it in place, so that it is renamed there.
    // Bytes rather than bits: they are read once per selected block.
    std::vector<char> Renamed_Entry;
    std::vector<std::uint32_t> In_Place;
    std::vector<std::uint32_t> Referring;
};

TNamed_Blocks Selected_Blocks_Named(const std::uint8_t* image, TMemory_Mask mask,
                                    const TTMF_Challenge_Block_Address_List& list,
                                    const TBlock_Selection& selection, const std::string& from)
{
    const std::vector<std::string>& table = list.String_Table;
    // Each entry's text compared once, not once per block that names it.
    std::vector<char> holds_from(table.size(), 0);
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
        holds_from[entry] = table[entry] == from;
    }
    TNamed_Blocks named{std::vector<char>(table.size(), 0), {}, {}};
    named.Referring.reserve(selection.size());
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::uint32_t block = selection[i];
        const std::uint16_t index = Name_Index(image, mask, list.Block_Offsets[block]);
        if (index == 0) {
            const std::uint32_t entry = list.Last_String_Indexes[block];
            if (entry < table.size() && holds_from[entry]) {
                named.In_Place.push_back(block);
                named.Renamed_Entry[entry] = 1;
            }
        } else if (index < table.size() && holds_from[index]) {
            named.Referring.push_back(block);
        }
    }
    return named;
}

// A name in place renames every block that refers to it: all of them must be selected, or the
// first in-place block whose name others share refuses.
bool In_Place_Names_Unshared(const TFlexible_Byte_Array& image,
                             const TTMF_Challenge_Block_Address_List& list,
                             const TBlock_Selection& selection, const TMemory_Mask& mask,
                             const TNamed_Blocks& named, TEdit_Result& refusal)
{
    if (named.In_Place.empty()) {
        return true;
    }
    const std::size_t entries = list.String_Table.size();
    std::vector<std::size_t> unselected_sharing(entries, 0);
    // The blocks and the selection both ascend: the next selected block is moved on to
    // rather than searched for, block by block.
    std::size_t next_selected = 0;
    for (std::uint32_t block = 0; block < list.Block_Offsets.size(); ++block) {
        while (next_selected < selection.size() && selection[next_selected] < block) {
            ++next_selected;
        }
        const bool selected = next_selected < selection.size() && selection[next_selected] == block;
        std::uint32_t cursor = list.Block_Offsets[block];
        const std::uint16_t index = Read_Word(image, cursor, false, mask);
        if (index != 0 && index < entries && named.Renamed_Entry[index] && !selected) {
            ++unselected_sharing[index];
        }
    }
    for (const std::uint32_t block : named.In_Place) {
        const std::size_t sharing = unselected_sharing[list.Last_String_Indexes[block]];
        if (sharing != 0) {
            refusal = {TEdit_Status::Shared_In_Place_Name, block, sharing};
            return false;
        }
    }
    return true;
}

// Once renamed, the lowest entry holding `to` (0: none); a reference may name it only when the
// file defines it before the block.
std::uint32_t First_Entry_Holding(const std::vector<std::string>& table,
                                  const std::vector<char>& renamed_entry, const std::string& to)
{
    for (std::uint32_t entry = 1; entry < table.size() && entry <= Highest_String_Index; ++entry) {
        if (renamed_entry[entry] || table[entry] == to) {
            return entry;
        }
    }
    return 0;
}

// The references of the referring blocks pointed at `first_to`, or the first block before
// which the file does not define it. A reference to a renamed entry follows it and stays.
bool Retargeted_References(const std::uint8_t* image, TMemory_Mask mask,
                           const TTMF_Challenge_Block_Address_List& list,
                           const TNamed_Blocks& named, std::uint32_t first_to,
                           TByte_Changes& references, TEdit_Result& refusal)
{
    // Room for the references pointed elsewhere only.
    const auto pointed_elsewhere = static_cast<std::size_t>(
        std::count_if(named.Referring.begin(), named.Referring.end(), [&](std::uint32_t block) {
            return named.Renamed_Entry[Name_Index(image, mask, list.Block_Offsets[block])] == 0;
        }));
    references.Offsets.resize(pointed_elsewhere);
    references.Differences.resize(pointed_elsewhere * 2);
    std::uint32_t* const reference_offsets = references.Offsets.data();
    std::uint8_t* const differences = references.Differences.data();
    std::size_t retargeted = 0;
    for (const std::uint32_t block : named.Referring) {
        const std::uint32_t offset = list.Block_Offsets[block];
        const std::uint16_t index = Name_Index(image, mask, offset);
        if (named.Renamed_Entry[index]) {
            continue; // renamed with its entry
        }
        if (first_to == 0 || first_to > list.Last_String_Indexes[block]) {
            refusal = {TEdit_Status::Name_Not_Defined, block, 0};
            return false;
        }
        reference_offsets[retargeted] = offset;
        differences[2 * retargeted] = static_cast<std::uint8_t>((index ^ first_to) & 0xFF);
        differences[2 * retargeted + 1] = static_cast<std::uint8_t>((index ^ first_to) >> 8);
        ++retargeted;
    }
    return true;
}

// Whether the names written in place can be rewritten: the walk reached the size fields that
// change with them, and the image stays within its length.
bool Room_To_Rename_In_Place(const TFlexible_Byte_Array& image,
                             const TTMF_Challenge_Block_Address_List& list,
                             const std::vector<std::uint32_t>& in_place_blocks,
                             const std::string& from, const std::string& to,
                             TEdit_Result& refusal)
{
    if (in_place_blocks.empty()) {
        return true;
    }
    if (!Bytes_Available(image, list.Size_Fields_Offset, Size_Fields_Bytes) ||
        list.Size_Fields_Offset == 0) {
        refusal = {TEdit_Status::Size_Fields_Not_Walked, in_place_blocks.front(), 0};
        return false;
    }
    const std::uint64_t growth =
        (to.size() > from.size() ? to.size() - from.size() : 0) * in_place_blocks.size();
    if (image.size() + growth > Longest_Image) {
        refusal = {TEdit_Status::Image_Too_Large, in_place_blocks.front(), 0};
        return false;
    }
    return true;
}

// Rewrites `from` as `to` where each of the blocks writes it in place, adding a span a block.
void Rename_In_Place(TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
                     const TMemory_Mask& mask, const std::vector<std::uint32_t>& in_place_blocks,
                     const std::string& from, const std::string& to,
                     std::vector<TSpan_Change>& spans)
{
    // From the last to the first, so that the walk's offsets before each still hold.
    for (auto block = in_place_blocks.rbegin(); block != in_place_blocks.rend(); ++block) {
        const std::uint32_t offset = list.Block_Offsets[*block] + 4;
        TSpan_Change span{offset, Stored_Bytes(image, offset, 4 + from.size()), {}};
        const std::uint32_t field_offset = offset + 4 + static_cast<std::uint32_t>(from.size());
        TBlock_Field_Bytes bytes{};
        for (std::uint32_t i = 0; i < Block_Field_Count; ++i) {
            bytes[i] = Stored_Byte(image, field_offset + i, mask);
        }
        Challenge_Write_Block(image, list, *block, to, bytes, mask);
        span.New = Stored_Bytes(image, offset, 4 + to.size());
        spans.push_back(std::move(span));
    }
}

} // namespace

TEdit_Result TChallenge_Edit_Session::Write_Block(std::size_t block_index,
                                                  const std::string& name,
                                                  const TBlock_Field_Bytes& bytes)
{
    const auto block = static_cast<std::uint32_t>(block_index);
    const std::optional<std::uint32_t> fields =
        Challenge_Block_Fields_Offset(image_, list_, block_index, mask_);
    if (!fields) {
        return {TEdit_Status::Block_Not_Walked, block_index, 0};
    }
    const std::uint32_t offset = list_.Block_Offsets[block_index];
    const std::vector<std::uint8_t> old_record =
        Stored_Bytes(image_, offset, *fields + Block_Field_Count - offset);
    const bool size_fields = Bytes_Available(image_, list_.Size_Fields_Offset, Size_Fields_Bytes);
    const std::vector<std::uint8_t> old_sizes =
        size_fields ? Stored_Bytes(image_, list_.Size_Fields_Offset, Size_Fields_Bytes)
                    : std::vector<std::uint8_t>();
    switch (Challenge_Write_Block(image_, list_, block_index, name, bytes, mask_)) {
    case TBlock_Write_Status::Written:
        break;
    case TBlock_Write_Status::Block_Not_Walked:
        return {TEdit_Status::Block_Not_Walked, block_index, 0};
    case TBlock_Write_Status::Name_Not_Defined:
        return {TEdit_Status::Name_Not_Defined, block_index, 0};
    case TBlock_Write_Status::Size_Fields_Not_Walked:
        return {TEdit_Status::Size_Fields_Not_Walked, block_index, 0};
    case TBlock_Write_Status::Image_Too_Large:
        return {TEdit_Status::Image_Too_Large, block_index, 0};
    }
    const std::uint32_t new_fields = *Challenge_Block_Fields_Offset(image_, list_, block, mask_);
    TStep step;
    step.Spans.push_back({offset, old_record,
                          Stored_Bytes(image_, offset, new_fields + Block_Field_Count - offset)});
    if (size_fields) {
        TByte_Changes sizes = Size_Field_Changes(image_, list_.Size_Fields_Offset, old_sizes);
        if (Has_Changes(sizes.Differences)) {
            step.Byte_Changes.push_back(std::move(sizes));
        }
    }
    if (step.Spans.front().Old == step.Spans.front().New && step.Byte_Changes.empty()) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    step.Text = "Block " + std::to_string(block_index);
    step.Blocks = {{block, block}};
    step.Walk_After = true;
    Finish_Step(std::move(step));
    return {TEdit_Status::Done, 1, 0};
}

TEdit_Result TChallenge_Edit_Session::Move(const TBlock_Selection& selection, int dx, int dz,
                                           int dy, bool allow_outside_challenge)
{
    std::vector<std::uint32_t> fields;
    TEdit_Result refusal;
    if (!Selected_Fields(image_, list_, selection, mask_, fields, refusal)) {
        return refusal;
    }
    const std::array<int, 3> offsets = {dx, dz, dy};
    // Past the bytes' range when the challenge's size does not count.
    const std::array<std::uint32_t, 3> size = !allow_outside_challenge && list_.Challenge_Size
                                                  ? *list_.Challenge_Size
                                                  : std::array<std::uint32_t, 3>{256, 256, 256};
    // One pass finds the new bytes and checks them; nothing is written before the whole
    // selection has passed. Out of the bytes' range refuses whatever the caller allows, so it
    // is looked for in every block before a block outside the challenge refuses.
    TByte_Changes positions{3, std::move(fields), {}};
    positions.Differences.resize(positions.Offsets.size() * 3);
    std::optional<std::size_t> first_outside;
    for (std::size_t i = 0; i < positions.Offsets.size(); ++i) {
        const std::uint32_t offset = positions.Offsets[i] += Position_Field;
        for (std::uint32_t axis = 0; axis < 3; ++axis) {
            const std::uint8_t stored = Stored_Byte(image_, offset + axis, mask_);
            const int moved = stored + offsets[axis];
            if (moved < 0 || moved > 255) {
                return {TEdit_Status::Position_Out_Of_Range, selection[i], 0};
            }
            if (!first_outside && static_cast<std::uint32_t>(moved) >= size[axis]) {
                first_outside = i;
            }
            positions.Differences[3 * i + axis] = static_cast<std::uint8_t>(stored ^ moved);
        }
    }
    if (first_outside) {
        return {TEdit_Status::Outside_Challenge, selection[*first_outside], 0};
    }
    if (selection.empty() || (dx == 0 && dz == 0 && dy == 0)) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    TStep step;
    step.Byte_Changes.push_back(std::move(positions));
    return Apply_Batch_Step("Move", selection, std::move(step));
}

TEdit_Result TChallenge_Edit_Session::Set(const TBlock_Selection& selection,
                                          const TBlock_Settings& settings,
                                          bool allow_game_reading_change)
{
    std::vector<std::uint32_t> fields;
    TEdit_Result refusal;
    if (!Selected_Fields(image_, list_, selection, mask_, fields, refusal)) {
        return refusal;
    }
    const bool sets_variations =
        std::any_of(settings.Variations.begin(), settings.Variations.end(),
                    [](const std::optional<std::uint8_t>& value) { return value.has_value(); });
    TByte_Changes rotations{1, {}, {}};
    if (settings.Rotation) {
        rotations = Rotation_Changes(image_.data(), mask_, fields, *settings.Rotation);
    }
    TByte_Changes variations{4, {}, {}};
    bool reading_changes = false;
    if (sets_variations &&
        !Variation_Changes(image_.data(), mask_, fields, selection, settings,
                           allow_game_reading_change, variations, reading_changes, refusal)) {
        return refusal;
    }
    TStep step;
    for (TByte_Changes* changes : {&rotations, &variations}) {
        if (Has_Changes(changes->Differences)) {
            step.Byte_Changes.push_back(std::move(*changes));
        }
    }
    if (step.Byte_Changes.empty()) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    step.Walk_After = reading_changes;
    return Apply_Batch_Step("Set", selection, std::move(step));
}

TEdit_Result TChallenge_Edit_Session::Rotate(const TBlock_Selection& selection, int quarter_turns)
{
    std::vector<std::uint32_t> fields;
    TEdit_Result refusal;
    if (!Selected_Fields(image_, list_, selection, mask_, fields, refusal)) {
        return refusal;
    }
    const int turn = ((quarter_turns % 4) + 4) % 4;
    TByte_Changes rotations{1, std::move(fields), {}};
    rotations.Differences.reserve(rotations.Offsets.size());
    for (const std::uint32_t offset : rotations.Offsets) {
        const std::uint8_t stored = Stored_Byte(image_, offset, mask_);
        rotations.Differences.push_back(static_cast<std::uint8_t>(stored ^ ((stored + turn) % 4)));
    }
    if (!Has_Changes(rotations.Differences)) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    TStep step;
    step.Byte_Changes.push_back(std::move(rotations));
    return Apply_Batch_Step("Rotate", selection, std::move(step));
}

TEdit_Result TChallenge_Edit_Session::Replace_Name(const TBlock_Selection& selection,
                                                   const std::string& from,
                                                   const std::string& to)
{
    TEdit_Result refusal;
    {
        // Only checked: the offsets of a million fields would stay for nothing.
        std::vector<std::uint32_t> fields;
        if (!Selected_Fields(image_, list_, selection, mask_, fields, refusal)) {
            return refusal;
        }
    }
    if (from == to) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    const TNamed_Blocks named = Selected_Blocks_Named(image_.data(), mask_, list_, selection, from);
    if (named.In_Place.empty() && named.Referring.empty()) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    const std::uint32_t first_to = First_Entry_Holding(list_.String_Table, named.Renamed_Entry, to);
    TByte_Changes references{2, {}, {}};
    if (!In_Place_Names_Unshared(image_, list_, selection, mask_, named, refusal) ||
        !Retargeted_References(image_.data(), mask_, list_, named, first_to, references,
                               refusal) ||
        !Room_To_Rename_In_Place(image_, list_, named.In_Place, from, to, refusal)) {
        return refusal;
    }

    TStep step;
    step.Text = "Replace " + from + " by " + to;
    step.Blocks = Ranges_Of(selection);
    if (!references.Offsets.empty()) {
        Xor_Changes(image_, references);
        step.Byte_Changes.push_back(std::move(references));
    }
    if (!named.In_Place.empty()) {
        const std::vector<std::uint8_t> old_sizes =
            Stored_Bytes(image_, list_.Size_Fields_Offset, Size_Fields_Bytes);
        Rename_In_Place(image_, list_, mask_, named.In_Place, from, to, step.Spans);
        step.Byte_Changes.push_back(
            Size_Field_Changes(image_, list_.Size_Fields_Offset, old_sizes));
        step.Walk_After = true;
    }
    Finish_Step(std::move(step));
    return {TEdit_Status::Done, named.In_Place.size() + named.Referring.size(), 0};
}

TEdit_Result TChallenge_Edit_Session::Apply_Batch_Step(const char* action,
                                                       const TBlock_Selection& selection,
                                                       TStep step)
{
    step.Text = Blocks_Text(action, selection);
    step.Blocks = Ranges_Of(selection);
    for (const TKept_Byte_Changes& changes : step.Byte_Changes) {
        Xor_Changes(image_, changes);
    }
    Finish_Step(std::move(step));
    return {TEdit_Status::Done, selection.size(), 0};
}

} // namespace plotvane
