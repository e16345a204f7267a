#include "challenge/Gbx_Challenge_Read.h"

#include "challenge/Gbx_Profile_Structure.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_Tools.h"

#include <algorithm>
#include <array>
#include <set>

namespace plotvane {

namespace {

// The author login is the third of three indexed strings that begin here, 94 bytes into the
// header's user data.
constexpr std::uint32_t Author_Strings_Offset = 111;
constexpr std::uint32_t User_Data_Size_Offset = 13;
// A leading entry of the body with this value holds no string.
constexpr std::uint32_t Unset_Entry = 0xFFFFFFFF;
// Class id of the skin node that an author record may carry.
constexpr std::uint32_t Attached_Record_Marker = 0x03059000;
// Class id of a waypoint node, which is also the id of its one chunk of its own.
constexpr std::uint32_t Waypoint_Class_Id = 0x2E009000;
// Follows a chunk id when the chunk gives its size ("SKIP").
constexpr std::uint32_t Skippable_Chunk_Marker = 0x534B4950;
// Ends the chunks of a node.
constexpr std::uint32_t Node_End_Marker = 0xFACADE01;
// Rotation, X, Z, Y, then the four variations.
constexpr std::uint32_t Block_Position_Bytes = 4;
constexpr std::uint32_t Block_Field_Bytes = 8;
// A referenced name and the eight bytes: the least room that a block record takes.
constexpr std::uint32_t Smallest_Block_Record = 4 + Block_Field_Bytes;
// Skipped at fixed places on the way to the block count.
constexpr std::uint32_t Node_And_Reference_Counts = 8;
constexpr std::uint32_t Size_Fields_And_Body_Start = 12;
constexpr std::uint32_t Fixed_Block_After_Entries = 96;
constexpr int Length_Prefixed_Groups = 4;
constexpr std::uint32_t Group_Lead = 8;
constexpr std::uint32_t Skip_Before_Strings = 4;
constexpr int Decoration_Strings = 3;
// The challenge's size (three 32-bit values), then 8 more bytes.
constexpr std::uint32_t Fixed_Block_Before_Count = 20;

// A cursor over a masked image that tests every read and skip against what is left before
// making it, up to `end` (the whole image unless told). A step that does not fit answers false
// and leaves the cursor where it was.
class TImage_Cursor {
public:
    TImage_Cursor(const TFlexible_Byte_Array& image, std::uint32_t position,
                  const TMemory_Mask& mask)
        : TImage_Cursor(image, position, mask, image.size())
    {
    }

    TImage_Cursor(const TFlexible_Byte_Array& image, std::uint32_t position,
                  const TMemory_Mask& mask, std::uint64_t end)
        : image_(image), position_(position), end_(std::min<std::uint64_t>(end, image.size())),
          mask_(mask)
    {
    }

    std::uint32_t Position() const { return position_; }

    std::uint32_t Remaining() const
    {
        return position_ < end_ ? static_cast<std::uint32_t>(end_ - position_) : 0;
    }

    bool Skip(std::uint64_t count)
    {
        if (!Fits(position_, count)) {
            return false;
        }
        position_ += static_cast<std::uint32_t>(count);
        return true;
    }

    bool Peek_Value(std::uint32_t& value) const
    {
        if (!Fits(position_, 4)) {
            return false;
        }
        value = Value_At(position_);
        return true;
    }

    bool Read_Value(std::uint32_t& value) { return Peek_Value(value) && Skip(4); }

    // `count` bytes, unmasked, after one bound test.
    bool Read_Bytes(std::uint8_t* bytes, std::uint32_t count)
    {
        if (!Fits(position_, count)) {
            return false;
        }
        const std::uint8_t* stored = image_.data() + position_;
        for (std::uint32_t i = 0; i < count; ++i) {
            bytes[i] = static_cast<std::uint8_t>(stored[i] ^ mask_);
        }
        position_ += count;
        return true;
    }

