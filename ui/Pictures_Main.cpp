// plotvane-pictures FOLDER: renders the editor's main window as it opens, its Summary page with
// the profiles found, and its About box into PNG files in FOLDER, offscreen unless
// QT_QPA_PLATFORM says otherwise, so that the README can show the program and a machine without
// a display can see it. Not installed.
// The window reads the game folder as the editor does: set PLOTVANE_DOCUMENTS to show a profile.
// Then, when the real challenge E02-Endurance is at hand (in PLOTVANE_CORPUS_DIR, else in the
// corpus folder beside the project), it renders the window of a player who made it: a game
// folder with that author's profile, the challenge opened through Open, and a block selected,
// once with a name by reference and once with a name written in place, unlocked; then many
// lines selected and raised one level, with the Edit menu open on its batch commands.
#include "challenge/Demo_Game_Folder.h"
#include "gbx/Gbx_IO.h"
#include "platform/Process.h"
#include "platform/Scripted_Gui_Services.h"
#include "ui/About.h"
#include "ui/Block_List_Model.h"
#include "ui/Main.h"
#include "ui/Map_View.h"
#include "ui/Path_Text.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const QString Challenge_File_Name = QStringLiteral("E02-Endurance.Challenge.Gbx");
// The challenge's author, whose profile the player's game folder holds.
const char* const Challenge_Author = "Nadeo";
// The lines shown: block 9 names "StadiumRoadMainCheckpoint" by reference, block 23 writes
// "StadiumRoadMainBiSlopeStart" in place.
constexpr int Reference_Line = 10;
constexpr int In_Place_Line = 24;
// The lines of the multi-selection picture.
constexpr int First_Selected_Line = 5;
constexpr int Last_Selected_Line = 14;
// Wide enough for the list's lines not to be cut.
constexpr int Challenge_Window_Width = 1000;
// The point size of the pictures' font: the size of the Linux desktop's usual font.
constexpr int Picture_Font_Points = 9;

// The handler Qt had before, which gets every message but the offscreen platform's notes.
QtMessageHandler Qt_Message_Handler = nullptr;

// The offscreen platform says, each time the window asks, that it cannot do what only a screen
// does: raise a window, grab the keyboard, pass size hints on to a window manager. Harmless
// here, and read as errors by whoever runs the program: those notes are dropped, every other
// message goes on.
void Report_Qt_Message(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen") &&
        message.startsWith(QLatin1String("This plugin does not support "))) {
        return;
    }
    Qt_Message_Handler(type, context, message);
}

bool Save_Pixmap(const QPixmap& pixmap, const QString& path)
{
    if (pixmap.save(path)) {
        std::printf("%s\n", plotvane::To_Path(QDir::toNativeSeparators(path)).c_str());
        return true;
    }
    std::fprintf(stderr, "plotvane-pictures: cannot write %s\n",
                 plotvane::To_Path(QDir::toNativeSeparators(path)).c_str());
    return false;
}

bool Save_Picture(QWidget& widget, const QString& path)
{
    return Save_Pixmap(widget.grab(), path);
}

// The window with the name box's list dropped down over it, as the screen shows them, the
// pointer on the block's name.
bool Save_Picture_With_Names(plotvane::TMainForm& main_form, const QString& path)
{
    QComboBox& names = *main_form.Block_Name_ComboBox;
    names.showPopup();
    names.view()->setCurrentIndex(names.model()->index(names.findText(names.currentText()), 0));
    QApplication::processEvents();
    QPixmap picture = main_form.grab();
    QWidget& popup = *names.view()->window();
    QPainter painter(&picture);
    painter.drawPixmap(popup.mapToGlobal(QPoint(0, 0)) - main_form.mapToGlobal(QPoint(0, 0)),
                       popup.grab());
    painter.end();
    names.hidePopup();
    return Save_Pixmap(picture, path);
}

// The window with its Edit menu open, as the screen shows them.
bool Save_Picture_With_Edit_Menu(plotvane::TMainForm& main_form, const QString& path)
{
    main_form.menuBar()->setActiveAction(main_form.Edit_Menu->menuAction());
    QApplication::processEvents();
    QPixmap picture = main_form.grab();
    QPainter painter(&picture);
    painter.drawPixmap(main_form.Edit_Menu->mapToGlobal(QPoint(0, 0)) -
                           main_form.mapToGlobal(QPoint(0, 0)),
                       main_form.Edit_Menu->grab());
    painter.end();
    main_form.Edit_Menu->hide();
    return Save_Pixmap(picture, path);
}

