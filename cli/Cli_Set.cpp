#include "cli/Cli_Set.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "cli/Cli_Block_Listing.h"
#include "cli/Cli_Commands.h"
#include "cli/Cli_Failures.h"
#include "cli/Cli_Output.h"
#include "cli/Cli_Reports.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"

#include <stdexcept>

namespace plotvane {

namespace {

// What the command could not do, in words for the one line on standard error.
class ESet_Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void Check_Status(std::uint32_t status)
{
    if (status != Status_Ok) {
        throw ESet_Failure("error " + Status_Text(status));
    }
}

// The challenge and one walk of its blocks, as `blocks` reads them.
TBlock_Listing Open_Challenge(const std::string& path, const TMemory_Mask& mask)
{
    TBlock_Listing challenge;
    const std::uint32_t status = Read_Block_Listing(path, mask, challenge);
    if (status != Status_Ok) {
        throw ESet_Failure(Read_Failure_Text(path, status));
    }
    if (challenge.Kind != Gbx_Kind_Challenge) {
        throw ESet_Failure(Not_A_Challenge_Text(challenge.Kind));
    }
    return challenge;
}

// The same rule and the same message as the editor's Open.
void Check_Author(const TBlock_Listing& challenge, const std::string& game_folder,
                  const TMemory_Mask& mask)
{
    const TProfile_List profiles = Get_Online_Profiles(
        game_folder.empty() ? Get_TrackMania_Folder() : game_folder, mask);
    if (!Challenge_Author_Is_Listed(challenge.Image, profiles.Logins(), mask)) {
        throw ESet_Failure("Challenge creator (" + Printable_Text(challenge.Author) +
                           ") not corresponding with listed profiles");
    }
}

// The walk reads every block that it lists whole from this very image, so a listed block
// always reads back.
void Require_Block(const TBlock_Listing& challenge, std::uint32_t index)
{
    const std::size_t count = challenge.List.Block_Offsets.size();
    if (index >= count) {
        throw ESet_Failure("no block " + std::to_string(index) + ": the challenge has " +
                           std::to_string(count) + " blocks" +
                           (challenge.List.Complete ? "" : " that could be read"));
    }
}

std::uint8_t Byte(int value)
{
    return static_cast<std::uint8_t>(value); // 0 to 255: the options' range
}

// The block's bytes with the values given on the command line put over them.
TBlock_Field_Bytes New_Field_Bytes(const TSet_Request& request, const TChallenge_Block& block)
{
    const auto given = [](const CLI::Option* option, int value, std::uint8_t kept) {
        return option->count() != 0 ? Byte(value) : kept;
    };
    TBlock_Field_Bytes bytes = {given(request.Rotation_Option, request.Rotation, block.Rotation),
                                given(request.X_Option, request.X, block.X),
                                given(request.Z_Option, request.Z, block.Z),
                                given(request.Y_Option, request.Y, block.Y),
                                block.Variations[0],
                                block.Variations[1],
                                block.Variations[2],
                                block.Variations[3]};
    if (request.Variations_Option->count() != 0) {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[4 + i] = Byte(request.Variations[i]);
        }
    }
    return bytes;
}

std::string Refusal_Text(TBlock_Write_Status status, const std::string& name,
                         std::uint32_t index)
{
    switch (status) {
    case TBlock_Write_Status::Name_Not_Defined:
        return "no name \"" + Printable_Text(name) + "\" is defined in the challenge before block " +
               std::to_string(index) + ", so the block cannot refer to it";
    case TBlock_Write_Status::Size_Fields_Not_Walked:
        return "the challenge's body sizes could not be read, so an in-place name cannot change";
    case TBlock_Write_Status::Image_Too_Large:
        return "the new name would make the challenge too large";
    case TBlock_Write_Status::Block_Not_Walked:
    case TBlock_Write_Status::Written:
        break;
    }
    return "block " + std::to_string(index) + " could not be read";
}

void Set_Block(const TSet_Request& request, const TMemory_Mask& mask, std::ostream& out,
               std::ostream& err)
{
    // Held until the map is written and read back, so that another edit of it waits.
    const TFile_Lock lock(request.Map);
    TBlock_Listing challenge = Open_Challenge(request.Map, mask);
    Check_Author(challenge, request.Game_Folder, mask);
    Require_Block(challenge, request.Index);
    const TChallenge_Block old_block =
        *Challenge_Read_Block(challenge.Image, challenge.List, request.Index, mask);
    const TBlock_Field_Bytes bytes = New_Field_Bytes(request, old_block);
    const std::string& name = request.Name_Option->count() != 0 ? request.Name : old_block.Name;
    if (!request.Force && Variations_Change_Game_Reading(
                              old_block.Variations, {bytes[4], bytes[5], bytes[6], bytes[7]})) {
        throw ESet_Failure("the new variations change how the game reads the block list: "
                           "whether an author record follows the block (bit 7 of variation 2), "
                           "whether a waypoint ends that record (bit 4 of variation 3, beside "
                           "bit 7 of variation 2) or whether the record counts as a block (all "
                           "four 255); the game may no longer load the challenge. Give --force "
                           "to write them anyway");
    }
    const TBlock_Write_Status status =
        Challenge_Write_Block(challenge.Image, challenge.List, request.Index, name, bytes, mask);
    if (status != TBlock_Write_Status::Written) {
        throw ESet_Failure(Refusal_Text(status, name, request.Index));
    }
    const std::string backup = request.Map + ".bak";
    try {
        Copy_File(request.Map, backup);
    } catch (const EInOutError& error) {
        throw ESet_Failure("cannot make the backup " + backup + ": " + error.what());
    }
    Check_Status(Gbx_Save_File(request.Map, challenge.Image, 0, mask));

    const TBlock_Listing written = Open_Challenge(request.Map, mask);
    // Forced variations may change how the list is read, so that the block no longer reads
    // back: it was written as asked all the same.
    if (request.Force && request.Index >= written.List.Block_Offsets.size()) {
        Report_Failure(err, request.Map,
                       "written, but the block list of the written file can no longer be read "
                       "as far as block " + std::to_string(request.Index) +
                       "; the game may not load it either");
        return;
    }
    Require_Block(written, request.Index);
    const TChallenge_Block_View block =
        *Challenge_Read_Block_View(written.Image, written.List, request.Index, mask);
    const std::int64_t offset =
        written.List.Block_Offsets[request.Index] + written.File_Offset_Delta;
    if (request.Json) {
        Write_Listed_Block_Json(out, request.Index, offset, block);
    } else {
        Write_Listed_Block_Text(out, request.Index, offset, block);
    }
}

} // namespace

