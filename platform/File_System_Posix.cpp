#include "platform/File_System.h"

#include "platform/File_System_Internal.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plotvane {

namespace {

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

// A temporary file is locked while its save runs: one that no lock holds was left by a save
// that was killed.
void Hold_Temporary_Lock(int descriptor)
{
    static_cast<void>(::flock(descriptor, LOCK_EX | LOCK_NB));
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

// The POSIX form of TReplacement_File: a file without a name where the system offers one, else
// a uniquely named file beside the target. In a folder that may not be written to, an existing
// target that may be written is written in place instead: the backup copy made before it is
// then the way back.
class TPosix_Replacement_File final : public TReplacement_File {
public:
    TPosix_Replacement_File(const std::string& target, const std::string& model_path,
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

    ~TPosix_Replacement_File() override
    {
        if (!placed_) {
            Discard();
        }
    }

    TPosix_Replacement_File(const TPosix_Replacement_File&) = delete;
    TPosix_Replacement_File& operator=(const TPosix_Replacement_File&) = delete;

    std::size_t Write(const std::uint8_t* data, std::size_t size, int& early_end_code) override
    {
        const std::size_t written = Write_All(descriptor_, data, size, early_end_code);
        written_ += written;
        return written;
    }

    // A late write failure shows up in the flush or the close, before the target is touched.
    void Replace() override
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

} // namespace

void Raise_From(const std::error_code& error)
{
    Raise_In_Out_Error_From_Errno(error.value());
}

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

std::unique_ptr<TReplacement_File> Open_Replacement_File(const std::string& target,
                                                         const std::string& model_path,
                                                         std::uint64_t size)
{
    return std::make_unique<TPosix_Replacement_File>(target, model_path, size);
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

void Ignore_File_Size_Limit_Signal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace plotvane
