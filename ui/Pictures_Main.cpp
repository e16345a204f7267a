// plotvane-pictures FOLDER [CHALLENGE [LINE]]: renders the editor's main window as it opens, its
// Summary page with the profiles found, and its About box into PNG files in FOLDER, offscreen
// unless QT_QPA_PLATFORM says otherwise, so that the README can show the program and a machine
// without a display can see it. Given a challenge, it also opens it as Open does (its author
// must be one of the profiles), selects the line (1, the first block, unless named) and renders
// main-window-challenge.png. Not installed.
// The window reads the game folder as the editor does: set PLOTVANE_DOCUMENTS to show a profile.
#include "platform/Scripted_Gui_Services.h"
#include "ui/About.h"
#include "ui/Main.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QAbstractItemModel>
#include <QTableView>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>

namespace {

bool Save_Picture(QWidget& widget, const QString& path)
{
    if (widget.grab().save(path)) {
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(path)));
        return true;
    }
    std::fprintf(stderr, "plotvane-pictures: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: plotvane-pictures FOLDER [CHALLENGE [LINE]]\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "plotvane-pictures: cannot make the folder %s\n", argv[1]);
        return 1;
    }

    // Any box the window shows at start (no profile found) is answered without a person.
    plotvane::TScripted_Gui_Services gui_services;
    plotvane::TMainForm main_form({}, gui_services);
    plotvane::TAboutBox about_box(gui_services, &main_form);
    main_form.show();
    about_box.show();
    QApplication::processEvents();

    bool saved = Save_Picture(main_form, folder.filePath(QStringLiteral("main-window.png")));
    // The profiles found are on the other page.
    main_form.Main_PageControl->setCurrentWidget(main_form.Summary_TabSheet);
    saved = Save_Picture(main_form, folder.filePath(QStringLiteral("main-window-profiles.png")))
            && saved;
    saved = Save_Picture(about_box, folder.filePath(QStringLiteral("about-box.png"))) && saved;
    about_box.hide();

    if (argc >= 3) {
        main_form.Main_PageControl->setCurrentWidget(main_form.Mapping_TabSheet);
        gui_services.File_Names.push_back(QString::fromLocal8Bit(argv[2]));
        main_form.ChallengeOpen_Action->trigger();
        if (main_form.Current_File_Name.empty()) {
            for (const auto& box : gui_services.Boxes) {
                std::fprintf(stderr, "plotvane-pictures: %s\n", qPrintable(box.Text));
            }
            return 1;
        }
        const int line = argc == 4 ? std::atoi(argv[3]) : 1;
        QTableView& list = *main_form.List_Block_ListBox;
        list.setCurrentIndex(list.model()->index(line, 0));
        list.setFocus();
        QApplication::processEvents();
        saved = Save_Picture(main_form,
                             folder.filePath(QStringLiteral("main-window-challenge.png"))) &&
                saved;
    }
    return saved ? 0 : 1;
}
