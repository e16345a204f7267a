#include "ui/Art.h"

// The pictures are compiled into a static library, whose resources the linker keeps only when
// something asks for them by name; this must be said outside any namespace.
static void Register_Art()
{
    Q_INIT_RESOURCE(Art);
}

namespace plotvane {

QIcon Application_Icon()
{
    Register_Art();
    QIcon icon;
    for (const char* size : {"32", "48", "128", "256"}) {
        icon.addFile(QStringLiteral(":/art/plotvane-%1.png").arg(QLatin1String(size)));
    }
    return icon;
}

QPixmap About_Picture()
{
    Register_Art();
    return QPixmap(QStringLiteral(":/art/About_Picture.jpg"));
}

} // namespace plotvane
