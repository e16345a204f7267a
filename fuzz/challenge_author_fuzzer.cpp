// Challenge_Read_Author on any image. The login it gives must be the text of an in-place string
// of the image, lying whole before the image's last byte and after the two strings that
// precede it from offset 111; when the three strings lie whole in the image it must be exactly
// the third one's text. An unreadable login leaves the caller's string alone.

#include "challenge/Gbx_Challenge_Read.h"
#include "fuzz/Fuzz_Support.h"

#include <optional>
#include <string>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

constexpr std::size_t Author_Strings_Offset = 111;

// The login the three strings at offset 111 give when all of them lie whole in the plain
// bytes (a text must end before the last byte); nothing when they do not.
std::optional<std::string> Login_Of_Whole_Strings(const std::uint8_t* data, std::size_t size)
{
    std::size_t position = Author_Strings_Offset;
    std::string text;
    bool in_place = false;
    for (int i = 0; i < 3; ++i) {
        if (position > size || size - position < 4) {
            return std::nullopt;
        }
        in_place = Le16_At(data, position) == 0;
        position += 4;
        text.clear();
        if (!in_place) {
            continue;
        }
        if (size - position < 4) {
            return std::nullopt;
        }
        const std::size_t length = Le32_At(data, position);
        position += 4;
        if (length > 0) {
            if (length >= size - position) {
                return std::nullopt;
            }
            text.assign(reinterpret_cast<const char*>(data + position), length);
            position += length;
        }
    }
    return in_place ? text : std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string untouched = "(as passed)";
    const TMemory_Mask mask = Mask_For(size);
    std::string author = untouched;
    Challenge_Read_Author(Masked(data, size, mask), mask, author);

    const TMemory_Mask other_mask = Other_Mask(mask);
    std::string other_author = untouched;
    Challenge_Read_Author(Masked(data, size, other_mask), other_mask, other_author);
    PLOTVANE_FUZZ_CHECK(other_author == author);

    if (const auto login = Login_Of_Whole_Strings(data, size)) {
        PLOTVANE_FUZZ_CHECK(author == (login->empty() ? untouched : *login));
    }
    PLOTVANE_FUZZ_CHECK(!author.empty());
    if (author == untouched) {
        return 0;
    }
    // Index 0, a length equal to the login's, then the login, which ends before the last byte:
    // all after the two 4-byte values (at least) of the strings before it.
    bool found = false;
    for (std::size_t at = Author_Strings_Offset + 16; !found && at + author.size() < size; ++at) {
        found = Le16_At(data, at - 8) == 0 && Le32_At(data, at - 4) == author.size() &&
                Same_Bytes(data + at, reinterpret_cast<const std::uint8_t*>(author.data()),
                           author.size());
    }
    PLOTVANE_FUZZ_CHECK(found);
    return 0;
}
