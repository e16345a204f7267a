// The block listing of plotvane-cli on any image: List_Challenge_Blocks, then the streamed JSON
// and text reports. The JSON must parse, and say exactly what Challenge_Read_Block gives for
// every block of the walk (names as the JSON library writes them, bytes that are not UTF-8 as
// U+FFFD); the text must hold one line per block, whatever the names hold.

#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Block_Listing.h"
#include "fuzz/Fuzz_Support.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;
using nlohmann::json;

// A text as it reads back from a JSON report.
std::string As_Reported(const std::string& text)
{
    return json::parse(json(text).dump(-1, ' ', false, json::error_handler_t::replace))
        .get<std::string>();
}

void Check_Json(const TBlock_Listing& listing, const std::string& report, TMemory_Mask mask)
{
    const json document = json::parse(report); // raises, and so stops the run, if not JSON
    PLOTVANE_FUZZ_CHECK(report.back() == '\n' && report.find('\n') == report.size() - 1);
    PLOTVANE_FUZZ_CHECK(document["file"] == "Fuzz.Challenge.Gbx");
    PLOTVANE_FUZZ_CHECK(document["author"] == As_Reported(listing.Author));
    PLOTVANE_FUZZ_CHECK(document["collection"] == As_Reported(listing.List.Collection_Name));
    PLOTVANE_FUZZ_CHECK(document["complete"] == listing.List.Complete);
    const json& blocks = document["blocks"];
    PLOTVANE_FUZZ_CHECK(document["block_count"] == blocks.size());
    PLOTVANE_FUZZ_CHECK(blocks.size() == listing.List.Block_Offsets.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const auto block = Challenge_Read_Block(listing.Image, listing.List, i, mask);
        PLOTVANE_FUZZ_CHECK(block.has_value());
        const json& listed = blocks[i];
        PLOTVANE_FUZZ_CHECK(listed["index"] == i);
        PLOTVANE_FUZZ_CHECK(listed["offset"] ==
                            listing.List.Block_Offsets[i] + listing.File_Offset_Delta);
        PLOTVANE_FUZZ_CHECK(listed["name"] == As_Reported(block->Name));
        PLOTVANE_FUZZ_CHECK(listed["name_in_place"] == block->Name_In_Place);
        PLOTVANE_FUZZ_CHECK(listed["name_index"] == block->Name_Index);
        PLOTVANE_FUZZ_CHECK(listed["rotation"] == block->Rotation && listed["x"] == block->X &&
                            listed["z"] == block->Z && listed["y"] == block->Y);
        PLOTVANE_FUZZ_CHECK(listed["variations"] == json(block->Variations));
    }
}

void Check_Text(const TBlock_Listing& listing, const std::string& report)
{
    // File, author, collection, count, the blocks, and the closing line of an incomplete list.
    const std::size_t lines =
        4 + listing.List.Block_Offsets.size() + (listing.List.Complete ? 0 : 1);
    PLOTVANE_FUZZ_CHECK(static_cast<std::size_t>(std::count(report.begin(), report.end(), '\n')) ==
                        lines);
    PLOTVANE_FUZZ_CHECK(report.back() == '\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    TBlock_Listing listing;
    List_Challenge_Blocks(Masked(data, size, mask), mask, static_cast<std::int64_t>(size % 7),
                          listing);

    std::ostringstream json_report;
    Write_Block_Listing_Json(json_report, "Fuzz.Challenge.Gbx", listing);
    Check_Json(listing, json_report.str(), mask);
    std::ostringstream text_report;
    Write_Block_Listing_Text(text_report, "Fuzz.Challenge.Gbx", listing);
    Check_Text(listing, text_report.str());
    return 0;
}
