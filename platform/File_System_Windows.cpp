#include "platform/File_System.h"

#include "platform/File_System_Internal.h"
#include "platform/Utf8_Paths.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <ratio>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <windows.h>
#include <aclapi.h>

namespace plotvane {

namespace {

bool Ends_Write_Early(DWORD error)
{
    return error == Windows_Disk_Full || error == Windows_Handle_Disk_Full ||
           error == Windows_Disk_Quota_Exceeded;
}

// As the POSIX Write_All (File_System_Posix.cpp).
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

// The Windows form of TReplacement_File: a hidden, uniquely named file beside the target, opened
// without sharing it for deletion (Remove_Stale_Temporaries cannot take it from a running
// save), written, flushed, given the attributes of the model, then put in the target's place
// by its handle, after which it takes the model's own access rules; or else by name:
// ReplaceFileW over an existing target (which carries the target's rules over itself),
// MoveFileExW to a new one (whose rules are those of its folder). A folder that refuses new
// files refuses the save.
class TWindows_Replacement_File final : public TReplacement_File {
public:
    TWindows_Replacement_File(const std::string& target, const std::string& model_path)
        : target_(target), model_path_(model_path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        DWORD error = 0;
        if (Read_Attributes(target, data, error)) {
            target_exists_ = true;
            // A folder in the target's place is refused as on POSIX systems, before anything is
            // written: a rename by handle may replace an empty one.
            if (Is_Folder(data)) {
                throw EInOutError(Error_Is_A_Folder);
            }
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

    ~TWindows_Replacement_File() override
    {
        if (!placed_) {
            Discard();
        } else if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_); // renamed into place by its handle
        }
    }

    TWindows_Replacement_File(const TWindows_Replacement_File&) = delete;
    TWindows_Replacement_File& operator=(const TWindows_Replacement_File&) = delete;

    std::size_t Write(const std::uint8_t* data, std::size_t size, int& early_end_code) override
    {
        return Write_All(handle_, data, size, early_end_code);
    }

    void Replace() override
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

} // namespace

void Raise_From(const std::error_code& error)
{
    if (error.category() == std::system_category()) {
        Raise_In_Out_Error_From_Windows_Error(static_cast<unsigned long>(error.value()));
    }
    Raise_In_Out_Error_From_Errno(error.value());
}

// Windows programs meet symbolic links seldom, and a save replaces the link itself there.
std::string Resolve_Link(const std::string& path)
{
    return path;
}

// A running save keeps its temporary file open without sharing it for deletion, so a temporary
// that cannot be deleted is one that a save holds.
void Remove_If_Unheld(const std::string& path)
{
    DeleteFileW(Win32_Path(path).c_str());
}

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

std::unique_ptr<TReplacement_File> Open_Replacement_File(const std::string& target,
                                                         const std::string& model_path,
                                                         std::uint64_t)
{
    return std::make_unique<TWindows_Replacement_File>(target, model_path);
}

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

// Nothing to do on Windows.
void Ignore_File_Size_Limit_Signal()
{
}

} // namespace plotvane
