#include "platform/File_System.h"

#include "platform/Folders.h"
#include "platform/Utf8_Paths.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace plotvane {

namespace {

constexpr int Error_File_Not_Found = 2;
constexpr int Error_Invalid_Filename = 3;
constexpr int Error_Too_Many_Open_Files = 4;
constexpr int Error_Access_Denied = 5;
constexpr int Error_Read_Beyond_End = 100;
constexpr int Error_Disk_Full = 101;
constexpr int Error_Invalid_Numeric_Input = 106;
// EFBIG's own number, the same on POSIX systems and Windows.
constexpr int Error_File_Too_Large = 27;
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

// std::filesystem reports errno values on POSIX; on Windows its system errors are the
// system's own numbers.
[[noreturn]] void Raise_From(const std::error_code& error)
{
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        Raise_In_Out_Error_From_Windows_Error(static_cast<unsigned long>(error.value()));
    }
#endif
    Raise_In_Out_Error_From_Errno(error.value());
}

#ifndef _WIN32
// Size of an open file now; 0 on success, otherwise the errno value.
int Measure_Size(std::FILE* file, std::uint64_t& size)
{
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) {
        return errno;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return 0;
}

// A full disk or a quota ends a write early without being an error: the caller learns it from
// the count written. A file size limit is an error of its own, which the user must be told
// apart from a full disk.
bool Ends_Write_Early(int errno_value)
{
#ifdef EDQUOT
    if (errno_value == EDQUOT) {
        return true;
    }
#endif
    return errno_value == ENOSPC;
}

// Writes until all is written or a full disk or a quota ends the write early.
// Returns the count written; `early_end_code` receives the error number (in the numbering of
// EInOutError) that ended it, 0 when all was written.
std::size_t Write_All(int descriptor, const std::uint8_t* data, std::size_t size,
                      int& early_end_code)
{
    early_end_code = 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t result =
            ::write(descriptor, data + written, std::min(size - written, Write_Piece));
        if (result < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            if (Ends_Write_Early(error)) {
                early_end_code = In_Out_Error_Code_From_Errno(error);
                break;
            }
            Raise_In_Out_Error_From_Errno(error);
        }
        if (result == 0) {
            early_end_code = Error_Disk_Full; // no progress: another request would fare no better
            break;
        }
        written += static_cast<std::size_t>(result);
    }
    return written;
}

// Linux gives up on a chain of symbolic links at the same depth.
constexpr int Link_Depth_Limit = 40;

