// Saves whose flush, close or write fails, and a save killed before its end. This program is
// linked with fsync, close and write wrapped (-Wl,--wrap=...), so that a test can make the next
// call fail as a failing disk would.
#include "platform/File_System.h"

#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class TFault { None, Fsync_Fails, Close_Fails, Write_Finds_Disk_Full, Killed_At_Fsync };

// The fault that the next call of its kind meets; it happens once.
TFault Armed_Fault = TFault::None;

bool Take_Fault(TFault fault)
{
    if (Armed_Fault != fault) {
        return false;
    }
    Armed_Fault = TFault::None;
    return true;
}

} // namespace

extern "C" {
int __real_fsync(int descriptor);
int __real_close(int descriptor);
ssize_t __real_write(int descriptor, const void* data, size_t count);

int __wrap_fsync(int descriptor)
{
    if (Take_Fault(TFault::Killed_At_Fsync)) {
        std::raise(SIGKILL);
    }
    if (Take_Fault(TFault::Fsync_Fails)) {
        errno = EIO;
        return -1;
    }
    return __real_fsync(descriptor);
}

// As on Linux, the descriptor is closed even when the close reports an error.
int __wrap_close(int descriptor)
{
    const int result = __real_close(descriptor);
    if (Take_Fault(TFault::Close_Fails)) {
        errno = EIO;
        return -1;
    }
    return result;
}

ssize_t __wrap_write(int descriptor, const void* data, size_t count)
{
    if (Take_Fault(TFault::Write_Finds_Disk_Full)) {
        errno = ENOSPC;
        return -1;
    }
    return __real_write(descriptor, data, count);
}
}

namespace plotvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names_In(const std::string& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A map and its backup, each with contents of its own.
class Save_Faults_Test : public testing::Test {
protected:
    Save_Faults_Test()
    {
        test::Write_Plain_File(Map(), {'o', 'l', 'd'});
        test::Write_Plain_File(Backup(), {'b', 'a', 'k'});
    }

    std::string Map() const { return folder_.Path() + "/Map"; }
    std::string Backup() const { return folder_.Path() + "/Map.bak"; }

    void Expect_Both_As_They_Were() const
    {
        EXPECT_EQ(test::Read_Plain_File(Map()), (test::TBytes{'o', 'l', 'd'}));
        EXPECT_EQ(test::Read_Plain_File(Backup()), (test::TBytes{'b', 'a', 'k'}));
        EXPECT_EQ(Names_In(folder_.Path()), (std::vector<std::string>{"Map", "Map.bak"}))
            << "a temporary file was left behind";
    }

    test::TScratch_Folder folder_;
};

TEST_F(Save_Faults_Test, A_Failed_Flush_Or_Close_Raises_And_Leaves_The_Target_As_It_Was)
{
    const test::TBytes contents(5000, 7);
    const std::function<void()> operations[] = {
        [&] { Replace_File_Contents(Map(), contents.data(), contents.size()); },
        [&] { Copy_File(Map(), Backup()); },
    };
    for (const TFault fault : {TFault::Fsync_Fails, TFault::Close_Fails}) {
        for (const auto& operation : operations) {
            Armed_Fault = fault;
            try {
                operation();
                ADD_FAILURE() << "no EInOutError raised";
            } catch (const EInOutError& error) {
                EXPECT_STREQ(error.what(), "I/O error 1005");
            }
            EXPECT_EQ(Armed_Fault, TFault::None) << "the fault was never met";
            Expect_Both_As_They_Were();
        }
    }
}

TEST_F(Save_Faults_Test, A_Full_Disk_Is_A_Short_Count_For_A_Save_And_Disk_Full_For_A_Copy)
{
    const test::TBytes contents(5000, 7);
    Armed_Fault = TFault::Write_Finds_Disk_Full;
    EXPECT_EQ(Replace_File_Contents(Map(), contents.data(), contents.size()), 0U);
    Armed_Fault = TFault::Write_Finds_Disk_Full;
    try {
        Copy_File(Map(), Backup());
        ADD_FAILURE() << "no EInOutError raised";
    } catch (const EInOutError& error) {
        EXPECT_STREQ(error.what(), "Disk full");
    }
    Expect_Both_As_They_Were();
}

TEST_F(Save_Faults_Test, A_Save_Killed_Before_Its_End_Leaves_Nothing_Behind)
{
    const pid_t child = fork();
    if (child == 0) {
        Armed_Fault = TFault::Killed_At_Fsync;
        const std::uint8_t contents[] = {'n', 'e', 'w'};
        Replace_File_Contents(Map(), contents, sizeof contents);
        std::_Exit(1); // not reached: the flush kills the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save was not killed";
    Expect_Both_As_They_Were();
}

} // namespace
} // namespace plotvane
