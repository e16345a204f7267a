// Profile_Read_Login on any file. The input is written to one file of this process and read
// back through the path: the login must be what the bytes hold, that is the L bytes at offset
// 33 of a profile whose length L at offset 29 is not 0 and whose login ends before its last
// byte, and the empty string for every other file. Load_File_Prefix_To_Memory, which the login
// reader uses, must give the first bytes of the file, as many as asked or all there are.

#include "challenge/Gbx_Profile_Read.h"
#include "fuzz/Fuzz_Support.h"

#include "memory/Memory_IO.h"

#include <algorithm>
#include <string>

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

constexpr std::size_t Login_Length_Offset = 29;
constexpr std::size_t Login_Offset = 33;

std::string Expected_Login(const std::uint8_t* data, std::size_t size)
{
    if (!Has_Gbx_Header(data, size, Profile_Class_Id) || size < Login_Offset) {
        return {};
    }
    const std::size_t length = Le32_At(data, Login_Length_Offset);
    if (length == 0 || length >= size - Login_Offset) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(data + Login_Offset), length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const TScratch_Folder folder("profile-login-fuzzer");
    const std::string path = folder.Write("Input.Profile.Gbx", data, size);
    const TMemory_Mask mask = Mask_For(size);
    const std::string login = Profile_Read_Login(path, mask);
    PLOTVANE_FUZZ_CHECK(login == Expected_Login(data, size));
    PLOTVANE_FUZZ_CHECK(Profile_Read_Login(path, Other_Mask(mask)) == login);

    // Counts around the login's end and the file's end, and past both.
    const std::uint64_t length = size >= Login_Offset ? Le32_At(data, Login_Length_Offset) : 0;
    for (const std::uint64_t count : {std::uint64_t{0}, std::uint64_t{Login_Offset},
                                      Login_Offset + length + 1, std::uint64_t{size},
                                      std::uint64_t{size} + 1, std::uint64_t{size} / 2}) {
        TFlexible_Byte_Array prefix = {1, 2, 3};
        PLOTVANE_FUZZ_CHECK(Load_File_Prefix_To_Memory(path, count, prefix, mask) == 0);
        const std::size_t expected = static_cast<std::size_t>(std::min<std::uint64_t>(count, size));
        PLOTVANE_FUZZ_CHECK(prefix.size() == expected);
        PLOTVANE_FUZZ_CHECK(Same_Bytes(Unmasked(prefix, mask).data(), data, expected));
    }
    return 0;
}
