// What a user reads on the pages: every text shows whole in its control, measured with
// the control's own font, and no two framed controls (buttons, lists, edits) touch.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>

#include "PageRigSupport.h"
#include "pages/dc/DcPage.h"
#include "pages/dual/DualPage.h"
#include "platform/gui/Controls.h"

using namespace apptest;

namespace {

// The widget's rectangle in its top-level window, for the messages and the touching.
QRect InWindow(const QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }

std::string Where(const QWidget* w) {
    const QRect r = InWindow(w);
    return "at (" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ") " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

// A check button drawn as a box with its text beside it, not as a button.
bool PlainCheck(const QWidget* w) {
    const gui::Window* window = gui::Window::fromWidget(w);
    return dynamic_cast<const gui::CheckButton*>(window) != nullptr && !(window->style() & gui::style::PushLike);
}

// The texts that do not show whole in the page's controls, each with its control's place.
std::vector<std::string> CutTexts(const QWidget* page) {
    std::vector<std::string> cut;
    const auto check = [&cut](const QWidget* w, const QString& text, int need, int room) {
        if (!text.trimmed().isEmpty() && need > room)
            cut.push_back("\"" + text.toStdString() + "\" needs " + std::to_string(need) + " of " + std::to_string(room) +
                          " " + Where(w));
    };
    for (const QLabel* label : page->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(page) || label->wordWrap() || label->text().contains('\n')) continue;
        check(label, label->text(), label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width());
    }
    for (const QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(page)) continue;
        const QStyle* style = button->style();
        const int text = button->fontMetrics().horizontalAdvance(button->text());
        if (PlainCheck(button) || qobject_cast<const QCheckBox*>(button) != nullptr) {
            // The box, the gap and the text.
            const int box = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) +
                            style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button);
            check(button, button->text(), box + text, button->width());
        } else if (qobject_cast<const QPushButton*>(button) != nullptr) {
            // Inside the button's frame.
            check(button, button->text(), text + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button),
                  button->width());
        }
    }
    for (const QComboBox* combo : page->findChildren<QComboBox*>()) {
        if (!combo->isVisibleTo(page)) continue;
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        for (int i = 0; i < combo->count(); ++i)
            check(combo, combo->itemText(i), combo->fontMetrics().horizontalAdvance(combo->itemText(i)), field.width());
    }
    return cut;
}

// Buttons whose frames touch or overlap another framed control (a button, list or
// edit), and edits that touch each other. (A table's lists may share their edges.)
std::vector<std::string> Touching(const QWidget* page) {
    enum Kind { Button, List, Edit };
    std::vector<std::pair<const QWidget*, Kind>> framed;
    for (const QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page) || w->window() != page->window()) continue;
        if (qobject_cast<const QPushButton*>(w) != nullptr && !PlainCheck(w)) framed.emplace_back(w, Button);
        else if (qobject_cast<const QComboBox*>(w) != nullptr) framed.emplace_back(w, List);
        else if (qobject_cast<const QLineEdit*>(w) != nullptr && qobject_cast<const QComboBox*>(w->parentWidget()) == nullptr)
            framed.emplace_back(w, Edit);
    }
    std::vector<std::string> touching;
    for (std::size_t i = 0; i < framed.size(); ++i) {
        for (std::size_t j = i + 1; j < framed.size(); ++j) {
            const auto [a, aKind] = framed[i];
            const auto [b, bKind] = framed[j];
            const bool matters = aKind == Button || bKind == Button || (aKind == Edit && bKind == Edit);
            if (matters && InWindow(a).adjusted(-1, -1, 1, 1).intersects(InWindow(b)))
                touching.push_back(Where(a) + " and " + Where(b));
        }
    }
    return touching;
}

template <class Page>
void ExpectWholeTexts(std::uint32_t key) {
    PageRig<Page> r;
    Page* page = r.Open(key);
    ASSERT_NE(page, nullptr) << ModelName(key);
    guitest::settle();
    EXPECT_EQ(CutTexts(page->widget()), std::vector<std::string>{}) << ModelName(key);
    EXPECT_EQ(Touching(page->widget()), std::vector<std::string>{}) << ModelName(key);
    SaveScreenshots(*page, QString("texts_%1").arg(key, 0, 16));
}

}  // namespace

TEST(PageTexts, TheDualStepperPagesTextsShowWholeAndItsButtonsStandApart) {
    ExpectWholeTexts<CDeviceDialog_StepperDual>(0x106);
}

TEST(PageTexts, TheDcPagesTextsShowWholeAndItsButtonsStandApart) {
    for (const std::uint32_t key : {0x200u, 0x201u, 0x202u}) ExpectWholeTexts<CDeviceDialog_DC>(key);
}
