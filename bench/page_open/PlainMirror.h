// The baseline of the page-opening benchmark and how "drawn" is decided for both sides.
//
// A page's windows are described as the Qt widgets they hold (class, place, text,
// items, range), and the same tree is built again as plain Qt widgets in a QDialog per
// window: the same number and kinds of child widgets, the same captions, but none of
// the program's own objects behind them. A window counts as drawn once every widget of
// it that can be seen has received its paint event. GUI thread only.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QRect>
#include <QSet>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

class QDialog;

namespace pagebench {

// One widget as a plain Qt program would make it.
struct WidgetShape {
    QByteArray qtClass;  // the nearest class of Qt's own
    QRect geometry;
    bool hidden = false;
    QString text;       // caption, title or edit text
    QStringList items;  // combo box items, menu bar titles
    int minimum = 0, maximum = 0, value = 0;
    Qt::Orientation orientation = Qt::Horizontal;
    std::vector<WidgetShape> children;
};

// A top-level window with every widget in it. Widgets that Qt's controls make for
// themselves are not taken apart: a combo box counts as one, as in a plain dialog.
WidgetShape Describe(const QWidget& window);
// How many widgets the description holds below its window.
int ChildCount(const WidgetShape& window);

// The window again as a plain QDialog (not shown).
std::unique_ptr<QDialog> BuildPlain(const WidgetShape& window);

// Notes every paint event of the application while it lives.
class PaintWatch final : public QObject {
public:
    PaintWatch();
    ~PaintWatch() override;
    PaintWatch(const PaintWatch&) = delete;
    PaintWatch& operator=(const PaintWatch&) = delete;

    void Clear() { painted_.clear(); }
    // True once the window and every widget in it that shows on screen has been painted.
    bool Drawn(const QWidget& window) const;
    // The widgets of the window that show on screen but were not painted.
    int Unpainted(const QWidget& window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSet<const QObject*> painted_;
};

}  // namespace pagebench
