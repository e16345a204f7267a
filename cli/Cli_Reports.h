#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>

namespace plotvane {

// What `plotvane-cli info` tells about one file. Fields that the file does not hold are 0.
struct TFile_Info {
    std::uint8_t Kind = 0;
    std::uint32_t Class_Id = 0;
    std::uint32_t User_Data_Size = 0;
    std::uint32_t Uncompressed_Size = 0;
    std::uint32_t Compressed_Size = 0;
    std::uint32_t Expand_Status = 0;
};

// Reads the file raw and fills `info` from its header, then tries to expand its body. Returns
// the status of Load_File_To_Memory (0, 1 or 3); `info` is meaningful only for 0.
// Operating-system failures raise EInOutError.
std::uint32_t Read_File_Info(const std::string& path, const TMemory_Mask& mask,
                             TFile_Info& info);

// What `plotvane-cli blocks` tells about one challenge: its image and one walk of it, from
// which each block is read when it is written out, so that listing costs nothing per block.
struct TBlock_Listing {
    std::uint8_t Kind = 0;
    TMemory_Mask Mask = 0;
    TFlexible_Byte_Array Image;
    std::string Author;
    TTMF_Challenge_Block_Address_List List;
    // Added to an offset in the image, gives the offset in the file that a save would write.
    std::int64_t File_Offset_Delta = 0;
};

// Loads and expands the file and, when it is a challenge, walks its blocks (unless
// `walk_blocks` is false: the list is then left empty, for a caller that walks the image
// itself). Returns the status of Gbx_Load_File, or that of packing the image to learn the file
// offsets. Only Kind is set for a file of another kind. Operating-system failures raise
// EInOutError.
std::uint32_t Read_Block_Listing(const std::string& path, const TMemory_Mask& mask,
                                 TBlock_Listing& listing, bool walk_blocks = true);

// Walks the blocks of an expanded challenge image (unless `walk_blocks` is false), which the
// listing keeps.
void List_Challenge_Blocks(TFlexible_Byte_Array image, const TMemory_Mask& mask,
                           std::int64_t file_offset_delta, TBlock_Listing& listing,
                           bool walk_blocks = true);

// What the path names when it exists but is not a regular file (links followed), as "a folder,
// not a regular file"; "" for a regular file and for a path that names nothing.
std::string Not_A_Regular_File(const std::string& path);

// "challenge", "profile", "replay" or "not recognised".
std::string Kind_Name(std::uint8_t kind);

} // namespace plotvane
