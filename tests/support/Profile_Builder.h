#pragma once

#include "tests/support/Gbx_Test_Files.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace plotvane::test {

// Where a profile file holds the length of its login, and where the login starts.
constexpr std::size_t Profile_Login_Length_Offset = 29;
constexpr std::size_t Profile_Login_Offset = 33;

// A profile file as a test wants it. The defaults give a well-formed online profile whose
// login is followed by the rest of the header (node count, references, body sizes).
struct TProfile_Description {
    TProfile_Description(std::string login, std::uint32_t class_id = Profile_Class_Id,
                         std::optional<std::size_t> length = std::nullopt)
        : Login(std::move(login)), Class_Id(class_id), Length(length)
    {
    }

    std::string Login;                  // "" gives a stored length of 0: an offline profile
    std::uint32_t Class_Id;
    std::optional<std::size_t> Length;  // cut the file to this many bytes
};

TBytes Make_Profile_File(const TProfile_Description& description);
void Write_Profile_File(const std::string& path, const TProfile_Description& description);

} // namespace plotvane::test
