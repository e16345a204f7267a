#include "platform/File_System.h"

#include "platform/File_System_Internal.h"
#include "platform/Folders.h"
#include "platform/Utf8_Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace plotvane {

namespace {

// A copy goes through a buffer of this size.
constexpr std::size_t Copy_Piece = std::size_t{1} << 20;

// A system error whose number the classic table already gives a meaning (EIO is 5, Windows'
// ERROR_SEM_USER_LIMIT 106) moves 1000 up, so that it is never shown as, say, "File access
// denied".
int Own_Number_Out_Of_The_Classic_Table(int system_error)
{
    return In_Out_Error_Text(system_error).rfind("I/O error", 0) == 0 ? system_error
                                                                       : 1000 + system_error;
}

// A temporary file's name ends in this mark and six drawn letters.
constexpr char Temporary_Mark[] = ".plotvane-";
constexpr std::size_t Temporary_Letters = 6;
// The longest file name that the common file systems take, in bytes (in UTF-16 units on
// Windows, of which a name never has more than it has UTF-8 bytes).
constexpr std::size_t Longest_File_Name = 255;

// The target's own name, cut short where needed, so that a temporary file named after a target
// whose name is as long as the system allows still fits. The cut falls between two characters,
// so that the name stays UTF-8.
std::string Temporary_Stem(const std::string& target)
{
    const std::string name = Utf8_From_Path(Path_From_Utf8(target).filename());
    std::size_t length = std::min(
        name.size(), Longest_File_Name - 1 - (sizeof Temporary_Mark - 1) - Temporary_Letters);
    while (length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    return name.substr(0, length);
}

// Whether `name` is a temporary file name made by Temporary_Name_Template for a target whose
// stem is `stem`.
bool Is_Temporary_Of(const std::string& name, const std::string& stem)
{
    const std::string prefix = "." + stem + Temporary_Mark;
    return name.size() == prefix.size() + Temporary_Letters && name.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

// ".NAME.plotvane-XXXXXX" beside the target: named after it, so that the next save of the same
// file finds what a killed one left. The dot keeps it out of ordinary folder listings.
std::string Temporary_Name_Template(const std::string& target)
{
    return Utf8_From_Path(Path_From_Utf8(target).parent_path() /
                          Path_From_Utf8("." + Temporary_Stem(target) + Temporary_Mark +
                                         std::string(Temporary_Letters, 'X')));
}

// The temporary name template with its X's drawn at random, as mkstemp draws them.
std::string Fresh_Temporary_Name(const std::string& target)
{
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Letters - 2);
    std::string name = Temporary_Name_Template(target);
    for (std::size_t i = name.size() - Temporary_Letters; i < name.size(); ++i) {
        name[i] = Letters[pick(generator)];
    }
    return name;
}

EInOutError::EInOutError(int error_code)
    : std::runtime_error(In_Out_Error_Text(error_code)), error_code_(error_code)
{
}

std::string In_Out_Error_Text(int error_code)
{
    switch (error_code) {
    case Error_File_Not_Found:
        return "File not found";
    case Error_Invalid_Filename:
        return "Invalid filename";
    case Error_Too_Many_Open_Files:
        return "Too many open files";
    case Error_Access_Denied:
        return "File access denied";
    case Error_Read_Beyond_End:
        return "Read beyond end of file";
    case Error_Disk_Full:
        return "Disk full";
    case Error_Invalid_Numeric_Input:
        return "Invalid numeric input";
    case Error_File_Too_Large:
        return "File too large for the system's file size limit";
    case Error_Same_File:
        return "The copy would overwrite its own source";
    default:
        return "I/O error " + std::to_string(error_code);
    }
}

int In_Out_Error_Code_From_Errno(int errno_value)
{
    switch (errno_value) {
    case ENOENT:
        return Error_File_Not_Found;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL: // the file operations meet it only for a path they cannot use
        return Error_Invalid_Filename;
    case EMFILE:
    case ENFILE:
        return Error_Too_Many_Open_Files;
    case EACCES:
    case EPERM:
    case EROFS:
        return Error_Access_Denied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return Error_Disk_Full;
    case EFBIG:
        return Error_File_Too_Large;
    default:
        return Own_Number_Out_Of_The_Classic_Table(errno_value);
    }
}

void Raise_In_Out_Error_From_Errno(int errno_value)
{
    throw EInOutError(In_Out_Error_Code_From_Errno(errno_value));
}

int In_Out_Error_Code_From_Windows_Error(unsigned long windows_error)
{
    switch (windows_error) {
    case Windows_File_Not_Found:
    case Windows_Delete_Pending: // on its way out: opening it again fails until it is gone
        return Error_File_Not_Found;
    case Windows_Path_Not_Found:
    case Windows_Invalid_Drive:
    case Windows_Bad_Network_Path:
    case Windows_Bad_Network_Name:
    case Windows_Invalid_Name:
    case Windows_Bad_Path_Name:
    case Windows_File_Name_Too_Long:
    case Windows_Directory_Name_Invalid:
        return Error_Invalid_Filename;
    case Windows_Too_Many_Open_Files:
        return Error_Too_Many_Open_Files;
    case Windows_Access_Denied:
    case Windows_Write_Protect:
    case Windows_Privilege_Not_Held:
        return Error_Access_Denied;
    case Windows_Handle_End_Of_File:
        return Error_Read_Beyond_End;
    case Windows_Handle_Disk_Full:
    case Windows_Disk_Full:
    case Windows_Disk_Quota_Exceeded:
        return Error_Disk_Full;
    case Windows_File_Too_Large:
        return Error_File_Too_Large;
    default:
        return Own_Number_Out_Of_The_Classic_Table(static_cast<int>(windows_error));
    }
}

void Raise_In_Out_Error_From_Windows_Error(unsigned long windows_error)
{
    throw EInOutError(In_Out_Error_Code_From_Windows_Error(windows_error));
}

std::string Current_Directory()
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    if (error) {
        Raise_From(error);
    }
    return Utf8_From_Path(path);
}

std::size_t Replace_File_Contents(const std::string& path, const std::uint8_t* data,
                                  std::size_t size)
{
    const std::string target = Resolve_Link(path);
    const std::unique_ptr<TReplacement_File> replacement =
        Open_Replacement_File(target, target, size);
    int early_end_code = 0;
    const std::size_t written = replacement->Write(data, size, early_end_code);
    if (written < size) {
        return written; // the replacement is discarded; the target stays as it was
    }
    replacement->Replace();
    return written;
}

void Copy_File(const std::string& source_path, const std::string& target_path)
{
    Require_Regular_File(source_path);
    TInput_File source(source_path);
    const std::string target = Resolve_Link(target_path);
    // A target that is the source itself, through a link of either kind, would be overwritten
    // by the copy meant to keep it.
    if (Same_File(source_path, target)) {
        throw EInOutError(Error_Same_File);
    }
    const std::unique_ptr<TReplacement_File> replacement =
        Open_Replacement_File(target, source_path, source.Size());
    std::vector<std::uint8_t> buffer(Copy_Piece);
    for (;;) {
        const std::size_t count = source.Read(buffer.data(), buffer.size());
        if (count == 0) {
            break;
        }
        int early_end_code = 0;
        if (replacement->Write(buffer.data(), count, early_end_code) < count) {
            throw EInOutError(early_end_code);
        }
    }
    replacement->Replace();
}

void Remove_Stale_Temporaries(const std::vector<std::string>& targets)
{
    for (const std::string& target_path : targets) {
        std::string target;
        try {
            target = Resolve_Link(target_path);
        } catch (const EInOutError&) {
            continue; // a link that leads nowhere usable has no temporary file beside its end
        }
        const std::string stem = Temporary_Stem(target);
        const std::filesystem::path target_name = Path_From_Utf8(target);
        const std::filesystem::path folder =
            target_name.has_parent_path() ? target_name.parent_path() : std::filesystem::path(".");
        for (const std::string& name : Folder_Entry_Names(Utf8_From_Path(folder))) {
            if (Is_Temporary_Of(name, stem)) {
                Remove_If_Unheld(Utf8_From_Path(folder / Path_From_Utf8(name)));
            }
        }
    }
}

} // namespace plotvane
