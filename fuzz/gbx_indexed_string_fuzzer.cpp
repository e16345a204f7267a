// Gbx_Read_Indexed_String at every cursor of the input, past its end and near the top of the
// 32-bit range, looking ahead and advancing. Each result is compared with what the bytes say:
// a value that does not fit gives an empty record in place, a length that does not fit or a
// text that would not end before the last byte gives an empty text after the fields read.

#include "fuzz/Fuzz_Support.h"
#include "gbx/Gbx_Memory_Tools.h"

#include <limits>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

// What the reader must return and where the cursor must end, from the plain bytes.
struct TExpected_String {
    TGbx_Indexed_String Value;
    std::uint64_t End = 0;
};

TExpected_String Expected_At(const std::uint8_t* data, std::size_t size, std::uint64_t start)
{
    TExpected_String expected;
    expected.End = start;
    if (start > size || size - start < 4) {
        return expected;
    }
    expected.Value.Index = Le16_At(data, start);
    expected.Value.Flags = Le16_At(data, start + 2);
    expected.End = start + 4;
    if (expected.Value.Index != 0 || size - expected.End < 4) {
        return expected;
    }
    const std::uint64_t length = Le32_At(data, expected.End);
    expected.End += 4;
    if (length > 0 && expected.End + length < size) {
        expected.Value.Text.assign(reinterpret_cast<const char*>(data + expected.End), length);
        expected.End += length;
    }
    return expected;
}

void Check_Read_At(const TFlexible_Byte_Array& array, const std::uint8_t* data, std::size_t size,
                   std::uint32_t start, TMemory_Mask mask)
{
    const TExpected_String expected = Expected_At(data, size, start);
    for (const bool advance : {false, true}) {
        std::uint32_t cursor = start;
        const TGbx_Indexed_String read = Gbx_Read_Indexed_String(array, cursor, advance, mask);
        PLOTVANE_FUZZ_CHECK(read.Index == expected.Value.Index);
        PLOTVANE_FUZZ_CHECK(read.Flags == expected.Value.Flags);
        PLOTVANE_FUZZ_CHECK(read.Text == expected.Value.Text);
        PLOTVANE_FUZZ_CHECK(cursor == (advance ? expected.End : start));
        PLOTVANE_FUZZ_CHECK(cursor == start || cursor <= size);
        // A text read whole is as long as its length field says.
        if (!read.Text.empty()) {
            PLOTVANE_FUZZ_CHECK(read.Index == 0);
            PLOTVANE_FUZZ_CHECK(Le32_At(data, start + 4) == read.Text.size());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    const TFlexible_Byte_Array array = Masked(data, size, mask);
    for (std::size_t start = 0; start <= size + 8; ++start) {
        Check_Read_At(array, data, size, static_cast<std::uint32_t>(start), mask);
    }
    constexpr std::uint32_t top = std::numeric_limits<std::uint32_t>::max();
    for (const std::uint32_t start : {top, top - 3, top - 4, top - 7, top - 8}) {
        Check_Read_At(array, data, size, start, mask);
    }
    return 0;
}
