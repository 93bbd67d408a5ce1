#include "platform/gui/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHash>
#include <algorithm>

#include "platform/gui/Application.h"
#include "platform/gui/Internal.h"

namespace gui {

namespace {

// A combo box answers a font change by making its drop-down list there and then (a list
// view in a popup frame, about ten times what the box itself costs), although a list
// made later, when the box first opens, takes the box's font all the same. A box that
// has not opened yet is therefore given its font without the announcement.
class MuteFontChange final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::FontChange; }
};

// Its list (or, when editable, its edit field) is made.
bool HasInnerWidgets(const QComboBox& box) {
    const QObjectList& children = box.children();
    return std::any_of(children.begin(), children.end(), [](const QObject* c) { return c->isWidgetType(); });
}

// The field height Qt gives a box of this font and style, asked of a probe that takes
// the font from its parent (so it makes no list either) and kept per font and style: the
// box's own size hint is never worked out before its font is final, so Qt keeps none
// made with the font it had before.
int FieldHeight(const QComboBox& box) {
    if (box.isEditable() || !box.hasFrame()) return box.sizeHint().height();
    static QHash<QString, int> heights;
    const QString key = box.font().key() + QLatin1Char('|') + box.style()->name();
    if (const auto it = heights.constFind(key); it != heights.cend()) return *it;
    QWidget holder;
    holder.setFont(box.font());
    QComboBox probe(&holder);
    if (probe.style() != box.style()) probe.setStyle(box.style());
    const int height = probe.sizeHint().height();
    heights.insert(key, height);
    return height;
}

}  // namespace

// ---- ComboBox -------------------------------------------------------------------------

bool ComboBox::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("ComboBox::create") || exists()) return false;
    auto* c = new QComboBox(childHost(parent));
    c->setEditable(false);
    c->setFocusPolicy(Qt::StrongFocus);  // not focused by the wheel
    // Rows of the application's font, not the dialog's the box now has from its parent.
    const int rowHeight = QFontMetrics(QApplication::font(c)).height();
    c->setMaxVisibleItems(std::max(1, rect.height() / std::max(1, rowHeight)));
    combo_ = c;
    if (!attach(c, c, parent, childId, rect, styleBits)) return false;
    const Handle h = handle();
    QObject::connect(c, &QComboBox::activated, c, [this, h](int) {
        whileAlive(h, this, [](ComboBox* self) { self->notifyParent(notify::ComboSelectionChange); });
    });
    return true;
}

bool ComboBox::onWheel(int, const MouseEvent&) { return combo_ == nullptr || !combo_->hasFocus(); }

QRect ComboBox::adjustRect(const QRect& rect) const {
    if (!combo_) return rect;
    return QRect(rect.topLeft(), QSize(rect.width(), FieldHeight(*combo_)));
}

void ComboBox::applyFont(QWidget& widget, const QFont& font) {
    if (&widget != combo_.data() || HasInnerWidgets(*combo_)) {
        widget.setFont(font);
        return;
    }
    MuteFontChange mute;
    combo_->installEventFilter(&mute);
    combo_->setFont(font);
    combo_->removeEventFilter(&mute);
    // What any widget does on a font change.
    combo_->update();
    combo_->updateGeometry();
}

int ComboBox::addString(const QString& text) {
    if (!combo_) return -1;
    const bool noSelection = combo_->currentIndex() < 0;
    combo_->addItem(text);
    // A list given its first item keeps having no selection until one is chosen.
    if (noSelection) combo_->setCurrentIndex(-1);
    return combo_->count() - 1;
}

int ComboBox::insertString(int index, const QString& text) {
    if (!combo_) return -1;
    if (index == -1) return addString(text);
    if (index < 0 || index > combo_->count()) return -1;
    const bool noSelection = combo_->currentIndex() < 0;
    combo_->insertItem(index, text);
    if (noSelection) combo_->setCurrentIndex(-1);
    return index;
}

int ComboBox::deleteString(int index) {
    if (!combo_ || index < 0 || index >= combo_->count()) return -1;
    combo_->removeItem(index);
    return combo_->count();
}

void ComboBox::resetContent() {
    if (combo_) combo_->clear();
}

int ComboBox::count() const { return combo_ ? combo_->count() : 0; }

int ComboBox::setCurSel(int index) {
    if (!combo_) return -1;
    if (index < 0 || index >= combo_->count()) {
        combo_->setCurrentIndex(-1);
        return -1;
    }
    combo_->setCurrentIndex(index);
    return index;
}

int ComboBox::curSel() const { return combo_ ? combo_->currentIndex() : -1; }

std::optional<QString> ComboBox::itemText(int index) const {
    if (!combo_ || index < 0 || index >= combo_->count()) return std::nullopt;
    return combo_->itemText(index);
}

}  // namespace gui