// Saving through a symbolic link replaces the file it names, so the link itself stays. The link
// is followed one step at a time, so that a link to a file that does not exist yet leads to
// where that file is to be created.
std::string Resolve_Link(const std::string& path)
{
    std::filesystem::path target = path;
    for (int depth = 0;; ++depth) {
        std::error_code error;
        if (!std::filesystem::is_symlink(target, error)) {
            return target.string();
        }
        if (depth == Link_Depth_Limit) {
            Raise_In_Out_Error_From_Errno(ELOOP);
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) {
            Raise_From(error);
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
}
#else
bool Ends_Write_Early(DWORD error)
{
    return error == Windows_Disk_Full || error == Windows_Handle_Disk_Full ||
           error == Windows_Disk_Quota_Exceeded;
}

// As the POSIX Write_All above.
std::size_t Write_All(HANDLE handle, const std::uint8_t* data, std::size_t size,
                      int& early_end_code)
{
    early_end_code = 0;
    std::size_t written = 0;
    while (written < size) {
        DWORD done = 0;
        if (!WriteFile(handle, data + written,
                       static_cast<DWORD>(std::min(size - written, Write_Piece)), &done, nullptr)) {
            const DWORD error = GetLastError();
            if (!Ends_Write_Early(error)) {
                Raise_In_Out_Error_From_Windows_Error(error);
            }
            written += done;
            early_end_code = In_Out_Error_Code_From_Windows_Error(error);
            break;
        }
        if (done == 0) {
            early_end_code = Error_Disk_Full;
            break;
        }
        written += done;
    }
    return written;
}

// Windows programs meet symbolic links seldom, and a save replaces the link itself there.
std::string Resolve_Link(const std::string& path)
{
    return path;
}

// What GetFileAttributesExW says of `path`; false, with the error, when it says nothing.
bool Read_Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data, DWORD& error)
{
    if (GetFileAttributesExW(Win32_Path(path).c_str(), GetFileExInfoStandard, &data)) {
        return true;
    }
    error = GetLastError();
    return false;
}

bool Is_Folder(const WIN32_FILE_ATTRIBUTE_DATA& data)
{
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Is_Missing(DWORD error)
{
    return error == Windows_File_Not_Found || error == Windows_Path_Not_Found;
}

// For reading, or (with no access, and folders too) for asking what the file is; shared with
// every other reader, writer and deleter, so that a save by another program can still replace
// the file.
HANDLE Open_Shared(const std::string& path, DWORD access, DWORD flags)
{
    return CreateFileW(Win32_Path(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}
#endif

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

// Whether `name` is a temporary file name made by Temporary_Name_Template for a target whose
// stem is `stem`.
bool Is_Temporary_Of(const std::string& name, const std::string& stem)
{
    const std::string prefix = "." + stem + Temporary_Mark;
    return name.size() == prefix.size() + Temporary_Letters && name.compare(0, prefix.size(), prefix) == 0;
}

#ifndef _WIN32
// A temporary file is locked while its save runs: one that no lock holds was left by a save
// that was killed.
void Hold_Temporary_Lock(int descriptor)
{
    static_cast<void>(::flock(descriptor, LOCK_EX | LOCK_NB));
}

// Removes the temporary file `path` unless a running save holds it.
void Remove_If_Unheld(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0) {
        return;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
        ::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        ::unlink(path.c_str());
    }
    ::close(descriptor);
}

// An existing target that may not be written is refused, as opening it for writing would be,
// although replacing it only needs its folder to be writable.
void Refuse_Read_Only_Target(const std::string& target)
{
    if (::access(target.c_str(), W_OK) != 0 && errno != ENOENT) {
        Raise_In_Out_Error_From_Errno(errno);
    }
}

// Gives the new file the permission bits of `model` and, where the system allows it, its owner
// and group; with no model, the permissions of an ordinary new file. Set-user-id and
// set-group-id are never carried over: a rewritten or copied file must not gain a privilege.
void Take_Attributes(int descriptor, const struct stat* model)
{
    mode_t mode = 0;
    if (model != nullptr) {
        // Without the privilege to give the file away, keeping the group alone still keeps a
        // file shared with a group as it was.
        if (::fchown(descriptor, model->st_uid, model->st_gid) != 0 &&
            ::fchown(descriptor, static_cast<uid_t>(-1), model->st_gid) != 0 &&
            errno != EPERM && errno != EINVAL) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        mode = model->st_mode & static_cast<mode_t>(0777);
    } else {
        // The umask can only be read by setting it; all file work runs on one thread.
        const mode_t creation_mask = ::umask(0);
        ::umask(creation_mask);
        mode = static_cast<mode_t>(0666) & ~creation_mask;
    }
    if (::fchmod(descriptor, mode) != 0) {
        Raise_In_Out_Error_From_Errno(errno);
    }
}

std::string Folder_Of(const std::string& target)
{
    const std::string folder = std::filesystem::path(target).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Makes the rename itself survive a crash. Some file systems cannot sync a folder; the new
// contents are in place by then, so that must not turn a finished save into an error.
void Sync_Folder(const std::string& target)
{
    const int descriptor = ::open(Folder_Of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        static_cast<void>(::fsync(descriptor));
        ::close(descriptor);
    }
}

// A file without a name in the target's folder, where the system offers one: a process killed
// before the end of a save then leaves nothing behind. -1 where it is refused (an older kernel,
// a file system without it) or where /proc, through which it is named at the end, is missing.
int Open_Anonymous_File(const std::string& target)
{
#ifdef O_TMPFILE
    if (::access("/proc/self/fd", X_OK) == 0) {
        return ::open(Folder_Of(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    }
#else
    static_cast<void>(target);
#endif
    return -1;
}

// Before a file is overwritten in place: a size past the process's file size limit, or a disk
// without room for it, is refused before the first byte changes. A file system that cannot
// reserve room lets the write go ahead.
void Reserve_Room(int descriptor, std::uint64_t size)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        size > limit.rlim_cur) {
        Raise_In_Out_Error_From_Errno(EFBIG);
    }
#ifdef FALLOC_FL_KEEP_SIZE
    if (size != 0 &&
        ::fallocate(descriptor, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
        Raise_In_Out_Error_From_Errno(errno);
    }
#else
    static_cast<void>(descriptor);
#endif
}

// Where the new contents go until they take the target's place: a file without a name where
// the system offers one, else a uniquely named file beside the target. It takes the attributes
// of the file at `model_path` (the target itself for a save, the source for a copy; those of an
// ordinary new file when it does not exist), and it leaves nothing behind unless it has
// replaced the target. In a folder that may not be written to, an existing target that may be
// written is written in place instead: the backup copy made before it is then the way back.
class TReplacement_File {
public:
    // `size` is the count of bytes that will be written.
    TReplacement_File(const std::string& target, const std::string& model_path,
                      std::uint64_t size)
        : target_(target), name_(Temporary_Name_Template(target))
    {
        Refuse_Read_Only_Target(target);
        struct stat model {};
        const bool has_model = ::stat(model_path.c_str(), &model) == 0;
        if (!has_model && errno != ENOENT) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        descriptor_ = Open_Anonymous_File(target);
        if (descriptor_ >= 0) {
            kind_ = TKind::Anonymous;
        } else {
            descriptor_ = ::mkstemp(name_.data());
            if (descriptor_ < 0) {
                Open_In_Place(errno, size);
                return;
            }
        }
        Hold_Temporary_Lock(descriptor_);
        try {
            Take_Attributes(descriptor_, has_model ? &model : nullptr);
        } catch (const EInOutError&) {
            Discard();
            throw;
        }
    }

    ~TReplacement_File()
    {
        if (!placed_) {
            Discard();
        }
    }

    TReplacement_File(const TReplacement_File&) = delete;
    TReplacement_File& operator=(const TReplacement_File&) = delete;

    // Writes the next `size` bytes; returns the count written, short when a full disk or a
    // quota ended the write early (`early_end_code` then says which).
    std::size_t Write(const std::uint8_t* data, std::size_t size, int& early_end_code)
    {
        const std::size_t written = Write_All(descriptor_, data, size, early_end_code);
        written_ += written;
        return written;
    }

    // Flushes the contents to the disk, then puts the file in the target's place. A late write
    // failure shows up in the flush or the close, before the target is touched.
    void Replace()
    {
        if (kind_ == TKind::In_Place && ::ftruncate(descriptor_, static_cast<off_t>(written_)) != 0) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        if (::fsync(descriptor_) != 0) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        if (kind_ == TKind::Anonymous) {
            Give_Name();
        }
        if (::close(std::exchange(descriptor_, -1)) != 0) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        if (kind_ == TKind::Named) {
            if (std::rename(name_.c_str(), target_.c_str()) != 0) {
                Raise_In_Out_Error_From_Errno(errno);
            }
            Sync_Folder(target_);
        }
        placed_ = true;
    }

private:
    enum class TKind { Named, Anonymous, In_Place };

    // The folder refused a new file (`naming_error`): the target itself is written, when it is
    // an existing regular file that may be written.
    void Open_In_Place(int naming_error, std::uint64_t size)
    {
        if (naming_error != EACCES && naming_error != EPERM) {
            Raise_In_Out_Error_From_Errno(naming_error);
        }
        descriptor_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        struct stat status {};
        if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
            Discard();
            Raise_In_Out_Error_From_Errno(naming_error);
        }
        kind_ = TKind::In_Place;
        try {
            Reserve_Room(descriptor_, size);
        } catch (const EInOutError&) {
            Discard();
            throw;
        }
    }

    // Links the anonymous file into the folder under a fresh temporary name, through its entry
    // in /proc, which needs no privilege (unlike naming the descriptor itself).
    void Give_Name()
    {
        const std::string descriptor_path = "/proc/self/fd/" + std::to_string(descriptor_);
        for (;;) {
            name_ = Fresh_Temporary_Name(target_);
            if (::linkat(AT_FDCWD, descriptor_path.c_str(), AT_FDCWD, name_.c_str(),
                         AT_SYMLINK_FOLLOW) == 0) {
                kind_ = TKind::Named;
                return;
            }
            if (errno != EEXIST) {
                Raise_In_Out_Error_From_Errno(errno);
            }
        }
    }

    void Discard()
    {
        if (descriptor_ >= 0) {
            ::close(std::exchange(descriptor_, -1));
        }
        if (kind_ == TKind::Named) {
            std::remove(name_.c_str());
        }
    }

    std::string target_;
    std::string name_;
    TKind kind_ = TKind::Named;
    int descriptor_ = -1;
    std::uint64_t written_ = 0;
    bool placed_ = false;
};

// A source that is not a regular file (a folder, say) counts as missing.
void Require_Regular_File(const std::string& path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) {
        Raise_From(error);
    }
    if (!std::filesystem::is_regular_file(status)) {
        Raise_In_Out_Error_From_Errno(ENOENT);
    }
}

bool Same_File(const std::string& first, const std::string& second)
{
    std::error_code error;
    return std::filesystem::equivalent(first, second, error);
}
#else
// A running save keeps its temporary file open without sharing it for deletion, so a temporary
// that cannot be deleted is one that a save holds.
void Remove_If_Unheld(const std::string& path)
{
    DeleteFileW(Win32_Path(path).c_str());
}

// Rename_By_Handle's information class, which MinGW's headers name only for newer targets.
constexpr auto File_Rename_Info_Ex = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// The errors of a rename by handle with POSIX semantics where the system (before Windows 10
// 1709) or the file system (FAT, many network shares) does not offer it. Wine may fail without
// setting an error at all.
bool Is_Unsupported(DWORD error)
{
    return error == ERROR_SUCCESS || error == ERROR_INVALID_PARAMETER ||
           error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Puts the open file in the target's place by its handle, with POSIX semantics: the name
// changes hands at once even while other handles hold the old file open, as this process's own
// TFile_Lock does during every edit; those handles keep the old file until they close. A
// classic rename, and so MoveFileExW, refuses to replace a file that any handle holds open,
// FILE_SHARE_DELETE or not. False where the system does not offer it.
bool Rename_By_Handle(HANDLE handle, const std::string& target)
{
    const std::wstring name = Win32_Path(target);
    const std::size_t name_offset = offsetof(FILE_RENAME_INFO, FileName);
    const std::size_t name_bytes = name.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> information(name_offset + name_bytes + sizeof(wchar_t));
    FILE_RENAME_INFO header{};
    header.Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    header.FileNameLength = static_cast<DWORD>(name_bytes);
    std::memcpy(information.data(), &header, name_offset);
    std::memcpy(information.data() + name_offset, name.data(), name_bytes);
    SetLastError(ERROR_SUCCESS);
    if (SetFileInformationByHandle(handle, File_Rename_Info_Ex, information.data(),
                                   static_cast<DWORD>(information.size()))) {
        return true;
    }
    const DWORD error = GetLastError();
    if (!Is_Unsupported(error)) {
        Raise_In_Out_Error_From_Windows_Error(error);
    }
    return false;
}

// The access rules (DACL) of a file where they are its own: protected from its folder's, or
// holding a rule given to the file itself. Rules all inherited from the folder are left out,
// as are rules that cannot be read: a new file there gets the folder's anyway.
class TOwn_Access_Rules {
public:
    explicit TOwn_Access_Rules(const std::string& path)
    {
        if (GetNamedSecurityInfoW(Win32_Path(path).c_str(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, &rules_, nullptr,
                                  &descriptor_) != ERROR_SUCCESS) {
            descriptor_ = nullptr;
            rules_ = nullptr;
            return;
        }
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        if (rules_ == nullptr || !GetSecurityDescriptorControl(descriptor_, &control, &revision)) {
            rules_ = nullptr;
            return;
        }
        protected_ = (control & SE_DACL_PROTECTED) != 0;
        own_ = protected_;
        for (DWORD i = 0; i < rules_->AceCount && !own_; ++i) {
            void* rule = nullptr;
            own_ = GetAce(rules_, i, &rule) &&
                   (static_cast<const ACE_HEADER*>(rule)->AceFlags & INHERITED_ACE) == 0;
        }
    }

    ~TOwn_Access_Rules() { LocalFree(descriptor_); }
    TOwn_Access_Rules(const TOwn_Access_Rules&) = delete;
    TOwn_Access_Rules& operator=(const TOwn_Access_Rules&) = delete;

    // Gives them to the file open as `handle`, its inherited rules inherited again rather than
    // copied as its own. Where the system or the file system refuses, the file keeps the rules
    // of a new file in its folder.
    void Give_To(HANDLE handle) const
    {
        if (own_) {
            const SECURITY_INFORMATION inheritance = protected_
                                                         ? PROTECTED_DACL_SECURITY_INFORMATION
                                                         : UNPROTECTED_DACL_SECURITY_INFORMATION;
            SetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance,
                            nullptr, nullptr, rules_, nullptr);
        }
    }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    PACL rules_ = nullptr;
    bool protected_ = false;
    bool own_ = false;
};

// The attributes a user gives a file and that a rewritten or copied one keeps.
constexpr DWORD Kept_Attributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The Windows form of the class above: a hidden, uniquely named file beside the target, opened
// without sharing it for deletion (Remove_Stale_Temporaries cannot take it from a running
// save), written, flushed, given the attributes of the model, then put in the target's place
// by its handle, after which it takes the model's own access rules; or else by name:
// ReplaceFileW over an existing target (which carries the target's rules over itself),
// MoveFileExW to a new one (whose rules are those of its folder). A folder that refuses new
// files refuses the save.
class TReplacement_File {
public:
    TReplacement_File(const std::string& target, const std::string& model_path, std::uint64_t)
        : target_(target), model_path_(model_path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        DWORD error = 0;
        if (Read_Attributes(target, data, error)) {
            target_exists_ = true;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
                throw EInOutError(Error_Access_Denied);
            }
        } else if (!Is_Missing(error)) {
            Raise_In_Out_Error_From_Windows_Error(error);
        }
        if (Read_Attributes(model_path, data, error)) {
            has_model_ = true;
            model_attributes_ = data.dwFileAttributes & Kept_Attributes;
        } else if (!Is_Missing(error)) {
            Raise_In_Out_Error_From_Windows_Error(error);
        }
        Create();
    }

    ~TReplacement_File()
    {
        if (!placed_) {
            Discard();
        } else if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_); // renamed into place by its handle
        }
    }

    TReplacement_File(const TReplacement_File&) = delete;
    TReplacement_File& operator=(const TReplacement_File&) = delete;

    std::size_t Write(const std::uint8_t* data, std::size_t size, int& early_end_code)
    {
        return Write_All(handle_, data, size, early_end_code);
    }

    void Replace()
    {
        if (!FlushFileBuffers(handle_)) {
            Raise_In_Out_Error_From_Windows_Error(GetLastError());
        }
        Take_Model_Attributes();
        // Read before the rename, which gives a save's model, the target, the new contents.
        std::optional<TOwn_Access_Rules> rules;
        if (has_model_) {
            rules.emplace(model_path_);
        }
        if (Rename_By_Handle(handle_, target_)) {
            placed_ = true;
            if (rules) {
                rules->Give_To(handle_);
            }
            return;
        }
        CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        Put_In_Place_By_Name();
        placed_ = true;
    }

private:
    void Create()
    {
        for (;;) {
            name_ = Fresh_Temporary_Name(target_);
            handle_ = CreateFileW(Win32_Path(name_).c_str(), GENERIC_WRITE | DELETE | WRITE_DAC,
                                  FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN,
                                  nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) {
                return;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                Raise_In_Out_Error_From_Windows_Error(error);
            }
        }
    }

    // The model's attributes: the new file is no longer hidden unless the model is; a new file
    // without a model gets those of an ordinary new file.
    void Take_Model_Attributes()
    {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = model_attributes_ | FILE_ATTRIBUTE_ARCHIVE;
        if (!SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic)) {
            Raise_In_Out_Error_From_Windows_Error(GetLastError());
        }
    }

    // ReplaceFileW fails with ERROR_UNABLE_TO_MOVE_REPLACEMENT once it has removed the target
    // but could not rename the new file: the rename then finishes the save.
    void Put_In_Place_By_Name()
    {
        const std::wstring name = Win32_Path(name_);
        const std::wstring target = Win32_Path(target_);
        if (target_exists_) {
            if (ReplaceFileW(target.c_str(), name.c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                             nullptr, nullptr)) {
                return;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT && !Is_Missing(error)) {
                Raise_In_Out_Error_From_Windows_Error(error);
            }
        }
        if (!MoveFileExW(name.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            Raise_In_Out_Error_From_Windows_Error(GetLastError());
        }
    }

    void Discard()
    {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        }
        DeleteFileW(Win32_Path(name_).c_str());
    }

    std::string target_;
    std::string model_path_;
    std::string name_;
    bool target_exists_ = false;
    bool has_model_ = false;
    DWORD model_attributes_ = 0;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool placed_ = false;
};

