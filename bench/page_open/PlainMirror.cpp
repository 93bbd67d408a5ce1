#include "page_open/PlainMirror.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>

namespace pagebench {
namespace {

// The program's widgets add behaviour but no Q_OBJECT of their own, so the meta object
// already names Qt's class; this walks up for any that do.
QByteArray QtClassOf(const QWidget& w) {
    for (const QMetaObject* m = w.metaObject(); m != nullptr; m = m->superClass()) {
        const QByteArray name(m->className());
        if (name.startsWith('Q') && !name.contains("::")) return name;
    }
    return QByteArrayLiteral("QWidget");
}

// Controls whose inner widgets are Qt's business; a plain dialog makes them the same way.
bool IsWholeControl(const QWidget& w) {
    return qobject_cast<const QAbstractButton*>(&w) != nullptr || qobject_cast<const QLabel*>(&w) != nullptr ||
           qobject_cast<const QLineEdit*>(&w) != nullptr || qobject_cast<const QComboBox*>(&w) != nullptr ||
           qobject_cast<const QAbstractSlider*>(&w) != nullptr || qobject_cast<const QTabBar*>(&w) != nullptr ||
           qobject_cast<const QMenuBar*>(&w) != nullptr;
}

WidgetShape DescribeWidget(const QWidget& w) {
    WidgetShape s;
    s.qtClass = QtClassOf(w);
    s.geometry = w.geometry();
    s.hidden = w.isHidden();
    if (const auto* label = qobject_cast<const QLabel*>(&w)) s.text = label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&w)) s.text = button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(&w)) s.text = group->title();
    if (const auto* edit = qobject_cast<const QLineEdit*>(&w)) s.text = edit->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(&w)) {
        for (int i = 0; i < combo->count(); ++i) s.items << combo->itemText(i);
        s.value = combo->currentIndex();
    }
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(&w)) {
        s.minimum = slider->minimum();
        s.maximum = slider->maximum();
        s.value = slider->value();
        s.orientation = slider->orientation();
    }
    if (const auto* bar = qobject_cast<const QMenuBar*>(&w)) {
        for (const QAction* a : bar->actions()) s.items << a->text();
    }
    if (IsWholeControl(w)) return s;
    for (const QObject* child : w.children()) {
        const auto* cw = qobject_cast<const QWidget*>(child);
        if (cw != nullptr && !cw->isWindow()) s.children.push_back(DescribeWidget(*cw));
    }
    return s;
}

QWidget* MakePlain(const WidgetShape& s, QWidget* parent) {
    QWidget* w = nullptr;
    if (s.qtClass == "QLabel") {
        w = new QLabel(s.text, parent);
    } else if (s.qtClass == "QPushButton") {
        w = new QPushButton(s.text, parent);
    } else if (s.qtClass == "QRadioButton") {
        w = new QRadioButton(s.text, parent);
    } else if (s.qtClass == "QCheckBox") {
        w = new QCheckBox(s.text, parent);
    } else if (s.qtClass == "QGroupBox") {
        w = new QGroupBox(s.text, parent);
    } else if (s.qtClass == "QLineEdit") {
        w = new QLineEdit(s.text, parent);
    } else if (s.qtClass == "QComboBox") {
        auto* c = new QComboBox(parent);
        c->addItems(s.items);
        c->setCurrentIndex(s.value);
        w = c;
    } else if (s.qtClass == "QSlider") {
        auto* slider = new QSlider(s.orientation, parent);
        slider->setRange(s.minimum, s.maximum);
        slider->setValue(s.value);
        w = slider;
    } else if (s.qtClass == "QTabBar") {
        auto* bar = new QTabBar(parent);
        for (const QString& item : s.items) bar->addTab(item);
        w = bar;
    } else if (s.qtClass == "QMenuBar") {
        auto* bar = new QMenuBar(parent);
        for (const QString& item : s.items) bar->addMenu(item);
        w = bar;
    } else {
        w = new QWidget(parent);
    }
    w->setGeometry(s.geometry);
    if (s.hidden) w->hide();
    for (const WidgetShape& child : s.children) MakePlain(child, w);
    return w;
}

bool ShowsOnScreen(const QWidget& w) { return w.isVisible() && !w.visibleRegion().isEmpty(); }

}  // namespace

WidgetShape Describe(const QWidget& window) {
    WidgetShape s = DescribeWidget(window);
    s.text = window.windowTitle();
    return s;
}

int ChildCount(const WidgetShape& window) {
    int n = 0;
    for (const WidgetShape& child : window.children) n += 1 + ChildCount(child);
    return n;
}

std::unique_ptr<QDialog> BuildPlain(const WidgetShape& window) {
    auto dialog = std::make_unique<QDialog>();
    dialog->setWindowTitle(window.text);
    for (const WidgetShape& child : window.children) MakePlain(child, dialog.get());
    dialog->resize(window.geometry.size());
    return dialog;
}

PaintWatch::PaintWatch() { qApp->installEventFilter(this); }

PaintWatch::~PaintWatch() { qApp->removeEventFilter(this); }

bool PaintWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) painted_.insert(watched);
    return false;
}

int PaintWatch::Unpainted(const QWidget& window) const {
    int n = ShowsOnScreen(window) && !painted_.contains(&window) ? 1 : 0;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isWindow() && ShowsOnScreen(*w) && !painted_.contains(w)) ++n;
    }
    return n;
}

bool PaintWatch::Drawn(const QWidget& window) const { return window.isVisible() && Unpainted(window) == 0; }

}  // namespace pagebench
