#include "platform/gui/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#ifdef __GLIBC__
#endif
#include <QProxyStyle>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/Debug.h"
#include "platform/gui/Internal.h"

namespace gui {

namespace {

constexpr const char* kMetricFamily = "Liberation Sans";

// Faces the system names for its dialogs and fonts; all stand for one sans family.
constexpr const char* kSubstitutedFaces[] = {"Arial",         "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif",
                                             "Microsoft Sans Serif", "Tahoma", "System"};

Application* g_instance = nullptr;
std::atomic<bool> g_haveGuiThread{false};
std::thread::id g_guiThread;  // written once before g_haveGuiThread is set

QString& sansFamilyStore() {
    static QString family = QString::fromLatin1(kMetricFamily);
    return family;
}
bool g_metricCompatible = true;

std::atomic<bool> g_quitPosted{false};
std::atomic<int> g_quitCode{0};
std::vector<QEventLoop*>& modalLoops() {
    static std::vector<QEventLoop*> loops;
    return loops;
}

// Finds the family that stands in for "Arial": Liberation Sans has the same metrics,
// so dialog layouts in dialog units come out the size they were designed at.
void chooseSansFamily() {
    const QStringList families = QFontDatabase::families();
    if (families.contains(QString::fromLatin1(kMetricFamily))) {
        QFont probe(QString::fromLatin1(kMetricFamily));
        if (QFontInfo(probe).family() == QString::fromLatin1(kMetricFamily)) {
            sansFamilyStore() = QString::fromLatin1(kMetricFamily);
            g_metricCompatible = true;
            return;
        }
    }
    g_metricCompatible = false;
    QString fallback;
    for (const char* candidate : {"DejaVu Sans", "Noto Sans", "FreeSans"}) {
        if (families.contains(QString::fromLatin1(candidate))) {
            fallback = QString::fromLatin1(candidate);
            break;
        }
    }
    if (fallback.isEmpty()) fallback = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    sansFamilyStore() = fallback;
    platform::debugOutf("gui: font \"%s\" not found; \"Arial\" is drawn with \"%s\" (dialog sizes will differ)\n",
                        kMetricFamily, fallback.toUtf8().constData());
}

// The style's own extension-button icons are image files, and reading the first image
// file makes Qt load every image format plugin: a menu bar alone would cost several
// milliseconds of start-up that way. The chevrons are drawn here instead.
class StartupFriendlyStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton) {
            return chevrons(which == SP_ToolBarVerticalExtensionButton);
        }
        return QProxyStyle::standardIcon(which, option, widget);
    }

private:
    static QIcon chevrons(bool down) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        for (int offset : {3, 8}) {
            if (down) {
                p.drawPolyline(QPolygonF({QPointF(4, offset), QPointF(8, offset + 4), QPointF(12, offset)}));
            } else {
                p.drawPolyline(QPolygonF({QPointF(offset, 4), QPointF(offset + 4, 8), QPointF(offset, 12)}));
            }
        }
        return QIcon(pixmap);
    }
};

}  // namespace

struct Application::Impl {
    std::unique_ptr<QApplication> ownApp;
};

Application::Application(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
    if (QCoreApplication::instance() == nullptr) impl_->ownApp = std::make_unique<QApplication>(argc, argv);
    g_guiThread = std::this_thread::get_id();
    g_haveGuiThread = true;
    g_instance = this;
    // The main window's modal loop is the program's main loop: closing a window must
    // never end the program behind the shell's back.
    QApplication::setQuitOnLastWindowClosed(false);
    if (impl_->ownApp) QApplication::setStyle(new StartupFriendlyStyle);

    chooseSansFamily();
    for (const char* face : kSubstitutedFaces) {
        QFont::removeSubstitutions(QString::fromLatin1(face));
        QFont::insertSubstitution(QString::fromLatin1(face), sansFamilyStore());
    }
    QFont base(sansFamilyStore());
    base.setPixelSize(11);  // 8 points at 96 dots per inch
    QApplication::setFont(base);

    detail::startDelivery();
}

Application::~Application() {
    reapDeferredDeletes(true);  // no handler runs any more
    detail::stopDelivery();
    // Widgets of destroyed windows are deleted later; let that happen now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    g_instance = nullptr;
    g_haveGuiThread = false;
    impl_->ownApp.reset();
}

Application* Application::instance() { return g_instance; }

QApplication* Application::qt() const { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

bool Application::isGuiThread() {
    return g_haveGuiThread.load(std::memory_order_acquire) && std::this_thread::get_id() == g_guiThread;
}

QString Application::sansFamily() { return sansFamilyStore(); }
bool Application::metricCompatibleFont() { return g_metricCompatible; }

void Application::postQuit(int code) {
    if (!checkGuiThread("Application::postQuit")) return;
    g_quitCode = code;
    g_quitPosted = true;
    for (QEventLoop* loop : modalLoops()) loop->exit(-1);
}

bool Application::quitPosted() { return g_quitPosted; }
int Application::quitCode() { return g_quitCode; }
void Application::clearQuit() {
    g_quitPosted = false;
    g_quitCode = 0;
}

void Application::pushModalLoop(QEventLoop* loop) { modalLoops().push_back(loop); }

void Application::popModalLoop(QEventLoop* loop) {
    auto& loops = modalLoops();
    loops.erase(std::remove(loops.begin(), loops.end(), loop), loops.end());
}

bool checkGuiThread(const char* what) {
    if (Application::isGuiThread()) return true;
    platform::debugOutf("gui: %s called off the GUI thread\n", what);
#ifndef NDEBUG
    std::abort();
#else
    return false;
#endif
}

}  // namespace gui