void Require_Regular_File(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    DWORD error = 0;
    if (!Read_Attributes(path, data, error)) {
        Raise_In_Out_Error_From_Windows_Error(error);
    }
    if (Is_Folder(data)) {
        throw EInOutError(Error_File_Not_Found);
    }
}

// Same volume, same file index: the same file, whatever the names.
bool Same_File(const std::string& first, const std::string& second)
{
    const HANDLE first_handle = Open_Shared(first, 0, FILE_FLAG_BACKUP_SEMANTICS);
    const HANDLE second_handle = Open_Shared(second, 0, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION first_information{};
    BY_HANDLE_FILE_INFORMATION second_information{};
    const bool same =
        first_handle != INVALID_HANDLE_VALUE && second_handle != INVALID_HANDLE_VALUE &&
        GetFileInformationByHandle(first_handle, &first_information) &&
        GetFileInformationByHandle(second_handle, &second_information) &&
        first_information.dwVolumeSerialNumber == second_information.dwVolumeSerialNumber &&
        first_information.nFileIndexHigh == second_information.nFileIndexHigh &&
        first_information.nFileIndexLow == second_information.nFileIndexLow;
    for (const HANDLE handle : {first_handle, second_handle}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    return same;
}
#endif

} // namespace

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

#ifdef _WIN32

bool File_Exists(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    DWORD error = 0;
    return Read_Attributes(path, data, error) && !Is_Folder(data);
}

bool Directory_Exists(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    DWORD error = 0;
    return Read_Attributes(path, data, error) && Is_Folder(data);
}

// The time is only ever compared with other stamps, so its clock's epoch does not matter; it
// counts from 1970 so that it fits the clock's 64-bit nanoseconds.
std::optional<TFile_Stamp> File_Stamp(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    DWORD error = 0;
    if (!Read_Attributes(path, data, error) || Is_Folder(data)) {
        return std::nullopt;
    }
    constexpr std::int64_t Ticks_Before_1970 = 116444736000000000; // of 100 ns, from 1601
    const std::int64_t ticks =
        static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                  data.ftLastWriteTime.dwLowDateTime) -
        Ticks_Before_1970;
    TFile_Stamp stamp;
    stamp.Size = (std::uintmax_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp.Modified = std::filesystem::file_time_type(
        std::chrono::duration_cast<std::filesystem::file_time_type::duration>(
            std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>(ticks)));
    return stamp;
}

// A folder does not open this way (access denied), and a device such as NUL is no file.
TInput_File::TInput_File(const std::string& path)
    : handle_(Open_Shared(path, GENERIC_READ, FILE_ATTRIBUTE_NORMAL))
{
    if (handle_ == INVALID_HANDLE_VALUE) {
        Raise_In_Out_Error_From_Windows_Error(GetLastError());
    }
    LARGE_INTEGER size{};
    DWORD error = ERROR_SUCCESS;
    if (!GetFileSizeEx(handle_, &size)) {
        error = GetLastError();
    } else if (GetFileType(handle_) != FILE_TYPE_DISK) {
        error = Windows_Access_Denied;
    }
    if (error != ERROR_SUCCESS) {
        CloseHandle(handle_);
        Raise_In_Out_Error_From_Windows_Error(error);
    }
    size_ = static_cast<std::uint64_t>(size.QuadPart);
}

TInput_File::~TInput_File()
{
    CloseHandle(handle_);
}

std::size_t TInput_File::Read(void* buffer, std::size_t count)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t delivered = 0;
    while (delivered < count) {
        DWORD done = 0;
        if (!ReadFile(handle_, bytes + delivered,
                      static_cast<DWORD>(std::min(count - delivered, Write_Piece)), &done,
                      nullptr)) {
            Raise_In_Out_Error_From_Windows_Error(GetLastError());
        }
        if (done == 0) {
            break;
        }
        delivered += done;
    }
    position_ += delivered;
    return delivered;
}

