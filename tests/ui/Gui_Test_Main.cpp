// Runs GoogleTest suites that need a QApplication, on Qt's offscreen platform unless one is
// named, so that they run without a display. The window's settings go to a folder of the run,
// never to the user's own.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir settings_folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