    bool Skip_Length_Prefixed()
    {
        std::uint32_t length = 0;
        return Peek_Value(length) && Skip(4 + std::uint64_t{length});
    }

    // The indexed string at the cursor and its size, when all of it lies in the image.
    bool Peek_Indexed_String(TGbx_Indexed_String& string, std::uint64_t& size) const
    {
        std::uint32_t value = 0;
        if (!Peek_Value(value)) {
            return false;
        }
        size = 4;
        if (Is_Reference(value)) {
            string = {value & 0xFFFF, value >> 16, {}};
            return true;
        }
        if (!Fits(std::uint64_t{position_} + 4, 4)) {
            return false;
        }
        const std::uint32_t length = Value_At(position_ + 4);
        size = 8 + std::uint64_t{length};
        // Read_Chars gives a text only when it ends before the image's last byte.
        if (!Fits(position_, size) ||
            !Bytes_Available(image_, position_, size + (length != 0 ? 1 : 0))) {
            return false;
        }
        std::uint32_t at = position_;
        string = Gbx_Read_Indexed_String(image_, at, false, mask_);
        return true;
    }

    bool Read_Indexed_String(TGbx_Indexed_String& string)
    {
        std::uint64_t size = 0;
        return Peek_Indexed_String(string, size) && Skip(size);
    }

    // The low 16 bits of an indexed string's value are 0 when its text follows in place.
    static bool Is_Reference(std::uint32_t value) { return (value & 0xFFFF) != 0; }

private:
    bool Fits(std::uint64_t position, std::uint64_t count) const
    {
        return position <= end_ && count <= end_ - position;
    }

    // A 32-bit value, after the caller's bound test.
    std::uint32_t Value_At(std::uint32_t position) const
    {
        return Read_DWord(image_, position, false, mask_);
    }

