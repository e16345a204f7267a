#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace plotvane {

// An operating-system failure of a file operation. Error_Code uses the classic numbering:
// 2 missing file, 3 bad path, 4 too many open files, 5 access denied, 100 read past end,
// 101 disk full, 106 invalid numeric input, 27 (EFBIG) past the file size limit, 1000 a copy
// onto its own source; any other system error keeps its own number.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(int error_code);
    int Error_Code() const { return error_code_; }

private:
    int error_code_;
};

// "File not found" for 2, ..., "I/O error %d" for numbers without a text of their own.
std::string In_Out_Error_Text(int error_code);
// Maps a POSIX errno value to the numbering of EInOutError.
int In_Out_Error_Code_From_Errno(int errno_value);
[[noreturn]] void Raise_In_Out_Error_From_Errno(int errno_value);
// Maps a Windows error (GetLastError) to the same numbering. Sharing and lock violations (32,
// 33) keep their own numbers: the file is in another program's hands, which is neither missing
// nor forbidden.
int In_Out_Error_Code_From_Windows_Error(unsigned long windows_error);
[[noreturn]] void Raise_In_Out_Error_From_Windows_Error(unsigned long windows_error);

// True only for an existing regular file (after following links); a folder counts as missing.
bool File_Exists(const std::string& path);
bool Directory_Exists(const std::string& path);

// What shows that a file changed since it was read: its size and its modification time.
struct TFile_Stamp {
    std::uintmax_t Size = 0;
    std::filesystem::file_time_type Modified;

    bool operator==(const TFile_Stamp& other) const
    {
        return Size == other.Size && Modified == other.Modified;
    }
    bool operator!=(const TFile_Stamp& other) const { return !(*this == other); }
};

// The stamp of the regular file at `path` (after following links); nothing when there is none.
std::optional<TFile_Stamp> File_Stamp(const std::string& path);
std::string Current_Directory();

// A file opened for reading only, without shutting out other readers or writers.
// Every failure raises EInOutError.
class TInput_File {
public:
    explicit TInput_File(const std::string& path);
    ~TInput_File();
    TInput_File(const TInput_File&) = delete;
    TInput_File& operator=(const TInput_File&) = delete;

    // The size measured when the file was opened.
    std::uint64_t Size() const { return size_; }
    // Reads up to `count` bytes and returns how many were delivered (0 at the end).
    std::size_t Read(void* buffer, std::size_t count);
    // True once the reads have reached the file's current size, measured again at each call:
    // a file that grew since it was opened is not at its end.
    bool At_End() const;

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    std::FILE* file_ = nullptr;
#endif
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// A write past the file size limit of the process (RLIMIT_FSIZE) ends the process with SIGXFSZ
// by default, in the middle of a save and leaving its temporary file behind. Every program calls
// this first, so that such a write fails with EFBIG instead and the save reports it as "File
// too large for the system's file size limit". Nothing to do on Windows.
void Ignore_File_Size_Limit_Signal();

// Puts `size` bytes in place of the file at `path` without ever leaving it half-written: the
// bytes go to a temporary file in the same folder (one without a name until the end, where the
// system offers it, so that not even a killed process leaves one behind), which replaces the
// target only once it is complete and flushed. An existing target keeps its permissions; a new
// one gets those of an ordinary new file; where the system allows it, the owner and group are
// kept too. The set-user-id and set-group-id bits are never carried over. A symbolic link is
// followed, also one that names no file yet: the file it names is replaced (or created) and the
// link stays. The target's other hard links, if any, keep the old contents. Returns the number
// of bytes written; fewer than `size` means the disk filled up, and the target is then left as
// it was. Every other failure raises EInOutError, also leaving the target as it was. No
// temporary file outlives the call.
//
// In a folder that refuses new files, an existing target that may be written is written in
// place instead (after room for it is reserved where the system can), then flushed: callers
// make its backup copy first, which is then the only way back from a failure, and its other
// hard links see the new contents.
std::size_t Replace_File_Contents(const std::string& path, const std::uint8_t* data,
                                  std::size_t size);

// Copies the file at `source_path` over `target_path` (an existing file or a new one) in the
// same safe way: the target is replaced only once the copy is complete and flushed, and it
// follows symbolic links as Replace_File_Contents does. The copy takes the source's permissions
// (never set-user-id or set-group-id) and, where the system allows it, its owner and group. A
// source that is not a regular file (a folder, say) counts as missing. A target that is the
// source itself (through a symbolic or a hard link) is refused. Every failure, a full disk
// included, raises EInOutError and leaves the source and the target as they were; a target
// written in place, as above, may be left part-written.
void Copy_File(const std::string& source_path, const std::string& target_path);

// The two calls above write through a temporary file beside the target, named after it
// (".NAME.plotvane-XXXXXX") and locked while they run. A process killed between naming that
// file and renaming it leaves it behind: this removes the ones left beside each of `targets`
// (links followed as the two calls follow them) that no running call holds. Failures to list or
// remove are ignored: a temporary file that stays costs room, not data.
void Remove_Stale_Temporaries(const std::vector<std::string>& targets);

} // namespace plotvane
