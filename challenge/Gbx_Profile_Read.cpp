#include "challenge/Gbx_Profile_Read.h"

#include "challenge/TMF_Base_Tools.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Memory_IO.h"
#include "memory/Memory_Tools.h"
#include "platform/File_System.h"
#include "platform/Utf8_Paths.h"

#include <cstdint>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

namespace plotvane {

namespace {

// The login's 32-bit length lies at a fixed place inside the header's user data; the login
// follows it. The kind test needs the bytes before the length.
constexpr std::uint32_t Login_Length_Offset = 29;
constexpr std::uint32_t Login_Offset = Login_Length_Offset + 4;

// Reads only what the kind test and the login need: a profile may be any size.
std::string Read_Login(const std::string& path, const TMemory_Mask& mask)
{
    TFlexible_Byte_Array data;
    if (Load_File_Prefix_To_Memory(path, Login_Offset, data, mask) != Status_Ok ||
        Gbx_Get_Type(data, mask) != Gbx_Kind_Profile ||
        !Bytes_Available(data, Login_Length_Offset, 4)) {
        return {};
    }
    std::uint32_t cursor = Login_Length_Offset;
    const std::uint32_t length = Read_DWord(data, cursor, false, mask);
    if (length == 0) {
        return {}; // an offline profile
    }
    // The login must end before the file's last byte, so the byte after it is read too:
    // Read_Chars gives "" for a login that would end on or past the end of what was read.
    Clear_Array(data);
    if (Load_File_Prefix_To_Memory(path, std::uint64_t{Login_Offset} + length + 1, data, mask) !=
        Status_Ok) {
        return {};
    }
    cursor = Login_Offset;
    return Read_Chars(data, cursor, length, false, mask);
}

} // namespace

std::string Profiles_Folder(const std::string& game_folder)
{
    return Utf8_From_Path(Path_From_Utf8(game_folder) / "Profiles" / "");
}

std::string Profile_Read_Login(const std::string& path, const TMemory_Mask& mask)
{
    // A profile that another program holds locked, that we may not read, or whose login is
    // too long to hold in memory is skipped like any other unreadable profile instead of
    // ending the whole search.
    try {
        return Read_Login(path, mask);
    } catch (const EInOutError&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

TProfile_List Get_Online_Profiles(const TMemory_Mask& mask)
{
    return Get_Online_Profiles(Get_TrackMania_Folder(), mask);
}

TProfile_List Get_Online_Profiles(const std::string& game_folder, const TMemory_Mask& mask)
{
    // A missing Profiles folder lists no files, and so gives no logins.
    std::vector<std::string> logins;
    for (const std::string& path : List_Files(Profiles_Folder(game_folder), "Profile.Gbx")) {
        std::string login = Profile_Read_Login(path, mask);
        if (!login.empty()) {
            logins.push_back(std::move(login));
        }
    }
    return TProfile_List(std::move(logins));
}

} // namespace plotvane
