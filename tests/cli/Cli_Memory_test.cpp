// The commands when memory runs out. This suite replaces the global allocation functions, so
// that an allocation above a limit that a test sets raises std::bad_alloc exactly as an
// exhausted system would; AddressSanitizer's own allocator aborts instead, and a limit on the
// address space would stop it working at all. It is a program of its own so that no other
// suite runs with the replacement.

#include "cli/Cli_Commands.h"

#include "tests/cli/Cli_Run.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Allocations of at least this many bytes fail; 0 lets every allocation through.
std::atomic<std::size_t> allocation_limit{0};

void* Allocate(std::size_t size)
{
    const std::size_t limit = allocation_limit.load();
    if (limit != 0 && size >= limit) {
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void* Allocate_Or_Null(std::size_t size) noexcept
{
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size);
}
void* operator new[](std::size_t size)
{
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate_Or_Null(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate_Or_Null(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

namespace plotvane {
namespace {

constexpr std::size_t Limit = std::size_t{1} << 20;

using test::TCli_Run;

// Runs the command with allocations of Limit bytes or more failing.
TCli_Run Run_Short_Of_Memory(const std::vector<std::string>& arguments)
{
    std::vector<const char*> argv = {"plotvane-cli"};
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    allocation_limit = Limit;
    const int exit_code = Run_Cli(static_cast<int>(argv.size()), argv.data(), out, err);
    allocation_limit = 0;
    return {exit_code, out.str(), err.str()};
}

class Cli_Memory_Test : public testing::Test {
protected:
    // A small file whose body expands to more than the limit.
    std::string Write_Large_Challenge(const std::string& name)
    {
        const std::string path = folder_.Path() + "/" + name;
        test::Write_Plain_File(path, test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, {},
                                                             test::Compressible_Body(4 * Limit, 3),
                                                             false));
        return path;
    }

    test::TScratch_Folder folder_;
};

TEST_F(Cli_Memory_Test, A_File_Too_Large_For_The_Memory_Left_Is_One_Line_And_Exit_1)
{
    const std::string large = Write_Large_Challenge("Large.Challenge.Gbx");
    const std::string small = folder_.Path() + "/Small.Profile.Gbx";
    test::Write_Profile_File(small, {"Alice"});

    const TCli_Run blocks = Run_Short_Of_Memory({"blocks", "--json", large});
    EXPECT_EQ(blocks.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(blocks.Err, "plotvane-cli: " + large + ": not enough memory to read the file\n");
    EXPECT_EQ(blocks.Out, "");

    // info goes on with the next file, as it does past a file it cannot read.
    const TCli_Run info = Run_Short_Of_Memory({"info", "--json", large, small});
    EXPECT_EQ(info.Exit_Code, Cli_Exit_Failure);
    EXPECT_EQ(info.Err, "plotvane-cli: " + large + ": not enough memory to read the file\n");
    EXPECT_NE(info.Out.find(small), std::string::npos) << info.Out;
}

TEST_F(Cli_Memory_Test, The_Profile_Search_Skips_A_Login_Too_Long_For_The_Memory_Left)
{
    const std::string profiles = folder_.Make_Folder("Profiles");
    test::Write_Profile_File(profiles + "/A.Profile.Gbx", {"Alice"});
    test::Write_Profile_File(profiles + "/B.Profile.Gbx", {std::string(2 * Limit, 'b')});

    const TCli_Run run = Run_Short_Of_Memory({"profiles", "--game-folder", folder_.Path()});
    EXPECT_EQ(run.Exit_Code, Cli_Exit_Ok) << run.Err;
    EXPECT_NE(run.Out.find("Logins: 1\n  Alice\n"), std::string::npos) << run.Out;
}

} // namespace
} // namespace plotvane
