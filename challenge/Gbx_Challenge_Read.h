#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"
#include "memory/Memory_Tools.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plotvane {

// Assigns the author login of a challenge (the third indexed string at offset 111 of the
// header's user data) to `author`, as stored, when it is written in place with a non-empty text;
// otherwise `author` keeps what the caller passed. Reads nothing outside the image.
void Challenge_Read_Author(const TFlexible_Byte_Array& image, const TMemory_Mask& mask,
                           std::string& author);

// Why a challenge without an author login (an older or edited file) is not taken as one's own.
extern const char* const No_Author_Text;

// True when the challenge's author (as Challenge_Read_Author reads it, the letters A to Z
// lower-cased) is one of `logins`, compared as a whole item without regard to letter case.
// This is the rule of Open, Reload, the command-line conversion and `plotvane-cli set`. A
// challenge whose login cannot be read is never one's own, even if `logins` holds "".
bool Challenge_Author_Is_Listed(const TFlexible_Byte_Array& image,
                                const std::vector<std::string>& logins,
                                const TMemory_Mask& mask);

// Walks an expanded challenge image from its header to the end of its block list. Each block
// record is read as the game reads it, from its flags (its four variation bytes): an author
// record follows only where they say so, and a record with all four bytes 255 is listed but not
// counted towards the block count, so the walk reads records until it has counted that many.
// A block's name never changes how the list is read. Every read,
// look-ahead included, must lie wholly inside the image (a text must end before the image's
// last byte, as Read_Chars requires); where one would not, the walk stops and returns what it
// built, with Complete false. It stops so too at a record whose name refers past the texts
// read so far: such a record lies past the list's end, where a count that no longer covers the
// list goes on reading. Elsewhere, a reference past the end of String_Table names an empty text.
TTMF_Challenge_Block_Address_List Challenge_Read_Block_List(const TFlexible_Byte_Array& image,
                                                            const TMemory_Mask& mask);

// Block `index` of a walk of the same image, or nothing when the walk did not reach that block
// or its record does not lie inside the image (the image changed since the walk).
std::optional<TChallenge_Block> Challenge_Read_Block(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    std::size_t index, const TMemory_Mask& mask);

// The same block without a copy of its name: the name is the walk's own String_Table text, in
// place or referenced. Nothing when Challenge_Read_Block would give nothing, or when an in-place
// name no longer has the length of the text that the walk read there. Made to list a million
// blocks at no cost per block beyond its eight bytes.
std::optional<TChallenge_Block_View> Challenge_Read_Block_View(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    std::size_t index, const TMemory_Mask& mask);

// The author record (a skin) that follows a block whose flags say so: the author as an indexed
// string, the skin node reference, and with the waypoint flag a waypoint node reference. A node
// reference is a node's number, or -1 for none; the node itself follows the first reference to
// its number in the body, which then "brings" it.
struct TAuthor_Record {
    std::uint32_t Block = 0;
    // Where the author string lies, and the entry it refers to: 0 when its text is in place.
    std::uint32_t String_Offset = 0;
    std::uint32_t String_Index = 0;
    std::uint32_t Skin_Node = 0;
    bool Skin_Node_Brought = false;
    std::optional<std::uint32_t> Waypoint_Node;
    bool Waypoint_Node_Brought = false;
};

// Every author record of the walked list, in block order, read as the walk reads them; nothing
// when one no longer lies where the walk found it (the image changed since the walk).
std::optional<std::vector<TAuthor_Record>> Challenge_Read_Author_Records(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    const TMemory_Mask& mask);

// Where the eight bytes of block `index` of a walk of the same image begin, after its name;
// nothing when the walk did not list the block or its record does not lie inside the image.
// Inline, and read through a pointer: batch edits and the map come through here for every block.
inline std::optional<std::uint32_t> Challenge_Block_Fields_Offset(
    const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
    std::size_t index, const TMemory_Mask& mask)
{
    if (index >= list.Block_Offsets.size() ||
        !Bytes_Available(image, list.Block_Offsets[index], 8)) {
        return std::nullopt;
    }
    const std::uint32_t offset = list.Block_Offsets[index];
    const std::uint8_t* const record = image.data() + offset;
    std::uint64_t fields = offset + std::uint64_t{4};
    if ((record[0] ^ mask) == 0 && (record[1] ^ mask) == 0) {
        // A name written in place: its length, then its text.
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i) {
            length = length << 8 | static_cast<std::uint8_t>(record[4 + i] ^ mask);
        }
        fields = offset + 8 + std::uint64_t{length};
    }
    if (!Bytes_Available(image, fields, 8)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(fields);
}

} // namespace plotvane
