#include "cli/Cli_Set.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Challenge_Write.h"
#include "cli/Cli_Block_Listing.h"
#include "cli/Cli_Failures.h"
#include "cli/Cli_Output.h"
#include "cli/Cli_Own_Challenge.h"
#include "cli/Cli_Reports.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"

namespace plotvane {

namespace {

// The walk reads every block that it lists whole from this very image, so a listed block
// always reads back.
void Require_Block(const TBlock_Listing& challenge, std::uint32_t index)
{
    const std::size_t count = challenge.List.Block_Offsets.size();
    if (index >= count) {
        throw ECli_Edit_Failure("no block " + std::to_string(index) + ": the challenge has " +
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
        throw ECli_Edit_Failure(Changes_Game_Reading_Text);
    }
    const TBlock_Write_Status status =
        Challenge_Write_Block(challenge.Image, challenge.List, request.Index, name, bytes, mask);
    if (status != TBlock_Write_Status::Written) {
        throw ECli_Edit_Failure(Refusal_Text(status, name, request.Index));
    }
    if (name != old_block.Name) {
        Check_Block_Names_Listed(request.Map, challenge.List.Collection_Name, {name},
                                 request.Force, err);
    }
    const std::int64_t offset_before =
        challenge.List.Block_Offsets[request.Index] + challenge.File_Offset_Delta;
    const bool was_complete = challenge.List.Complete;
    Save_Edited_Challenge(request.Map, challenge.Image, mask);
    // The written file is read back whole: the edited image goes first.
    challenge = TBlock_Listing();

    const TBlock_Listing written = Open_Challenge(request.Map, mask);
    if (request.Force) {
        Report_Unreadable_List(err, request.Map, "written", request.Index, was_complete,
                               written.List);
        if (request.Index >= written.List.Block_Offsets.size()) {
            return; // the block no longer reads back
        }
    }
    Require_Block(written, request.Index);
    const TChallenge_Block_View block =
        *Challenge_Read_Block_View(written.Image, written.List, request.Index, mask);
    const std::int64_t offset =
        written.List.Block_Offsets[request.Index] + written.File_Offset_Delta;
    const TBlock_Before before = {
        offset_before,
        {old_block.Name, old_block.Name_In_Place, old_block.Name_Index, old_block.Rotation,
         old_block.X, old_block.Z, old_block.Y, old_block.Variations}};
    if (request.Json) {
        Write_Listed_Block_Json(out, request.Index, offset, block, &before);
    } else {
        Write_Listed_Block_Text(out, request.Index, offset, block, &before);
    }
}

// The rotation and variations of the request over its selection, as the other editing
// commands make their edits.
TBatch_Edit_Request Selection_Set_Request(const TSet_Request& request)
{
    TBatch_Edit_Request batch;
    batch.Json = request.Json;
    batch.Dry_Run = request.Dry_Run;
    batch.Force = request.Force;
    batch.Game_Folder = request.Game_Folder;
    batch.Map = request.Map;
    batch.Selection = request.Selection;
    batch.Edit.Kind = TBatch_Edit::TKind::Set;
    if (request.Rotation_Option->count() != 0) {
        batch.Edit.Settings.Rotation = Byte(request.Rotation);
    }
    if (request.Variations_Option->count() != 0) {
        for (std::size_t i = 0; i < 4; ++i) {
            batch.Edit.Settings.Variations[i] = Byte(request.Variations[i]);
        }
    }
    return batch;
}

} // namespace

CLI::App* Add_Set_Command(CLI::App& app, TSet_Request& request)
{
    CLI::App* set = app.add_subcommand(
        "set", "Change one block of a challenge by one of the local online profiles, as the "
               "editor does, or the rotation and variations of every selected block; the file is "
               "first copied to its next numbered backup, MAP.bak1 to MAP.bak9");
    set->add_option("MAP", request.Map, "A challenge file (*.Challenge.Gbx)")->required();
    request.Index_Option = set->add_option(
        "INDEX", request.Index, "The block's number, from 0; without it, the selected blocks");
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
    // One block's own values: a selection may hold more than one block.
    for (CLI::Option* one_block_only :
         {request.Name_Option, request.X_Option, request.Z_Option, request.Y_Option}) {
        one_block_only->needs(request.Index_Option);
    }
    request.Variations_Option =
        set->add_option("--variations", request.Variations, "Variations 1 to 4, each 0 to 255")
            ->expected(4)
            ->check(CLI::Range(0, 255));
    set->add_flag("--force", request.Force,
                  "Write variations that change how the game reads the block list, or a name "
                  "that the collection's block name list does not hold");
    set->add_option("--game-folder", request.Game_Folder,
                    "The game user folder whose profiles are the local player's, instead of "
                    "looking for one")
        ->check(Existing_Folder());
    set->add_flag("--json", request.Json, "The block as one JSON object, as blocks --json has it");
    // Set's own --name names the block: a selection here is by number and position only.
    Add_Selection_Options(*set, request.Selection, false);
    CLI::Option* dry_run =
        set->add_flag("--dry-run", request.Dry_Run,
                      "Without INDEX: print what would change and write nothing");
    for (CLI::Option* selection_only :
         {request.Selection.Index_Option, request.Selection.Within_Option, dry_run}) {
        selection_only->excludes(request.Index_Option);
    }
    set->final_callback([set, &request] {
        if (request.Index_Option->count() == 0 && request.Rotation_Option->count() == 0 &&
            request.Variations_Option->count() == 0) {
            throw CLI::ValidationError(
                set->get_name(), "give INDEX, or --rotation or --variations to set on the "
                                 "selected blocks");
        }
    });
    set->footer("Without INDEX, --rotation and --variations go to every selected block "
                "(--index, --within; without them every block), as one edit. Validation times "
                "and the checkpoint list are not updated.");
    return set;
}

int Run_Set(const TSet_Request& request, const TMemory_Mask& mask, std::ostream& out,
            std::ostream& err)
{
    if (request.Index_Option->count() == 0) {
        return Run_Batch_Edit(Selection_Set_Request(request), mask, out, err);
    }
    return Run_Edit_Command(request.Map, err, [&] { Set_Block(request, mask, out, err); });
}

} // namespace plotvane