    const TFlexible_Byte_Array& image_;
    std::uint32_t position_;
    std::uint64_t end_;
    const TMemory_Mask& mask_;
};

// Where an expanded image's body ends: before the stream's end marker that follows it, so that
// a body cut short is never read on into the marker. The whole image when the header does not
// say where the body lies inside it.
std::uint64_t Body_End(const TFlexible_Byte_Array& image, const TMemory_Mask& mask)
{
    const TGbx_Compression_Info info = Gbx_Get_Compression_Info(image, mask);
    const std::uint64_t end = std::uint64_t{info.Data_Offset} + info.Uncompressed_Size;
    return info.Data_Offset != 0 && end <= image.size() ? end : image.size();
}

std::uint32_t Last_String_Index(const TTMF_Challenge_Block_Address_List& list)
{
    return static_cast<std::uint32_t>(list.String_Table.size() - 1);
}

// A reference past the end of the table names an empty text, which matches nothing.
const std::string& Referenced_Text(const TTMF_Challenge_Block_Address_List& list,
                                   std::uint32_t index)
{
    static const std::string no_text;
    return index < list.String_Table.size() ? list.String_Table[index] : no_text;
}

const std::string& Text_Of(const TTMF_Challenge_Block_Address_List& list,
                           const TGbx_Indexed_String& string)
{
    return string.Index == 0 ? string.Text : Referenced_Text(list, string.Index);
}

// A text written in place takes the next String_Table index, also when it is empty.
void Number_Text(TTMF_Challenge_Block_Address_List& list, const TGbx_Indexed_String& string)
{
    if (string.Index == 0) {
        list.String_Table.push_back(string.Text);
    }
}

bool Read_String(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list,
                 TGbx_Indexed_String& string)
{
    if (!cursor.Read_Indexed_String(string)) {
        return false;
    }
    Number_Text(list, string);
    return true;
}

bool Read_Strings(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list, int count)
{
    TGbx_Indexed_String string;
    for (int i = 0; i < count; ++i) {
        if (!Read_String(cursor, list, string)) {
            return false;
        }
    }
    return true;
}

// A count, then that many entries, each an indexed string or the unset value.
bool Walk_Leading_Entries(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list)
{
    std::uint32_t count = 0;
    if (!cursor.Read_Value(count)) {
        return false;
    }
    TGbx_Indexed_String entry;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t value = 0;
        if (!cursor.Peek_Value(value)) {
            return false;
        }
        if (value == Unset_Entry ? !cursor.Skip(4) : !Read_String(cursor, list, entry)) {
            return false;
        }
    }
    return true;
}

// From the user data size to the start of the collection name, noting the size fields.
bool Walk_To_Collection(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list)
{
    std::uint32_t user_data_size = 0;
    if (!cursor.Read_Value(user_data_size) ||
        !cursor.Skip(std::uint64_t{user_data_size} + Node_And_Reference_Counts)) {
        return false;
    }
    list.Size_Fields_Offset = cursor.Position();
    if (!cursor.Skip(Size_Fields_And_Body_Start) || !Walk_Leading_Entries(cursor, list) ||
        !cursor.Skip(Fixed_Block_After_Entries)) {
        return false;
    }
    for (int i = 0; i < Length_Prefixed_Groups; ++i) {
        if (!cursor.Skip(Group_Lead) || !cursor.Skip_Length_Prefixed()) {
            return false;
        }
    }
    return cursor.Skip(Skip_Before_Strings) && Read_Strings(cursor, list, 1);
}

// From the collection name to the block count, which is left under the cursor.
bool Walk_To_Block_Count(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list)
{
    if (!Walk_To_Collection(cursor, list)) {
        return false;
    }
    TGbx_Indexed_String collection;
    if (!Read_String(cursor, list, collection)) {
        return false;
    }
    list.Collection_Name = Text_Of(list, collection);
    if (!Read_Strings(cursor, list, 1) || !cursor.Skip_Length_Prefixed() ||
        !Read_Strings(cursor, list, Decoration_Strings)) {
        return false;
    }
    std::array<std::uint32_t, 3> size{};
    for (std::uint32_t& value : size) {
        if (!cursor.Read_Value(value)) {
            return false;
        }
    }
    list.Challenge_Size = size;
    return cursor.Skip(Fixed_Block_Before_Count - sizeof(size));
}

// A file part is a single zero value when empty, otherwise two length-prefixed fields.
bool Step_Over_File_Part(TImage_Cursor& cursor)
{
    std::uint32_t first = 0;
    if (!cursor.Peek_Value(first)) {
        return false;
    }
    return first == 0 ? cursor.Skip(4) : cursor.Skip_Length_Prefixed() &&
                                             cursor.Skip_Length_Prefixed();
}

// The marker and the 4 bytes after it, a length-prefixed field, then two file parts each
// after one byte, then 4 closing bytes.
bool Step_Over_Attached_Record(TImage_Cursor& cursor)
{
    return cursor.Skip(8) && cursor.Skip_Length_Prefixed() && cursor.Skip(1) &&
           Step_Over_File_Part(cursor) && cursor.Skip(1) && Step_Over_File_Part(cursor) &&
           cursor.Skip(4);
}

// A node reference is -1 for none, else the number of a node; the node itself follows the
// first reference to its number in the file.
class TNode_Numbers {
public:
    // True when a node follows the reference `value`; notes its number as seen.
    bool Node_Follows(std::uint32_t value)
    {
        if (value == No_Node) {
            return false;
        }
        return seen_.insert(value).second;
    }

private:
    static constexpr std::uint32_t No_Node = 0xFFFFFFFF;
    std::set<std::uint32_t> seen_;
};

// A waypoint chunk's version, then a spawn number and an order, or a tag text and an order.
bool Step_Over_Waypoint_Chunk(TImage_Cursor& cursor)
{
    std::uint32_t version = 0;
    if (!cursor.Read_Value(version)) {
        return false;
    }
    switch (version) {
    case 1:
        return cursor.Skip(8);
    case 2:
        return cursor.Skip_Length_Prefixed() && cursor.Skip(4);
    default:
        return false;
    }
}

// A waypoint node: its class id, then chunks up to the end marker. The one chunk of its own
// holds a version, then a spawn number and an order (version 1) or a tag text and an order
// (version 2); a chunk marked skippable carries its size.
bool Step_Over_Waypoint_Node(TImage_Cursor& cursor)
{
    std::uint32_t class_id = 0;
    if (!cursor.Read_Value(class_id) || class_id != Waypoint_Class_Id) {
        return false;
    }
    for (;;) {
        std::uint32_t chunk_id = 0;
        if (!cursor.Read_Value(chunk_id)) {
            return false;
        }
        if (chunk_id == Node_End_Marker) {
            return true;
        }
        std::uint32_t value = 0;
        if (!cursor.Peek_Value(value)) {
            return false;
        }
        if (value == Skippable_Chunk_Marker) {
            if (!cursor.Skip(4) || !cursor.Skip_Length_Prefixed()) {
                return false;
            }
        } else if (chunk_id != Waypoint_Class_Id || !Step_Over_Waypoint_Chunk(cursor)) {
            return false;
        }
    }
}

// The author string and the skin node reference, with the skin node when new; then, with the
// waypoint flag also set, the waypoint node reference, with the waypoint node when new.
bool Read_Author_Record(TImage_Cursor& cursor, TNode_Numbers& nodes, bool has_waypoint,
                        TGbx_Indexed_String& author, TAuthor_Record& record)
{
    record.String_Offset = cursor.Position();
    if (!cursor.Read_Indexed_String(author) || !cursor.Read_Value(record.Skin_Node)) {
        return false;
    }
    record.String_Index = author.Index;
    record.Skin_Node_Brought = nodes.Node_Follows(record.Skin_Node);
    if (record.Skin_Node_Brought) {
        std::uint32_t class_id = 0;
        if (!cursor.Peek_Value(class_id) || class_id != Attached_Record_Marker ||
            !Step_Over_Attached_Record(cursor)) {
            return false;
        }
    }
    if (!has_waypoint) {
        return true;
    }
    record.Waypoint_Node.emplace();
    if (!cursor.Read_Value(*record.Waypoint_Node)) {
        return false;
    }
    record.Waypoint_Node_Brought = nodes.Node_Follows(*record.Waypoint_Node);
    return !record.Waypoint_Node_Brought || Step_Over_Waypoint_Node(cursor);
}

bool Step_Over_Author_Record(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list,
                             TNode_Numbers& nodes, bool has_waypoint)
{
    TGbx_Indexed_String author;
    TAuthor_Record record;
    if (!Read_Author_Record(cursor, nodes, has_waypoint, author, record)) {
        return false;
    }
    Number_Text(list, author);
    return true;
}

// Walks one block record; the block is listed only once all of it has been walked. A list may
// hold a million blocks, nearly all named by reference: a referenced name is taken from its
// 4 bytes alone, and only a text in place goes through the string reader. `counted` tells
// whether the game counts the record as a block.
bool Walk_Block(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list,
                TNode_Numbers& nodes, bool first, bool& counted)
{
    const std::uint32_t offset = cursor.Position();
    std::uint32_t name_value = 0;
    if (!cursor.Peek_Value(name_value)) {
        return false;
    }
    if (TImage_Cursor::Is_Reference(name_value)) {
        // A block refers to a text written before it. A reference past those is no block's:
        // a count that no longer covers the list reads on into what follows it.
        if ((name_value & 0xFFFF) >= list.String_Table.size()) {
            return false;
        }
        cursor.Skip(4); // fits: the value was just read there
    } else {
        TGbx_Indexed_String name;
        if (!cursor.Read_Indexed_String(name)) {
            return false;
        }
        Number_Text(list, name);
        if (first) {
            list.First_Block_Name_Index = Last_String_Index(list);
        }
    }
    std::uint32_t flags = 0;
    if (!cursor.Skip(Block_Position_Bytes) || !cursor.Read_Value(flags)) {
        return false;
    }
    const std::uint32_t last_string_index = Last_String_Index(list);
    counted = flags != Uncounted_Record_Flags;
    if (counted && (flags & Author_Record_Flag) != 0 &&
        !Step_Over_Author_Record(cursor, list, nodes, (flags & Waypoint_Flag) != 0)) {
        return false;
    }
    list.Block_Offsets.push_back(offset);
    list.Last_String_Indexes.push_back(last_string_index);
    return true;
}

bool Walked_Block(const TTMF_Challenge_Block_Address_List& list, std::size_t index)
{
    return index < list.Block_Offsets.size() && index < list.Last_String_Indexes.size();
}

// The eight bytes that follow a block's name.
template <typename TName>
bool Read_Block_Fields(TImage_Cursor& cursor, TChallenge_Block_Of<TName>& block)
{
    std::uint8_t fields[Block_Field_Bytes];
    if (!cursor.Read_Bytes(fields, Block_Field_Bytes)) {
        return false;
    }
    block.Rotation = fields[0];
    block.X = fields[1];
    block.Z = fields[2];
    block.Y = fields[3];
    std::copy(fields + 4, fields + 8, block.Variations.begin());
    return true;
}

bool Read_Block_View(const TFlexible_Byte_Array& image,
                     const TTMF_Challenge_Block_Address_List& list, std::size_t index,
                     const TMemory_Mask& mask, TChallenge_Block_View& block)
{
    if (!Walked_Block(list, index)) {
        return false;
    }
    TImage_Cursor cursor(image, list.Block_Offsets[index], mask);
    std::uint32_t value = 0;
    if (!cursor.Read_Value(value)) {
        return false;
    }
    block.Name_In_Place = !TImage_Cursor::Is_Reference(value);
    if (block.Name_In_Place) {
        // The walk numbered this very text, so the table holds it; its length in the image
        // tells whether the image still matches the walk.
        block.Name_Index = list.Last_String_Indexes[index];
        std::uint32_t length = 0;
        if (block.Name_Index >= list.String_Table.size() || !cursor.Read_Value(length) ||
            length != list.String_Table[block.Name_Index].size() || !cursor.Skip(length)) {
            return false;
        }
        block.Name = list.String_Table[block.Name_Index];
    } else {
        block.Name_Index = value & 0xFFFF;
        block.Name = Referenced_Text(list, block.Name_Index);
    }
    return Read_Block_Fields(cursor, block);
}

bool Walk_Blocks(TImage_Cursor& cursor, TTMF_Challenge_Block_Address_List& list)
{
    std::uint32_t block_count = 0;
    const std::uint32_t count_offset = cursor.Position();
    if (!cursor.Read_Value(block_count)) {
        return false;
    }
    list.Block_Count_Offset = count_offset;
    // A hostile count must not size the arrays beyond what the image can hold.
    const std::uint32_t room = cursor.Remaining() / Smallest_Block_Record;
    list.Block_Offsets.reserve(std::min(block_count, room));
    list.Last_String_Indexes.reserve(std::min(block_count, room));
    // The game reads records until it has counted `block_count` of them.
    TNode_Numbers nodes;
    for (std::uint32_t counted_blocks = 0; counted_blocks < block_count;) {
        bool counted = false;
        if (!Walk_Block(cursor, list, nodes, list.Block_Offsets.empty(), counted)) {
            return false;
        }
        counted_blocks += counted ? 1 : 0;
    }
    list.Block_List_End = cursor.Position();
    return true;
}

} // namespace

