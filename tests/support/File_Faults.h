#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace plotvane::test {

// Runs `action` in a child process whose files may not grow past `limit` bytes. SIGXFSZ is
// ignored there by Ignore_File_Size_Limit_Signal, as every program does, so a write past the
// limit fails with EFBIG as on a full disk instead of ending the process. Returns what
// `action` returned (0 to 255) as the child's exit code, 255 when it threw, or -1 when the
// child did not exit normally.
int Run_With_File_Size_Limit(std::uint64_t limit, const std::function<int()>& action);

// A regular file that the system measures larger than what reading it delivers, as many files
// under /sys are; "" when there is none.
std::string File_Reading_Short_Of_Its_Size();

} // namespace plotvane::test
