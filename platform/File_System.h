#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace plotvane {

// An operating-system failure of a file operation. Error_Code uses the classic numbering:
// 2 missing file, 3 bad path, 4 too many open files, 5 access denied, 100 read past end,
// 101 disk full, 106 invalid numeric input; any other system error keeps its own number.
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

// True only for an existing regular file (after following links); a folder counts as missing.
bool File_Exists(const std::string& path);
bool Directory_Exists(const std::string& path);
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
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// Puts `size` bytes in place of the file at `path` without ever leaving it half-written: the
// bytes go to a temporary file in the same folder, which replaces the target only once it is
// complete and flushed. An existing target keeps its permissions; a new one gets those of an
// ordinary new file. A symbolic link is followed: the file it names is replaced and the link
// stays. Returns the number of bytes written; fewer than `size` means the disk filled up, and
// the target is then left as it was. Every other failure raises EInOutError, also leaving the
// target as it was.
std::size_t Replace_File_Contents(const std::string& path, const std::uint8_t* data,
                                  std::size_t size);

} // namespace plotvane
