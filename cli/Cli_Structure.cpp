#include "cli/Cli_Structure.h"

#include "challenge/Block_Clipboard.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "cli/Cli_Output.h"
#include "cli/Cli_Own_Challenge.h"
#include "platform/File_System.h"

#include <iostream>
#include <iterator>
#include <sstream>

namespace plotvane {

namespace {

using TKind = TBatch_Edit::TKind;

void Add_Offset_Options(CLI::App& command, TBatch_Edit& edit, const char* what)
{
    const auto offset = [&](const char* option, int& value, const char* axis) {
        command
            .add_option(option, value,
                        std::string("Cells to add to ") + axis + " of " + what +
                            ", -255 to 255")
            ->check(CLI::Range(-255, 255));
    };
    offset("--dx", edit.Dx, "X");
    offset("--dz", edit.Dz, "Z, the height (1 is one level up),");
    offset("--dy", edit.Dy, "Y");
}

void Add_Adding_Flags(CLI::App& command, TBatch_Edit_Request& request)
{
    command.add_flag("--force", request.Force,
                     std::string("Place blocks outside the challenge's size too (never outside "
                                 "0 to 255)") +
                         (request.Edit.Kind == TKind::Paste
                              ? ", and blocks of names that the collection's block name list "
                                "does not hold"
                              : ""));
    command.add_flag("--without-skin", request.Edit.Without_Skin,
                     "Copy a block that carries an author record (a skin) without it");
}

std::string Read_All(std::istream& in)
{
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Read_File_Text(const std::string& path)
{
    TInput_File file(path);
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    text.resize(file.Read(text.data(), text.size()));
    return text;
}

// The kept block that needs what a refused deletion would remove.
std::string Later_Block_Text(const TEdit_Result& result)
{
    return "block " + std::to_string(result.Later_Block.value_or(0));
}

} // namespace

CLI::App* Add_Duplicate_Command(CLI::App& app, TBatch_Edit_Request& request)
{
    CLI::App* duplicate = app.add_subcommand(
        "duplicate", "Copy the selected blocks, moved by an offset, to the end of the list");
    request.Edit.Kind = TKind::Duplicate;
    Add_Batch_Edit_Options(*duplicate, request);
    Add_Offset_Options(*duplicate, request.Edit, "each copy");
    Add_Adding_Flags(*duplicate, request);
    return duplicate;
}

CLI::App* Add_Delete_Command(CLI::App& app, TBatch_Edit_Request& request)
{
    CLI::App* remove = app.add_subcommand("delete", "Remove the selected blocks");
    request.Edit.Kind = TKind::Delete;
    Add_Batch_Edit_Options(*remove, request);
    // Without a selection every block would go: that is never what a slip of the hand meant.
    remove->final_callback([remove, &request] {
        if (!request.Selection.Given()) {
            throw CLI::ValidationError(remove->get_name(),
                                       "select the blocks to delete with --index, --name or "
                                       "--within");
        }
    });
    return remove;
}

CLI::App* Add_Paste_Command(CLI::App& app, TBatch_Edit_Request& request)
{
    CLI::App* paste = app.add_subcommand(
        "paste", "Add blocks from a file, one JSON object a line as the editor's Copy writes "
                 "them (jq -c '.blocks[]' of blocks --json gives them), at the end of the list");
    request.Edit.Kind = TKind::Paste;
    paste->add_option("MAP", request.Map, "A challenge file (*.Challenge.Gbx)")->required();
    paste->add_option("FILE", request.Edit.Blocks_File, "The blocks; - for standard input")
        ->required();
    paste->add_flag("--dry-run", request.Dry_Run,
                    "Print what would change and write nothing (no backup either)");
    paste->add_option("--game-folder", request.Game_Folder,
                      "The game user folder whose profiles are the local player's, instead of "
                      "looking for one")
        ->check(Existing_Folder());
    paste->add_flag("--json", request.Json,
                    "One JSON object: file, backup and added, the new blocks as blocks --json "
                    "has them");
    Add_Offset_Options(*paste, request.Edit, "each block");
    Add_Adding_Flags(*paste, request);
    paste->footer("Each block names its name by reference to a name this challenge defines; a "
                  "name it lacks refuses the whole paste, as does one that the collection's "
                  "block name list lacks unless --force is given.");
    return paste;
}

std::vector<TNew_Block> Read_Pasted_Blocks(const std::string& file)
{
    std::string text;
    try {
        text = file == "-" ? Read_All(std::cin) : Read_File_Text(file);
    } catch (const EInOutError& error) {
        throw ECli_Edit_Failure("cannot read the blocks to paste from " + file + ": " +
                                error.what());
    }
    std::vector<TNew_Block> blocks;
    std::string error;
    if (!Read_Block_Clipboard_Text(text, blocks, error)) {
        throw ECli_Edit_Failure("the blocks to paste in " + file + " cannot be read: " + error);
    }
    return blocks;
}

std::string Structure_Refusal_Text(const TEdit_Result& result, const TBatch_Edit& edit,
                                   const TChallenge_Edit_Session& session,
                                   const std::vector<TNew_Block>& pasted)
{
    if (edit.Kind != TKind::Duplicate && edit.Kind != TKind::Delete &&
        edit.Kind != TKind::Paste) {
        return {};
    }
    const std::string block =
        (edit.Kind == TKind::Paste ? "pasted block " : "block ") + std::to_string(result.Block);
    switch (result.Status) {
    case TEdit_Status::List_Not_Walked:
        return "the block list could not be read to its end, so no block can be added or "
               "removed";
    case TEdit_Status::Block_Number_Chunks:
        return "the challenge holds chunks of a game extension that point at blocks by their "
               "number (ids 0x3F001000 to 0x3F001003): adding or removing blocks would make them "
               "point at others. Blocks can still be moved, turned and renamed";
    case TEdit_Status::Uncounted_Record:
        return block + " is a record that the game does not count as a block (its four "
                       "variations are 255): it cannot be copied or deleted";
    case TEdit_Status::Carries_Skin:
        return block + " carries an author record (a skin), which a copy may not repeat; give "
                       "--without-skin to copy it without";
    case TEdit_Status::Brings_Skin:
        return block + " has an author record (a skin) that brings a node of its own, which " +
               Later_Block_Text(result) +
               " refers to by its number: deleting it would leave that reference without its "
               "node; delete " + Later_Block_Text(result) + " too, or keep " + block;
    case TEdit_Status::Name_Needed_Later:
        return block + " writes a name in place (its own or its skin's author) that " +
               Later_Block_Text(result) +
               " needs at its number: deleting it would renumber the challenge's names (a "
               "later block refers to the name with other names defined between them, or names "
               "are defined after it); delete the blocks that refer to it too, or keep it";
    case TEdit_Status::Size_Fields_Not_Walked:
        return "the challenge's body sizes do not match its body, so no block can be added or "
               "removed";
    case TEdit_Status::Strands_Uncounted_Record:
        return "record " + std::to_string(result.Block) +
               ", which the game does not count as a block, would be left after the last "
               "block, where the game no longer reads the list; keep a block after it";
    case TEdit_Status::Name_Not_Defined:
        if (edit.Kind == TKind::Paste) {
            return "the challenge does not define the names " +
                   Quoted_Names(Names_Not_Defined(session.Blocks(), pasted)) +
                   ": a pasted block can only name a name the challenge already has (renaming a "
                   "block whose name is written in place defines a new one)";
        }
        return block + "'s name is not one that a copy can refer to: the challenge does not "
                       "define it among its first 65,535 names";
    case TEdit_Status::Position_Out_Of_Range:
    case TEdit_Status::Outside_Challenge:
        if (edit.Kind == TKind::Paste) {
            return block + " would be placed outside " +
                   (result.Status == TEdit_Status::Position_Out_Of_Range
                        ? std::string("0 to 255")
                        : "the challenge's size; give --force to place it there anyway");
        }
        return {};
    case TEdit_Status::Image_Too_Large:
        return "the new blocks would make the challenge too large";
    default:
        return {};
    }
}

} // namespace plotvane
