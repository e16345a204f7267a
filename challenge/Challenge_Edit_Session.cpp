#include "challenge/Challenge_Edit_Session.h"

#include "challenge/Block_Records.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_Tools.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace plotvane {

namespace {

constexpr std::uint32_t Block_Field_Count = 8;
constexpr std::uint32_t Position_Field = 1; // X, then Z, then Y
constexpr std::uint32_t Variations_Field = 4;
// An array's length is a signed 32-bit count.
constexpr std::uint64_t Longest_Image = std::numeric_limits<std::int32_t>::max();
// An indexed string's index is 16 bits wide.
constexpr std::uint32_t Highest_String_Index = 0xFFFF;
constexpr std::uint32_t Size_Fields_Bytes = 8;
// A record that names its name by reference: the reference, then the eight bytes.
constexpr std::uint32_t Reference_Record_Bytes = 4 + Block_Field_Count;

// Stored bytes changed where they stand: at each offset, `Width` bytes XOR-ed with their
// differences. XOR-ing them again takes the change back, so one record serves undo and redo,
// and the mask cancels out of a difference of two stored bytes.
struct TByte_Changes {
    std::uint32_t Width = 0;
    std::vector<std::uint32_t> Offsets;
    std::vector<std::uint8_t> Differences;
};

// Offsets as a step keeps them: each as its difference from the one before (modulo 2^32), in
// groups of 7 bits, the lowest first, the high bit set on every group but the last. The records
// of a batch lie a dozen bytes apart, so an offset takes one byte instead of four, and the
// history of a million-block edit a few megabytes.
class TPacked_Offsets {
public:
    explicit TPacked_Offsets(const std::vector<std::uint32_t>& offsets)
    {
        // Sized first, so that the bytes are written without a test for room each.
        std::size_t size = 0;
        std::uint32_t previous = 0;
        for (const std::uint32_t offset : offsets) {
            size += Packed_Size(offset - previous);
            previous = offset;
        }
        bytes_.resize(size);
        std::uint8_t* byte = bytes_.data();
        previous = 0;
        for (const std::uint32_t offset : offsets) {
            std::uint32_t difference = offset - previous;
            for (; difference >= 0x80; difference >>= 7) {
                *byte++ = static_cast<std::uint8_t>(difference | 0x80);
            }
            *byte++ = static_cast<std::uint8_t>(difference);
            previous = offset;
        }
    }

    // Reads the offsets in turn: Next() gives the next one while At_End() is false.
    class TReader {
    public:
        explicit TReader(const TPacked_Offsets& offsets)
            : byte_(offsets.bytes_.data()), end_(byte_ + offsets.bytes_.size())
        {
        }
        bool At_End() const { return byte_ == end_; }
        std::uint32_t Next()
        {
            std::uint32_t difference = 0;
            for (unsigned shift = 0;; shift += 7) {
                const std::uint8_t group = *byte_++;
                difference |= std::uint32_t{group & 0x7FU} << shift;
                if (group < 0x80) {
                    break;
                }
            }
            offset_ += difference;
            return offset_;
        }

    private:
        const std::uint8_t* byte_;
        const std::uint8_t* end_;
        std::uint32_t offset_ = 0;
    };

private:
    static std::size_t Packed_Size(std::uint32_t difference)
    {
        std::size_t size = 1;
        for (; difference >= 0x80; difference >>= 7) {
            ++size;
        }
        return size;
    }

