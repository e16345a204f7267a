#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

namespace plotvane {

// Another edit held the file for longer than the lock waits.
class EFile_In_Use : public std::runtime_error {
public:
    EFile_In_Use();
};

// An exclusive lock on a file for the span of one read-modify-write, so that two edits of one
// file at once run one after the other instead of one losing the other's change (and its backup
// holding the other's result). Every editing command holds one from before it reads the file
// until after it has written it; readers take none.
//
// The lock belongs to the file, not to its name: a save puts a new file in the old one's place,
// so a lock taken on the old file is taken again on the new one. A path that names no regular
// file (missing, a folder, a FIFO) or that cannot be opened is not locked: the edit's own read
// then reports what it is. Neither is a file on a file system without locks.
class TFile_Lock {
public:
    // How long a second edit waits for the first before it gives up.
    static constexpr std::chrono::milliseconds Default_Wait{3000};

    // Takes the lock, waiting up to `wait` for the edit that holds it; raises EFile_In_Use
    // when it is still held then.
    explicit TFile_Lock(const std::string& path, std::chrono::milliseconds wait = Default_Wait);
    ~TFile_Lock();
    TFile_Lock(const TFile_Lock&) = delete;
    TFile_Lock& operator=(const TFile_Lock&) = delete;

private:
    // The open file that holds the lock: a HANDLE on Windows, a descriptor elsewhere.
#ifdef _WIN32
    using THandle = void*;
    static constexpr THandle No_Handle = nullptr;
#else
    using THandle = int;
    static constexpr THandle No_Handle = -1;
#endif

    enum class TLock_Attempt { Taken, Held_Elsewhere, Unsupported };

    // The steps of taking the lock, in each system's own file (File_Lock_Posix.cpp,
    // File_Lock_Windows.cpp): open the file (No_Handle when it is not to be locked), try the
    // lock once, ask whether the path still names the file held, close it.
    static THandle Open_For_Lock(const std::string& path);
    static TLock_Attempt Try_Lock(THandle handle);
    static bool Still_Named(const std::string& path, THandle held);
    static void Close(THandle handle);

    THandle handle_ = No_Handle;
};

} // namespace plotvane
