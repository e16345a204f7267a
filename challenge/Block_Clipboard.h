#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "memory/Base_Structure.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// Blocks as text, to carry them to another challenge or a script: one JSON object per line, as
// `plotvane-cli blocks --json` lists each block ("index", "offset", "name", "name_in_place",
// "name_index", "rotation", "x", "z", "y", "variations"). `file_offset_delta` turns an offset in
// the image into one in the file a save writes. Bytes of a name that are not UTF-8 show as
// U+FFFD, as in the listing.
std::string Block_Clipboard_Text(const TFlexible_Byte_Array& image,
                                 const TTMF_Challenge_Block_Address_List& list,
                                 const TBlock_Selection& selection,
                                 std::int64_t file_offset_delta, const TMemory_Mask& mask);

// The blocks of such text: each line's "name", "rotation", "x", "z", "y" and "variations" (the
// other keys are not needed and not read). Blank lines are skipped. False, with `error` saying
// which line and why, for a line that is not such an object.
bool Read_Block_Clipboard_Text(std::string_view text, std::vector<TNew_Block>& blocks,
                               std::string& error);

// The names of `blocks`, each once, in the order they first come.
std::vector<std::string> Block_Names(const std::vector<TNew_Block>& blocks);

// The names of `blocks` that the challenge does not define (so that a paste would refuse
// them), each once, in the order they first come.
std::vector<std::string> Names_Not_Defined(const TTMF_Challenge_Block_Address_List& list,
                                           const std::vector<TNew_Block>& blocks);

} // namespace plotvane
