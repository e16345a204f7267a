#include "platform/File_System.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/resource.h>
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

// Writes go out in pieces that every platform's write call accepts in one request.
constexpr std::size_t Write_Piece = std::size_t{1} << 30;
// A copy goes through a buffer of this size.
constexpr std::size_t Copy_Piece = std::size_t{1} << 20;

// std::filesystem reports errno values on POSIX; on Windows its system errors are the
// system's own numbers, which already follow the classic numbering.
[[noreturn]] void Raise_From(const std::error_code& error)
{
#ifdef _WIN32
    if (error.category() == std::system_category()) {
        throw EInOutError(error.value());
    }
#endif
    Raise_In_Out_Error_From_Errno(error.value());
}

// Size of an open file now; 0 on success, otherwise the errno value.
int Measure_Size(std::FILE* file, std::uint64_t& size)
{
#ifdef _WIN32
    struct _stat64 status {};
    if (_fstat64(_fileno(file), &status) != 0) {
        return errno;
    }
#else
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) {
        return errno;
    }
#endif
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

// One write request; returns the count written, or -1 with errno set.
long long Write_Some(int descriptor, const std::uint8_t* data, std::size_t count)
{
#ifdef _WIN32
    return _write(descriptor, data, static_cast<unsigned>(count));
#else
    return ::write(descriptor, data, count);
#endif
}

