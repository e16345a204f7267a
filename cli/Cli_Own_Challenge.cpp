#include "cli/Cli_Own_Challenge.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "challenge/TMF_Block_Names.h"
#include "cli/Cli_Commands.h"
#include "cli/Cli_Failures.h"
#include "cli/Cli_Output.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"
#include "platform/Process.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace plotvane {

const char* const Changes_Game_Reading_Text =
    "the new variations change how the game reads the block list: whether an author record "
    "follows the block (bit 7 of variation 2), whether a waypoint ends that record (bit 4 of "
    "variation 3, beside bit 7 of variation 2) or whether the record counts as a block (all "
    "four 255); the game may no longer load the challenge. Give --force to write them anyway";

CLI::Validator Existing_Folder()
{
#ifdef _WIN32
    return CLI::Validator(
        [](const std::string& path) {
            if (Directory_Exists(path)) {
                return std::string();
            }
            return (File_Exists(path) ? "Directory is actually a file: "
                                      : "Directory does not exist: ") +
                   path;
        },
        "DIR");
#else
    return CLI::ExistingDirectory;
#endif
}

void Check_Status(std::uint32_t status)
{
    if (status != Status_Ok) {
        throw ECli_Edit_Failure("error " + Status_Text(status));
    }
}

TBlock_Listing Open_Challenge(const std::string& path, const TMemory_Mask& mask,
                              bool walk_blocks)
{
    TBlock_Listing challenge;
    const std::uint32_t status = Read_Block_Listing(path, mask, challenge, walk_blocks);
    if (status != Status_Ok) {
        throw ECli_Edit_Failure(Read_Failure_Text(path, status));
    }
    if (challenge.Kind != Gbx_Kind_Challenge) {
        throw ECli_Edit_Failure(Not_A_Challenge_Text(challenge.Kind));
    }
    return challenge;
}

void Check_Author(const TBlock_Listing& challenge, const std::string& game_folder,
                  const TMemory_Mask& mask)
{
    const TProfile_List profiles = Get_Online_Profiles(
        game_folder.empty() ? Get_TrackMania_Folder() : game_folder, mask);
    if (challenge.Author.empty()) {
        throw ECli_Edit_Failure(No_Author_Text);
    }
    if (!Challenge_Author_Is_Listed(challenge.Image, profiles.Logins(), mask)) {
        throw ECli_Edit_Failure("Challenge creator (" + Printable_Text(challenge.Author) +
                                ") not corresponding with listed profiles");
    }
}

std::optional<std::string> Save_Edited_Challenge(const std::string& map,
                                                 const TFlexible_Byte_Array& image,
                                                 const TMemory_Mask& mask, std::uint32_t method)
{
    const auto backup_failed = [](const std::string& backup, const EInOutError& error) -> bool {
        throw ECli_Edit_Failure("cannot make the backup " + backup + ": " + error.what() +
                                "; nothing was written");
    };
    TGbx_Save_Result saved;
    try {
        saved = Gbx_Save_Over_File(map, image, TGbx_Backup_Kind::Numbered, mask, backup_failed,
                                   method);
    } catch (const EInOutError& error) {
        throw ECli_Edit_Failure(std::string("cannot save: ") + error.what() +
                                "; the map and its backups are as they were");
    }
    if (saved.Status != Status_Ok) {
        throw ECli_Edit_Failure("error " + Status_Text(saved.Status) +
                                "; the map and its backups are as they were");
    }
    return saved.Backup;
}

void Check_Block_Names_Listed(const std::string& map, const std::string& collection,
                              const std::vector<std::string>& names, bool force,
                              std::ostream& err)
{
    const bool several = names.size() > 1;
    const std::string list_path =
        Find_Block_Name_List(Block_Name_List_Folders(Program_Folder()), collection);
    std::vector<std::string> listed;
    try {
        listed = Read_Block_Name_List(list_path);
    } catch (const EFOpenError&) {
        Report_Failure(err, map,
                       "no block name list " + Block_Name_List_File_Name(collection) +
                           " was found beside the program, so the " +
                           (several ? "names " : "name ") + Quoted_Names(names) +
                           (several ? " were" : " was") + " not checked");
        return;
    }
    if (force) {
        return;
    }
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> unlisted;
    std::copy_if(names.begin(), names.end(), std::back_inserter(unlisted),
                 [&listed](const std::string& name) {
                     return !std::binary_search(listed.begin(), listed.end(), name);
                 });
    if (!unlisted.empty()) {
        const bool plural = unlisted.size() > 1;
        throw ECli_Edit_Failure(
            std::string(plural ? "the names " : "the name ") + Quoted_Names(unlisted) +
            (plural ? " are" : " is") + " not in " + Block_Name_List_File_Name(collection) +
            ", the block names of the collection " + Printable_Text(collection) +
            ": the game cannot load a challenge with such a block. Give --force to write " +
            (plural ? "them" : "it") + " anyway");
    }
}

void Report_Unreadable_List(std::ostream& err, const std::string& map, const std::string& done,
                            std::uint32_t last_block, bool was_complete,
                            const TTMF_Challenge_Block_Address_List& written)
{
    std::string where;
    if (last_block >= written.Block_Offsets.size()) {
        where = "as far as block " + std::to_string(last_block);
    } else if (was_complete && !written.Complete) {
        where = "to its end";
    } else {
        return;
    }
    Report_Failure(err, map,
                   done + ", but the block list of the written file can no longer be read " +
                       where + "; the game may not load it either");
}

int Run_Edit_Command(const std::string& map, std::ostream& err,
                     const std::function<void()>& work)
{
    try {
        work();
        return Cli_Exit_Ok;
    } catch (const ECli_Edit_Failure& failure) {
        Report_Failure(err, map, failure.what());
    } catch (const EInOutError& error) {
        Report_Failure(err, map, error.what());
    } catch (const EFile_In_Use& in_use) {
        Report_Failure(err, map, in_use.what());
    }
    return Cli_Exit_Failure;
}

} // namespace plotvane
