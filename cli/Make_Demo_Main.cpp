#include "cli/Cli_Commands.h"
#include "cli/Cli_Reports.h"
#include "challenge/Demo_Game_Folder.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_System.h"
#include "platform/Process.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

// plotvane-make-demo OUTPUT_FOLDER: makes a demo game user folder there, with a profile and a
// challenge made by it, to try the programs on without the game.
int main(int argc, char** argv)
{
    plotvane::Ignore_File_Size_Limit_Signal();
    plotvane::Use_Binary_Standard_Streams();
    const plotvane::TProgram_Arguments arguments(argc, argv);
    CLI::App app{"Makes a demo TrackMania game user folder: a profile of \"demo_player\" and a "
                 "small challenge by it.",
                 "plotvane-make-demo"};
    // As plotvane-cli: an argument that starts with "/" is a path on every system.
    app.allow_windows_style_options(false);
    std::string folder;
    app.add_option("OUTPUT_FOLDER", folder, "The game user folder to make")->required();
    try {
        app.parse(arguments.Count(), arguments.Values());
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? plotvane::Cli_Exit_Ok : plotvane::Cli_Exit_Usage;
    }
    try {
        const std::uint32_t status =
            plotvane::Make_Demo_Game_Folder(folder, plotvane::Draw_Memory_Mask());
        if (status != 0) {
            std::cerr << "plotvane-make-demo: " << folder << ": error " << status << " ("
                      << plotvane::Status_Meaning(status) << ")\n";
            return plotvane::Cli_Exit_Failure;
        }
    } catch (const plotvane::EInOutError& error) {
        std::cerr << "plotvane-make-demo: " << folder << ": " << error.what() << '\n';
        return plotvane::Cli_Exit_Failure;
    }
    std::cout << plotvane::Demo_Profile_Path(folder) << '\n'
              << plotvane::Demo_Challenge_Path(folder) << '\n';
    return plotvane::Cli_Exit_Ok;
}
