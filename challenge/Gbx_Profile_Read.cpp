#include "challenge/Gbx_Profile_Read.h"

#include "challenge/TMF_Base_Tools.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_IO.h"
#include "memory/Memory_Tools.h"
#include "platform/File_System.h"

#include <cstdint>
#include <filesystem>

namespace plotvane {

namespace {

// The login's 32-bit length lies at a fixed place inside the header's user data; the login
// follows it.
constexpr std::uint32_t Login_Length_Offset = 29;

std::string Read_Login(const TFlexible_Byte_Array& data, const TMemory_Mask& mask)
{
    if (Gbx_Get_Type(data, mask) != Gbx_Kind_Profile ||
        !Bytes_Available(data, Login_Length_Offset, 4)) {
        return {};
    }
    std::uint32_t cursor = Login_Length_Offset;
    const std::uint32_t length = Read_DWord(data, cursor, true, mask);
    // Read_Chars gives "" for a length of 0 (an offline profile) and for a login that would
    // end on or past the last byte of the file.
    return Read_Chars(data, cursor, length, false, mask);
}

} // namespace

std::string Profiles_Folder(const std::string& game_folder)
{
    return (std::filesystem::path(game_folder) / "Profiles" / "").string();
}

std::string Profile_Read_Login(const std::string& path, const TMemory_Mask& mask)
{
    TFlexible_Byte_Array data;
    try {
        if (Load_File_To_Memory(path, data, mask) != Status_Ok) {
            return {};
        }
    } catch (const EInOutError&) {
        // A profile that another program holds locked, or that we may not read, is skipped
        // like any other unreadable profile instead of ending the whole search.
        return {};
    }
    return Read_Login(data, mask);
}

TProfile_List Get_Online_Profiles(const TMemory_Mask& mask)
{
    return Get_Online_Profiles(Get_TrackMania_Folder(), mask);
}

TProfile_List Get_Online_Profiles(const std::string& game_folder, const TMemory_Mask& mask)
{
    // A missing Profiles folder lists no files, and so gives no logins.
    TProfile_List profiles;
    for (const std::string& path : List_Files(Profiles_Folder(game_folder), "Profile.Gbx")) {
        const std::string login = Profile_Read_Login(path, mask);
        if (!login.empty()) {
            profiles.Add(login);
        }
    }
    return profiles;
}

} // namespace plotvane
