#pragma once

// What the edit session's own files share: the step that the history keeps, the byte changes
// it is made of and the helpers that make and apply them. Included by the session's files only;
// everything else goes through challenge/Challenge_Edit_Session.h.

#include "challenge/Block_Records.h"
#include "challenge/Challenge_Edit_Session.h"
#include "memory/Base_Structure.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace plotvane {

constexpr std::uint32_t Block_Field_Count = 8;
constexpr std::uint32_t Position_Field = 1; // X, then Z, then Y
constexpr std::uint32_t Variations_Field = 4;
// An array's length is a signed 32-bit count.
constexpr std::uint64_t Longest_Image = std::numeric_limits<std::int32_t>::max();
constexpr std::uint32_t Size_Fields_Bytes = 8;

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
    explicit TPacked_Offsets(const std::vector<std::uint32_t>& offsets);

    // Reads the offsets in turn: Next() gives the next one while At_End() is false.
    class TReader;

private:
    static std::size_t Packed_Size(std::uint32_t difference);

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

// Block numbers as inclusive ranges, as a step keeps its blocks.
using TBlock_Ranges = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

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

// Consecutive block numbers as inclusive ranges: a whole track is one range.
TBlock_Ranges Ranges_Of(const TBlock_Selection& selection);

// A step's text: the action and the one block's number, or how many blocks.
std::string Blocks_Text(const std::string& action, const TBlock_Selection& selection);

// Writes byte changes as made, or makes again (or takes back) changes as kept.
void Xor_Changes(TFlexible_Byte_Array& image, const TByte_Changes& changes);
void Xor_Changes(TFlexible_Byte_Array& image, const TKept_Byte_Changes& changes);

// Puts each span's new bytes (forward) or old bytes (back) in place of the others. The spans
// stand in descending order of offset, each offset holding in the image before the step.
void Splice_Spans(TFlexible_Byte_Array& image, const std::vector<TSpan_Change>& spans,
                  bool forward);

// Four bytes as a little-endian value.
inline std::uint32_t Little_Endian_Value(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

} // namespace plotvane