    std::vector<std::uint8_t> bytes_;
};

// Byte changes as a step keeps them, made from the changes as they were written (implicitly,
// so that a step takes them as they come).
struct TKept_Byte_Changes {
    TKept_Byte_Changes(TByte_Changes changes)
        : Width(changes.Width), Offsets(changes.Offsets),
          Differences(std::move(changes.Differences))
    {
    }
    std::uint32_t Width = 0;
    TPacked_Offsets Offsets;
    std::vector<std::uint8_t> Differences;
};

// Reads the offsets of byte changes as made in turn, as TPacked_Offsets::TReader reads those
// of kept ones.
class TOffset_Reader {
public:
    explicit TOffset_Reader(const std::vector<std::uint32_t>& offsets)
        : offset_(offsets.data()), end_(offset_ + offsets.size())
    {
    }
    bool At_End() const { return offset_ == end_; }
    std::uint32_t Next() { return *offset_++; }

private:
    const std::uint32_t* offset_;
    const std::uint32_t* end_;
};

TOffset_Reader Offset_Reader(const std::vector<std::uint32_t>& offsets)
{
    return TOffset_Reader(offsets);
}

TPacked_Offsets::TReader Offset_Reader(const TPacked_Offsets& offsets)
{
    return TPacked_Offsets::TReader(offsets);
}

using TBlock_Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Consecutive block numbers as inclusive ranges: a whole track is one range.
TBlock_Ranges Ranges_Of(const TBlock_Selection& selection)
{
    TBlock_Ranges ranges;
    for (const std::uint32_t block : selection) {
        if (!ranges.empty() && ranges.back().second + 1 == block) {
            ranges.back().second = block;
        } else {
            ranges.emplace_back(block, block);
        }
    }
    return ranges;
}

std::string Blocks_Text(const std::string& action, const TBlock_Selection& selection)
{
    if (selection.size() == 1) {
        return action + " block " + std::to_string(selection.front());
    }
    return action + " " + std::to_string(selection.size()) + " blocks";
}

std::uint8_t Stored_Byte(const TFlexible_Byte_Array& image, std::uint32_t offset,
                         const TMemory_Mask& mask)
{
    return static_cast<std::uint8_t>(image[offset] ^ mask);
}

// A width known when compiling lets each record's bytes be done without a loop.
template <std::uint32_t Width, typename TOffsets>
void Xor_Records(std::uint8_t* image, const TOffsets& offsets, const std::uint8_t* difference)
{
    for (auto reader = Offset_Reader(offsets); !reader.At_End(); difference += Width) {
        std::uint8_t* const record = image + reader.Next();
        for (std::uint32_t i = 0; i < Width; ++i) {
            record[i] ^= difference[i];
        }
    }
}

// Byte changes as made (TByte_Changes) or as kept (TKept_Byte_Changes).
template <typename TChanges>
void Xor_Changes(TFlexible_Byte_Array& image, const TChanges& changes)
{
    std::uint8_t* const bytes = image.data();
    const std::uint8_t* difference = changes.Differences.data();
    switch (changes.Width) {
    case 1:
        return Xor_Records<1>(bytes, changes.Offsets, difference);
    case 2:
        return Xor_Records<2>(bytes, changes.Offsets, difference);
    case 3:
        return Xor_Records<3>(bytes, changes.Offsets, difference);
    case 4:
        return Xor_Records<4>(bytes, changes.Offsets, difference);
    default:
        break;
    }
    const std::uint32_t width = changes.Width;
    for (auto reader = Offset_Reader(changes.Offsets); !reader.At_End();) {
        std::uint8_t* const record = bytes + reader.Next();
        for (std::uint32_t i = 0; i < width; ++i) {
            record[i] ^= *difference++;
        }
    }
}

// Puts `to` where `from` stands at `offset`.
void Replace_Span(TFlexible_Byte_Array& image, std::uint32_t offset,
                  const std::vector<std::uint8_t>& from, const std::vector<std::uint8_t>& to)
{
    const auto at = image.begin() + offset;
    if (to.size() > from.size()) {
        image.insert(at + static_cast<std::ptrdiff_t>(from.size()), to.size() - from.size(), 0);
    } else {
        image.erase(at + static_cast<std::ptrdiff_t>(to.size()),
                    at + static_cast<std::ptrdiff_t>(from.size()));
    }
    std::copy(to.begin(), to.end(), image.begin() + offset);
}

// Puts each span's new bytes (forward) or old bytes (back) in place of the others. The spans
// stand in descending order of offset, each offset holding in the image before the step; with
// more than one, the image is rebuilt in one pass rather than moved once per span.
void Splice_Spans(TFlexible_Byte_Array& image, const std::vector<TSpan_Change>& spans,
                  bool forward)
{
    if (spans.size() == 1) {
        const TSpan_Change& span = spans.front();
        Replace_Span(image, span.Offset, forward ? span.Old : span.New,
                     forward ? span.New : span.Old);
        return;
    }
    std::int64_t growth = 0;
    for (const TSpan_Change& span : spans) {
        growth += static_cast<std::int64_t>(span.New.size()) -
                  static_cast<std::int64_t>(span.Old.size());
    }
    TFlexible_Byte_Array result;
    result.reserve(static_cast<std::size_t>(static_cast<std::int64_t>(image.size()) +
                                            (forward ? growth : -growth)));
    // Taken back, a span stands where the spans below it moved it.
    std::int64_t moved = 0;
    std::size_t from = 0;
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
        const std::vector<std::uint8_t>& out = forward ? span->Old : span->New;
        const std::vector<std::uint8_t>& in = forward ? span->New : span->Old;
        const auto at = static_cast<std::size_t>(span->Offset + (forward ? 0 : moved));
        result.insert(result.end(), image.begin() + static_cast<std::ptrdiff_t>(from),
                      image.begin() + static_cast<std::ptrdiff_t>(at));
        result.insert(result.end(), in.begin(), in.end());
        from = at + out.size();
        moved += static_cast<std::int64_t>(span->New.size()) -
                 static_cast<std::int64_t>(span->Old.size());
    }
    result.insert(result.end(), image.begin() + static_cast<std::ptrdiff_t>(from), image.end());
    image.swap(result);
}

