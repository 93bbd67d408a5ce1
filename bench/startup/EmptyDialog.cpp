// The start-up baseline: a Qt program that shows an empty dialog, says so on stderr once
// its event loop runs (as Tamsiro says "main window open"), and waits to be killed.
// With the argument "label" the dialog holds one line of text, so the font set-up
// that any text needs is part of the baseline too.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Empty"));
    if (argc > 1 && std::strcmp(argv[1], "label") == 0) {
        auto* label = new QLabel(QStringLiteral("Motor Type"), &dialog);
        label->move(20, 20);
    }
    dialog.show();
    QTimer::singleShot(0, [] {
        std::fputs("empty dialog open\n", stderr);
        std::fflush(stderr);
    });
    return app.exec();
}
