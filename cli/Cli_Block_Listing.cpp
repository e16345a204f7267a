#include "cli/Cli_Block_Listing.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Output.h"

namespace plotvane {

namespace {

// Calls `write(place, index, file offset, block)` for every listed block, or every selected
// one, `place` counting the blocks written; then hands the output on after each.
template <typename TWrite>
void For_Each_Listed_Block(const TListed_Blocks& blocks, const TBlock_Selection* selection,
                           TOutput_Buffer& output, TWrite write)
{
    const std::size_t count = selection ? selection->size() : blocks.List.Block_Offsets.size();
    for (std::size_t place = 0; place < count; ++place) {
        const std::size_t i = selection ? (*selection)[place] : place;
        const auto block = Challenge_Read_Block_View(blocks.Image, blocks.List, i, blocks.Mask);
        // Never taken: the walk found every block whole in this very image, which nothing
        // changes. It keeps a listing whose image was changed from reading a stale record.
        if (!block) {
            break;
        }
        write(place, i, blocks.List.Block_Offsets[i] + blocks.File_Offset_Delta, *block);
        output.Item_Done();
    }
}

// Calls `write(place, index, file offset, block, before)` for each block of `candidates` that
// the walk lists and that `before` says changed, `place` counting the blocks written; then
// hands the output on after each.
template <typename TWrite>
void For_Each_Changed_Block(const TListed_Blocks& blocks, const TBlock_Selection& candidates,
                            const TBefore_If_Changed& before, TOutput_Buffer& output,
                            TWrite write)
{
    const std::size_t listed = blocks.List.Block_Offsets.size();
    std::size_t place = 0;
    TBlock_Before was;
    for (const std::uint32_t index : candidates) {
        if (index >= listed) {
            break;
        }
        const auto block = Challenge_Read_Block_View(blocks.Image, blocks.List, index, blocks.Mask);
        // Never taken, as in For_Each_Listed_Block.
        if (!block) {
            break;
        }
        if (before(index, *block, was)) {
            write(place++, index, blocks.List.Block_Offsets[index] + blocks.File_Offset_Delta,
                  *block, was);
            output.Item_Done();
        }
    }
}

// Room for all of a block's line or JSON object but its name: numbers take their longest form.
constexpr std::size_t Block_Room = 256;
// A name up to this long is written with the rest of its block after one test for room; a
// longer one goes in pieces.
constexpr std::size_t Short_Name = 1024;

// A line's number and offset: "Block 12 (0000FE0F".
char* Put_Block_Text_Place(char* at, std::size_t index, std::int64_t offset)
{
    at = put::Decimal(put::Text(at, "Block "), index);
    return put::Hexadecimal(put::Text(at, " ("), static_cast<std::uint64_t>(offset), 8);
}

// What follows the offset up to the name: ") reference #8: ".
char* Put_Block_Text_Name_Head(char* at, const TChallenge_Block_View& block)
{
    at = put::Text(at, block.Name_In_Place ? ") in place #" : ") reference #");
    at = put::Decimal(at, block.Name_Index);
    return put::Text(at, ": ");
}

// The eight bytes after "  rotation ", and the line's end.
char* Put_Block_Text_Bytes(char* at, const TChallenge_Block_View& block)
{
    at = put::Byte_Decimal(at, block.Rotation);
    at = put::Byte_Decimal(put::Text(at, "  x "), block.X);
    at = put::Byte_Decimal(put::Text(at, "  z "), block.Z);
    at = put::Byte_Decimal(put::Text(at, "  y "), block.Y);
    at = put::Text(at, "  variations");
    for (const std::uint8_t variation : block.Variations) {
        at = put::Byte_Decimal(put::Text(at, " "), variation);
    }
    return put::Text(at, "\n");
}

constexpr std::string_view Rotation_Head = "  rotation ";

void Write_Block_Text(TOutput_Buffer& output, std::size_t index, std::int64_t offset,
                      const TChallenge_Block_View& block)
{
    char* at = Put_Block_Text_Place(output.Begin(Block_Room + put::Printable_Growth * Short_Name),
                                    index, offset);
    at = Put_Block_Text_Name_Head(at, block);
    if (block.Name.size() <= Short_Name) {
        at = put::Printable(at, block.Name);
    } else {
        output.End(at);
        output.Printable(block.Name);
        at = output.Begin(Block_Room);
    }
    output.End(Put_Block_Text_Bytes(put::Text(at, Rotation_Head), block));
}

// Writes the lines of the text reports. What lies between a block's offset and its bytes
// (") reference #8: StadiumRoadMain  rotation ") follows from its name alone: made once for
// each name referred to, it is copied into the line of every block that refers to it, a
// million blocks referring to a few dozen names. A name written in place (one block's) is
// written as Write_Block_Text writes it, and so are all once the parts kept reach a limit.
class TBlock_Text_Writer {
public:
    explicit TBlock_Text_Writer(TOutput_Buffer& output) : output_(output) {}