std::vector<std::uint8_t> Stored_Bytes(const TFlexible_Byte_Array& image, std::uint32_t offset,
                                       std::uint64_t count)
{
    return {image.begin() + offset, image.begin() + static_cast<std::ptrdiff_t>(offset + count)};
}

// Four bytes as a little-endian value.
std::uint32_t Little_Endian_Value(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
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

} // namespace

struct TChallenge_Edit_Session::TStep {
    std::string Text;
    TBlock_Ranges Blocks;
    // Applied first, then the spans in order; taken back in the reverse order.
    std::vector<TKept_Byte_Changes> Byte_Changes;
    std::vector<TSpan_Change> Spans;
    // The step changes what the walk reads (names, lengths or how records are read).
    bool Walk_After = false;
    // Its blocks are records it adds (which exist once it is made) or removes (which exist
    // once it is taken back), rather than blocks it changes.
    enum class TBlocks { Changed, Added, Removed };
    TBlocks Blocks_Are = TBlocks::Changed;
};

TChallenge_Edit_Session::TChallenge_Edit_Session(TFlexible_Byte_Array image,
                                                 const TMemory_Mask& mask)
    : image_(std::move(image)), mask_(mask), list_(Challenge_Read_Block_List(image_, mask_))
{
}

TChallenge_Edit_Session::~TChallenge_Edit_Session() = default;

bool TChallenge_Edit_Session::Is_Modified() const
{
    return saved_at_ != done_;
}

