#include "platform/File_Lock.h"

#include <thread>

namespace plotvane {

namespace {

// How often a waiting edit tries the lock again.
constexpr std::chrono::milliseconds Retry_Interval{20};

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
            handle_ = handle;
            return;
        }
        Close(handle);
    }
}

TFile_Lock::~TFile_Lock()
{
    if (handle_ != No_Handle) {
        Close(handle_);
    }
}

} // namespace plotvane