const char* const No_Author_Text =
    "The challenge names no author (older or edited challenges may not), so it cannot be told "
    "to be one of your own";

void Challenge_Read_Author(const TFlexible_Byte_Array& image, const TMemory_Mask& mask,
                           std::string& author)
{
    TImage_Cursor cursor(image, Author_Strings_Offset, mask);
    TGbx_Indexed_String login;
    for (int i = 0; i < 3; ++i) {
        if (!cursor.Read_Indexed_String(login)) {
            return;
        }
    }
    if (login.Index == 0 && !login.Text.empty()) {
        author = login.Text;
    }
}

bool Challenge_Author_Is_Listed(const TFlexible_Byte_Array& image,
                                const std::vector<std::string>& logins,
                                const TMemory_Mask& mask)
{
    std::string author;
    Challenge_Read_Author(image, mask, author);
    if (author.empty()) {
        return false;
    }
    // Lower-casing first changes nothing under a comparison that ignores letter case.
    return std::any_of(logins.begin(), logins.end(), [&](const std::string& login) {
        return Compare_Text_Ignoring_Case(author, login) == 0;
    });
}

TTMF_Challenge_Block_Address_List Challenge_Read_Block_List(const TFlexible_Byte_Array& image,
                                                            const TMemory_Mask& mask)
{
    TTMF_Challenge_Block_Address_List list;
    TImage_Cursor cursor(image, User_Data_Size_Offset, mask, Body_End(image, mask));
    list.Complete = Walk_To_Block_Count(cursor, list) && Walk_Blocks(cursor, list);
    return list;
}

