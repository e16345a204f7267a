#include "platform/File_Lock.h"

#include "platform/Utf8_Paths.h"

#include <windows.h>

namespace plotvane {

namespace {

// A lock on Windows keeps others from reading and writing the bytes it covers, so the lock
// covers one byte far past any real end of the file instead of its contents.
constexpr DWORD Lock_Offset_High = 0x7FFFFFFF;

} // namespace

// Shared for reading, writing and deleting, so that the holder's save can still put a new
// file in this one's place.
TFile_Lock::THandle TFile_Lock::Open_For_Lock(const std::string& path)
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

void TFile_Lock::Close(THandle handle)
{
    CloseHandle(handle);
}

TFile_Lock::TLock_Attempt TFile_Lock::Try_Lock(THandle handle)
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

bool TFile_Lock::Still_Named(const std::string& path, THandle held)
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

} // namespace plotvane
