// Test main for the application shell: one Application (and QApplication) for the
// whole run, on the offscreen platform unless the caller chose another, and a dialog
// that no test scripted fails the test instead of waiting for a user.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "AppTestSupport.h"
#include "platform/gui/Application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    testing::InitGoogleTest(&argc, argv);
    gui::Application app(argc, argv);
    apptest::UnexpectedDialogs::Install();
    return RUN_ALL_TESTS();
}
