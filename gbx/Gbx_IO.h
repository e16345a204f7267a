#pragma once

#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Base_Structure.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace plotvane {

class EInOutError;

// Name of the file that receives what packing left when a save fails to pack.
std::string Gbx_Failure_File_Name(const std::string& file_name);

// Loads a GBX file whole and expands it into `image` (which must be empty). Returns 0, 1001 for
// a missing file, 1002 when it was not read whole, or the status of Gbx_Uncompress. On a
// non-zero status the image is cleared. Operating-system failures raise EInOutError.
std::uint32_t Gbx_Load_File(const std::string& file_name, TFlexible_Byte_Array& image,
                            const TMemory_Mask& mask);

// Packs `image` by `method` (see Gbx_Compress) and writes it over the file; when packing
// fails, what it left goes to the failure file instead and the file is not touched. A packed
// body (any method but the literal run) is expanded again and must give the image, else the
// status is 2103. The image is never changed. Returns 0, the packing status, or 1102 for a
// short write. A file is replaced only once it is fully written,
// so an interrupted save leaves it as it was. Operating-system failures raise EInOutError.
std::uint32_t Gbx_Save_File(const std::string& file_name, const TFlexible_Byte_Array& image,
                            std::uint32_t method, const TMemory_Mask& mask);

// How a save over a file keeps what the file held before.
enum class TGbx_Backup_Kind {
    // FILE.bak1 to FILE.bak9, the one after the file's newest.
    Numbered,
    // FILE.bak, over an older one.
    Single,
    // None (a save under a new name).
    None,
};

// What a save over a file did.
struct TGbx_Save_Result {
    std::uint32_t Status = 0;
    // The backup made, when one was.
    std::optional<std::string> Backup;
};

// Asked when the backup copy fails, with the backup's name and the system's error: true writes
// the file without a backup, false ends the save with nothing written.
using TGbx_Backup_Failure_Handler =
    std::function<bool(const std::string& backup, const EInOutError& error)>;

// Saves `image` over the file in the order that never costs what the file or a backup held:
// packs the image by `method` (see Gbx_Compress) and checks it, removes temporary files that a
// killed save of the file or of its backups left, copies the file to its backup (when it
// exists), and only then replaces the file (through a temporary file, as Replace_File_Contents
// does). A packing failure returns its status having touched neither the file nor a backup;
// what packing left, if anything, goes to the failure file. A failed backup copy raises its
// EInOutError unless `on_backup_failure` says to go on. Returns 1102 for a short write (the
// file then stays as it was, the backup made). The caller holds the file's lock (TFile_Lock)
// for the whole read-modify-write.
TGbx_Save_Result Gbx_Save_Over_File(const std::string& file_name,
                                    const TFlexible_Byte_Array& image, TGbx_Backup_Kind backup,
                                    const TMemory_Mask& mask,
                                    const TGbx_Backup_Failure_Handler& on_backup_failure = {},
                                    std::uint32_t method = Gbx_Method_Literal_Run);

// What a status of the file and body operations means, in words.
std::string Status_Meaning(std::uint32_t status);

} // namespace plotvane