std::optional<TChallenge_Block> Challenge_Read_Block(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    std::size_t index, const TMemory_Mask& mask)
{
    if (!Walked_Block(list, index)) {
        return std::nullopt;
    }
    TImage_Cursor cursor(image, list.Block_Offsets[index], mask);
    TGbx_Indexed_String name;
    TChallenge_Block block;
    if (!cursor.Read_Indexed_String(name) || !Read_Block_Fields(cursor, block)) {
        return std::nullopt;
    }
    block.Name_In_Place = name.Index == 0;
    // An in-place name is the last text that the walk had numbered at this block.
    block.Name_Index = block.Name_In_Place ? list.Last_String_Indexes[index] : name.Index;
    block.Name = Text_Of(list, name);
    return block;
}

std::optional<TChallenge_Block_View> Challenge_Read_Block_View(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    std::size_t index, const TMemory_Mask& mask)
{
    // Filled where it is returned: a million blocks are listed through here, and a copy of a
    // block just written byte by byte costs more than reading it.
    std::optional<TChallenge_Block_View> block(std::in_place);
    if (!Read_Block_View(image, list, index, mask, *block)) {
        block.reset();
    }
    return block;
}

std::optional<std::vector<TAuthor_Record>> Challenge_Read_Author_Records(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    const TMemory_Mask& mask)
{
    std::vector<TAuthor_Record> records;
    TNode_Numbers nodes;
    const std::uint64_t body_end = Body_End(image, mask);
    for (std::size_t index = 0; index < list.Block_Offsets.size(); ++index) {
        const std::optional<std::uint32_t> fields =
            Challenge_Block_Fields_Offset(image, list, index, mask);
        if (!fields) {
            return std::nullopt;
        }
        // The flag's byte alone first: a million records without one cost one byte each.
        constexpr std::uint32_t Author_Flag_Byte = Block_Position_Bytes + 1;
        if (((image[*fields + Author_Flag_Byte] ^ mask) & (Author_Record_Flag >> 8)) == 0) {
            continue;
        }
        std::uint32_t flags_offset = *fields + Block_Position_Bytes;
        const std::uint32_t flags = Read_DWord(image, flags_offset, false, mask);
        if (flags == Uncounted_Record_Flags) {
            continue;
        }
        TImage_Cursor cursor(image, *fields + Block_Field_Bytes, mask, body_end);
        TGbx_Indexed_String author;
        TAuthor_Record& record = records.emplace_back();
        record.Block = static_cast<std::uint32_t>(index);
        if (!Read_Author_Record(cursor, nodes, (flags & Waypoint_Flag) != 0, author, record)) {
            return std::nullopt;
        }
    }
    return records;
}

} // namespace plotvane
