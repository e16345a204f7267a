#include "gbx/Gbx_IO.h"

#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_IO.h"
#include "platform/File_System.h"
#include "platform/Numbered_Backups.h"

#include <vector>

namespace plotvane {

namespace {

// Flips every byte between plain and masked.
void Apply_Mask(TFlexible_Byte_Array& bytes, const TMemory_Mask& mask)
{
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(byte ^ mask);
    }
}

// Reads the whole file in one request into `buffer`, masked. Returns 0, or 1002 when the read
// delivered less than the file's size or the file has grown since it was measured.
std::uint32_t Read_Whole_File(const std::string& file_name, TFlexible_Byte_Array& buffer,
                              const TMemory_Mask& mask)
{
    TInput_File file(file_name);
    buffer.resize(File_Array_Length(file.Size()));
    const std::size_t delivered = file.Read(buffer.data(), buffer.size());
    if (delivered != buffer.size() || !file.At_End()) {
        return Status_Gbx_Load_Short_Read;
    }
    Apply_Mask(buffer, mask);
    return Status_Ok;
}

// Writes packed bytes, masked, to `target`; the buffer ends up plain. Returns 0, or 1102 for
// a short write.
std::uint32_t Write_Packed(const std::string& target, TFlexible_Byte_Array& packed,
                           const TMemory_Mask& mask)
{
    // The private buffer is the only array that ever holds plain bytes.
    Apply_Mask(packed, mask);
    return Replace_File_Contents(target, packed.data(), packed.size()) == packed.size()
               ? Status_Ok
               : Status_Gbx_Save_Short_Write;
}

// Packs the image. A packed body is expanded again and compared with the image, so that what
// is written is known to read back as the image: 2103 when it does not. The literal run is
// checked by Gbx_Compress itself.
std::uint32_t Pack_Checked(const TFlexible_Byte_Array& image, TFlexible_Byte_Array& packed,
                           std::uint32_t method, const TMemory_Mask& mask)
{
    const std::uint32_t status = Gbx_Compress(image, packed, method, mask);
    if (status != Status_Ok || method == Gbx_Method_Literal_Run) {
        return status;
    }
    TFlexible_Byte_Array expanded;
    return Gbx_Uncompress(packed, expanded, mask) == Status_Ok && expanded == image
               ? Status_Ok
               : Status_Compress_Check_Failed;
}

std::string Backup_Name(const std::string& file_name, TGbx_Backup_Kind kind)
{
    return kind == TGbx_Backup_Kind::Single
               ? file_name + ".bak"
               : Numbered_Backup_Name(file_name, Next_Backup_Number(file_name));
}

// Every name a temporary file of a save of `file_name` may be named after: the file's and
// those of its backups.
std::vector<std::string> Save_Targets(const std::string& file_name)
{
    std::vector<std::string> targets = {file_name, file_name + ".bak"};
    for (std::uint32_t number = 1; number <= Numbered_Backup_Count; ++number) {
        targets.push_back(Numbered_Backup_Name(file_name, number));
    }
    return targets;
}

} // namespace

std::string Gbx_Failure_File_Name(const std::string& file_name)
{
    return file_name + ".bad";
}

std::uint32_t Gbx_Load_File(const std::string& file_name, TFlexible_Byte_Array& image,
                            const TMemory_Mask& mask)
{
    std::uint32_t status = Status_Gbx_Load_Missing_File;
    if (File_Exists(file_name)) {
        TFlexible_Byte_Array buffer;
        status = Read_Whole_File(file_name, buffer, mask);
        if (status == Status_Ok) {
            status = Gbx_Uncompress(buffer, image, mask);
        }
    }
    if (status != Status_Ok) {
        Clear_Array(image);
    }
    return status;
}

std::uint32_t Gbx_Save_File(const std::string& file_name, const TFlexible_Byte_Array& image,
                            std::uint32_t method, const TMemory_Mask& mask)
{
    TFlexible_Byte_Array packed;
    const std::uint32_t status = Pack_Checked(image, packed, method, mask);
    // A file that failed to pack is never touched: what packing left goes beside it.
    if (status != Status_Ok) {
        Write_Packed(Gbx_Failure_File_Name(file_name), packed, mask);
        return status;
    }
    return Write_Packed(file_name, packed, mask);
}

TGbx_Save_Result Gbx_Save_Over_File(const std::string& file_name,
                                    const TFlexible_Byte_Array& image, TGbx_Backup_Kind backup,
                                    const TMemory_Mask& mask,
                                    const TGbx_Backup_Failure_Handler& on_backup_failure,
                                    std::uint32_t method)
{
    TGbx_Save_Result result;
    TFlexible_Byte_Array packed;
    result.Status = Pack_Checked(image, packed, method, mask);
    if (result.Status != Status_Ok) {
        // An empty failure file would tell nothing.
        if (!packed.empty()) {
            Write_Packed(Gbx_Failure_File_Name(file_name), packed, mask);
        }
        return result;
    }
    Remove_Stale_Temporaries(Save_Targets(file_name));
    if (backup != TGbx_Backup_Kind::None && File_Exists(file_name)) {
        const std::string backup_name = Backup_Name(file_name, backup);
        try {
            Copy_File(file_name, backup_name);
            result.Backup = backup_name;
        } catch (const EInOutError& error) {
            if (!on_backup_failure || !on_backup_failure(backup_name, error)) {
                throw;
            }
        }
    }
    result.Status = Write_Packed(file_name, packed, mask);
    return result;
}

std::string Status_Meaning(std::uint32_t status)
{
    switch (status) {
    case Status_Ok:
        return "success";
    case Status_Load_Missing_File:
    case Status_Gbx_Load_Missing_File:
        return "the file does not exist";
    case Status_Load_Short_Block:
    case Status_Gbx_Load_Short_Read:
        return "the file was not read whole (it changed while being read)";
    case Status_Gbx_Save_Short_Write:
        return "the file was not written whole (the disk is full)";
    case Status_Uncompress_No_Body:
        return "not a recognised GBX file (no compressed body)";
    case Status_Uncompress_Bad_Stream:
        return "the compressed body is damaged or does not expand to its stored size";
    case Status_Compress_No_Body:
        return "the expanded image is not a recognised GBX file";
    case Status_Compress_Bad_Method:
        return "unknown packing method";
    case Status_Compress_Check_Failed:
        return "the packed body does not decode to its stored size";
    default:
        return "unknown status";
    }
}

} // namespace plotvane
