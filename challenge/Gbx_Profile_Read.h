#pragma once

#include "challenge/Gbx_Profile_Structure.h"
#include "memory/Base_Structure.h"

#include <string>

namespace plotvane {

// The Profiles folder of a game user folder, with its trailing separator.
std::string Profiles_Folder(const std::string& game_folder);

// The online login stored in one profile file (a 32-bit length at offset 29, the login at 33),
// or "" when the file cannot be read, is not a profile, has no login, or is too short to hold
// all of it. Reads only the bytes up to the one after the login, whatever the file's size.
// Never raises: an operating-system failure on the file, or a login too long for the memory
// left, also gives "".
std::string Profile_Read_Login(const std::string& path, const TMemory_Mask& mask);

// The logins of the online profiles in the Profiles folder of the game user folder (found by
// Get_TrackMania_Folder); empty when there is none. Offline profiles, files of other kinds and
// unreadable files are skipped.
TProfile_List Get_Online_Profiles(const TMemory_Mask& mask);
// The same for a game user folder named by the caller (with or without a trailing separator).
TProfile_List Get_Online_Profiles(const std::string& game_folder, const TMemory_Mask& mask);

} // namespace plotvane
