// The editor's entry: creates the main window (which converts the challenge named by a single
// argument and then ends the program) and runs the window until it is closed.
#include "platform/Process.h"
#include "platform/Qt_Gui_Services.h"
#include "ui/Main.h"

#include <QApplication>

#include <cstdlib>

namespace {

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

} // namespace

int main(int argc, char* argv[])
{
    Use_Offscreen_Platform_Without_Display(argc);
    QApplication application(argc, argv);
    plotvane::TQt_Gui_Services gui_services;
    plotvane::TMainForm main_form(plotvane::Command_Line_Arguments(argc, argv), gui_services);
    if (const std::optional<int> exit_code = main_form.Conversion_Exit_Code()) {
        return *exit_code;
    }
    main_form.show();
    return QApplication::exec();
}
