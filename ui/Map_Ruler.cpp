// The rulers beside the map: where they sit, and the numbers of the columns and rows in sight.
#include "ui/Map_Ruler.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace plotvane {

void TMap_Ruler::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    view_.Draw_Ruler(painter, orientation_, rect());
}

void TMap_View::Place_Rulers()
{
    const QRect room = viewport()->geometry();
    const QMargins margins = viewportMargins();
    x_ruler_->setGeometry(room.left(), room.top() - margins.top(), room.width(), margins.top());
    y_ruler_->setGeometry(room.left() - margins.left(), room.top(), margins.left(), room.height());
}

void TMap_View::Update_Rulers()
{
    x_ruler_->update();
    y_ruler_->update();
}

namespace {

// Every how many cells a ruler shows a number: the fewest that leave each number `room` pixels
// (a round step, so that the numbers read as a scale).
unsigned Ruler_Step(double cell_size, double room)
{
    static constexpr unsigned steps[] = {1, 2, 5, 10, 20, 50, 100};
    for (const unsigned step : steps) {
        if (step * cell_size >= room) {
            return step;
        }
    }
    return 200;
}

} // namespace

void TMap_View::Draw_Ruler(QPainter& painter, Qt::Orientation orientation, const QRect& band) const
{
    painter.fillRect(band, palette().color(QPalette::Window));
    if (!map_ || session_ == nullptr) {
        return;
    }
    const bool across = orientation == Qt::Horizontal;
    const QFontMetrics metrics = fontMetrics();
    const double start = across ? Origin().x() : Origin().y();
    const unsigned count = across ? map_->Width() : map_->Depth();
    const double length = across ? band.width() : band.height();
    // Numbers side by side need three digits and a space; one above another, a line.
    const double label = across ? metrics.horizontalAdvance(QStringLiteral("255 "))
                                : metrics.height();
    const unsigned step = Ruler_Step(cell_size_, label);
    const double first_in_sight = std::max(0.0, std::floor(-start / cell_size_));
    const double last_in_sight = std::min(count - 1.0, std::floor((length - start) / cell_size_));
    painter.setPen(palette().color(QPalette::WindowText));
    for (auto cell = static_cast<unsigned>(std::ceil(first_in_sight / step)) * step;
         cell <= last_in_sight; cell += step) {
        const double centre = start + (cell + 0.5) * cell_size_;
        const QString number = QString::number(cell);
        if (across) {
            const double bottom = band.bottom() + 1;
            painter.drawLine(QPointF(centre, bottom - Tick_Length), QPointF(centre, bottom));
            painter.drawText(QRectF(centre - label / 2, 0, label, bottom - Tick_Length),
                             Qt::AlignCenter, number);
        } else {
            const double right = band.right() + 1;
            painter.drawLine(QPointF(right - Tick_Length, centre), QPointF(right, centre));
            painter.drawText(QRectF(0, centre - label / 2, right - Tick_Length - 2, label),
                             Qt::AlignRight | Qt::AlignVCenter, number);
        }
    }
}

} // namespace plotvane