void TChallenge_Edit_Session::Mark_Saved()
{
    saved_at_ = done_;
}

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
    // The image's bytes and the differences are read and written through pointers held in
    // locals: a byte store may alias any object, which would make the compiler read a vector's
    // pointer again after each one.
    const std::uint8_t* const image = image_.data();
    const TMemory_Mask mask = mask_;
    TByte_Changes rotations{1, {}, {}};
    if (settings.Rotation) {
        const std::uint8_t rotation = *settings.Rotation;
        rotations.Offsets = fields;
        rotations.Differences.resize(fields.size());
        std::uint8_t* const differences = rotations.Differences.data();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const auto stored = static_cast<std::uint8_t>(image[fields[i]] ^ mask);
            differences[i] =
                static_cast<std::uint8_t>(stored ^ Rotation_To_Write(stored, rotation));
        }
    }
    TByte_Changes variations{4, {}, {}};
    bool reading_changes = false;
    if (sets_variations) {
        variations.Offsets.resize(fields.size());
        variations.Differences.resize(fields.size() * 4);
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
            variations.Offsets[i] = offset;
            if (Flags_Change_Game_Reading(old_value, new_value)) {
                if (!allow_game_reading_change) {
                    return {TEdit_Status::Changes_Game_Reading, selection[i], 0};
                }
                reading_changes = true;
            }
        }
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
    {
        // Only checked: the offsets of a million fields would stay for nothing.
        std::vector<std::uint32_t> fields;
        TEdit_Result refusal;
        if (!Selected_Fields(image_, list_, selection, mask_, fields, refusal)) {
            return refusal;
        }
    }
    if (from == to) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    // The blocks named `from`: those that write it in place (each an entry of its own) and
    // those that refer to an entry holding it.
    const std::vector<std::string>& table = list_.String_Table;
    // Each entry's text compared once, not once per block that names it. Bytes rather than
    // bits: they are read once per selected block.
    std::vector<char> holds_from(table.size(), 0);
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
        holds_from[entry] = table[entry] == from;
    }
    std::vector<char> renamed_entry(table.size(), 0);
    std::vector<std::uint32_t> in_place_blocks;
    std::vector<std::uint32_t> referring_blocks;
    referring_blocks.reserve(selection.size());
    // The index of a block's name (0: written in place); the selected blocks' records lie
    // inside the image, as Selected_Fields found.
    const std::uint8_t* const image = image_.data();
    const TMemory_Mask mask = mask_;
    const auto name_index = [image, mask](std::uint32_t offset) {
        return static_cast<std::uint16_t>((image[offset] ^ mask) |
                                          (image[offset + 1] ^ mask) << 8);
    };
    for (std::size_t i = 0; i < selection.size(); ++i) {
        const std::uint32_t block = selection[i];
        const std::uint16_t index = name_index(list_.Block_Offsets[block]);
        if (index == 0) {
            const std::uint32_t entry = list_.Last_String_Indexes[block];
            if (entry < table.size() && holds_from[entry]) {
                in_place_blocks.push_back(block);
                renamed_entry[entry] = 1;
            }
        } else if (index < table.size() && holds_from[index]) {
            referring_blocks.push_back(block);
        }
    }
    if (in_place_blocks.empty() && referring_blocks.empty()) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    // A name in place renames every block that refers to it: all of them must be selected.
    std::vector<std::size_t> unselected_sharing(table.size(), 0);
    if (!in_place_blocks.empty()) {
        // The blocks and the selection both ascend: the next selected block is moved on to
        // rather than searched for, block by block.
        std::size_t next_selected = 0;
        for (std::uint32_t block = 0; block < list_.Block_Offsets.size(); ++block) {
            while (next_selected < selection.size() && selection[next_selected] < block) {
                ++next_selected;
            }
            const bool selected =
                next_selected < selection.size() && selection[next_selected] == block;
            std::uint32_t cursor = list_.Block_Offsets[block];
            const std::uint16_t index = Read_Word(image_, cursor, false, mask_);
            if (index != 0 && index < table.size() && renamed_entry[index] && !selected) {
                ++unselected_sharing[index];
            }
        }
        for (const std::uint32_t block : in_place_blocks) {
            const std::size_t sharing = unselected_sharing[list_.Last_String_Indexes[block]];
            if (sharing != 0) {
                return {TEdit_Status::Shared_In_Place_Name, block, sharing};
            }
        }
    }
    // Once renamed, the lowest entry holding `to`; a reference may name it only when the file
    // defines it before the block.
    std::uint32_t first_to = 0;
    for (std::uint32_t entry = 1; entry < table.size() && entry <= Highest_String_Index; ++entry) {
        if (renamed_entry[entry] || table[entry] == to) {
            first_to = entry;
            break;
        }
    }
    // Room for the references pointed elsewhere only: those to a renamed entry follow it.
    const auto pointed_elsewhere = static_cast<std::size_t>(
        std::count_if(referring_blocks.begin(), referring_blocks.end(), [&](std::uint32_t block) {
            return renamed_entry[name_index(list_.Block_Offsets[block])] == 0;
        }));
    TByte_Changes references{2, {}, {}};
    references.Offsets.resize(pointed_elsewhere);
    references.Differences.resize(pointed_elsewhere * 2);
    std::uint32_t* const reference_offsets = references.Offsets.data();
    std::uint8_t* const differences = references.Differences.data();
    std::size_t retargeted = 0;
    for (const std::uint32_t block : referring_blocks) {
        const std::uint32_t offset = list_.Block_Offsets[block];
        const std::uint16_t index = name_index(offset);
        if (renamed_entry[index]) {
            continue; // renamed with its entry
        }
        if (first_to == 0 || first_to > list_.Last_String_Indexes[block]) {
            return {TEdit_Status::Name_Not_Defined, block, 0};
        }
        reference_offsets[retargeted] = offset;
        differences[2 * retargeted] = static_cast<std::uint8_t>((index ^ first_to) & 0xFF);
        differences[2 * retargeted + 1] = static_cast<std::uint8_t>((index ^ first_to) >> 8);
        ++retargeted;
    }
    if (!in_place_blocks.empty()) {
        if (!Bytes_Available(image_, list_.Size_Fields_Offset, Size_Fields_Bytes) ||
            list_.Size_Fields_Offset == 0) {
            return {TEdit_Status::Size_Fields_Not_Walked, in_place_blocks.front(), 0};
        }
        const std::uint64_t growth =
            (to.size() > from.size() ? to.size() - from.size() : 0) * in_place_blocks.size();
        if (image_.size() + growth > Longest_Image) {
            return {TEdit_Status::Image_Too_Large, in_place_blocks.front(), 0};
        }
    }

    TStep step;
    step.Text = "Replace " + from + " by " + to;
    step.Blocks = Ranges_Of(selection);
    if (!references.Offsets.empty()) {
        Xor_Changes(image_, references);
        step.Byte_Changes.push_back(std::move(references));
    }
    if (!in_place_blocks.empty()) {
        const std::vector<std::uint8_t> old_sizes =
            Stored_Bytes(image_, list_.Size_Fields_Offset, Size_Fields_Bytes);
        // From the last to the first, so that the walk's offsets before each still hold.
        for (auto block = in_place_blocks.rbegin(); block != in_place_blocks.rend(); ++block) {
            const std::uint32_t offset = list_.Block_Offsets[*block] + 4;
            TSpan_Change span{offset, Stored_Bytes(image_, offset, 4 + from.size()), {}};
            const std::uint32_t field_offset = offset + 4 + static_cast<std::uint32_t>(from.size());
            TBlock_Field_Bytes bytes{};
            for (std::uint32_t i = 0; i < Block_Field_Count; ++i) {
                bytes[i] = Stored_Byte(image_, field_offset + i, mask_);
            }
            Challenge_Write_Block(image_, list_, *block, to, bytes, mask_);
            span.New = Stored_Bytes(image_, offset, 4 + to.size());
            step.Spans.push_back(std::move(span));
        }
        step.Byte_Changes.push_back(
            Size_Field_Changes(image_, list_.Size_Fields_Offset, old_sizes));
        step.Walk_After = true;
    }
    Finish_Step(std::move(step));
    return {TEdit_Status::Done, in_place_blocks.size() + referring_blocks.size(), 0};
}

