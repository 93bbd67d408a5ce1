// Test main for the application shell: one Application (and QApplication) for the
// whole run, on the offscreen platform unless the caller chose another.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "platform/gui/Application.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    testing::InitGoogleTest(&argc, argv);
    gui::Application app(argc, argv);
    return RUN_ALL_TESTS();
}
