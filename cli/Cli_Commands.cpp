#include "cli/Cli_Commands.h"

#include "challenge/Challenge_Conversion.h"
#include "challenge/Gbx_Profile_Read.h"
#include "challenge/TMF_Base_Tools.h"
#include "cli/Cli_Block_Listing.h"
#include "cli/Cli_Edit.h"
#include "cli/Cli_Failures.h"
#include "cli/Cli_Output.h"
#include "cli/Cli_Own_Challenge.h"
#include "cli/Cli_Pack.h"
#include "cli/Cli_Reports.h"
#include "cli/Cli_Selection.h"
#include "cli/Cli_Set.h"
#include "cli/Cli_Structure.h"
#include "gbx/Gbx_Base_Structure.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_System.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iomanip>
#include <new>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace plotvane {

namespace {

// Keys keep the order in which they are written.
using json = nlohmann::ordered_json;

struct TCli_Options {
    bool Json = false;
    std::vector<std::string> Files;
    std::string Map;
    std::string Game_Folder;
    TSelection_Options Selection;
};

void Print_Json(std::ostream& out, const json& value)
{
    // Names and paths are byte strings of any encoding; bytes that are not UTF-8 show as
    // U+FFFD instead of making the whole report fail.
    out << value.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

// Runs a reader that returns a status and may raise EInOutError or run out of memory; a failure
// is reported as one line on `err`. True when the reader succeeded.
template <typename TReader>
bool Read_Reporting(const std::string& path, std::ostream& err, TReader read)
{
    try {
        const std::uint32_t status = read();
        if (status == Status_Ok) {
            return true;
        }
        Report_Failure(err, path, Read_Failure_Text(path, status));
    } catch (const EInOutError& error) {
        Report_Failure(err, path, error.what());
    } catch (const std::bad_alloc&) {
        Report_Failure(err, path, "not enough memory to read the file");
    }
    return false;
}

std::string Hexadecimal(std::uint64_t value, int digits)
{
    std::ostringstream text;
    text << std::uppercase << std::hex << std::setw(digits) << std::setfill('0') << value;
    return text.str();
}

void Print_Info_Text(std::ostream& out, const std::string& path, const TFile_Info& info)
{
    out << path << '\n'
        << "  kind:              " << Kind_Name(info.Kind) << " (" << int{info.Kind} << ")\n"
        << "  class id:          0x" << Hexadecimal(info.Class_Id, 8) << '\n'
        << "  user data size:    " << info.User_Data_Size << '\n'
        << "  uncompressed size: " << info.Uncompressed_Size << '\n'
        << "  compressed size:   " << info.Compressed_Size << '\n'
        << "  expand status:     " << Status_Text(info.Expand_Status) << '\n';
}

json Info_Json(const std::string& path, const TFile_Info& info)
{
    return {{"file", path},
            {"kind", info.Kind},
            {"class_id", info.Class_Id},
            {"user_data_size", info.User_Data_Size},
            {"uncompressed_size", info.Uncompressed_Size},
            {"compressed_size", info.Compressed_Size},
            {"expand_status", info.Expand_Status}};
}

int Run_Info(const TCli_Options& options, const TMemory_Mask& mask, std::ostream& out,
             std::ostream& err)
{
    int exit_code = Cli_Exit_Ok;
    for (const std::string& path : options.Files) {
        TFile_Info info;
        if (!Read_Reporting(path, err, [&] { return Read_File_Info(path, mask, info); })) {
            exit_code = Cli_Exit_Failure;
            continue;
        }
        if (options.Json) {
            Print_Json(out, Info_Json(path, info));
        } else {
            Print_Info_Text(out, path, info);
        }
    }
    return exit_code;
}

int Run_Blocks(const TCli_Options& options, const TMemory_Mask& mask, std::ostream& out,
               std::ostream& err)
{
    TBlock_Listing listing;
    if (!Read_Reporting(options.Map, err,
                        [&] { return Read_Block_Listing(options.Map, mask, listing); })) {
        return Cli_Exit_Failure;
    }
    if (listing.Kind != Gbx_Kind_Challenge) {
        Report_Failure(err, options.Map, Not_A_Challenge_Text(listing.Kind));
        return Cli_Exit_Failure;
    }
    std::optional<TBlock_Selection> selection;
    if (options.Selection.Given()) {
        selection = Select_Blocks(listing.Image, listing.List, options.Selection.Criteria(),
                                  listing.Mask);
    }
    const TBlock_Selection* selected = selection ? &*selection : nullptr;
    if (options.Json) {
        Write_Block_Listing_Json(out, options.Map, listing, selected);
    } else {
        Write_Block_Listing_Text(out, options.Map, listing, selected);
    }
    return Cli_Exit_Ok;
}

// A path as a JSON value, and beside it, when it is not UTF-8, its exact bytes in hexadecimal
// under the key + "_hex": the value itself shows those bytes as U+FFFD.
void Add_Path(json& object, const std::string& key, const std::string& path)
{
    object[key] = path;
    if (!Is_Utf8(path)) {
        object[key + "_hex"] = Hexadecimal_Bytes(path);
    }
}

int Run_Profiles(const TCli_Options& options, const TMemory_Mask& mask, std::ostream& out)
{
    const std::string game_folder =
        options.Game_Folder.empty() ? Get_TrackMania_Folder() : options.Game_Folder;
    // The folder that the profile search looks in, shown the same way.
    const std::string profiles_folder = Profiles_Folder(game_folder);
    const TProfile_List profiles = Get_Online_Profiles(game_folder, mask);
    if (options.Json) {
        json report = json::object();
        Add_Path(report, "game_folder", game_folder);
        Add_Path(report, "profiles_folder", profiles_folder);
        report["logins"] = profiles.Logins();
        Print_Json(out, report);
        return Cli_Exit_Ok;
    }
    TOutput_Buffer output(out);
    output.Text("Game folder: ");
    output.Text(Printable_Path(game_folder));
    output.Text("\nProfiles folder: ");
    output.Text(Printable_Path(profiles_folder));
    output.Text("\nLogins: ");
    output.Decimal(profiles.Count());
    output.Text(profiles.Empty() ? " (no online profile found)\n" : "\n");
    for (const std::string& login : profiles.Logins()) {
        output.Text("  ");
        output.Printable(login);
        output.Character('\n');
        output.Item_Done();
    }
    output.Flush();
    return Cli_Exit_Ok;
}

CLI::App* Add_Convert_Command(CLI::App& app, std::string& map)
{
    CLI::App* convert = app.add_subcommand(
        "convert", "Convert a challenge by one of the local online profiles in place, as plotvane "
                   "MAP does: the file first copied to MAP.bak, then written back with its body "
                   "stored as one LZO1X literal run");
    convert->add_option("MAP", map, "A challenge file (*.Challenge.Gbx)")->required();
    convert->footer("Exit codes (a POSIX exit status keeps the low 8 bits, shown in brackets; a "
                    "line on standard error names the full code): 0 converted, 9999 (15) no "
                    "online profile found, 9998 (14) the file could not be loaded, 9997 (13) its "
                    "author is not one of your online profiles, 9996 (12) the file could not be "
                    "written, 9995 (11) the .bak copy could not be made (nothing written).");
    return convert;
}

int Run_Convert(const std::string& map, const TMemory_Mask& mask, std::ostream& err)
{
    const TConversion_Outcome outcome = Convert_Challenge_In_Place(map, mask);
    if (outcome.Exit_Code != Exit_Converted) {
        Report_Conversion_Failure(err, Cli_Program_Name, map, outcome);
    }
    return outcome.Exit_Code;
}

} // namespace

TMemory_Mask Draw_Memory_Mask()
{
    std::random_device source;
    std::uniform_int_distribution<int> mask(0, 254);
    return static_cast<TMemory_Mask>(mask(source));
}

namespace {

// Runs the command line; the report on `out` may still wait in its buffers.
int Run_Command_Line(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    CLI::App app{"Looks into TrackMania TMNF/TMUF GBX files: challenges, profiles and replays. "
                 "Only set, move, rotate, replace, duplicate, delete, paste, pack and convert "
                 "change a file.",
                 Cli_Program_Name};
    app.require_subcommand(1);
    // The same command line on every system: on Windows, CLI11 would take an argument that
    // starts with "/" (a path under Wine, say) for an option.
    app.allow_windows_style_options(false);
    app.footer("move, rotate, replace, duplicate, delete, and set without INDEX, edit a selection "
               "of blocks (blocks "
               "lists one): --index N or N-M, --name NAME, --within X1 Z1 Y1 X2 Z2 Y2; repeats of "
               "one option add blocks, different options narrow each other, none selects every "
               "block. --dry-run prints what would change and writes nothing. These edits do not "
               "update the challenge's validation times or its checkpoint list. See COMMAND "
               "--help.");
    TCli_Options options;

    CLI::App* info = app.add_subcommand(
        "info", "Show each file's kind, header sizes and whether its body expands");
    info->add_option("FILE", options.Files, "GBX files")->required();
    info->add_flag("--json", options.Json, "One JSON object per line, one per file");

    CLI::App* blocks = app.add_subcommand(
        "blocks", "List a challenge's author, collection and blocks, whoever made it");
    blocks->add_option("MAP", options.Map, "A challenge file (*.Challenge.Gbx)")->required();
    blocks->add_flag("--json", options.Json, "One JSON object");
    Add_Selection_Options(*blocks, options.Selection);
    blocks->footer("With --index, --name or --within, only the selected blocks are listed, "
                   "numbered as in the whole list. Repeats of one option add blocks; different "
                   "options narrow each other.");

    CLI::App* profiles = app.add_subcommand(
        "profiles", "Show the game user folder and the online logins of its profiles");
    profiles
        ->add_option("--game-folder", options.Game_Folder,
                     "The game user folder to use instead of looking for one")
        ->check(Existing_Folder());
    profiles->add_flag("--json", options.Json, "One JSON object");

    TSet_Request set_request;
    CLI::App* set = Add_Set_Command(app, set_request);
    TBatch_Edit_Request move_request;
    CLI::App* move = Add_Move_Command(app, move_request);
    TBatch_Edit_Request rotate_request;
    CLI::App* rotate = Add_Rotate_Command(app, rotate_request);
    TBatch_Edit_Request replace_request;
    CLI::App* replace = Add_Replace_Command(app, replace_request);
    TBatch_Edit_Request duplicate_request;
    CLI::App* duplicate = Add_Duplicate_Command(app, duplicate_request);
    TBatch_Edit_Request delete_request;
    CLI::App* remove = Add_Delete_Command(app, delete_request);
    TBatch_Edit_Request paste_request;
    CLI::App* paste = Add_Paste_Command(app, paste_request);
    TPack_Request pack_request;
    CLI::App* pack = Add_Pack_Command(app, pack_request);
    std::string convert_map;
    CLI::App* convert = Add_Convert_Command(app, convert_map);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help ends parsing with code 0; everything else is a usage error.
        return app.exit(error, out, err) == 0 ? Cli_Exit_Ok : Cli_Exit_Usage;
    }

