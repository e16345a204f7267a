#include "cli/Cli_Reports.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_IO.h"
#include "memory/Memory_Tools.h"

namespace plotvane {

namespace {

constexpr std::uint32_t Class_Id_Offset = 9;
constexpr std::uint32_t User_Data_Size_Offset = 13;

// The class id and the user data size sit at the same places in every GBX file, recognised or
// not, so they are shown for any file that starts with the magic "GBX" and is long enough.
std::uint32_t Header_Value(const TFlexible_Byte_Array& file, std::uint32_t offset,
                           const TMemory_Mask& mask)
{
    std::uint32_t cursor = 0;
    if (Read_Chars(file, cursor, 3, false, mask) != "GBX" || !Bytes_Available(file, offset, 4)) {
        return 0;
    }
    cursor = offset;
    return Read_DWord(file, cursor, false, mask);
}

} // namespace

std::uint32_t Read_File_Info(const std::string& path, const TMemory_Mask& mask,
                             TFile_Info& info)
{
    TFlexible_Byte_Array file;
    const std::uint32_t status = Load_File_To_Memory(path, file, mask);
    if (status != Status_Ok) {
        return status;
    }
    info.Kind = Gbx_Get_Type(file, mask);
    info.Class_Id = Header_Value(file, Class_Id_Offset, mask);
    info.User_Data_Size = Header_Value(file, User_Data_Size_Offset, mask);
    const TGbx_Compression_Info compression = Gbx_Get_Compression_Info(file, mask);
    info.Uncompressed_Size = compression.Uncompressed_Size;
    info.Compressed_Size = compression.Compressed_Size;
    TFlexible_Byte_Array image;
    info.Expand_Status = Gbx_Uncompress(file, image, mask);
    return Status_Ok;
}

std::uint32_t Read_Block_Listing(const std::string& path, const TMemory_Mask& mask,
                                 TBlock_Listing& listing)
{
    TFlexible_Byte_Array image;
    std::uint32_t status = Gbx_Load_File(path, image, mask);
    if (status != Status_Ok) {
        return status;
    }
    listing.Kind = Gbx_Get_Type(image, mask);
    if (listing.Kind != Gbx_Kind_Challenge) {
        return Status_Ok;
    }
    std::uint32_t delta = 0;
    status = Gbx_Packed_Offset_Delta(image, mask, delta);
    if (status != Status_Ok) {
        return status;
    }
    Challenge_Read_Author(image, mask, listing.Author);
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, mask);
    listing.Collection = list.Collection_Name;
    listing.Complete = list.Complete;
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const auto block = Challenge_Read_Block(image, list, i, mask);
        // Every block of a fresh walk of the same image reads back; should one not, the
        // listing ends there rather than show a block it could not read.
        if (!block) {
            listing.Complete = false;
            break;
        }
        listing.Blocks.push_back({list.Block_Offsets[i] + delta, *block});
    }
    return Status_Ok;
}

std::string Kind_Name(std::uint8_t kind)
{
    switch (kind) {
    case Gbx_Kind_Challenge:
        return "challenge";
    case Gbx_Kind_Profile:
        return "profile";
    case Gbx_Kind_Replay:
        return "replay";
    default:
        return "not recognised";
    }
}

} // namespace plotvane
