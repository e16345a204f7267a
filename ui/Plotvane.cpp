// The editor's entry: creates the main window (which converts the challenge named by a single
// argument and then ends the program) and runs the window until it is closed.
#include "platform/File_System.h"
#include "platform/Process.h"
#include "platform/Qt_Gui_Services.h"
#include "ui/About.h"
#include "ui/Art.h"
#include "ui/Main.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

constexpr const char* Usage_Text =
    "Usage: plotvane [CHALLENGE]\n"
    "\n"
    "Plotvane edits TrackMania TMNF/TMUF challenges (*.Challenge.Gbx) that one of your online\n"
    "profiles made: it lists every block and lets you change one block at a time.\n"
    "\n"
    "Without an argument (or with two or more) it opens its window.\n"
    "With one argument, the path of a challenge, it converts that file in place without a\n"
    "window: it checks that the author is one of your online profiles, copies the file to\n"
    "CHALLENGE.bak and writes it back with its body stored as one LZO1X literal run.\n"
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
bool Answered_Without_Window(int argc, char* argv[])
{
    if (argc != 2 || plotvane::File_Exists(argv[1])) {
        return false;
    }
    const std::string argument = argv[1];
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

// With exactly one argument the program converts a file and shows nothing, so it must also run
// where there is no display at all.
void Use_Offscreen_Platform_Without_Display(int argc)
{
    const bool has_display = std::getenv("DISPLAY") != nullptr ||
                             std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (argc == 2 && !has_display && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

// The conversion's only output is its one line on standard error when it fails; Qt's notes on
// the platform (a missing runtime folder, say) would add lines of their own.
void Keep_Qt_Notes_Quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::cerr << message.toStdString() << '\n';
    }
}

} // namespace

int main(int argc, char* argv[])
{
    plotvane::Ignore_File_Size_Limit_Signal();
    if (Answered_Without_Window(argc, argv)) {
        return EXIT_SUCCESS;
    }
    Use_Offscreen_Platform_Without_Display(argc);
    if (argc == 2) {
        qInstallMessageHandler(Keep_Qt_Notes_Quiet);
    }
    QApplication application(argc, argv);
    QApplication::setWindowIcon(plotvane::Application_Icon());
    plotvane::TQt_Gui_Services gui_services;
    plotvane::TMainForm main_form(plotvane::Command_Line_Arguments(argc, argv), gui_services);
    if (const std::optional<int> exit_code = main_form.Conversion_Exit_Code()) {
        return *exit_code;
    }
    plotvane::TAboutBox about_box(gui_services, &main_form);
    main_form.AboutBox = &about_box;
    main_form.show();
    return QApplication::exec();
}