CLI::App* Add_Set_Command(CLI::App& app, TSet_Request& request)
{
    CLI::App* set = app.add_subcommand(
        "set", "Change one block of a challenge by one of the local online profiles, as the "
               "editor does; the file is first copied to MAP.bak");
    set->add_option("MAP", request.Map, "A challenge file (*.Challenge.Gbx)")->required();
    set->add_option("INDEX", request.Index, "The block's number, from 0")->required();
    request.Name_Option = set->add_option(
        "--name", request.Name,
        "The block's name: for a name by reference, one that the challenge defines before the "
        "block; a name written in place is renamed, and with it every block that refers to it");
    request.Rotation_Option =
        set->add_option("--rotation", request.Rotation, "0 to 255; above 3 is written as 3")
            ->check(CLI::Range(0, 255));
    request.X_Option = set->add_option("--x", request.X, "0 to 255")->check(CLI::Range(0, 255));
    request.Z_Option = set->add_option("--z", request.Z, "0 to 255")->check(CLI::Range(0, 255));
    request.Y_Option = set->add_option("--y", request.Y, "0 to 255")->check(CLI::Range(0, 255));
    request.Variations_Option =
        set->add_option("--variations", request.Variations, "Variations 1 to 4, each 0 to 255")
            ->expected(4)
            ->check(CLI::Range(0, 255));
    set->add_flag("--force", request.Force,
                  "Write variations that change how the game reads the block list");
    set->add_option("--game-folder", request.Game_Folder,
                    "The game user folder whose profiles are the local player's, instead of "
                    "looking for one")
        ->check(CLI::ExistingDirectory);
    set->add_flag("--json", request.Json, "The block as one JSON object, as blocks --json has it");
    return set;
}

int Run_Set(const TSet_Request& request, const TMemory_Mask& mask, std::ostream& out,
            std::ostream& err)
{
    try {
        Set_Block(request, mask, out, err);
        return Cli_Exit_Ok;
    } catch (const ESet_Failure& failure) {
        Report_Failure(err, request.Map, failure.what());
    } catch (const EInOutError& error) {
        Report_Failure(err, request.Map, error.what());
    } catch (const EFile_In_Use& in_use) {
        Report_Failure(err, request.Map, in_use.what());
    }
    return Cli_Exit_Failure;
}

} // namespace plotvane
