#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace plotvane {

// A file that could not be opened or read. The text is the user's message: Cannot open file
// "<full name>". <the system's reason>
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Blocks-" + collection + ".Lst": the block name list of a collection, which lies in the
// program's folder.
std::string Block_Name_List_File_Name(const std::string& collection);

// The entries of a block name list file, in the file's order: one per line, lines ending at
// CR LF, a lone CR or a lone LF; the text ends at its first zero byte; an empty line is an
// empty entry, a last line without a line end counts, a final line end adds no entry. Names
// are byte strings, kept as they are. Raises EFOpenError when the file cannot be opened or read.
std::vector<std::string> Read_Block_Name_List(const std::string& path);

} // namespace plotvane
