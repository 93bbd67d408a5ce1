#include "platform/gui/Resources.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QString>
#include <algorithm>
#include <iterator>
#include <map>
#include <memory>

#include "platform/core/Debug.h"

// At global scope, as the macro needs.
static void initImageResources() { Q_INIT_RESOURCE(tamsiro_images); }

namespace gui {

namespace {

// An icon whose sizes are known from the file names and whose images are read only
// when first drawn: QIcon::addFile would open each file at once to learn its format,
// and the first image reading of a program loads every image format plugin.
class ResourceIconEngine final : public QIconEngine {
public:
    std::map<int, QString> files;  // pixel size -> resource path
    std::map<int, QPixmap> loaded;

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (files.empty()) return QPixmap();
        // The smallest that is not smaller than asked for, else the largest.
        const int want = std::max(size.width(), size.height());
        auto it = files.lower_bound(want);
        if (it == files.end()) it = std::prev(files.end());
        QPixmap& pm = loaded[it->first];
        if (pm.isNull()) pm = QPixmap::fromImage(QImageReader(it->second, "png").read());
        QPixmap out = pm.size() == size || pm.isNull() ? pm : pm.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode == QIcon::Disabled && !out.isNull()) {
            QStyleOption opt;
            out = QApplication::style()->generatedIconPixmap(QIcon::Disabled, out, &opt);
        }
        return out;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        if (files.empty()) return QSize();
        const int want = std::max(size.width(), size.height());
        auto it = files.lower_bound(want);
        const int have = it == files.end() ? files.rbegin()->first : it->first;
        return have <= want ? QSize(have, have) : size;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> out;
        for (const auto& [size, path] : files) out.append(QSize(size, size));
        return out;
    }
    QIconEngine* clone() const override { return new ResourceIconEngine(*this); }
    QString key() const override { return QStringLiteral("tamsiro-resource"); }
    bool isNull() override { return files.empty(); }
};

void ensureResources() {
    static const bool done = [] {
        initImageResources();
        return true;
    }();
    (void)done;
}
}  // namespace

QImage loadBitmap(int id) {
    ensureResources();
    const QString path = QStringLiteral(":/tamsiro/bitmaps/%1.png").arg(id);
    QImageReader reader(path, "png");
    QImage image = reader.read();
    if (image.isNull()) {
        platform::debugOutf("gui: bitmap resource %d not found\n", id);
        return QImage();
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QIcon loadIcon(int id) {
    ensureResources();
    const QDir dir(QStringLiteral(":/tamsiro/icons/%1").arg(id));
    auto engine = std::make_unique<ResourceIconEngine>();
    for (const QFileInfo& file : dir.entryInfoList({QStringLiteral("*.png")}, QDir::Files)) {
        bool ok = false;
        const int size = file.completeBaseName().toInt(&ok);
        if (ok && size > 0) engine->files[size] = file.filePath();
    }
    if (engine->files.empty()) {
        platform::debugOutf("gui: icon resource %d not found\n", id);
        return QIcon();
    }
    return QIcon(engine.release());
}

void setProgramIcon() {
    const QIcon icon = loadIcon(resource::ProgramIcon);
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

}  // namespace gui