    void Write(std::size_t index, std::int64_t offset, const TChallenge_Block_View& block)
    {
        const std::string* const middle = Middle_Of(block);
        if (middle == nullptr) {
            Write_Block_Text(output_, index, offset, block);
            return;
        }
        char* at = Put_Block_Text_Place(output_.Begin(Block_Room + middle->size()), index, offset);
        output_.End(Put_Block_Text_Bytes(put::Text(at, *middle), block));
    }

private:
    // The most the parts may hold together.
    static constexpr std::size_t Most_Kept = std::size_t{1} << 20;

    const std::string* Middle_Of(const TChallenge_Block_View& block)
    {
        if (block.Name_In_Place) {
            return nullptr;
        }
        // A reference's index is 16 bits wide.
        if (block.Name_Index >= slot_of_name_.size()) {
            slot_of_name_.resize(std::size_t{block.Name_Index} + 1);
        }
        std::uint32_t& slot = slot_of_name_[block.Name_Index];
        if (slot == 0) {
            if (kept_ + block.Name.size() > Most_Kept) {
                return nullptr;
            }
            std::string middle(Block_Room + put::Printable_Growth * block.Name.size(), '\0');
            char* const start = middle.data();
            char* at = put::Printable(Put_Block_Text_Name_Head(start, block), block.Name);
            middle.resize(static_cast<std::size_t>(put::Text(at, Rotation_Head) - start));
            kept_ += middle.size();
            middles_.push_back(std::move(middle));
            slot = static_cast<std::uint32_t>(middles_.size());
        }
        return &middles_[slot - 1];
    }

    TOutput_Buffer& output_;
    // Per name index, 1 + the place of its part in middles_; 0 while it has none.
    std::vector<std::uint32_t> slot_of_name_;
    std::vector<std::string> middles_;
    std::size_t kept_ = 0;
};

// Keys in the order that the report has always had. In the listing's array every object but
// the first follows a comma.
char* Put_Block_Json_Head(char* at, std::size_t index, std::int64_t offset, bool after_comma)
{
    at = put::Decimal(put::Text(at, after_comma ? ",{\"index\":" : "{\"index\":"), index);
    at = put::Decimal(put::Text(at, ",\"offset\":"), offset);
    return put::Text(at, ",\"name\":");
}

// The object's keys after its name; with `closed` false, the caller adds more keys and closes it.
char* Put_Block_Json_Tail(char* at, const TChallenge_Block_View& block, bool closed = true)
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
    return put::Text(at, closed ? "]}" : "]");
}

void Write_Block_Json(TOutput_Buffer& output, std::size_t index, std::int64_t offset,
                      const TChallenge_Block_View& block, bool after_comma, bool closed = true)
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
    output.End(Put_Block_Json_Tail(at, block, closed));
}

// The block objects of a JSON array, separated by commas.
void Write_Blocks_Json(TOutput_Buffer& output, const TListed_Blocks& blocks,
                       const TBlock_Selection* selection)
{
    For_Each_Listed_Block(blocks, selection, output,
                          [&](std::size_t place, std::size_t index, std::int64_t offset,
                              const TChallenge_Block_View& block) {
                              Write_Block_Json(output, index, offset, block, place != 0);
                          });
}

void Write_Block_Count(TOutput_Buffer& output, std::size_t count,
                       const TBlock_Selection* selection)
{
    if (selection) {
        output.Decimal(selection->size());
        output.Text(" of ");
    }
    output.Decimal(count);
}

} // namespace

TListed_Blocks Listed_Blocks(const TBlock_Listing& listing)
{
    return {listing.Image, listing.List, listing.Mask, listing.File_Offset_Delta};
}

void Write_Listed_Block_Text(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block, const TBlock_Before* before)
{
    TOutput_Buffer output(out);
    Write_Block_Text(output, index, offset, block);
    if (before) {
        output.Text("  before: ");
        Write_Block_Text(output, index, before->Offset, before->Block);
    }
    output.Flush();
}

