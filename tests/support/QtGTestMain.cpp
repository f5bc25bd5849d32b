// Test entry point for every Qt-based test binary: one QApplication for the whole run,
// created before any widget, with the numeric locale that libmpv requires, and Qt's test
// folders for the user's settings.
#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Settings a test makes (the last library opened) go to a test folder, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    std::setlocale(LC_NUMERIC, "C");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
