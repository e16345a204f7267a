#include "memory/Memory_IO.h"

#include "platform/File_System.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace plotvane {

namespace {

// Streams the length measured at opening into the array, masked; nothing beyond it is ever
// stored. Returns 3 when the file delivered less than that length or has grown past it.
std::uint32_t Read_Blocks(TInput_File& file, TFlexible_Byte_Array& array,
                          const TMemory_Mask& mask)
{
    std::vector<std::uint8_t> block(Load_Block_Size);
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
    return file.At_End() ? Status_Ok : Status_Load_Short_Block;
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
    std::uint32_t status = Status_Load_Missing_File;
    if (File_Exists(file_name)) {
        TInput_File file(file_name);
        array.resize(File_Array_Length(file.Size()));
        status = Read_Blocks(file, array, mask);
    }
    if (status != Status_Ok) {
        Clear_Array(array);
    }
    return status;
}

} // namespace plotvane
