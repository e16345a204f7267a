#include "tests/support/Profile_Builder.h"

namespace plotvane::test {

TBytes Make_Profile_File(const TProfile_Description& description)
{
    // User data from offset 17: twelve bytes the reader must step over (filled with 0xEE so
    // that a read from the wrong offset shows), then the login's length and the login.
    TBytes user_data(Profile_Login_Length_Offset - 17, 0xEE);
    Append_DWord(user_data, static_cast<std::uint32_t>(description.Login.size()));
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
