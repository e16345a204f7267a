#include "challenge/Block_Clipboard.h"

#include "challenge/Block_Records.h"
#include "challenge/Gbx_Challenge_Read.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <set>

namespace plotvane {

namespace {

using TJson = nlohmann::ordered_json;

TJson Block_Object(std::size_t index, std::int64_t offset, const TChallenge_Block_View& block)
{
    return {{"index", index},
            {"offset", offset},
            {"name", std::string(block.Name)},
            {"name_in_place", block.Name_In_Place},
            {"name_index", block.Name_Index},
            {"rotation", block.Rotation},
            {"x", block.X},
            {"z", block.Z},
            {"y", block.Y},
            {"variations", block.Variations}};
}

// A key of the object holding a number from 0 to 255.
bool Byte_Of(const TJson& object, const char* key, std::uint8_t& byte)
{
    const auto value = object.find(key);
    if (value == object.end() || !value->is_number_unsigned() || value->get<std::uint64_t>() > 255) {
        return false;
    }
    byte = value->get<std::uint8_t>();
    return true;
}

// One line's block, or why not.
bool Block_Of(const TJson& object, TNew_Block& block, std::string& why)
{
    const auto name = object.find("name");
    if (!object.is_object() || name == object.end() || !name->is_string()) {
        why = "no \"name\" text";
        return false;
    }
    block.Name = name->get<std::string>();
    static constexpr std::array<const char*, 4> Fields = {"rotation", "x", "z", "y"};
    for (std::size_t i = 0; i < Fields.size(); ++i) {
        if (!Byte_Of(object, Fields[i], block.Bytes[i])) {
            why = std::string("no \"") + Fields[i] + "\" from 0 to 255";
            return false;
        }
    }
    const auto variations = object.find("variations");
    if (variations == object.end() || !variations->is_array() || variations->size() != 4 ||
        !std::all_of(variations->begin(), variations->end(), [](const TJson& value) {
            return value.is_number_unsigned() && value.get<std::uint64_t>() <= 255;
        })) {
        why = "no \"variations\", four numbers from 0 to 255";
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        block.Bytes[4 + i] = (*variations)[i].get<std::uint8_t>();
    }
    return true;
}

} // namespace

std::string Block_Clipboard_Text(const TFlexible_Byte_Array& image,
                                 const TTMF_Challenge_Block_Address_List& list,
                                 const TBlock_Selection& selection,
                                 std::int64_t file_offset_delta, const TMemory_Mask& mask)
{
    std::string text;
    for (const std::uint32_t number : selection) {
        const auto block = Challenge_Read_Block_View(image, list, number, mask);
        if (!block) {
            break;
        }
        text += Block_Object(number, list.Block_Offsets[number] + file_offset_delta, *block)
                    .dump(-1, ' ', false, TJson::error_handler_t::replace);
        text += '\n';
    }
    return text;
}

bool Read_Block_Clipboard_Text(std::string_view text, std::vector<TNew_Block>& blocks,
                               std::string& error)
{
    blocks.clear();
    std::size_t line_number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++line_number;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
            continue;
        }
        const TJson object = TJson::parse(line, nullptr, false);
        TNew_Block block;
        std::string why = "not a JSON object";
        if (object.is_discarded() || !Block_Of(object, block, why)) {
            error = "line " + std::to_string(line_number) + " is not a block: " + why;
            return false;
        }
        blocks.push_back(std::move(block));
    }
    return true;
}

std::vector<std::string> Block_Names(const std::vector<TNew_Block>& blocks)
{
    std::vector<std::string> names;
    std::set<std::string_view> seen;
    for (const TNew_Block& block : blocks) {
        if (seen.insert(block.Name).second) {
            names.push_back(block.Name);
        }
    }
    return names;
}

std::vector<std::string> Names_Not_Defined(const TTMF_Challenge_Block_Address_List& list,
                                           const std::vector<TNew_Block>& blocks)
{
    std::vector<std::string> missing = Block_Names(blocks);
    missing.erase(std::remove_if(missing.begin(), missing.end(),
                                 [&list](const std::string& name) {
                                     return Lowest_Entry_Named(list, name) != 0;
                                 }),
                  missing.end());
    return missing;
}

} // namespace plotvane
