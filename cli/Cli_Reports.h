#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>
#include <vector>

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

struct TListed_Block {
    // Where the record begins in the file that a save would write.
    std::int64_t File_Offset = 0;
    TChallenge_Block Block;
};

// What `plotvane-cli blocks` tells about one challenge.
struct TBlock_Listing {
    std::uint8_t Kind = 0;
    std::string Author;
    std::string Collection;
    std::vector<TListed_Block> Blocks;
    // False when the walk stopped before the end of the block list.
    bool Complete = false;
};

// Loads and expands the file and, when it is a challenge, walks its blocks. Returns the status
// of Gbx_Load_File, or that of packing the image to learn the file offsets. Only Kind is set
// for a file of another kind. Operating-system failures raise EInOutError.
std::uint32_t Read_Block_Listing(const std::string& path, const TMemory_Mask& mask,
                                 TBlock_Listing& listing);

// "challenge", "profile", "replay" or "not recognised".
std::string Kind_Name(std::uint8_t kind);

} // namespace plotvane
