#pragma once

#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>

namespace plotvane {

// Name of the file that receives what packing left when a save fails to pack.
std::string Gbx_Failure_File_Name(const std::string& file_name);

// Loads a GBX file whole and expands it into `image` (which must be empty). Returns 0, 1001 for
// a missing file, 1002 when it was not read whole, or the status of Gbx_Uncompress. On a
// non-zero status the image is cleared. Operating-system failures raise EInOutError.
std::uint32_t Gbx_Load_File(const std::string& file_name, TFlexible_Byte_Array& image,
                            const TMemory_Mask& mask);

// Packs `image` and writes it over the file; when packing fails, what it left goes to the
// failure file instead and the file is not touched. The image is never changed. Returns 0, the
// packing status, or 1102 for a short write. A file is replaced only once it is fully written,
// so an interrupted save leaves it as it was. Operating-system failures raise EInOutError.
std::uint32_t Gbx_Save_File(const std::string& file_name, const TFlexible_Byte_Array& image,
                            std::uint32_t method, const TMemory_Mask& mask);

// What a status of the file and body operations means, in words.
std::string Status_Meaning(std::uint32_t status);

} // namespace plotvane
