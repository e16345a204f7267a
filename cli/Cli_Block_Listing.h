#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Structure.h"
#include "cli/Cli_Reports.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace plotvane {

// The blocks of one walk of an image, and what turns an offset in the image into the offset
// in the file that a save writes.
struct TListed_Blocks {
    const TFlexible_Byte_Array& Image;
    const TTMF_Challenge_Block_Address_List& List;
    TMemory_Mask Mask = 0;
    std::int64_t File_Offset_Delta = 0;
};

TListed_Blocks Listed_Blocks(const TBlock_Listing& listing);

// The author, collection and block count, then one line per block: every block, or those of
// `selection` (numbered as in the whole list, the count saying how many of how many). Names
// are shown with their control bytes escaped, so that every block stays on one line.
void Write_Block_Listing_Text(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing,
                              const TBlock_Selection* selection = nullptr);

// One JSON object and a line break, each block written as it is read: the document is never
// held whole. With a selection, only its blocks, and "selected_count" after "block_count".
void Write_Block_Listing_Json(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing,
                              const TBlock_Selection* selection = nullptr);

// A block as it read before an edit, and its offset in the file then.
struct TBlock_Before {
    std::int64_t Offset = 0;
    TChallenge_Block_View Block;
};

// How block `index` of an edit's changes read before it.
using TBlocks_Before = std::function<TBlock_Before(std::size_t index)>;

// Whether the edit changed block `index`, given how it reads after it (`now`), and if so how it
// read before it, in `before`. Asked for the blocks in ascending order.
using TBefore_If_Changed = std::function<bool(std::size_t index, const TChallenge_Block_View& now,
                                              TBlock_Before& before)>;

// The changes of an edit: for each block of `candidates` (ascending) that the walk lists and
// that `before` says changed, its line of the listing, then the same line as it was, after
// "  before: ". Each block is read once.
void Write_Changed_Blocks_Text(std::ostream& out, const TListed_Blocks& blocks,
                               const TBlock_Selection& candidates,
                               const TBefore_If_Changed& before);

// The report of an edit: one JSON object with "file", "backup" (null when none was made) and
// "changed", the changed blocks of `candidates` as the listing's objects, each with one more
// key, "before", the object as it was; and a line break.
void Write_Edit_Report_Json(std::ostream& out, const std::string& path,
                            const std::optional<std::string>& backup,
                            const TListed_Blocks& blocks, const TBlock_Selection& candidates,
                            const TBefore_If_Changed& before);

// The report of an edit that added or removed blocks: with `json`, one object with "file",
// "backup" (null when none was made) and `key` ("added" or "deleted"), the blocks as the
// listing's objects; else their lines. `block_of` gives each block of `blocks` as it is shown.
void Write_Block_Report(std::ostream& out, bool json, const std::string& path,
                        const std::optional<std::string>& backup, const char* key,
                        const TBlock_Selection& blocks, const TBlocks_Before& block_of);

// One block as the listings write it, at `offset` in the file: its line, or its JSON object
// and a line break. With `before`, the block as it was too, as the report of an edit has it.
void Write_Listed_Block_Text(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block,
                             const TBlock_Before* before = nullptr);
void Write_Listed_Block_Json(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block,
                             const TBlock_Before* before = nullptr);

} // namespace plotvane