// Clicks the first column that holds a checkpoint alone on the map, as a player would.
bool Save_Map_Picture(plotvane::TMainForm& main_form, const QString& path)
{
    plotvane::TMap_View& map = *main_form.Map_Canvas;
    const plotvane::TChallenge_Map& columns = map.Map();
    for (unsigned x = 0; x < columns.Width(); ++x) {
        for (unsigned y = 0; y < columns.Depth(); ++y) {
            const auto top = columns.Columns().Top_Block_At(std::uint8_t(x), std::uint8_t(y));
            if ((columns.Marks_At(std::uint8_t(x), std::uint8_t(y)) & plotvane::Mark_Checkpoint) == 0 ||
                columns.Columns().Count_At(std::uint8_t(x), std::uint8_t(y)) != 1 || !top) {
                continue;
            }
            const QPointF centre = map.Cell_Rect(x, y).center();
            for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QMouseEvent click(type, centre, map.viewport()->mapToGlobal(centre), Qt::LeftButton,
                                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                  Qt::NoModifier);
                QApplication::sendEvent(map.viewport(), &click);
            }
            QApplication::processEvents();
            return Save_Picture(main_form, path);
        }
    }
    std::fprintf(stderr, "plotvane-pictures: the map shows no checkpoint\n");
    return false;
}

QString Corpus_Folder()
{
    const QString named = qEnvironmentVariable("PLOTVANE_CORPUS_DIR");
    return named.isEmpty() ? QStringLiteral(PLOTVANE_DEFAULT_CORPUS_DIR) : named;
}

// Makes TrackMania/ in `documents` as the game would leave it for the challenge's author: a
// profile of that login and the challenge among the player's challenges. Returns the path of
// the challenge, or "" after saying what failed.
QString Make_Author_Game_Folder(const QString& documents, const QString& challenge)
{
    const QDir game_folder(documents + QStringLiteral("/TrackMania"));
    const QString profile = game_folder.filePath(QStringLiteral("Profiles/Author.Profile.Gbx"));
    const QString copy = game_folder.filePath(QStringLiteral("Tracks/Challenges/") +
                                              Challenge_File_Name);
    const plotvane::TMemory_Mask mask = 0;
    if (!game_folder.mkpath(QStringLiteral("Profiles")) ||
        !game_folder.mkpath(QStringLiteral("Tracks/Challenges")) ||
        plotvane::Gbx_Save_File(plotvane::To_Path(profile),
                                plotvane::Demo_Profile_Image(mask, Challenge_Author), 0,
                                mask) != 0 ||
        !QFile::copy(challenge, copy)) {
        std::fprintf(stderr, "plotvane-pictures: cannot make a game folder in %s\n",
                     qPrintable(documents));
        return {};
    }
    return copy;
}