TEdit_Result TChallenge_Edit_Session::Structure_Refusal()
{
    if (!list_.Complete || list_.Block_Count_Offset == 0) {
        return {TEdit_Status::List_Not_Walked, list_.Block_Offsets.size(), 0};
    }
    // The size fields change with the body: they must say what it is, or a change of them
    // would say something else again.
    const TGbx_Compression_Info sizes = Gbx_Get_Compression_Info(image_, mask_);
    if (sizes.Data_Offset != list_.Size_Fields_Offset + Size_Fields_Bytes ||
        std::uint64_t{sizes.Data_Offset} + sizes.Uncompressed_Size + 3 != image_.size() ||
        sizes.Compressed_Size != std::uint64_t{sizes.Uncompressed_Size} + 3) {
        return {TEdit_Status::Size_Fields_Not_Walked, 0, 0};
    }
    if (!block_number_chunks_) {
        block_number_chunks_ = Has_Block_Number_Chunks(image_, list_, mask_);
    }
    if (*block_number_chunks_) {
        return {TEdit_Status::Block_Number_Chunks, 0, 0};
    }
    return {TEdit_Status::Done, 0, 0};
}

void TChallenge_Edit_Session::Add_Count_And_Size_Changes(TStep& step, std::int64_t added_blocks,
                                                         std::int64_t added_bytes) const
{
    const auto changed_value = [this](std::uint32_t offset, std::int64_t added) {
        const std::uint32_t old_value = Read_DWord(image_, offset, false, mask_);
        const auto new_value = static_cast<std::uint32_t>(old_value + added);
        return old_value ^ new_value;
    };
    const auto differences = [](std::uint32_t difference, std::vector<std::uint8_t>& out) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(difference >> (8 * i)));
        }
    };
    TByte_Changes count{4, {list_.Block_Count_Offset}, {}};
    differences(changed_value(list_.Block_Count_Offset, added_blocks), count.Differences);
    TByte_Changes sizes{Size_Fields_Bytes, {list_.Size_Fields_Offset}, {}};
    differences(changed_value(list_.Size_Fields_Offset, added_bytes), sizes.Differences);
    differences(changed_value(list_.Size_Fields_Offset + 4, added_bytes), sizes.Differences);
    step.Byte_Changes.push_back(std::move(count));
    step.Byte_Changes.push_back(std::move(sizes));
}

