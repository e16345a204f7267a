#pragma once

#include "challenge/Gbx_Challenge_Structure.h"
#include "cli/Cli_Reports.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace plotvane {

// The author, collection and block count, then one line per block. Names are shown with their
// control bytes escaped, so that every block stays on one line.
void Write_Block_Listing_Text(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing);

// One JSON object and a line break, each block written as it is read: the document is never
// held whole.
void Write_Block_Listing_Json(std::ostream& out, const std::string& path,
                              const TBlock_Listing& listing);

// One block as the listings write it, at `offset` in the file: its line, or its JSON object
// and a line break.
void Write_Listed_Block_Text(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block);
void Write_Listed_Block_Json(std::ostream& out, std::size_t index, std::int64_t offset,
                             const TChallenge_Block_View& block);

} // namespace plotvane
