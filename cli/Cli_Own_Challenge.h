#pragma once

#include "cli/Cli_Reports.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "memory/Base_Structure.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace plotvane {

// What an editing command could not do, in words for the one line on standard error.
class ECli_Edit_Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The check of --game-folder: an existing folder, with CLI11's messages. CLI::ExistingDirectory
// asks std::filesystem, which reads the name in the ANSI code page on Windows; this reads it as
// UTF-8 there.
CLI::Validator Existing_Folder();

// Raises ECli_Edit_Failure with the status's number and meaning unless it is Status_Ok.
void Check_Status(std::uint32_t status);

// The challenge and one walk of its blocks, as `blocks` reads them (none when `walk_blocks` is
// false, for an edit session that walks it); anything else fails.
TBlock_Listing Open_Challenge(const std::string& path, const TMemory_Mask& mask,
                              bool walk_blocks = true);

// Fails unless the challenge's author is one of the online profiles of `game_folder` (or of
// the game user folder found, when empty): the same rule and the same message as the editor's
// Open.
void Check_Author(const TBlock_Listing& challenge, const std::string& game_folder,
                  const TMemory_Mask& mask);

// Writes the edited image over the map: packed by `method` (see Gbx_Compress) and checked
// first, then the map copied to its next numbered backup (MAP.bak1 to MAP.bak9, after its
// newest), then written. Returns the backup made (none when the map no longer exists). Fails,
// the map and every backup kept, when any step does. The caller holds the map's lock.
std::optional<std::string> Save_Edited_Challenge(const std::string& map,
                                                 const TFlexible_Byte_Array& image,
                                                 const TMemory_Mask& mask,
                                                 std::uint32_t method = Gbx_Method_Literal_Run);

// Fails, unless `force`, naming those of `names` that the block name list of `collection`
// (found as the editor finds it, beside the program) lacks: the game cannot load a challenge
// with a block of another name. Without a list for the collection, one line on `err` says that
// the names were not checked, and the edit goes on.
void Check_Block_Names_Listed(const std::string& map, const std::string& collection,
                              const std::vector<std::string>& names, bool force,
                              std::ostream& err);

// Says in one line on `err` when the walk of the written file (`written`) no longer reads the
// block list as far as `last_block`, the last block written, or no longer to its end where
// the walk before the edit did: forced variations may change how the list is read. The file
// was written as asked all the same; `done` says so ("written", or "would be written").
void Report_Unreadable_List(std::ostream& err, const std::string& map, const std::string& done,
                            std::uint32_t last_block, bool was_complete,
                            const TTMF_Challenge_Block_Address_List& written);

// Runs an editing command's work on `map`: the exit code of the command line, each failure
// (a refusal, a system error, the map held by another edit) as its one line on `err`.
int Run_Edit_Command(const std::string& map, std::ostream& err,
                     const std::function<void()>& work);

// Why a change of variations that the game reads differently is refused.
extern const char* const Changes_Game_Reading_Text;

} // namespace plotvane
