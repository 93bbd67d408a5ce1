#pragma once

#include <QDir>
#include <QString>
#include <vector>

#include "platform/gui/Drawing.h"

namespace speedtest {

// The bitmap's colours at these points, in order.
inline std::vector<gui::ColourRef> Pixels(const gui::Bitmap& b, std::initializer_list<QPoint> points)
{
    std::vector<gui::ColourRef> out;
    for (const QPoint& p : points) out.push_back(b.pixel(p.x(), p.y()));
    return out;
}

// Writes the picture to build/screenshots/<name>.png; true when it was written.
inline bool SavePng(const QImage& image, const QString& name)
{
    const QString dir = QStringLiteral(TAMSIRO_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return !image.isNull() && image.save(QDir(dir).absoluteFilePath(name + QStringLiteral(".png")));
}

}  // namespace speedtest
