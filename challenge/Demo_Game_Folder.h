#pragma once

#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>

namespace plotvane {

// The login of the demo profile, who is also the author of the demo challenge.
constexpr const char* Demo_Login = "demo_player";

// Where the two demo files go inside a game user folder.
std::string Demo_Profile_Path(const std::string& game_folder);
std::string Demo_Challenge_Path(const std::string& game_folder);

// The expanded images of the two demo files, masked: a profile whose login is `login`
// (Demo_Login in the demo folder), and a small challenge by Demo_Login in the Stadium collection
// with a handful of blocks (names in place and by reference, one block carrying an author record
// with an attached skin record).
TFlexible_Byte_Array Demo_Profile_Image(const TMemory_Mask& mask,
                                        const std::string& login = Demo_Login);
TFlexible_Byte_Array Demo_Challenge_Image(const TMemory_Mask& mask);

// Makes a game user folder to try the programs on: Profiles/Demo.Profile.Gbx and
// Tracks/Challenges/Demo.Challenge.Gbx below `game_folder`, creating the folders on the way
// and replacing earlier demo files. Returns 0 or the status of Gbx_Save_File.
// Operating-system failures raise EInOutError.
std::uint32_t Make_Demo_Game_Folder(const std::string& game_folder, const TMemory_Mask& mask);

} // namespace plotvane
