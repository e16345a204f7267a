// Challenge_Write_Block on any image, with the walk of that image: for a few of the listed
// blocks, the block's own name and bytes, then a name and bytes taken from the input. The
// written image must be exactly what the rules say, byte for byte: for a name written in place,
// the new length and text, the rest of the image moved, both size fields corrected; for a
// reference, its own bytes when it already names that text, else the lowest index with that
// text among the strings defined up to the block, or a refusal that leaves the image as it
// was; then the eight bytes, a new rotation at most 3 and a rotation written back kept.

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "fuzz/Fuzz_Support.h"

#include <algorithm>
#include <string_view>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

void Put_Le32(TPlain_Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The eight bytes at `offset`: a new rotation above the highest becomes the highest, one equal
// to the block's stored rotation stays as it is.
void Put_Field_Bytes(TPlain_Bytes& bytes, std::size_t offset, const TBlock_Field_Bytes& fields,
                     std::uint8_t stored_rotation)
{
    std::copy(fields.begin(), fields.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    if (fields[0] != stored_rotation) {
        bytes[offset] = std::min(fields[0], Block_Rotation_Max);
    }
}

// The image that writing block `index` must give, or nothing when the write must be refused.
std::optional<TPlain_Bytes> Expected_Image(const TPlain_Bytes& old,
                                           const TTMF_Challenge_Block_Address_List& list,
                                           std::size_t index, const std::string& name,
                                           const TBlock_Field_Bytes& fields)
{
    const std::size_t record = list.Block_Offsets[index];
    TPlain_Bytes expected = old;
    const std::uint32_t referenced = Le16_At(old.data(), record);
    if (referenced != 0) {
        // A reference that already names the text keeps its bytes, one past the table (which
        // names an empty text) included.
        const std::string_view current =
            referenced < list.String_Table.size() ? std::string_view(list.String_Table[referenced])
                                                  : std::string_view();
        if (current == name) {
            Put_Field_Bytes(expected, record + 4, fields, old[record + 4]);
            return expected;
        }
        const std::size_t last = std::min<std::size_t>(
            {list.Last_String_Indexes[index], list.String_Table.size() - 1, 0xFFFF});
        std::size_t found = 0;
        for (std::size_t k = 1; k <= last && found == 0; ++k) {
            found = list.String_Table[k] == name ? k : 0;
        }
        if (found == 0) {
            return std::nullopt;
        }
        expected[record] = static_cast<std::uint8_t>(found);
        expected[record + 1] = static_cast<std::uint8_t>(found >> 8);
        Put_Field_Bytes(expected, record + 4, fields, old[record + 4]);
        return expected;
    }
    const std::uint32_t old_length = Le32_At(old.data(), record + 4);
    const std::size_t rest = record + 8 + old_length + 8;
    expected.resize(record + 8 + name.size() + 8);
    Put_Le32(expected, record + 4, static_cast<std::uint32_t>(name.size()));
    std::copy(name.begin(), name.end(), expected.begin() + static_cast<std::ptrdiff_t>(record + 8));
    Put_Field_Bytes(expected, record + 8 + name.size(), fields, old[record + 8 + old_length]);
    expected.insert(expected.end(), old.begin() + static_cast<std::ptrdiff_t>(rest), old.end());
    const std::uint32_t change = static_cast<std::uint32_t>(name.size()) - old_length;
    for (const std::size_t field : {list.Size_Fields_Offset, list.Size_Fields_Offset + 4}) {
        Put_Le32(expected, field, Le32_At(old.data(), field) + change);
    }
    return expected;
}

void Check_Write(const TPlain_Bytes& old, const TTMF_Challenge_Block_Address_List& list,
                 std::size_t index, const std::string& name, const TBlock_Field_Bytes& fields,
                 TMemory_Mask mask)
{
    TFlexible_Byte_Array image = Masked(old.data(), old.size(), mask);
    const TBlock_Write_Status status =
        Challenge_Write_Block(image, list, index, name, fields, mask);
    const std::optional<TPlain_Bytes> expected = Expected_Image(old, list, index, name, fields);
    if (!expected) {
        PLOTVANE_FUZZ_CHECK(status == TBlock_Write_Status::Name_Not_Defined);
        PLOTVANE_FUZZ_CHECK(Unmasked(image, mask) == old);
        return;
    }
    PLOTVANE_FUZZ_CHECK(status == TBlock_Write_Status::Written);
    PLOTVANE_FUZZ_CHECK(Unmasked(image, mask) == *expected);
    // Whatever the new name made of the image, walking it stays safe.
    Challenge_Read_Block_List(image, mask);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    const TPlain_Bytes old(data, data + size);
    const TTMF_Challenge_Block_Address_List list =
        Challenge_Read_Block_List(Masked(data, size, mask), mask);
    const std::size_t count = list.Block_Offsets.size();

    TFlexible_Byte_Array image = Masked(data, size, mask);
    PLOTVANE_FUZZ_CHECK(Challenge_Write_Block(image, list, count, "", {}, mask) ==
                        TBlock_Write_Status::Block_Not_Walked);
    PLOTVANE_FUZZ_CHECK(Unmasked(image, mask) == old);
    if (count == 0) {
        return 0;
    }
    // A name and bytes from the input's last bytes, the length from its very last one.
    const std::size_t name_length = std::min<std::size_t>(data[size - 1] % 24, size);
    const std::string name(data + size - name_length, data + size);
    TBlock_Field_Bytes fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i] = data[(size - 1 - i) % size];
    }
    std::vector<std::size_t> indexes = {0, count - 1, size % count};
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (const std::size_t index : indexes) {
        const std::optional<TChallenge_Block> block =
            Challenge_Read_Block(Masked(data, size, mask), list, index, mask);
        PLOTVANE_FUZZ_CHECK(block.has_value());
        Check_Write(old, list, index, block->Name,
                    {block->Rotation, block->X, block->Z, block->Y, block->Variations[0],
                     block->Variations[1], block->Variations[2], block->Variations[3]},
                    mask);
        Check_Write(old, list, index, name, fields, mask);
    }
    return 0;
}