void Write_Listed_Block_Json(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block, const TBlock_Before* before)
{
    TOutput_Buffer output(out);
    Write_Block_Json(output, index, offset, block, false, before == nullptr);
    if (before) {
        output.Text(",\"before\":");
        Write_Block_Json(output, index, before->Offset, before->Block, false);
        output.Character('}');
    }
    output.Character('\n');
    output.Flush();
}

void Write_Block_Listing_Text(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing, const TBlock_Selection* selection)
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
    Write_Block_Count(output, listing.List.Block_Offsets.size(), selection);
    if (!listing.List.Complete) {
        output.Text(" (incomplete: the walk stopped before the end of the list)");
    }
    output.Character('\n');
    TBlock_Text_Writer writer(output);
    For_Each_Listed_Block(Listed_Blocks(listing), selection, output,
                          [&](std::size_t, std::size_t index, std::int64_t offset,
                              const TChallenge_Block_View& block) {
                              writer.Write(index, offset, block);
                          });
    if (!listing.List.Complete) {
        output.Text("The block list is incomplete: only the blocks above could be read.\n");
    }
    output.Flush();
}

void Write_Block_Listing_Json(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing, const TBlock_Selection* selection)
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
    if (selection) {
        output.Text(",\"selected_count\":");
        output.Decimal(selection->size());
    }
    output.Text(",\"complete\":");
    output.Json_Bool(listing.List.Complete);
    output.Text(",\"blocks\":[");
    Write_Blocks_Json(output, Listed_Blocks(listing), selection);
    output.Text("]}\n");
    output.Flush();
}

void Write_Changed_Blocks_Text(std::ostream& out, const TListed_Blocks& blocks,
                               const TBlock_Selection& candidates,
                               const TBefore_If_Changed& before)
{
    TOutput_Buffer output(out);
    // One writer for each side: a rename in place gives a name index another text.
    TBlock_Text_Writer after_writer(output);
    TBlock_Text_Writer before_writer(output);
    For_Each_Changed_Block(blocks, candidates, before, output,
                           [&](std::size_t, std::size_t index, std::int64_t offset,
                               const TChallenge_Block_View& block, const TBlock_Before& was) {
                               after_writer.Write(index, offset, block);
                               output.Text("  before: ");
                               before_writer.Write(index, was.Offset, was.Block);
                           });
    output.Flush();
}

namespace {

// The start of an edit's JSON report: the file, the backup made (null when none was) and the
// key of the array of blocks that follows.
void Write_Report_Head(TOutput_Buffer& output, const std::string& path,
                       const std::optional<std::string>& backup, const char* key)
{
    output.Text("{\"file\":");
    output.Json_String(path);
    output.Text(",\"backup\":");
    if (backup) {
        output.Json_String(*backup);
    } else {
        output.Text("null");
    }
    output.Text(",\"");
    output.Text(key);
    output.Text("\":[");
}

} // namespace

void Write_Edit_Report_Json(std::ostream& out, const std::string& path,
                            const std::optional<std::string>& backup,
                            const TListed_Blocks& blocks, const TBlock_Selection& candidates,
                            const TBefore_If_Changed& before)
{
    TOutput_Buffer output(out);
    Write_Report_Head(output, path, backup, "changed");
    For_Each_Changed_Block(blocks, candidates, before, output,
                           [&](std::size_t place, std::size_t index, std::int64_t offset,
                               const TChallenge_Block_View& block, const TBlock_Before& was) {
                               Write_Block_Json(output, index, offset, block, place != 0, false);
                               output.Text(",\"before\":");
                               Write_Block_Json(output, index, was.Offset, was.Block, false);
                               output.Character('}');
                           });
    output.Text("]}\n");
    output.Flush();
}

void Write_Block_Report(std::ostream& out, bool json, const std::string& path,
                        const std::optional<std::string>& backup, const char* key,
                        const TBlock_Selection& blocks, const TBlocks_Before& block_of)
{
    TOutput_Buffer output(out);
    if (json) {
        Write_Report_Head(output, path, backup, key);
    }
    for (std::size_t place = 0; place < blocks.size(); ++place) {
        const TBlock_Before shown = block_of(blocks[place]);
        if (json) {
            Write_Block_Json(output, blocks[place], shown.Offset, shown.Block, place != 0);
        } else {
            Write_Block_Text(output, blocks[place], shown.Offset, shown.Block);
        }
        output.Item_Done();
    }
    if (json) {
        output.Text("]}\n");
    }
    output.Flush();
}

} // namespace plotvane
