#include "ui/Art.h"

#include <QPainter>

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

QIcon Padlock_Icon()
{
    const auto draw = [](bool open, bool crossed) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(80, 80, 80), 1.6));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(open ? 7.5 : 4.5, 1.5, 7, 9), 0, 180 * 16);
        painter.drawLine(QPointF(open ? 14.5 : 11.5, 6), QPointF(open ? 14.5 : 11.5, 7.5));
        if (!open) {
            painter.drawLine(QPointF(4.5, 6), QPointF(4.5, 7.5));
        }
        painter.setBrush(QColor(218, 165, 32));
        painter.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
        if (crossed) {
            painter.setPen(QPen(QColor(200, 30, 30), 2));
            painter.drawLine(QPointF(1, 1), QPointF(15, 15));
        }
        return pixmap;
    };
    QIcon icon;
    icon.addPixmap(draw(false, false), QIcon::Normal, QIcon::Off);
    icon.addPixmap(draw(true, false), QIcon::Normal, QIcon::On);
    icon.addPixmap(draw(false, true), QIcon::Disabled, QIcon::Off);
    icon.addPixmap(draw(false, true), QIcon::Disabled, QIcon::On);
    return icon;
}

QPixmap About_Picture()
{
    Register_Art();
    return QPixmap(QStringLiteral(":/art/About_Picture.jpg"));
}

} // namespace plotvane
