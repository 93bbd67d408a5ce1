#include "platform/gui/SystemLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>

#include "platform/gui/Application.h"

namespace gui {

ColourRef SystemLook::colour(SysColour which) const {
    const auto i = static_cast<std::size_t>(which);
    return i < std::size(colours_) ? colours_[i] : 0;
}

int SystemLook::metric(SysMetric which) const {
    const auto i = static_cast<std::size_t>(which);
    return i < std::size(metrics_) ? metrics_[i] : 0;
}

SystemLook systemLook() {
    SystemLook look;
    if (!checkGuiThread("systemLook")) return look;
    const QPalette p = QApplication::palette();
    const QPalette::ColorRole roles[] = {QPalette::Base,      QPalette::Text,          QPalette::Button,
                                         QPalette::ButtonText, QPalette::Dark,         QPalette::Light,
                                         QPalette::Highlight, QPalette::HighlightedText, QPalette::PlaceholderText,
                                         QPalette::ToolTipBase, QPalette::ToolTipText};
    for (std::size_t i = 0; i < std::size(roles); ++i) look.colours_[i] = fromQColor(p.color(QPalette::Active, roles[i]));
    look.colours_[static_cast<std::size_t>(SysColour::GrayText)] =
        fromQColor(p.color(QPalette::Disabled, QPalette::WindowText));
    const QStyle* s = QApplication::style();
    look.metrics_[0] = s->pixelMetric(QStyle::PM_DefaultFrameWidth);
    look.metrics_[1] = s->pixelMetric(QStyle::PM_TitleBarHeight);
    look.metrics_[2] = s->pixelMetric(QStyle::PM_ScrollBarExtent);
    look.metrics_[3] = s->pixelMetric(QStyle::PM_LargeIconSize);
    look.metrics_[4] = s->pixelMetric(QStyle::PM_SmallIconSize);
    look.metrics_[5] = 10;  // borderHitTest's band
    return look;
}

}  // namespace gui
