#include "surfacepage/BuiltInSurfaces.h"

#include <QFile>
#include <QString>

#include "platform/core/Debug.h"

// At global scope, as the macro needs; a static library's resources are not
// registered until this runs.
static void initSurfaceResources() { Q_INIT_RESOURCE(lens_surfaces); }

namespace surfacepage {

int SurfaceResourceId(std::int32_t deviceKey)
{
    switch (deviceKey) {
    case 0x400: return 175;
    case 0x401: return 501;
    default: return 0;
    }
}

std::optional<std::string> BuiltInSurface(std::int32_t deviceKey)
{
    static const bool registered = [] {
        initSurfaceResources();
        return true;
    }();
    (void)registered;
    const int id = SurfaceResourceId(deviceKey);
    if (id == 0) return std::nullopt;
    QFile file(QStringLiteral(":/tamsiro/surfaces/%1.xml").arg(id));
    if (!file.open(QIODevice::ReadOnly)) {
        platform::debugOutf("surfacepage: surface resource %d not found\n", id);
        return std::nullopt;
    }
    const QByteArray text = file.readAll();
    return std::string(text.constData(), static_cast<std::size_t>(text.size()));
}

}  // namespace surfacepage
