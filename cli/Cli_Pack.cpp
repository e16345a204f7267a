// plotvane-cli pack: a challenge saved again with its body packed, or a look at how much
// packing would shrink it.
#include "cli/Cli_Pack.h"

#include "cli/Cli_Failures.h"
#include "cli/Cli_Output.h"
#include "cli/Cli_Own_Challenge.h"
#include "cli/Cli_Reports.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_Lock.h"
#include "platform/File_System.h"

#include <nlohmann/json.hpp>

#include <iomanip>
#include <optional>
#include <ostream>
#include <sstream>

namespace plotvane {

namespace {

// Keys keep the order in which they are written.
using json = nlohmann::ordered_json;

// How large the map is, and how large each way of saving it makes it.
struct TPack_Sizes {
    std::uint64_t File = 0;
    // Saved as the other commands save it: its body as one literal run.
    std::uint64_t Literal_Run = 0;
    std::uint64_t Packed = 0;
};

std::uint32_t Method_Of(const TPack_Request& request)
{
    return request.Best ? Gbx_Method_Best : Gbx_Method_Packed;
}

// A body that is not one literal run is packed: the file is smaller than that run makes it.
bool Is_Packed(const TPack_Sizes& sizes)
{
    return sizes.File < sizes.Literal_Run;
}

TPack_Sizes Measure(const std::string& map, const TBlock_Listing& challenge,
                    std::uint32_t method, const TMemory_Mask& mask)
{
    const std::optional<TFile_Stamp> stamp = File_Stamp(map);
    if (!stamp) {
        throw ECli_Edit_Failure("the file is gone");
    }
    TPack_Sizes sizes;
    sizes.File = stamp->Size;
    std::uint32_t delta = 0;
    Check_Status(Gbx_Packed_Offset_Delta(challenge.Image, mask, delta));
    sizes.Literal_Run = challenge.Image.size() + delta;
    TFlexible_Byte_Array packed;
    Check_Status(Gbx_Compress(challenge.Image, packed, method, mask));
    sizes.Packed = packed.size();
    return sizes;
}

// "46.5% of"
std::string Share_Text(std::uint64_t part, std::uint64_t whole)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(1)
         << (whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole))
         << "% of";
    return text.str();
}

void Print_Json(std::ostream& out, const json& value)
{
    // A path that is not UTF-8 shows its stray bytes as U+FFFD.
    out << value.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

void Print_Check(const TPack_Request& request, const TPack_Sizes& sizes, std::ostream& out)
{
    const std::uint32_t method = Method_Of(request);
    if (request.Json) {
        Print_Json(out, {{"file", request.Map},
                         {"packed", Is_Packed(sizes)},
                         {"size", sizes.File},
                         {"packed_size", sizes.Packed},
                         {"method", method}});
        return;
    }
    out << Printable_Path(request.Map) << '\n'
        << "  packed:      " << (Is_Packed(sizes) ? "yes" : "no, its body is one literal run")
        << '\n'
        << "  size:        " << sizes.File << " bytes\n"
        << "  when packed: " << sizes.Packed << " bytes, "
        << (sizes.Packed < sizes.File ? Share_Text(sizes.Packed, sizes.File) + " its size"
                                      : std::string("no smaller"))
        << " (method " << method << ")\n";
}

void Print_Pack(const TPack_Request& request, const TPack_Sizes& sizes,
                const std::optional<std::string>& backup, std::ostream& out)
{
    const std::uint32_t method = Method_Of(request);
    const bool smaller = sizes.Packed < sizes.File;
    if (request.Json) {
        Print_Json(out, {{"file", request.Map},
                         {"method", method},
                         {"before", sizes.File},
                         {"after", sizes.Packed},
                         {"written", smaller && !request.Dry_Run},
                         {"backup", backup ? json(*backup) : json(nullptr)}});
        return;
    }
    const std::string map = Printable_Path(request.Map);
    if (!smaller) {
        out << map << " is " << sizes.File << " bytes, and packed (method " << method
            << ") it would be " << sizes.Packed << " bytes; nothing was written.\n";
        return;
    }
    out << map << '\n'
        << "  before: " << sizes.File << " bytes\n"
        << "  after:  " << sizes.Packed << " bytes, " << Share_Text(sizes.Packed, sizes.File)
        << " before (method " << method << ")\n";
    if (backup) {
        out << "  backup: " << Printable_Path(*backup) << '\n';
    }
    if (request.Dry_Run) {
        out << "Dry run: nothing was written.\n";
    }
}

void Check_Map(const TPack_Request& request, const TMemory_Mask& mask, std::ostream& out)
{
    const TBlock_Listing challenge = Open_Challenge(request.Map, mask);
    Print_Check(request, Measure(request.Map, challenge, Method_Of(request), mask), out);
}

void Pack_Map(const TPack_Request& request, const TMemory_Mask& mask, std::ostream& out)
{
    // Held until the map is written, so that another edit of it waits.
    const TFile_Lock lock(request.Map);
    const TBlock_Listing challenge = Open_Challenge(request.Map, mask);
    Check_Author(challenge, request.Game_Folder, mask);
    const std::uint32_t method = Method_Of(request);
    const TPack_Sizes sizes = Measure(request.Map, challenge, method, mask);
    std::optional<std::string> backup;
    if (sizes.Packed < sizes.File && !request.Dry_Run) {
        backup = Save_Edited_Challenge(request.Map, challenge.Image, mask, method);
    }
    Print_Pack(request, sizes, backup, out);
}

} // namespace

CLI::App* Add_Pack_Command(CLI::App& app, TPack_Request& request)
{
    CLI::App* pack = app.add_subcommand(
        "pack", "Save a challenge by one of the local online profiles again with its body "
                "packed, about as small as the game packs it; the file first copied to its next "
                "numbered backup, MAP.bak1 to MAP.bak9");
    pack->add_option("MAP", request.Map, "A challenge file (*.Challenge.Gbx)")->required();
    pack->add_flag("--best", request.Best,
                   "Search longer for the smallest file (several times slower)");
    CLI::Option* check = pack->add_flag(
        "--check", request.Check,
        "Say whether the body is packed and how large packing would make the file, and write "
        "nothing; for any challenge, whoever made it");
    CLI::Option* dry_run = pack->add_flag(
        "--dry-run", request.Dry_Run, "Print the sizes and write nothing (no backup either)");
    pack->add_option("--game-folder", request.Game_Folder,
                     "The game user folder whose profiles are the local player's, instead of "
                     "looking for one")
        ->check(Existing_Folder());
    check->excludes(dry_run);
    pack->add_flag("--json", request.Json,
                   "One JSON object: file, method, before, after, written and backup (with "
                   "--check: file, packed, size, packed_size and method)");
    pack->footer("Any LZO1X decoder reads a packed file. The other editing commands save the "
                 "body as one literal run again, and the offsets that blocks and the editor show "
                 "are those of such a save. A map that packing would not make smaller is left "
                 "as it is.");
    return pack;
}

int Run_Pack(const TPack_Request& request, const TMemory_Mask& mask, std::ostream& out,
             std::ostream& err)
{
    return Run_Edit_Command(request.Map, err, [&] {
        if (request.Check) {
            Check_Map(request, mask, out);
        } else {
            Pack_Map(request, mask, out);
        }
    });
}

} // namespace plotvane
