#include "tests/support/Profile_Builder.h"

namespace plotvane::test {

namespace {

void Append_Little_Endian(TBytes& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

} // namespace

TBytes Make_Profile_File(const TProfile_Description& description)
{
    // User data from offset 17: twelve bytes the reader must step over (filled with 0xEE so
    // that a read from the wrong offset shows), then the login's length and the login.
    TBytes user_data(Profile_Login_Length_Offset - 17, 0xEE);
    Append_Little_Endian(user_data, static_cast<std::uint32_t>(description.Login.size()));
    user_data.insert(user_data.end(), description.Login.begin(), description.Login.end());
    TBytes file = Make_Gbx_File(description.Class_Id, user_data, 0, {});
    if (description.Length) {
        file.resize(*description.Length);
    }
    return file;
}

void Write_Profile_File(const std::string& path, const TProfile_Description& description)
{
    Write_Plain_File(path, Make_Profile_File(description));
}

} // namespace plotvane::test
