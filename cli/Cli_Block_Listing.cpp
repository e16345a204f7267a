#include "cli/Cli_Block_Listing.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Output.h"

namespace plotvane {

namespace {

// Calls `write(index, file offset, block)` for every listed block, then hands the output on
// after each.
template <typename TWrite>
void For_Each_Listed_Block(const TBlock_Listing& listing, TOutput_Buffer& output, TWrite write)
{
    for (std::size_t i = 0; i < listing.List.Block_Offsets.size(); ++i) {
        const auto block =
            Challenge_Read_Block_View(listing.Image, listing.List, i, listing.Mask);
        // Never taken: the walk found every block whole in this very image, which nothing
        // changes. It keeps a listing whose image was changed from reading a stale record.
        if (!block) {
            break;
        }
        write(i, listing.List.Block_Offsets[i] + listing.File_Offset_Delta, *block);
        output.Item_Done();
    }
}

// Room for all of a block's line or JSON object but its name: numbers take their longest form.
constexpr std::size_t Block_Room = 256;
// A name up to this long is written with the rest of its block after one test for room; a
// longer one goes in pieces.
constexpr std::size_t Short_Name = 1024;

char* Put_Block_Text_Head(char* at, std::size_t index, std::int64_t offset,
                          const TChallenge_Block_View& block)
{
    at = put::Decimal(put::Text(at, "Block "), index);
    at = put::Hexadecimal(put::Text(at, " ("), static_cast<std::uint64_t>(offset), 8);
    at = put::Text(at, block.Name_In_Place ? ") in place #" : ") reference #");
    at = put::Decimal(at, block.Name_Index);
    return put::Text(at, ": ");
}

char* Put_Block_Text_Tail(char* at, const TChallenge_Block_View& block)
{
    at = put::Decimal(put::Text(at, "  rotation "), block.Rotation);
    at = put::Decimal(put::Text(at, "  x "), block.X);
    at = put::Decimal(put::Text(at, "  z "), block.Z);
    at = put::Decimal(put::Text(at, "  y "), block.Y);
    at = put::Text(at, "  variations");
    for (const std::uint8_t variation : block.Variations) {
        at = put::Decimal(put::Text(at, " "), variation);
    }
    return put::Text(at, "\n");
}

void Write_Block_Text(TOutput_Buffer& output, std::size_t index, std::int64_t offset,
                      const TChallenge_Block_View& block)
{
    char* at = Put_Block_Text_Head(output.Begin(Block_Room + put::Printable_Growth * Short_Name),
                                   index, offset, block);
    if (block.Name.size() <= Short_Name) {
        at = put::Printable(at, block.Name);
    } else {
        output.End(at);
        output.Printable(block.Name);
        at = output.Begin(Block_Room);
    }
    output.End(Put_Block_Text_Tail(at, block));
}

// Keys in the order that the report has always had. In the listing's array every object but
// the first follows a comma.
char* Put_Block_Json_Head(char* at, std::size_t index, std::int64_t offset, bool after_comma)
{
    at = put::Decimal(put::Text(at, after_comma ? ",{\"index\":" : "{\"index\":"), index);
    at = put::Decimal(put::Text(at, ",\"offset\":"), offset);
    return put::Text(at, ",\"name\":");
}

char* Put_Block_Json_Tail(char* at, const TChallenge_Block_View& block)
{
    at = put::Text(at, block.Name_In_Place ? ",\"name_in_place\":true" : ",\"name_in_place\":false");
    at = put::Decimal(put::Text(at, ",\"name_index\":"), block.Name_Index);
    at = put::Decimal(put::Text(at, ",\"rotation\":"), block.Rotation);
    at = put::Decimal(put::Text(at, ",\"x\":"), block.X);
    at = put::Decimal(put::Text(at, ",\"z\":"), block.Z);
    at = put::Decimal(put::Text(at, ",\"y\":"), block.Y);
    at = put::Decimal(put::Text(at, ",\"variations\":["), block.Variations[0]);
    for (std::size_t i = 1; i < block.Variations.size(); ++i) {
        at = put::Decimal(put::Text(at, ","), block.Variations[i]);
    }
    return put::Text(at, "]}");
}

void Write_Block_Json(TOutput_Buffer& output, std::size_t index, std::int64_t offset,
                      const TChallenge_Block_View& block, bool after_comma)
{
    char* at = Put_Block_Json_Head(output.Begin(Block_Room + 2 + Short_Name), index, offset,
                                   after_comma);
    if (block.Name.size() <= Short_Name && put::Is_Plain_Json(block.Name)) {
        at = put::Plain_Json_String(at, block.Name);
    } else {
        output.End(at);
        output.Json_String(block.Name);
        at = output.Begin(Block_Room);
    }
    output.End(Put_Block_Json_Tail(at, block));
}

} // namespace

void Write_Listed_Block_Text(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block)
{
    TOutput_Buffer output(out);
    Write_Block_Text(output, index, offset, block);
    output.Flush();
}

void Write_Listed_Block_Json(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block)
{
    TOutput_Buffer output(out);
    Write_Block_Json(output, index, offset, block, false);
    output.Character('\n');
    output.Flush();
}

void Write_Block_Listing_Text(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing)
{
    TOutput_Buffer output(out);
    output.Text("File: ");
    output.Text(path);
    output.Text("\nAuthor: ");
    if (listing.Author.empty()) {
        output.Text("(none)");
    } else {
        output.Printable(listing.Author);
    }
    output.Text("\nCollection: ");
    output.Printable(listing.List.Collection_Name);
    output.Text("\nBlock count: ");
    output.Decimal(listing.List.Block_Offsets.size());
    if (!listing.List.Complete) {
        output.Text(" (incomplete: the walk stopped before the end of the list)");
    }
    output.Character('\n');
    For_Each_Listed_Block(listing, output,
                          [&](std::size_t index, std::int64_t offset,
                              const TChallenge_Block_View& block) {
                              Write_Block_Text(output, index, offset, block);
                          });
    if (!listing.List.Complete) {
        output.Text("The block list is incomplete: only the blocks above could be read.\n");
    }
    output.Flush();
}

void Write_Block_Listing_Json(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing)
{
    TOutput_Buffer output(out);
    output.Text("{\"file\":");
    output.Json_String(path);
    output.Text(",\"author\":");
    output.Json_String(listing.Author);
    output.Text(",\"collection\":");
    output.Json_String(listing.List.Collection_Name);
    output.Text(",\"block_count\":");
    output.Decimal(listing.List.Block_Offsets.size());
    output.Text(",\"complete\":");
    output.Json_Bool(listing.List.Complete);
    output.Text(",\"blocks\":[");
    For_Each_Listed_Block(listing, output,
                          [&](std::size_t index, std::int64_t offset,
                              const TChallenge_Block_View& block) {
                              Write_Block_Json(output, index, offset, block, index != 0);
                          });
    output.Text("]}\n");
    output.Flush();
}

} // namespace plotvane
