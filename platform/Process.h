#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plotvane {

// The command line as UTF-8 text, the program's name first, for a parser that takes argc and
// argv. Elsewhere than Windows these are argv's own texts. On Windows argv is in the ANSI code
// page, which loses every name outside it, so the wide command line is split instead, as
// CommandLineToArgvW splits it.
class TProgram_Arguments {
public:
    TProgram_Arguments(int argc, const char* const* argv);
    TProgram_Arguments(const TProgram_Arguments&) = delete;
    TProgram_Arguments& operator=(const TProgram_Arguments&) = delete;

    int Count() const { return static_cast<int>(values_.size()); }
    const char* const* Values() const { return values_.data(); }
    const std::vector<std::string>& Texts() const { return texts_; }

private:
    std::vector<std::string> texts_;
    std::vector<const char*> values_;
};

// The arguments the program was started with, without the program's own name.
std::vector<std::string> Command_Line_Arguments(int argc, const char* const* argv);

// Standard input, output and error carry bytes as they are. On Windows they are put in binary
// mode (no CR added before each LF, no end of input at a Ctrl+Z), so that the programs write
// byte for byte what they write elsewhere, and a console that standard output or error writes
// to shows UTF-8 as UTF-8 until the program ends. Nothing to do elsewhere.
void Use_Binary_Standard_Streams();

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
