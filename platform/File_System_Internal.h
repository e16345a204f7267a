#pragma once

// What File_System.cpp shares with each system's form of the file operations
// (File_System_Posix.cpp, File_System_Windows.cpp); included by those three alone.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

namespace plotvane {

constexpr int Error_File_Not_Found = 2;
constexpr int Error_Invalid_Filename = 3;
constexpr int Error_Too_Many_Open_Files = 4;
constexpr int Error_Access_Denied = 5;
constexpr int Error_Read_Beyond_End = 100;
constexpr int Error_Disk_Full = 101;
constexpr int Error_Invalid_Numeric_Input = 106;
// EFBIG's own number, the same on POSIX systems and Windows.
constexpr int Error_File_Too_Large = 27;
// EISDIR's own number: what the POSIX form's rename reports for a folder in the target's place.
constexpr int Error_Is_A_Folder = 21;
// A copy refused because its target is its source. No system error takes this number: those
// moved up past the classic table start at 1001.
constexpr int Error_Same_File = 1000;

// Windows errors (winerror.h) that mean what a classic number means, or that a save meets.
constexpr unsigned long Windows_File_Not_Found = 2;
constexpr unsigned long Windows_Path_Not_Found = 3;
constexpr unsigned long Windows_Too_Many_Open_Files = 4;
constexpr unsigned long Windows_Access_Denied = 5;
constexpr unsigned long Windows_Invalid_Drive = 15;
constexpr unsigned long Windows_Write_Protect = 19;
constexpr unsigned long Windows_Handle_End_Of_File = 38;
constexpr unsigned long Windows_Handle_Disk_Full = 39;
constexpr unsigned long Windows_Bad_Network_Path = 53;
constexpr unsigned long Windows_Bad_Network_Name = 67;
constexpr unsigned long Windows_Disk_Full = 112;
constexpr unsigned long Windows_Invalid_Name = 123;
constexpr unsigned long Windows_Bad_Path_Name = 161;
constexpr unsigned long Windows_File_Name_Too_Long = 206;
constexpr unsigned long Windows_File_Too_Large = 223;
constexpr unsigned long Windows_Directory_Name_Invalid = 267;
constexpr unsigned long Windows_Delete_Pending = 303;
constexpr unsigned long Windows_Disk_Quota_Exceeded = 1295;
constexpr unsigned long Windows_Privilege_Not_Held = 1314;

// Writes go out in pieces that every platform's write call accepts in one request.
constexpr std::size_t Write_Piece = std::size_t{1} << 30;

// std::filesystem reports errno values on POSIX; on Windows its system errors are the
// system's own numbers.
[[noreturn]] void Raise_From(const std::error_code& error);

// The file that a save of `path` replaces (or creates).
std::string Resolve_Link(const std::string& path);
// Raises EInOutError unless `path` is a regular file.
void Require_Regular_File(const std::string& path);
bool Same_File(const std::string& first, const std::string& second);
// A temporary file left by a killed save is removed; one that a running save holds stays.
void Remove_If_Unheld(const std::string& path);

// The temporary files' names, made in File_System.cpp.
std::string Temporary_Name_Template(const std::string& target);
std::string Fresh_Temporary_Name(const std::string& target);

// Where the new contents go until they take the target's place. It takes the attributes of the
// file at `model_path` (the target itself for a save, the source for a copy; those of an
// ordinary new file when it does not exist), and it leaves nothing behind unless it has
// replaced the target.
class TReplacement_File {
public:
    virtual ~TReplacement_File() = default;

    // Writes the next `size` bytes; returns the count written, short when a full disk or a
    // quota ended the write early (`early_end_code` then says which).
    virtual std::size_t Write(const std::uint8_t* data, std::size_t size, int& early_end_code) = 0;

    // Flushes the contents to the disk, then puts the file in the target's place.
    virtual void Replace() = 0;
};

// The system's form of the replacement of `target`; `size` is the count of bytes that will be
// written.
std::unique_ptr<TReplacement_File> Open_Replacement_File(const std::string& target,
                                                         const std::string& model_path,
                                                         std::uint64_t size);

} // namespace plotvane
