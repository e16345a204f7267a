#include "challenge/Block_Find.h"

#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>
#include <charconv>

namespace plotvane {

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text)
{
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    return lowered;
}

// A whole number from 0 to 255, nothing else.
std::optional<std::uint8_t> Byte_Value(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

// `N` or `N-M`, low to high.
std::optional<TByte_Range> Byte_Range(std::string_view text)
{
    const std::size_t dash = text.find('-');
    const std::optional<std::uint8_t> low = Byte_Value(text.substr(0, dash));
    const std::optional<std::uint8_t> high =
        dash == std::string_view::npos ? low : Byte_Value(text.substr(dash + 1));
    if (!low || !high || *low > *high) {
        return std::nullopt;
    }
    return TByte_Range{*low, *high};
}

// Reads one `field=value` term into `find`; false when the value is not one the field takes.
bool Read_Field_Term(std::string_view field, std::string_view value, TBlock_Find& find)
{
    constexpr std::array<std::string_view, 3> position_fields = {"x", "z", "y"};
    for (std::size_t axis = 0; axis < position_fields.size(); ++axis) {
        if (field == position_fields[axis]) {
            const std::optional<TByte_Range> range = Byte_Range(value);
            if (range) {
                find.Positions[axis].push_back(*range);
            }
            return range.has_value();
        }
    }
    if (value == "P" || value == "p" || value == "@") {
        find.Name_In_Place.push_back(value != "@");
        return true;
    }
    return false;
}

bool Is_Field(std::string_view field)
{
    return field == "x" || field == "z" || field == "y" || field == "kind";
}

bool Contains_Ignoring_Case(std::string_view text, const std::string& lowered_part)
{
    const auto found = std::search(text.begin(), text.end(), lowered_part.begin(),
                                   lowered_part.end(),
                                   [](char stored, char part) { return Lower(stored) == part; });
    return found != text.end() || lowered_part.empty();
}

// True when the field has no terms or one of them takes the value.
template <typename TTerm, typename TTakes>
bool Any_Term_Takes(const std::vector<TTerm>& terms, TTakes takes)
{
    return terms.empty() || std::any_of(terms.begin(), terms.end(), takes);
}

bool Name_Matches(std::string_view name, const TBlock_Find& find)
{
    return std::all_of(find.Name_Parts.begin(), find.Name_Parts.end(),
                       [name](const std::string& part) {
                           return Contains_Ignoring_Case(name, part);
                       });
}

} // namespace

std::optional<TBlock_Find> Parse_Block_Find(std::string_view text, std::string& error)
{
    TBlock_Find find;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string_view term = text.substr(start, end - start);
        start = end + 1;
        if (term.empty()) {
            continue;
        }
        const std::size_t equals = term.find('=');
        const std::string field = Lowered(term.substr(0, equals));
        if (equals == std::string_view::npos || !Is_Field(field)) {
            find.Name_Parts.push_back(Lowered(term));
            continue;
        }
        if (!Read_Field_Term(field, term.substr(equals + 1), find)) {
            error = "\"" + std::string(term) + "\": " +
                    (field == "kind" ? "write kind=P (name in place) or kind=@ (by reference)"
                                     : "write " + field + "=N or " + field +
                                           "=N-M, with numbers from 0 to 255");
            return std::nullopt;
        }
    }
    return find;
}

std::vector<std::uint32_t> Find_Blocks(const TFlexible_Byte_Array& image,
                                       const TTMF_Challenge_Block_Address_List& list,
                                       const TBlock_Find& find, const TMemory_Mask& mask)
{
    const std::vector<std::string>& table = list.String_Table;
    std::vector<char> entry_matches(table.size());
    for (std::size_t entry = 0; entry < table.size(); ++entry) {
        entry_matches[entry] = Name_Matches(table[entry], find);
    }
    const bool unknown_name_matches = Name_Matches("", find);
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const std::optional<TChallenge_Block_View> block =
            Challenge_Read_Block_View(image, list, i, mask);
        if (!block) {
            break;
        }
        const bool name_matches = block->Name_Index < table.size()
                                      ? entry_matches[block->Name_Index] != 0
                                      : unknown_name_matches;
        const std::array<std::uint8_t, 3> position = {block->X, block->Z, block->Y};
        bool matches = name_matches && Any_Term_Takes(find.Name_In_Place, [&](bool in_place) {
                           return in_place == block->Name_In_Place;
                       });
        for (std::size_t axis = 0; axis < 3 && matches; ++axis) {
            matches = Any_Term_Takes(find.Positions[axis], [&](const TByte_Range& range) {
                return position[axis] >= range[0] && position[axis] <= range[1];
            });
        }
        if (matches) {
            found.push_back(static_cast<std::uint32_t>(i));
        }
    }
    return found;
}

} // namespace plotvane
