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

void Write_Block_Text(TOutput_Buffer& output, std::size_t index, std::int64_t offset,
                      const TChallenge_Block_View& block)
{
    output.Text("Block ");
    output.Decimal(index);
    output.Text(" (");
    output.Hexadecimal(static_cast<std::uint64_t>(offset), 8);
    output.Text(block.Name_In_Place ? ") in place #" : ") reference #");
    output.Decimal(block.Name_Index);
    output.Text(": ");
    output.Printable(block.Name);
    output.Text("  rotation ");
    output.Decimal(block.Rotation);
    output.Text("  x ");
    output.Decimal(block.X);
    output.Text("  z ");
    output.Decimal(block.Z);
    output.Text("  y ");
    output.Decimal(block.Y);
    output.Text("  variations");
    for (const std::uint8_t variation : block.Variations) {
        output.Character(' ');
        output.Decimal(variation);
    }
    output.Character('\n');
}

// Keys in the order that the report has always had.
void Write_Block_Json(TOutput_Buffer& output, std::size_t index, std::int64_t offset,
                      const TChallenge_Block_View& block)
{
    output.Text(index == 0 ? "{\"index\":" : ",{\"index\":");
    output.Decimal(index);
    output.Text(",\"offset\":");
    output.Decimal(offset);
    output.Text(",\"name\":");
    output.Json_String(block.Name);
    output.Text(",\"name_in_place\":");
    output.Json_Bool(block.Name_In_Place);
    output.Text(",\"name_index\":");
    output.Decimal(block.Name_Index);
    output.Text(",\"rotation\":");
    output.Decimal(block.Rotation);
    output.Text(",\"x\":");
    output.Decimal(block.X);
    output.Text(",\"z\":");
    output.Decimal(block.Z);
    output.Text(",\"y\":");
    output.Decimal(block.Y);
    output.Text(",\"variations\":[");
    for (std::size_t i = 0; i < block.Variations.size(); ++i) {
        if (i != 0) {
            output.Character(',');
        }
        output.Decimal(block.Variations[i]);
    }
    output.Text("]}");
}

} // namespace

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
                              Write_Block_Json(output, index, offset, block);
                          });
    output.Text("]}\n");
    output.Flush();
}

} // namespace plotvane
