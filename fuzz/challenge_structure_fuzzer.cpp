// The edit session's Delete and Duplicate on any image, of a few listed records that the input
// picks. Whatever the image holds: a refused edit leaves the image as it was; an edit is refused
// when its size fields do not describe the body, and a deletion when it would leave a record
// that the game does not count after the last counted one; a done edit leaves a list that reads
// whole with as many records fewer or more as asked, every other record named and placed as
// before (deleted records gone, copies at the end named as their originals, without the author
// record's flags); undo gives back the image byte for byte, and redo the edited one.

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "fuzz/Fuzz_Support.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

// Each listed block's name and eight bytes, as one text, to compare records across edits.
std::vector<std::string> Records_Of(const TChallenge_Edit_Session& session)
{
    std::vector<std::string> records;
    for (std::size_t i = 0; i < session.Blocks().Block_Offsets.size(); ++i) {
        const auto block =
            Challenge_Read_Block_View(session.Image(), session.Blocks(), i, session.Mask());
        PLOTVANE_FUZZ_CHECK(block.has_value());
        const TBlock_Field_Bytes bytes = Field_Bytes_Of(*block);
        records.push_back(std::string(block->Name) + '\0' +
                          std::string(bytes.begin(), bytes.end()));
    }
    return records;
}

// Whether a record, as Records_Of gives it, is one that the game does not count: its four
// variations, the last bytes, all 255.
bool Uncounted(const std::string& record)
{
    return record.compare(record.size() - 4, 4, "\xFF\xFF\xFF\xFF") == 0;
}

// Whether the size fields of the plain input describe its body: the uncompressed-size field
// (after the header's 25 bytes and its user data) the bytes between the compressed-size field
// and the end marker, the compressed-size field 3 more.
bool Sizes_Describe_Body(const std::uint8_t* data, std::size_t size)
{
    if (size < 17) {
        return false;
    }
    const std::uint64_t sizes_at = 25 + std::uint64_t{Le32_At(data, 13)};
    if (sizes_at + 8 > size) {
        return false;
    }
    const std::uint64_t body_size = Le32_At(data, sizes_at);
    return Le32_At(data, sizes_at + 4) == body_size + 3 && sizes_at + 8 + body_size + 3 == size;
}

// Makes the edit on a fresh session. `expected` gives from the records before those the edit
// must leave, or nothing when it must be refused; when done, undo and redo must take the image
// back and forth.
void Check_Edit(
    const TFlexible_Byte_Array& image, TMemory_Mask mask,
    const std::function<TEdit_Result(TChallenge_Edit_Session&)>& edit,
    const std::function<std::optional<std::vector<std::string>>(const std::vector<std::string>&)>&
        expected)
{
    TChallenge_Edit_Session session(image, mask);
    const std::vector<std::string> before = Records_Of(session);
    const TEdit_Result result = edit(session);
    if (result.Status != TEdit_Status::Done) {
        PLOTVANE_FUZZ_CHECK(session.Image() == image);
        PLOTVANE_FUZZ_CHECK(!session.Can_Undo());
        return;
    }
    const std::optional<std::vector<std::string>> records = expected(before);
    PLOTVANE_FUZZ_CHECK(records.has_value());
    PLOTVANE_FUZZ_CHECK(session.Blocks().Complete);
    PLOTVANE_FUZZ_CHECK(Records_Of(session) == *records);
    const TFlexible_Byte_Array edited = session.Image();
    PLOTVANE_FUZZ_CHECK(session.Undo().Status == TEdit_Status::Done);
    PLOTVANE_FUZZ_CHECK(session.Image() == image);
    PLOTVANE_FUZZ_CHECK(session.Redo().Status == TEdit_Status::Done);
    PLOTVANE_FUZZ_CHECK(session.Image() == edited);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    const TFlexible_Byte_Array image = Masked(data, size, mask);
    const std::size_t count = Challenge_Read_Block_List(image, mask).Block_Offsets.size();
    if (count == 0) {
        return 0;
    }
    TBlock_Selection picked = {0, static_cast<std::uint32_t>(count - 1),
                               static_cast<std::uint32_t>(size % count)};
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    // A record added or removed changes the size fields by its bytes: they must say the body.
    const bool sizes_describe_body = Sizes_Describe_Body(data, size);

    Check_Edit(
        image, mask, [&](TChallenge_Edit_Session& session) { return session.Delete(picked); },
        [&](const std::vector<std::string>& before) -> std::optional<std::vector<std::string>> {
            std::vector<std::string> kept;
            for (std::uint32_t i = 0; i < before.size(); ++i) {
                if (!std::binary_search(picked.begin(), picked.end(), i)) {
                    kept.push_back(before[i]);
                }
            }
            // The game reads a record that it does not count only when a counted one follows.
            if (!sizes_describe_body || (!kept.empty() && Uncounted(kept.back()))) {
                return std::nullopt;
            }
            return kept;
        });
    // Copies without skin and in place, so that their bytes are their originals' but for the
    // author record flags.
    Check_Edit(
        image, mask,
        [&](TChallenge_Edit_Session& session) {
            return session.Duplicate(picked, 0, 0, 0, true, true);
        },
        [&](const std::vector<std::string>& before) -> std::optional<std::vector<std::string>> {
            if (!sizes_describe_body) {
                return std::nullopt;
            }
            std::vector<std::string> after = before;
            for (const std::uint32_t block : picked) {
                std::string copy = before[block];
                // Bit 7 of variation 2 says that an author record follows, and bit 4 of
                // variation 3 beside it that a waypoint ends it: both go with the record.
                const std::size_t variation_2 = copy.size() - 3;
                if ((copy[variation_2] & 0x80) != 0) {
                    copy[variation_2] = static_cast<char>(copy[variation_2] & 0x7F);
                    copy[variation_2 + 1] = static_cast<char>(copy[variation_2 + 1] & 0xEF);
                }
                after.push_back(copy);
            }
            return after;
        });
    return 0;
}