TEdit_Result TChallenge_Edit_Session::Append_Blocks(const char* action, std::size_t count,
                                                    const TNew_Record_Source& source, int dx,
                                                    int dz, int dy, bool allow_outside_challenge,
                                                    bool without_skin)
{
    const std::array<int, 3> offsets = {dx, dz, dy};
    const std::array<std::uint32_t, 3> size = !allow_outside_challenge && list_.Challenge_Size
                                                  ? *list_.Challenge_Size
                                                  : std::array<std::uint32_t, 3>{256, 256, 256};
    const std::uint16_t name_flags = Name_Flags();
    // The records are made as the blocks are checked: a million copies cost their own bytes
    // and nothing per block besides.
    std::vector<std::uint8_t> records;
    records.reserve(count * Reference_Record_Bytes);
    std::optional<std::size_t> first_outside;
    std::optional<std::size_t> first_undefined;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t entry = 0;
        TBlock_Field_Bytes bytes{};
        source(i, entry, bytes);
        const std::uint32_t flags = Little_Endian_Value(bytes.data() + Variations_Field);
        if (flags == Uncounted_Record_Flags) {
            return {TEdit_Status::Uncounted_Record, i, 0};
        }
        if ((flags & Author_Record_Flag) != 0) {
            if (!without_skin) {
                return {TEdit_Status::Carries_Skin, i, 0};
            }
            bytes[Variations_Field + 1] &= static_cast<std::uint8_t>(~(Author_Record_Flag >> 8));
            bytes[Variations_Field + 2] &= static_cast<std::uint8_t>(~(Waypoint_Flag >> 16));
        }
        for (std::uint32_t axis = 0; axis < 3; ++axis) {
            const int moved = bytes[Position_Field + axis] + offsets[axis];
            if (moved < 0 || moved > 255) {
                return {TEdit_Status::Position_Out_Of_Range, i, 0};
            }
            if (!first_outside && static_cast<std::uint32_t>(moved) >= size[axis]) {
                first_outside = i;
            }
            bytes[Position_Field + axis] = static_cast<std::uint8_t>(moved);
        }
        if (entry == 0 && !first_undefined) {
            first_undefined = i;
        }
        Append_Reference_Record(records, name_flags, entry, bytes, mask_);
    }
    if (first_outside) {
        return {TEdit_Status::Outside_Challenge, *first_outside, 0};
    }
    if (count == 0) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    if (first_undefined) {
        return {TEdit_Status::Name_Not_Defined, *first_undefined, 0};
    }
    if (image_.size() + records.size() > Longest_Image) {
        return {TEdit_Status::Image_Too_Large, 0, 0};
    }
    const auto first = static_cast<std::uint32_t>(list_.Block_Offsets.size());
    TStep step;
    step.Text = count == 1 ? std::string(action) + " block " + std::to_string(first)
                           : std::string(action) + " " + std::to_string(count) + " blocks";
    step.Blocks = {{first, first + static_cast<std::uint32_t>(count) - 1}};
    step.Blocks_Are = TStep::TBlocks::Added;
    Add_Count_And_Size_Changes(step, static_cast<std::int64_t>(count),
                               static_cast<std::int64_t>(records.size()));
    step.Spans.push_back({list_.Block_List_End, {}, std::move(records)});
    step.Walk_After = true;
    Make_Structure_Step(std::move(step));
    return {TEdit_Status::Done, count, 0};
}

