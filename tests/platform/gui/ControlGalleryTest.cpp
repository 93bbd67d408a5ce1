// The controls no page uses yet, rendered to build/screenshots/ for a person to look
// at; and the rule that page code never includes a Qt widget header.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSet>

#include "GuiTestSupport.h"
#include "platform/gui/Controls.h"
#include "platform/gui/Resources.h"

using namespace gui;

namespace {

DialogTemplate galleryTemplate() {
    DialogTemplate t;
    t.caption = "Controls";
    t.size = QSize(300, 170);
    t.fontFace = "Arial";
    t.style |= dialogStyle::Visible;
    t.items = {
        {ControlKind::Static, 1, "", QRect(8, 8, 16, 16)},
        {ControlKind::CheckBox, 2, "Auto, on", QRect(30, 8, 70, 12), style::Visible | style::AutoCheck},
        {ControlKind::CheckBox, 3, "Three-state", QRect(30, 22, 70, 12),
         style::Visible | style::AutoCheck | style::ThreeState},
        {ControlKind::CheckBox, 4, "Push-like", QRect(110, 8, 60, 14), style::Visible | style::PushLike},
        {ControlKind::StandardTrackbar, 5, "", QRect(8, 40, 160, 18)},
        {ControlKind::TabControl, 6, "", QRect(8, 62, 160, 100)},
        {ControlKind::Static, 7, "Sunken text", QRect(180, 8, 110, 11), style::Visible | style::ClientEdge},
        {ControlKind::Static, 8, "Plain text", QRect(180, 24, 110, 11)},
    };
    return t;
}

}  // namespace

TEST(ControlGallery, EveryNewControlKindRendersOnATestPage) {
    Dialog page(galleryTemplate());
    ASSERT_TRUE(page.createModeless());
    page.itemAs<StaticText>(1)->setImage(loadIcon(resource::ProgramIcon).pixmap(QSize(16, 16)).toImage());
    page.itemAs<CheckButton>(2)->setCheck(1);
    page.itemAs<CheckButton>(3)->setCheck(CheckButton::Indeterminate);
    page.itemAs<CheckButton>(4)->setCheck(1);
    auto* bar = page.itemAs<StandardTrackbar>(5);
    bar->setRange(0, 100);
    bar->setPosition(30);
    auto* tabs = page.itemAs<TabControl>(6);
    for (const char* name : {"Channel 1", "Channel 2", "Both"}) tabs->insertItem(tabs->count(), name);
    StaticText inBody;
    ASSERT_TRUE(inBody.create(tabs, 60, QRect(tabs->bodyRect().topLeft() + QPoint(6, 6), QSize(120, 16))));
    inBody.setText("Body of the tab control");

    const QImage shot = page.widget()->grab().toImage();
    ASSERT_TRUE(QDir().mkpath(TAMSIRO_SCREENSHOT_DIR));
    ASSERT_TRUE(shot.save(QStringLiteral(TAMSIRO_SCREENSHOT_DIR "/platform_gui_controls.png")));
    // The program icon's blue background in the image control.
    const QPoint iconAt = page.item(1)->rectInParent().topLeft() + QPoint(3, 8);
    const QColor c = shot.pixelColor(iconAt);
    EXPECT_GT(c.blue(), c.red() + 40);
    // A sunken static: a shadow at its top left and a light edge at its bottom right,
    // where a plain one shows the dialog's background.
    const auto corners = [&](int id) {
        const QRect r = page.item(id)->rectInParent();
        return std::pair{shot.pixelColor(r.topLeft()).lightness(), shot.pixelColor(r.bottomRight()).lightness()};
    };
    const int background = shot.pixelColor(page.item(8)->rectInParent().topLeft() - QPoint(2, 2)).lightness();
    EXPECT_EQ(corners(8), (std::pair{background, background}));
    const auto [shadow, light] = corners(7);
    EXPECT_LT(shadow, background - 40);
    EXPECT_GT(light, background);
}

TEST(PageCodeRule, NoSourceAboveTheLayerIncludesAQtWidgetsHeader) {
    const QDir widgets(QLibraryInfo::path(QLibraryInfo::HeadersPath) + QStringLiteral("/QtWidgets"));
    ASSERT_TRUE(widgets.exists()) << widgets.path().toStdString();
    QSet<QString> widgetHeaders;
    for (const QString& name : widgets.entryList(QDir::Files)) widgetHeaders.insert(name);
    widgetHeaders.remove(QStringLiteral("QtWidgets"));  // the umbrella is caught below
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*<([^>]+)>)"),
                                     QRegularExpression::MultilineOption);
    QStringList offenders;
    for (const char* folder : {"ui", "pages", "surface", "app"}) {
        QDirIterator it(QStringLiteral(TAMSIRO_SOURCE_DIR "/src/") + QLatin1String(folder),
                        {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (auto m = include.globalMatch(text); m.hasNext();) {
                const QString header = m.next().captured(1);
                if (widgetHeaders.contains(header) || header.startsWith(QStringLiteral("QtWidgets"))) {
                    offenders << file.fileName() + QStringLiteral(": ") + header;
                }
            }
        }
    }
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(QLatin1Char('\n')).toStdString();
}
