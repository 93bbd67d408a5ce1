// The list view and the tooltip (the other controls are in Controls.cpp).
#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <algorithm>

#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Internal.h"

namespace gui {

// ---- ListView -------------------------------------------------------------------------

bool ListView::create(Window* parent, int childId, const QRect& rect, std::uint32_t styleBits) {
    if (!checkGuiThread("ListView::create") || exists()) return false;
    auto* t = new QTableWidget;
    t->setColumnCount(0);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(false);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setWordWrap(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 4);
    table_ = t;
    if (!attach(t, t, parent, childId, rect, styleBits)) return false;
    bridgeInnerWidget(t->viewport());
    onStyleChanged(0, styleBits);
    return true;
}

void ListView::onStyleChanged(std::uint32_t, std::uint32_t newStyle) {
    if (!table_) return;
    table_->setShowGrid((newStyle & style::GridLines) != 0);
    table_->setSelectionBehavior((newStyle & style::FullRowSelect) ? QAbstractItemView::SelectRows
                                                                   : QAbstractItemView::SelectItems);
    table_->setFrameShape((newStyle & style::Border) ? QFrame::StyledPanel : QFrame::NoFrame);
}

int ListView::insertColumn(int index, const QString& title, int widthPx) {
    if (!table_) return -1;
    const int at = std::clamp(index, 0, table_->columnCount());
    table_->insertColumn(at);
    table_->setHorizontalHeaderItem(at, new QTableWidgetItem(title));
    table_->setColumnWidth(at, std::max(0, widthPx));
    return at;
}

int ListView::columnCount() const { return table_ ? table_->columnCount() : 0; }

int ListView::insertItem(int index, const QString& text) {
    if (!table_ || index < 0) return -1;
    const int at = std::min(index, table_->rowCount());
    table_->insertRow(at);
    if (table_->columnCount() > 0) table_->setItem(at, 0, new QTableWidgetItem(text));
    return at;
}

bool ListView::setItemText(int row, int column, const QString& text) {
    if (!table_ || row < 0 || row >= table_->rowCount() || column < 0 || column >= table_->columnCount()) return false;
    if (QTableWidgetItem* item = table_->item(row, column)) item->setText(text);
    else table_->setItem(row, column, new QTableWidgetItem(text));
    return true;
}

QString ListView::itemText(int row, int column) const {
    if (!table_ || row < 0 || row >= table_->rowCount() || column < 0 || column >= table_->columnCount()) return {};
    const QTableWidgetItem* item = table_->item(row, column);
    return item != nullptr ? item->text() : QString();
}

int ListView::itemCount() const { return table_ ? table_->rowCount() : 0; }

bool ListView::deleteItem(int row) {
    if (!table_ || row < 0 || row >= table_->rowCount()) return false;
    table_->removeRow(row);
    return true;
}

void ListView::deleteAllItems() {
    if (table_) table_->setRowCount(0);
}

bool ListView::selectItem(int row) {
    if (!table_) return false;
    if (row == -1) {
        table_->clearSelection();
        return true;
    }
    if (row < 0 || row >= table_->rowCount()) return false;
    table_->selectRow(row);
    return true;
}

int ListView::selectedItem() const {
    if (!table_) return -1;
    const auto rows = table_->selectionModel() != nullptr ? table_->selectionModel()->selectedRows() : QModelIndexList();
    if (!rows.isEmpty()) return rows.first().row();
    const auto items = table_->selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

bool ListView::ensureVisible(int row) {
    if (!table_ || row < 0 || row >= table_->rowCount()) return false;
    table_->scrollTo(table_->model()->index(row, 0), QAbstractItemView::EnsureVisible);
    return true;
}

// ---- Tooltip --------------------------------------------------------------------------

namespace {
constexpr int kInitialTimer = 1;
constexpr int kPopupTimer = 2;
}  // namespace

bool Tooltip::create(Window* owner, int childId, const QRect&, std::uint32_t styleBits) {
    if (!checkGuiThread("Tooltip::create") || exists()) return false;
    auto* tip = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
    tip->setMargin(3);
    tip->setFrameShape(QFrame::Box);
    tip->setAutoFillBackground(true);
    tip->setTextFormat(Qt::PlainText);
    return attach(tip, tip, owner, childId, QRect(0, 0, 10, 10), styleBits & ~style::Visible, true);
}

void Tooltip::setTool(Window* tool, const QString& text) {
    tool_ = tool != nullptr ? tool->handle() : 0;
    setText(text);
}

void Tooltip::setText(const QString& text) {
    Window::setText(text);
    if (auto* l = qobject_cast<QLabel*>(widget())) {
        l->setText(text);
        l->adjustSize();
    }
}

void Tooltip::setColours(ColourRef background, ColourRef text) {
    if (QWidget* w = widget()) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, toQColor(background));
        p.setColor(QPalette::WindowText, toQColor(text));
        w->setPalette(p);
    }
}

void Tooltip::setDelays(int initialMs, int popupMs) {
    initialMs_ = std::max(0, initialMs);
    popupMs_ = std::max(0, popupMs);
}

void Tooltip::relayMouseMove(const QPoint& screenPos) {
    Window* tool = fromHandle(tool_);
    if (tool == nullptr || !exists()) return;
    lastPos_ = screenPos;
    if (!tool->windowRect().contains(screenPos)) {
        killTimer(kInitialTimer);
        pop();
        return;
    }
    if (!isShown() && !hasTimer(kInitialTimer)) setTimer(kInitialTimer, std::max(1, initialMs_));
}

void Tooltip::popup() {
    Window* tool = fromHandle(tool_);
    QPoint at = QCursor::pos();
    if (tool != nullptr && !tool->windowRect().contains(at)) at = tool->windowRect().bottomLeft();
    showAt(at);
}

void Tooltip::pop() {
    killTimer(kPopupTimer);
    if (isShown()) hide();
}

void Tooltip::showAt(const QPoint& screenPos) {
    if (!exists()) return;
    widget()->adjustSize();
    moveWindow(QRect(screenPos + QPoint(2, 18), widget()->size()));
    show(true);
    if (popupMs_ > 0) setTimer(kPopupTimer, popupMs_);
}

void Tooltip::onTimer(int timerId) {
    killTimer(timerId);
    if (timerId == kInitialTimer) showAt(lastPos_);
    else if (timerId == kPopupTimer) hide();
}

}  // namespace gui