TEdit_Result TChallenge_Edit_Session::Duplicate(const TBlock_Selection& selection, int dx, int dz,
                                                int dy, bool allow_outside_challenge,
                                                bool without_skin)
{
    const TEdit_Result refusal = Structure_Refusal();
    if (refusal.Status != TEdit_Status::Done) {
        return refusal;
    }
    for (const std::uint32_t number : selection) {
        if (!Challenge_Read_Block_View(image_, list_, number, mask_)) {
            return {TEdit_Status::Block_Not_Walked, number, 0};
        }
    }
    // The lowest entry of each entry's text, looked up once: a copy refers to it.
    constexpr std::uint32_t Not_Looked_Up = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> lowest(list_.String_Table.size(), Not_Looked_Up);
    const auto copy = [&](std::size_t i, std::uint32_t& entry, TBlock_Field_Bytes& bytes) {
        const auto block = Challenge_Read_Block_View(image_, list_, selection[i], mask_);
        bytes = Field_Bytes_Of(*block);
        if (block->Name_Index >= lowest.size()) {
            entry = Lowest_Entry_Named(list_, block->Name);
            return;
        }
        std::uint32_t& found = lowest[block->Name_Index];
        if (found == Not_Looked_Up) {
            found = Lowest_Entry_Named(list_, block->Name);
        }
        entry = found;
    };
    TEdit_Result result = Append_Blocks("Duplicate", selection.size(), copy, dx, dz, dy,
                                        allow_outside_challenge, without_skin);
    if (result.Status != TEdit_Status::Done && result.Status != TEdit_Status::Unchanged) {
        result.Block = selection[result.Block]; // the refusing block by its own number
    }
    return result;
}

TEdit_Result TChallenge_Edit_Session::Paste(const std::vector<TNew_Block>& blocks, int dx, int dz,
                                            int dy, bool allow_outside_challenge,
                                            bool without_skin)
{
    const TEdit_Result refusal = Structure_Refusal();
    if (refusal.Status != TEdit_Status::Done) {
        return refusal;
    }
    const auto pasted = [&](std::size_t i, std::uint32_t& entry, TBlock_Field_Bytes& bytes) {
        entry = Lowest_Entry_Named(list_, blocks[i].Name);
        bytes = blocks[i].Bytes;
        // A pasted rotation is a new one, as Set writes it: above the game's range, its highest.
        bytes[0] = std::min(bytes[0], Block_Rotation_Max);
    };
    return Append_Blocks("Paste", blocks.size(), pasted, dx, dz, dy, allow_outside_challenge,
                         without_skin);
}

TEdit_Result TChallenge_Edit_Session::Delete(const TBlock_Selection& selection)
{
    const TEdit_Result refusal = Structure_Refusal();
    if (refusal.Status != TEdit_Status::Done) {
        return refusal;
    }
    if (selection.empty()) {
        return {TEdit_Status::Unchanged, 0, 0};
    }
    TStep step;
    const TEdit_Result planned = Plan_Deletion(image_, list_, selection, mask_, step.Spans);
    if (planned.Status != TEdit_Status::Done) {
        return planned;
    }
    std::int64_t added_bytes = 0;
    for (const TSpan_Change& span : step.Spans) {
        added_bytes += static_cast<std::int64_t>(span.New.size()) -
                       static_cast<std::int64_t>(span.Old.size());
    }
    step.Text = Blocks_Text("Delete", selection);
    step.Blocks = Ranges_Of(selection);
    step.Blocks_Are = TStep::TBlocks::Removed;
    Add_Count_And_Size_Changes(step, -static_cast<std::int64_t>(selection.size()), added_bytes);
    step.Walk_After = true;
    Make_Structure_Step(std::move(step));
    return {TEdit_Status::Done, selection.size(), 0};
}

