#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plotvane {

// The arguments the program was started with, without the program's own name.
std::vector<std::string> Command_Line_Arguments(int argc, const char* const* argv);

// The folder of the running executable, with its trailing separator. Symbolic links are
// followed, so a program started through a link finds the files installed beside the real one.
// "" when the system cannot say.
std::string Program_Folder();

// A value that differs from run to run, to seed the random generator.
std::uint64_t Clock_Value();

// Makes the allocator give each large block (128 KiB or more) back to the system as soon as it
// is freed. By default glibc raises that bound to the largest block freed so far, so that the
// passing buffers of an edit of a million blocks (megabytes each) stay in the heap and count in
// the process's memory long after the edit. The programs call it first thing; elsewhere than
// glibc it does nothing.
void Give_Large_Blocks_Back_When_Freed();

} // namespace plotvane
