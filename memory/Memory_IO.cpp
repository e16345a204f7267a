#include "memory/Memory_IO.h"

#include "platform/File_System.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

namespace plotvane {

namespace {

// Streams array.size() bytes of the file into the array, masked. Returns 3 when the file
// delivered fewer.
std::uint32_t Read_Blocks(TInput_File& file, TFlexible_Byte_Array& array,
                          const TMemory_Mask& mask)
{
    std::vector<std::uint8_t> block(std::min(Load_Block_Size, array.size()));
    std::size_t position = 0;
    while (position < array.size()) {
        const std::size_t wanted = std::min(Load_Block_Size, array.size() - position);
        const std::size_t delivered = file.Read(block.data(), wanted);
        for (std::size_t i = 0; i < delivered; ++i) {
            array[position + i] = static_cast<std::uint8_t>(block[i] ^ mask);
        }
        position += delivered;
        // A short block before the measured end means the file shrank under us: every later
        // read would deliver nothing, so reading on could only loop.
        if (delivered < wanted) {
            return Status_Load_Short_Block;
        }
    }
    return Status_Ok;
}

// Reads the file, or its first `*limit` bytes. A whole file must not have grown past the
// length measured at opening: nothing beyond it is ever stored.
std::uint32_t Load_File(const std::string& file_name, std::optional<std::uint64_t> limit,
                        TFlexible_Byte_Array& array, const TMemory_Mask& mask)
{
    std::uint32_t status = Status_Load_Missing_File;
    if (File_Exists(file_name)) {
        TInput_File file(file_name);
        const std::uint64_t length = limit ? std::min(*limit, file.Size()) : file.Size();
        array.resize(File_Array_Length(length));
        status = Read_Blocks(file, array, mask);
        if (status == Status_Ok && !limit && !file.At_End()) {
            status = Status_Load_Short_Block;
        }
    }
    if (status != Status_Ok) {
        Clear_Array(array);
    }
    return status;
}

} // namespace

std::size_t File_Array_Length(std::uint64_t file_size)
{
    if (file_size > static_cast<std::uint64_t>(INT32_MAX)) {
        Raise_In_Out_Error_From_Errno(EFBIG);
    }
    return static_cast<std::size_t>(file_size);
}

std::uint32_t Load_File_To_Memory(const std::string& file_name, TFlexible_Byte_Array& array,
                                  const TMemory_Mask& mask)
{
    return Load_File(file_name, std::nullopt, array, mask);
}

std::uint32_t Load_File_Prefix_To_Memory(const std::string& file_name, std::uint64_t count,
                                         TFlexible_Byte_Array& array, const TMemory_Mask& mask)
{
    return Load_File(file_name, count, array, mask);
}

} // namespace plotvane
