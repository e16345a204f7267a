#pragma once

#include "cli/Cli_Reports.h"

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

} // namespace plotvane
