#include "tests/support/File_Faults.h"

#include "platform/File_System.h"
#include "tests/support/Gbx_Test_Files.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plotvane::test {

int Run_With_File_Size_Limit(std::uint64_t limit, const std::function<int()>& action)
{
    const pid_t child = fork();
    if (child == 0) {
        // As every program of the project does, whatever the test runner set up.
        std::signal(SIGXFSZ, SIG_DFL);
        Ignore_File_Size_Limit_Signal();
        const rlimit file_size = {limit, limit};
        int code = 255;
        if (setrlimit(RLIMIT_FSIZE, &file_size) == 0) {
            try {
                code = action();
            } catch (...) {
                code = 255;
            }
        }
        std::_Exit(code); // skips the test framework's exit handlers, which belong to the parent
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string File_Reading_Short_Of_Its_Size()
{
    for (const char* path : {"/sys/kernel/uevent_seqnum", "/sys/power/state",
                             "/sys/kernel/mm/transparent_hugepage/enabled"}) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (!error && std::filesystem::is_regular_file(path, error) &&
            Read_Plain_File(path).size() < size) {
            return path;
        }
    }
    return "";
}

} // namespace plotvane::test
