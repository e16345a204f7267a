#include "platform/File_Lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plotvane {

// Without blocking on a FIFO, and for locking only.
TFile_Lock::THandle TFile_Lock::Open_For_Lock(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat status {};
    if (descriptor >= 0 && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(descriptor);
        return No_Handle;
    }
    return descriptor;
}

void TFile_Lock::Close(THandle descriptor)
{
    ::close(descriptor);
}

// flock, not fcntl: a record lock would end when any descriptor of the file closes, as the
// edit's own read and backup copy do.
TFile_Lock::TLock_Attempt TFile_Lock::Try_Lock(THandle descriptor)
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

bool TFile_Lock::Still_Named(const std::string& path, THandle held)
{
    struct stat named {};
    struct stat locked {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(held, &locked) == 0 &&
           named.st_dev == locked.st_dev && named.st_ino == locked.st_ino;
}

} // namespace plotvane