void TChallenge_Edit_Session::Make_Structure_Step(TStep step)
{
    for (const TKept_Byte_Changes& changes : step.Byte_Changes) {
        Xor_Changes(image_, changes);
    }
    Splice_Spans(image_, step.Spans, true);
    Finish_Step(std::move(step)); // walks the changed list
}

std::uint16_t TChallenge_Edit_Session::Name_Flags() const
{
    // A lookback string's usual flags, for a list without a block to take them from.
    constexpr std::uint16_t Usual_Name_Flags = 0x4000;
    if (list_.Block_Offsets.empty()) {
        return Usual_Name_Flags;
    }
    std::uint32_t first = list_.Block_Offsets.front();
    return static_cast<std::uint16_t>(Read_DWord(image_, first, false, mask_) >> 16);
}

bool TChallenge_Edit_Session::Can_Undo() const
{
    return done_ > 0;
}

bool TChallenge_Edit_Session::Can_Redo() const
{
    return done_ < history_.size();
}

std::string TChallenge_Edit_Session::Undo_Text() const
{
    return Can_Undo() ? history_[done_ - 1].Text : std::string();
}

std::string TChallenge_Edit_Session::Redo_Text() const
{
    return Can_Redo() ? history_[done_].Text : std::string();
}

TEdit_Result TChallenge_Edit_Session::Undo()
{
    if (!Can_Undo()) {
        return {TEdit_Status::Nothing_To_Undo, 0, 0};
    }
    --done_;
    last_step_ = done_;
    Apply(history_[done_], false);
    return {TEdit_Status::Done, 0, 0};
}

TEdit_Result TChallenge_Edit_Session::Redo()
{
    if (!Can_Redo()) {
        return {TEdit_Status::Nothing_To_Redo, 0, 0};
    }
    last_step_ = done_;
    Apply(history_[done_], true);
    ++done_;
    return {TEdit_Status::Done, 0, 0};
}

TBlock_Selection TChallenge_Edit_Session::Last_Step_Blocks() const
{
    TBlock_Selection blocks;
    if (!last_step_) {
        return blocks;
    }
    // Whether the last step was made (or made again) rather than taken back.
    const bool made = *last_step_ < done_;
    const TStep::TBlocks kind = history_[*last_step_].Blocks_Are;
    if ((kind == TStep::TBlocks::Added && !made) || (kind == TStep::TBlocks::Removed && made)) {
        return blocks;
    }
    for (const auto& [first, last] : history_[*last_step_].Blocks) {
        for (std::uint32_t block = first; block <= last; ++block) {
            blocks.push_back(block);
        }
    }
    return blocks;
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

void TChallenge_Edit_Session::Apply(const TStep& step, bool forward)
{
    if (forward) {
        for (const TKept_Byte_Changes& changes : step.Byte_Changes) {
            Xor_Changes(image_, changes);
        }
        if (!step.Spans.empty()) {
            Splice_Spans(image_, step.Spans, true);
        }
    } else {
        if (!step.Spans.empty()) {
            Splice_Spans(image_, step.Spans, false);
        }
        for (const TKept_Byte_Changes& changes : step.Byte_Changes) {
            Xor_Changes(image_, changes);
        }
    }
    if (step.Walk_After) {
        Walk_Again();
    }
}

void TChallenge_Edit_Session::Finish_Step(TStep step)
{
    history_.resize(done_);
    if (saved_at_ && *saved_at_ > done_) {
        saved_at_.reset(); // the saved state lay in the steps just dropped
    }
    history_.push_back(std::move(step));
    done_ = history_.size();
    last_step_ = done_ - 1;
    if (history_.back().Walk_After) {
        Walk_Again();
    }
}

void TChallenge_Edit_Session::Walk_Again()
{
    // The old walk goes first: a million blocks' offsets need not be held twice.
    list_ = TTMF_Challenge_Block_Address_List();
    list_ = Challenge_Read_Block_List(image_, mask_);
}

} // namespace plotvane
