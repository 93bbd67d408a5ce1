#pragma once

#include <QDir>
#include <QString>

#include "platform/gui/GuiTestSupport.h"

namespace speedtest {

// Writes the picture to build/screenshots/<name>.png; true when it was written.
inline bool SavePng(const QImage& image, const QString& name)
{
    const QString dir = QStringLiteral(TAMSIRO_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return !image.isNull() && image.save(QDir(dir).absoluteFilePath(name + QStringLiteral(".png")));
}

}  // namespace speedtest