    const TBatch_Edit_Request* batch = *move        ? &move_request
                                       : *rotate    ? &rotate_request
                                       : *replace   ? &replace_request
                                       : *duplicate ? &duplicate_request
                                       : *remove    ? &delete_request
                                       : *paste     ? &paste_request
                                                    : nullptr;
    const TMemory_Mask mask = Draw_Memory_Mask();
    try {
        if (*info) {
            return Run_Info(options, mask, out, err);
        }
        if (*blocks) {
            return Run_Blocks(options, mask, out, err);
        }
        if (*set) {
            return Run_Set(set_request, mask, out, err);
        }
        if (batch) {
            return Run_Batch_Edit(*batch, mask, out, err);
        }
        if (*pack) {
            return Run_Pack(pack_request, mask, out, err);
        }
        if (*convert) {
            return Run_Convert(convert_map, mask, err);
        }
        return Run_Profiles(options, mask, out);
    } catch (const std::bad_alloc&) {
        // What the command held is freed by now, so the line can still be made and written.
        const std::string action = *info     ? "read the files"
                                   : *blocks ? "list the blocks of " + options.Map
                                   : *set    ? "change blocks of " + set_request.Map
                                   : batch   ? "change blocks of " + batch->Map
                                   : *pack   ? "pack " + pack_request.Map
                                   : *convert ? "convert " + convert_map
                                             : "list the profiles";
        err << Cli_Program_Name << ": not enough memory to " << action << '\n';
        return Cli_Exit_Failure;
    }
}

} // namespace

int Run_Cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    const int exit_code = Run_Command_Line(argc, argv, out, err);
    // A report lost on its way out (a full disk, /dev/full) is a failure too; the last of it
    // leaves the buffers only here. A command that failed has already said why, also when
    // its output failed for want of memory.
    if (out) {
        out.flush();
    }
    if (!out && exit_code != Cli_Exit_Failure) {
        Report_Failure(err, "standard output", "the report could not be written");
        return Cli_Exit_Failure;
    }
    return exit_code;
}

} // namespace plotvane
