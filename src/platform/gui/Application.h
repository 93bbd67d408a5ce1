// The program's Qt application object, its GUI thread, and the default font mapping.
//
// One Application lives for the whole program (and for the whole test run). It makes
// the QApplication, starts the delivery of posted messages, maps the dialog faces the
// system names ("Arial", "MS Shell Dlg", ...) onto Liberation Sans, and knows which
// thread is the GUI thread.
#pragma once

#include <QString>
#include <memory>

class QApplication;
class QEventLoop;

namespace gui {

class Application {
public:
    // argc must outlive the object (QApplication keeps a reference to it).
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* instance();
    QApplication* qt() const;

    // True on the thread that made the Application (false when none exists).
    static bool isGuiThread();

    // The family that stands in for "Arial" and the other dialog faces.
    static QString sansFamily();
    // True when Liberation Sans was found; false when a fallback family is used.
    static bool metricCompatibleFont();

    // Ends every running modal loop; a modal dialog then returns -1 unless it was
    // ended with a code first. Later modal loops return at once until clearQuit().
    static void postQuit(int code = 0);
    static bool quitPosted();
    static int quitCode();
    static void clearQuit();

    // Modal loops register here so postQuit can end them (used by Dialog).
    static void pushModalLoop(QEventLoop* loop);
    static void popModalLoop(QEventLoop* loop);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// For calls that are only legal on the GUI thread. Off that thread it writes a debug
// line and, in debug builds, aborts; in release builds it returns false and the
// caller returns without touching Qt.
bool checkGuiThread(const char* what);

}  // namespace gui
