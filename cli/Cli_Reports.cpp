#include "cli/Cli_Reports.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_IO.h"
#include "memory/Memory_Tools.h"
#include "platform/File_System.h"

#include <filesystem>
#include <system_error>
#include <utility>

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
                                 TBlock_Listing& listing, bool walk_blocks)
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
    List_Challenge_Blocks(std::move(image), mask, delta, listing, walk_blocks);
    return Status_Ok;
}

void List_Challenge_Blocks(TFlexible_Byte_Array image, const TMemory_Mask& mask,
                           std::int64_t file_offset_delta, TBlock_Listing& listing,
                           bool walk_blocks)
{
    listing.Kind = Gbx_Get_Type(image, mask);
    listing.Mask = mask;
    listing.Image = std::move(image);
    listing.File_Offset_Delta = file_offset_delta;
    Challenge_Read_Author(listing.Image, listing.Mask, listing.Author);
    if (walk_blocks) {
        listing.List = Challenge_Read_Block_List(listing.Image, listing.Mask);
    }
}

std::string Not_A_Regular_File(const std::string& path)
{
#ifdef _WIN32
    // What Windows names is a file or a folder; a device (NUL, CON) is refused by the read.
    return Directory_Exists(path) ? "a folder, not a regular file" : std::string();
#else
    namespace fs = std::filesystem;
    std::error_code error;
    switch (fs::status(path, error).type()) {
    case fs::file_type::none:
    case fs::file_type::not_found:
    case fs::file_type::regular:
        return {};
    case fs::file_type::directory:
        return "a folder, not a regular file";
    case fs::file_type::fifo:
        return "a FIFO, not a regular file";
    case fs::file_type::block:
    case fs::file_type::character:
        return "a device, not a regular file";
    case fs::file_type::socket:
        return "a socket, not a regular file";
    default:
        return "not a regular file";
    }
#endif
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
