// The editor's entry. It decides from the program's own arguments, before Qt sees them: exactly
// one converts that challenge in place without a display and ends; otherwise the window opens
// (with the challenge named after --open) and runs until it is closed.
#include "platform/File_System.h"
#include "platform/Process.h"
#include "platform/Qt_Gui_Services.h"
#include "ui/About.h"
#include "ui/Art.h"
#include "ui/Command_Line.h"
#include "ui/Main.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* Usage_Text =
    "Usage: plotvane [--open CHALLENGE]\n"
    "       plotvane CHALLENGE\n"
    "\n"
    "Plotvane edits TrackMania TMNF/TMUF challenges (*.Challenge.Gbx) that one of your online\n"
    "profiles made: it lists every block and lets you change one block at a time.\n"
    "\n"
    "plotvane                     opens the window.\n"
    "plotvane --open CHALLENGE    opens the window with that challenge open, as its Open\n"
    "                             command would (only a challenge of yours opens).\n"
    "plotvane CHALLENGE           does NOT open it: it converts that file in place, without a\n"
    "                             window or a display. It checks that the author is one of your\n"
    "                             online profiles, copies the file to CHALLENGE.bak and writes\n"
    "                             it back with its body stored as one LZO1X literal run.\n"
    "Exactly one argument converts, even one that Qt takes for an option (-reverse); with two\n"
    "or more (Qt's own options, such as -style fusion, count too) the window opens. To convert\n"
    "a file named --open, give its path: plotvane ./--open.\n"
    "\n"
    "Exit codes of the conversion (a POSIX exit status keeps the low 8 bits, shown in\n"
    "brackets; a line on standard error names the full code):\n"
    "  0            converted\n"
    "  9999 (15)    no online profile found\n"
    "  9998 (14)    the file could not be loaded\n"
    "  9997 (13)    its author is not one of your online profiles\n"
    "  9996 (12)    the file could not be written\n"
    "  9995 (11)    the .bak copy could not be made (nothing written)\n"
    "\n"
    "plotvane-cli shows and changes challenges from scripts: plotvane-cli --help.\n";

// "--help" and "--version" are answered unless a file of that name is there to convert.
bool Answered_Without_Window(const std::string& argument)
{
    if (plotvane::File_Exists(argument)) {
        return false;
    }
    if (argument == "--help") {
        std::cout << Usage_Text;
        return true;
    }
    if (argument == "--version") {
        std::cout << "plotvane " << plotvane::Program_Version << '\n';
        return true;
    }
    return false;
}

// Qt's platform when neither QT_QPA_PLATFORM nor -platform names one; none: Qt's own default.
#ifdef PLOTVANE_DEFAULT_QT_PLATFORM
constexpr const char* Default_Qt_Platform = PLOTVANE_DEFAULT_QT_PLATFORM;
#else
constexpr const char* Default_Qt_Platform = nullptr;
#endif

} // namespace

int main(int argc, char* argv[])
{
    plotvane::Ignore_File_Size_Limit_Signal();
    plotvane::Give_Large_Blocks_Back_When_Freed();
    // The conversion's line and --help write the same bytes on Windows as elsewhere.
    plotvane::Use_Binary_Standard_Streams();
    // Counted here, before Qt takes its own options (-style, -reverse, ...) out of argv.
    const std::vector<std::string> arguments = plotvane::Command_Line_Arguments(argc, argv);
    if (plotvane::Asks_For_Conversion(arguments)) {
        if (Answered_Without_Window(arguments.front())) {
            return EXIT_SUCCESS;
        }
        // Before any QApplication: the conversion shows nothing and needs no Qt platform.
        return plotvane::Convert_From_Command_Line(
            arguments.front(), plotvane::Draw_Memory_Mask(plotvane::Clock_Value()));
    }
    if (Default_Qt_Platform != nullptr && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", Default_Qt_Platform);
    }
    QApplication application(argc, argv);
    QApplication::setWindowIcon(plotvane::Application_Icon());
    plotvane::TQt_Gui_Services gui_services;
    plotvane::TMainForm main_form(arguments, gui_services);
    plotvane::TAboutBox about_box(gui_services, &main_form);
    main_form.AboutBox = &about_box;
    main_form.show();
    return QApplication::exec();
}
