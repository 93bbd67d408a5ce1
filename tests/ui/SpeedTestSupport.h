// Helpers shared by the speed display tests: pixel reads and PNG renders for a look.
#pragma once

#include <QDir>
#include <QString>

#include "platform/gui/Drawing.h"

namespace speedtest {

// Writes the bitmap to build/screenshots/<name>.png; true when it was written.
inline bool SavePng(const gui::Bitmap& bitmap, const QString& name)
{
    const QString dir = QStringLiteral(TAMSIRO_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return !bitmap.isNull() && bitmap.image().save(QDir(dir).absoluteFilePath(name + QStringLiteral(".png")));
}

// The same for a picture of a window.
inline bool SavePng(const QImage& image, const QString& name)
{
    const QString dir = QStringLiteral(TAMSIRO_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return !image.isNull() && image.save(QDir(dir).absoluteFilePath(name + QStringLiteral(".png")));
}

inline int Red(gui::ColourRef c) { return gui::redOf(c); }
inline int Green(gui::ColourRef c) { return gui::greenOf(c); }
inline int Blue(gui::ColourRef c) { return gui::blueOf(c); }

}  // namespace speedtest
