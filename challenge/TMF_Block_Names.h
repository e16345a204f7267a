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

// "Blocks-" + collection + ".Lst": the block name list of a collection.
std::string Block_Name_List_File_Name(const std::string& collection);

// The folders where the programs look for block name lists, each with its trailing separator,
// in this order: the program's own folder (the build tree, Windows, or a list a player put
// beside the program), then share/plotvane/ beside the program's folder, where an installed
// Linux system keeps its data.
std::vector<std::string> Block_Name_List_Folders(const std::string& program_folder);

// The path of the collection's list in the first of `folders` that holds it; when none does,
// its path in the first folder, which the message of the failed read then names.
std::string Find_Block_Name_List(const std::vector<std::string>& folders,
                                 const std::string& collection);

// The entries of a block name list file, in the file's order: one per line, lines ending at
// CR LF, a lone CR or a lone LF; the text ends at its first zero byte; an empty line is an
// empty entry, a last line without a line end counts, a final line end adds no entry. Names
// are byte strings, kept as they are. Raises EFOpenError when the file cannot be opened or read.
std::vector<std::string> Read_Block_Name_List(const std::string& path);

} // namespace plotvane
