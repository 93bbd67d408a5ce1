// Test main for the suites that need a laptop's screen: the offscreen platform with one
// 1366 x 768 screen (unless the caller chose a platform other than plain offscreen), one
// Application for the whole run, and a dialog that no test scripted fails the test.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include "AppTestSupport.h"
#include "platform/gui/Application.h"

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        const QString config = dir.filePath(QStringLiteral("screens.json"));
        QFile file(config);
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) ||
            file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                           "logicalDpi": 96, "dpr": 1}]})") < 0)
            return 2;
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    }
    testing::InitGoogleTest(&argc, argv);
    gui::Application app(argc, argv);
    apptest::UnexpectedDialogs::Install();
    return RUN_ALL_TESTS();
}
