#include "platform/File_Lock.h"

#include <cerrno>
#include <thread>
#include <utility>

#ifdef _WIN32
#include "platform/Utf8_Paths.h"

#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace plotvane {

namespace {

// How often a waiting edit tries the lock again.
constexpr std::chrono::milliseconds Retry_Interval{20};

enum class TLock_Attempt { Taken, Held_Elsewhere, Unsupported };

#ifdef _WIN32
using THandle = void*;
const THandle No_Handle = nullptr;

// A lock on Windows keeps others from reading and writing the bytes it covers, so the lock
// covers one byte far past any real end of the file instead of its contents.
constexpr DWORD Lock_Offset_High = 0x7FFFFFFF;

// Shared for reading, writing and deleting, so that the holder's save can still put a new
// file in this one's place.
THandle Open_For_Lock(const std::string& path)
{
    HANDLE handle = CreateFileW(Win32_Path(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return No_Handle;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return No_Handle;
    }
    return handle;
}

void Close(THandle handle)
{
    CloseHandle(handle);
}

TLock_Attempt Try_Lock(THandle handle)
{
    OVERLAPPED place{};
    place.OffsetHigh = Lock_Offset_High;
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &place)) {
        return TLock_Attempt::Taken;
    }
    return GetLastError() == ERROR_LOCK_VIOLATION ? TLock_Attempt::Held_Elsewhere
                                                  : TLock_Attempt::Unsupported;
}

bool Still_Named(const std::string& path, THandle held)
{
    const THandle named = Open_For_Lock(path);
    if (named == No_Handle) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION named_information{};
    BY_HANDLE_FILE_INFORMATION held_information{};
    const bool same =
        GetFileInformationByHandle(named, &named_information) &&
        GetFileInformationByHandle(held, &held_information) &&
        named_information.dwVolumeSerialNumber == held_information.dwVolumeSerialNumber &&
        named_information.nFileIndexHigh == held_information.nFileIndexHigh &&
        named_information.nFileIndexLow == held_information.nFileIndexLow;
    CloseHandle(named);
    return same;
}
#else
using THandle = int;
const THandle No_Handle = -1;

// Without blocking on a FIFO, and for locking only.
THandle Open_For_Lock(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat status {};
    if (descriptor >= 0 && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(descriptor);
        return No_Handle;
    }
    return descriptor;
}

void Close(THandle descriptor)
{
    ::close(descriptor);
}

// flock, not fcntl: a record lock would end when any descriptor of the file closes, as the
// edit's own read and backup copy do.
TLock_Attempt Try_Lock(THandle descriptor)
{
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return TLock_Attempt::Held_Elsewhere;
        }
        if (errno != EINTR) {
            return TLock_Attempt::Unsupported;
        }
    }
    return TLock_Attempt::Taken;
}

bool Still_Named(const std::string& path, THandle held)
{
    struct stat named {};
    struct stat locked {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(held, &locked) == 0 &&
           named.st_dev == locked.st_dev && named.st_ino == locked.st_ino;
}
#endif

} // namespace

EFile_In_Use::EFile_In_Use()
    : std::runtime_error("the file is being changed by another program; try again once it is done")
{
}

TFile_Lock::TFile_Lock(const std::string& path, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        THandle handle = Open_For_Lock(path);
        if (handle == No_Handle) {
            return;
        }
        TLock_Attempt attempt = Try_Lock(handle);
        while (attempt == TLock_Attempt::Held_Elsewhere) {
            if (std::chrono::steady_clock::now() >= deadline) {
                Close(handle);
                throw EFile_In_Use();
            }
            std::this_thread::sleep_for(Retry_Interval);
            attempt = Try_Lock(handle);
        }
        if (attempt == TLock_Attempt::Unsupported) {
            Close(handle);
            return;
        }
        // The edit that held the lock may have put a new file in this one's place: that one is
        // the file to lock now.
        if (Still_Named(path, handle)) {
#ifdef _WIN32
            handle_ = handle;
#else
            descriptor_ = handle;
#endif
            return;
        }
        Close(handle);
    }
}

TFile_Lock::~TFile_Lock()
{
#ifdef _WIN32
    if (handle_ != No_Handle) {
        Close(handle_);
    }
#else
    if (descriptor_ != No_Handle) {
        Close(descriptor_);
    }
#endif
}

} // namespace plotvane
