// The window tests' main: one QApplication on the offscreen platform for every test, and
// the user's Qt settings (saved placements) kept in a scratch folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>

#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    // Tests never need a display, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Plexivar"));
    QApplication::setApplicationName(QStringLiteral("Plexivar"));
    QApplication::setQuitOnLastWindowClosed(false);
    const plexivar::testing::TempDir userSettings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(userSettings.path()));
    return RUN_ALL_TESTS();
}