// Opens the challenge in a window of its author's game folder, through Open, and renders two
// lines selected. What the window says besides the expected warning is printed.
bool Save_Challenge_Pictures(const QDir& folder, const QString& challenge)
{
    const QTemporaryDir documents;
    const QString copy = documents.isValid() ? Make_Author_Game_Folder(documents.path(), challenge)
                                             : QString();
    if (copy.isEmpty()) {
        return false;
    }
    // The window reads the game folder when it is created.
    qputenv("PLOTVANE_DOCUMENTS", QFile::encodeName(documents.path()));
    plotvane::TScripted_Gui_Services gui_services;
    plotvane::TMainForm main_form({}, gui_services);
    main_form.resize(Challenge_Window_Width, main_form.height());
    main_form.show();
    gui_services.File_Names.push_back(copy);
    main_form.ChallengeOpen_Action->trigger();
    QTableView& list = *main_form.List_Block_ListBox;
    list.setFocus();
    // The first picture shows the list from its count line; the name box's list is dropped
    // down, so the other picture shows the whole panel.
    list.setCurrentIndex(main_form.Block_List_Model->index(Reference_Line));
    bool saved = Save_Picture_With_Names(
        main_form, folder.filePath(QStringLiteral("main-window-challenge.png")));

    list.setCurrentIndex(main_form.Block_List_Model->index(In_Place_Line));
    // Centred, so that the lines around it show.
    list.scrollTo(list.currentIndex(), QAbstractItemView::PositionAtCenter);
    gui_services.Answers.push_back(plotvane::TMessage_Answer::Ok); // to the rename warning
    main_form.Block_Name_Unlock_SpeedButton->click();
    const std::size_t boxes_expected = 1;
    QApplication::processEvents();
    saved = Save_Picture(main_form,
                         folder.filePath(QStringLiteral("main-window-name-unlocked.png"))) &&
            saved;

    // A click on the first line and a Shift+click on the last, the blocks raised one level,
    // then the Edit menu, which offers to undo that.
    list.setCurrentIndex(main_form.Block_List_Model->index(First_Selected_Line));
    list.selectionModel()->select(
        QItemSelection(main_form.Block_List_Model->index(First_Selected_Line),
                       main_form.Block_List_Model->index(Last_Selected_Line)),
        QItemSelectionModel::ClearAndSelect);
    gui_services.Dialog_Answers.push_back([](QDialog& move) {
        move.findChild<QSpinBox*>(QStringLiteral("Move_DZ_SpinEdit"))->setValue(1);
        return true;
    });
    main_form.EditMove_Action->trigger();
    list.scrollTo(main_form.Block_List_Model->index(0));
    saved = Save_Picture_With_Edit_Menu(
                main_form, folder.filePath(QStringLiteral("main-window-multi-selection.png"))) &&
            saved;

    // The find box narrowing the list to the checkpoints, the count in the status bar.
    main_form.Find_Edit->setText(QStringLiteral("checkpoint"));
    QApplication::processEvents();
    saved = Save_Picture(main_form, folder.filePath(QStringLiteral("main-window-find.png"))) &&
            saved;

    // The map beside the whole list, with a click on the column of the first checkpoint.
    main_form.Find_Edit->clear();
    saved = Save_Map_Picture(main_form, folder.filePath(QStringLiteral("main-window-map.png"))) &&
            saved;

    // Any box but the warning (a refused Open, a missing name list) spoils the pictures.
    const bool as_expected = gui_services.Boxes.size() == boxes_expected &&
                             main_form.Block_Name_Unlock_SpeedButton->isChecked();
    if (!as_expected) {
        for (const auto& box : gui_services.Boxes) {
            std::fprintf(stderr, "plotvane-pictures: the window said: %s: %s\n",
                         qPrintable(box.Title), qPrintable(box.Text));
        }
    }
    return saved && as_expected;
}

} // namespace

int main(int argc, char* argv[])
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    Qt_Message_Handler = qInstallMessageHandler(Report_Qt_Message);
    // The pictures show the window as it first opens, whatever this user's settings hold.
    const QTemporaryDir settings_folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());
    QApplication application(argc, argv);
    // Drawn in Qt's own style and one font (Debian's DejaVu Sans), not the system's, so that
    // the pictures are the same on every machine that draws them; on Windows the style gives
    // the window the colours it has on Linux.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), Picture_Font_Points));
    // Read as the editor reads its own: on Windows from the wide command line.
    const std::vector<std::string> arguments = plotvane::Command_Line_Arguments(argc, argv);
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: plotvane-pictures FOLDER\n");
        return 2;
    }
    const QDir folder(plotvane::From_Path(arguments.front()));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "plotvane-pictures: cannot make the folder %s\n",
                     arguments.front().c_str());
        return 1;
    }

    bool saved = true;
    {
        // Any box the window shows at start (no profile found) is answered without a person.
        plotvane::TScripted_Gui_Services gui_services;
        plotvane::TMainForm main_form({}, gui_services);
        plotvane::TAboutBox about_box(gui_services, &main_form);
        main_form.show();
        about_box.show();
        QApplication::processEvents();

        saved = Save_Picture(main_form, folder.filePath(QStringLiteral("main-window.png")));
        // The profiles found are on the other page.
        main_form.Main_PageControl->setCurrentWidget(main_form.Summary_TabSheet);
        saved = Save_Picture(main_form,
                             folder.filePath(QStringLiteral("main-window-profiles.png"))) &&
                saved;
        saved = Save_Picture(about_box, folder.filePath(QStringLiteral("about-box.png"))) && saved;
    }

    const QString challenge = QDir(Corpus_Folder()).filePath(Challenge_File_Name);
    if (!QFile::exists(challenge)) {
        std::printf("%s not found: the pictures of an open challenge are skipped.\n",
                    qPrintable(QDir::toNativeSeparators(challenge)));
        return saved ? 0 : 1;
    }
    saved = Save_Challenge_Pictures(folder, challenge) && saved;
    return saved ? 0 : 1;
}
