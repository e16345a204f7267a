// The edit session's structural edits: records added at the end of the list (Duplicate,
// Paste) and removed (Delete), each one step that changes the block count and the body size
// fields with the records.

#include "challenge/Challenge_Edit_Session.h"

#include "challenge/Block_Records.h"
#include "challenge/Challenge_Edit_Steps.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_Tools.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace plotvane {

namespace {

// A record that names its name by reference: the reference, then the eight bytes.
constexpr std::uint32_t Reference_Record_Bytes = 4 + Block_Field_Count;

} // namespace

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

} // namespace plotvane