// Writes until all is written or a full disk or a quota ends the write early.
// Returns the count written; `early_end_error` receives the errno value that ended it (0 when
// all was written).
std::size_t Write_All(int descriptor, const std::uint8_t* data, std::size_t size,
                      int& early_end_error)
{
    early_end_error = 0;
    std::size_t written = 0;
    while (written < size) {
        const long long result =
            Write_Some(descriptor, data + written, std::min(size - written, Write_Piece));
        if (result < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            if (Ends_Write_Early(error)) {
                early_end_error = error;
                break;
            }
            Raise_In_Out_Error_From_Errno(error);
        }
        if (result == 0) {
            early_end_error = ENOSPC; // no progress: another request would fare no better
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

// A temporary file's name ends in this mark and six drawn letters.
constexpr char Temporary_Mark[] = ".plotvane-";
constexpr std::size_t Temporary_Letters = 6;
// The longest file name that the common file systems take, in bytes.
constexpr std::size_t Longest_File_Name = 255;

// The target's own name, cut short where needed, so that a temporary file named after a target
// whose name is as long as the system allows still fits.
std::string Temporary_Stem(const std::filesystem::path& target)
{
    const std::string name = target.filename().string();
    return name.substr(0, Longest_File_Name - 1 - (sizeof Temporary_Mark - 1) - Temporary_Letters);
}

// ".NAME.plotvane-XXXXXX" beside the target: named after it, so that the next save of the same
// file finds what a killed one left. The dot keeps it out of ordinary folder listings.
std::string Temporary_Name_Template(const std::string& target)
{
    const std::filesystem::path path(target);
    return (path.parent_path() /
            ("." + Temporary_Stem(path) + Temporary_Mark + std::string(Temporary_Letters, 'X')))
        .string();
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
#else
// Windows keeps a file that is open for writing from being removed.
void Remove_If_Unheld(const std::string& path)
{
    static_cast<void>(std::remove(path.c_str()));
}
#endif

#ifndef _WIN32
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

// The temporary name template with its X's drawn at random, as mkstemp draws them.
std::string Fresh_Temporary_Name(const std::string& target)
{
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Letters - 2);
    std::string name = Temporary_Name_Template(target);
    for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
        name[i] = Letters[pick(generator)];
    }
    return name;
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
#endif

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
#ifdef _WIN32
        static_cast<void>(model_path);
        static_cast<void>(size);
        const int naming_error = _mktemp_s(name_.data(), name_.size() + 1);
        if (naming_error != 0) {
            Raise_In_Out_Error_From_Errno(naming_error);
        }
        const int error = _sopen_s(&descriptor_, name_.c_str(),
                                   _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO,
                                   _S_IREAD | _S_IWRITE);
        if (error != 0) {
            Raise_In_Out_Error_From_Errno(error);
        }
#else
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
#endif
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
    // quota ended the write early (`early_end_error` then says which).
    std::size_t Write(const std::uint8_t* data, std::size_t size, int& early_end_error)
    {
        const std::size_t written = Write_All(descriptor_, data, size, early_end_error);
        written_ += written;
        return written;
    }

    // Flushes the contents to the disk, then puts the file in the target's place. A late write
    // failure shows up in the flush or the close, before the target is touched.
    void Replace()
    {
#ifdef _WIN32
        if (_commit(descriptor_) != 0) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        if (_close(std::exchange(descriptor_, -1)) != 0) {
            Raise_In_Out_Error_From_Errno(errno);
        }
        if (!MoveFileExA(name_.c_str(), target_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            throw EInOutError(static_cast<int>(GetLastError()));
        }
#else
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
#endif
        placed_ = true;
    }

private:
    enum class TKind { Named, Anonymous, In_Place };

#ifndef _WIN32
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
#endif

    void Discard()
    {
        if (descriptor_ >= 0) {
#ifdef _WIN32
            _close(std::exchange(descriptor_, -1));
#else
            ::close(std::exchange(descriptor_, -1));
#endif
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
        // Another error whose number the classic table already gives a meaning (EIO is 5)
        // moves 1000 up, so that it is never shown as, say, "File access denied".
        return In_Out_Error_Text(errno_value).rfind("I/O error", 0) == 0 ? errno_value
                                                                         : 1000 + errno_value;
    }
}

void Raise_In_Out_Error_From_Errno(int errno_value)
{
    throw EInOutError(In_Out_Error_Code_From_Errno(errno_value));
}

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

std::string Current_Directory()
{
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    if (error) {
        Raise_From(error);
    }
    return path.string();
}

// fopen shares the file with other readers and writers on every platform.
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

std::size_t Replace_File_Contents(const std::string& path, const std::uint8_t* data,
                                  std::size_t size)
{
    const std::string target = Resolve_Link(path);
    TReplacement_File replacement(target, target, size);
    int early_end_error = 0;
    const std::size_t written = replacement.Write(data, size, early_end_error);
    if (written < size) {
        return written; // the replacement is discarded; the target stays as it was
    }
    replacement.Replace();
    return written;
}

void Copy_File(const std::string& source_path, const std::string& target_path)
{
    std::error_code error;
    const std::filesystem::file_status source_status =
        std::filesystem::status(source_path, error);
    if (error) {
        Raise_From(error);
    }
    if (!std::filesystem::is_regular_file(source_status)) {
        Raise_In_Out_Error_From_Errno(ENOENT);
    }
    TInput_File source(source_path);
    const std::string target = Resolve_Link(target_path);
    // A target that is the source itself, through a link of either kind, would be overwritten
    // by the copy meant to keep it.
    if (std::filesystem::equivalent(source_path, target, error)) {
        throw EInOutError(Error_Same_File);
    }
    TReplacement_File replacement(target, source_path, source.Size());
    std::vector<std::uint8_t> buffer(Copy_Piece);
    for (;;) {
        const std::size_t count = source.Read(buffer.data(), buffer.size());
        if (count == 0) {
            break;
        }
        int early_end_error = 0;
        if (replacement.Write(buffer.data(), count, early_end_error) < count) {
            Raise_In_Out_Error_From_Errno(early_end_error);
        }
    }
    replacement.Replace();
}

void Remove_Stale_Temporaries(const std::vector<std::string>& targets)
{
    for (const std::string& target_path : targets) {
        std::filesystem::path target;
        try {
            target = Resolve_Link(target_path);
        } catch (const EInOutError&) {
            continue; // a link that leads nowhere usable has no temporary file beside its end
        }
        const std::string stem = Temporary_Stem(target);
        const std::filesystem::path folder =
            target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            if (Is_Temporary_Of(entry->path().filename().string(), stem)) {
                Remove_If_Unheld(entry->path().string());
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