bool TInput_File::At_End() const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_, &size)) {
        Raise_In_Out_Error_From_Windows_Error(GetLastError());
    }
    return position_ >= static_cast<std::uint64_t>(size.QuadPart);
}

#else

bool File_Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool Directory_Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

std::optional<TFile_Stamp> File_Stamp(const std::string& path)
{
    std::error_code error;
    TFile_Stamp stamp;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    stamp.Size = std::filesystem::file_size(path, error);
    if (!error) {
        stamp.Modified = std::filesystem::last_write_time(path, error);
    }
    if (error) {
        return std::nullopt;
    }
    return stamp;
}

// fopen shares the file with other readers and writers.
TInput_File::TInput_File(const std::string& path) : file_(std::fopen(path.c_str(), "rb"))
{
    if (file_ == nullptr) {
        Raise_In_Out_Error_From_Errno(errno);
    }
    const int error = Measure_Size(file_, size_);
    if (error != 0) {
        std::fclose(file_);
        Raise_In_Out_Error_From_Errno(error);
    }
}

TInput_File::~TInput_File()
{
    std::fclose(file_);
}

std::size_t TInput_File::Read(void* buffer, std::size_t count)
{
    if (count == 0) {
        return 0;
    }
    const std::size_t delivered = std::fread(buffer, 1, count, file_);
    if (delivered < count && std::ferror(file_) != 0) {
        Raise_In_Out_Error_From_Errno(errno);
    }
    position_ += delivered;
    return delivered;
}

bool TInput_File::At_End() const
{
    std::uint64_t current_size = 0;
    const int error = Measure_Size(file_, current_size);
    if (error != 0) {
        Raise_In_Out_Error_From_Errno(error);
    }
    return position_ >= current_size;
}

#endif

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
    TReplacement_File replacement(target, target, size);
    int early_end_code = 0;
    const std::size_t written = replacement.Write(data, size, early_end_code);
    if (written < size) {
        return written; // the replacement is discarded; the target stays as it was
    }
    replacement.Replace();
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
    TReplacement_File replacement(target, source_path, source.Size());
    std::vector<std::uint8_t> buffer(Copy_Piece);
    for (;;) {
        const std::size_t count = source.Read(buffer.data(), buffer.size());
        if (count == 0) {
            break;
        }
        int early_end_code = 0;
        if (replacement.Write(buffer.data(), count, early_end_code) < count) {
            throw EInOutError(early_end_code);
        }
    }
    replacement.Replace();
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

void Ignore_File_Size_Limit_Signal()
{
#ifndef _WIN32
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace plotvane
