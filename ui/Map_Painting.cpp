// How the map is painted: the colours of heights and the symbols of marks, the picture of one
// pixel per column, and the grid drawn from it with the marks, the outlines of the selected
// columns, the keyboard cursor and the rectangle being dragged.
#include "ui/Map_View.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace plotvane {

namespace {

const QColor Outside_Size_Color(0xD0, 0xD0, 0xD0);
const QColor Selection_Color(0xFF, 0x40, 0x00);

QColor Blend(const QColor& from, const QColor& to, double share_of_to)
{
    const auto mix = [share_of_to](int a, int b) {
        return static_cast<int>(std::lround(a + (b - a) * share_of_to));
    };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()),
                  mix(from.blue(), to.blue()));
}

} // namespace

const QColor Empty_Cell_Color(0xF4, 0xF4, 0xF4);

QColor Height_Color(unsigned z, unsigned lowest, unsigned highest)
{
    // Stops of viridis, whose lightness rises evenly from one end to the other.
    static const QColor stops[] = {QColor(0x44, 0x01, 0x54), QColor(0x3B, 0x52, 0x8B),
                                   QColor(0x21, 0x91, 0x8C), QColor(0x5E, 0xC9, 0x62),
                                   QColor(0xFD, 0xE7, 0x25)};
    constexpr int last = int(std::size(stops)) - 1;
    const double share =
        highest > lowest
            ? std::clamp((double(z) - double(lowest)) / double(highest - lowest), 0.0, 1.0)
            : 0.5;
    const double place = share * last;
    const int stop = std::min(static_cast<int>(place), last - 1);
    return Blend(stops[stop], stops[stop + 1], place - stop);
}

QColor Dimmed_Color(const QColor& color)
{
    return Blend(color, Empty_Cell_Color, 0.75);
}

void Draw_Marks(QPainter& painter, const QRectF& cell, std::uint8_t marks)
{
    if ((marks & (Mark_Start | Mark_Finish | Mark_Checkpoint)) == 0) {
        return;
    }
    const double side = std::min(cell.width(), cell.height()) / 2;
    const QRectF mark(cell.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 0));
    if ((marks & Mark_Finish) != 0) {
        // A chequered flag: four squares, two black and two white.
        painter.fillRect(mark, Qt::white);
        const QSizeF quarter(side / 2, side / 2);
        painter.fillRect(QRectF(mark.topLeft(), quarter), Qt::black);
        painter.fillRect(QRectF(mark.center(), quarter), Qt::black);
        painter.drawRect(mark);
    }
    if ((marks & Mark_Start) != 0) {
        // A green arrow; inside the flag when the block is both start and finish.
        const QRectF arrow = (marks & Mark_Finish) != 0
                                 ? QRectF(mark.center() - QPointF(side / 3, side / 3),
                                          QSizeF(side / 1.5, side / 1.5))
                                 : mark;
        QPainterPath path;
        path.moveTo(arrow.topLeft());
        path.lineTo(arrow.right(), arrow.center().y());
        path.lineTo(arrow.bottomLeft());
        path.closeSubpath();
        painter.setBrush(QColor(0x2E, 0xCC, 0x40));
        painter.drawPath(path);
    } else if ((marks & Mark_Finish) == 0) {
        painter.setBrush(QColor(0x00, 0x74, 0xD9));
        painter.setPen(QPen(Qt::white, 0));
        painter.drawEllipse(mark);
    }
    painter.restore();
}

void TMap_View::Paint_Cells()
{
    const TChallenge_Map& map = *map_;
    const TBlock_Columns& columns = map.Columns();
    const std::array<std::uint32_t, 3> size = map.Size().value_or(std::array<std::uint32_t, 3>{
        map.Width(), map.Height(), map.Depth()});
    cells_ = QImage(static_cast<int>(map.Width()), static_cast<int>(map.Depth()),
                    QImage::Format_RGB32);
    const QRgb empty = Empty_Cell_Color.rgb();
    const QRgb outside = Outside_Size_Color.rgb();
    // A colour per height, plain and dimmed: 65,536 columns, but 256 heights.
    std::array<QRgb, 256> plain{};
    std::array<QRgb, 256> dimmed{};
    for (unsigned z = 0; z < 256; ++z) {
        const QColor color = Height_Color(z, map.Lowest_Top(), map.Highest_Top());
        plain[z] = color.rgb();
        dimmed[z] = Dimmed_Color(color).rgb();
    }
    for (unsigned y = 0; y < map.Depth(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(cells_.scanLine(static_cast<int>(y)));
        for (unsigned x = 0; x < map.Width(); ++x) {
            const auto cx = static_cast<std::uint8_t>(x);
            const auto cy = static_cast<std::uint8_t>(y);
            if (columns.Count_At(cx, cy) == 0) {
                line[x] = x < size[0] && y < size[2] ? empty : outside;
                continue;
            }
            const bool is_dimmed = !matched_columns_.empty() && matched_columns_[x * 256U + y] == 0;
            line[x] = (is_dimmed ? dimmed : plain)[columns.Top_At(cx, cy)];
        }
    }
}

void TMap_View::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(viewport());
    if (session_ == nullptr) {
        painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
        painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Open a challenge to see its blocks from above."));
        return;
    }
    Bring_Up_To_Date();
    Draw_Cells(painter);
    const QPointF origin = Origin();
    const QSize room = viewport()->size();
    const auto first = [this](double from, unsigned count) {
        return static_cast<unsigned>(std::clamp(std::floor(from / cell_size_), 0.0, double(count)));
    };
    const auto last = [this](double to, unsigned count) {
        return static_cast<unsigned>(std::clamp(std::ceil(to / cell_size_), 0.0, double(count)));
    };
    const unsigned x0 = first(-origin.x(), map_->Width());
    const unsigned y0 = first(-origin.y(), map_->Depth());
    const unsigned x1 = last(room.width() - origin.x(), map_->Width());
    const unsigned y1 = last(room.height() - origin.y(), map_->Depth());
    if (x1 > x0 && y1 > y0) {
        Draw_Marks_And_Outlines(painter, x0, y0, x1, y1);
    }
}

namespace {

// Which grid column (or row) each pixel across (or down) the viewport shows, -1 for none, and
// whether a grid line runs along it: on the first pixel of each cell, when cells are large
// enough to show lines.
struct TPixel_Places {
    std::vector<int> Cell;
    std::vector<char> On_Line;
};

TPixel_Places Pixel_Places(int pixels, double grid_start, double cell, unsigned cells, bool lines)
{
    TPixel_Places places{std::vector<int>(static_cast<std::size_t>(pixels)),
                         std::vector<char>(static_cast<std::size_t>(pixels))};
    int previous = -1;
    for (int pixel = 0; pixel < pixels; ++pixel) {
        const double place = std::floor((pixel + 0.5 - grid_start) / cell);
        const int shown = place < 0 || place >= cells ? -1 : static_cast<int>(place);
        const auto at = static_cast<std::size_t>(pixel);
        places.Cell[at] = shown;
        places.On_Line[at] = lines && shown >= 0 && pixel > 0 && shown != previous;
        previous = shown;
    }
    return places;
}

QRgb On_Grid_Line(QRgb color)
{
    const auto darker = [](int channel) { return channel * 29 / 32; };
    return qRgb(darker(qRed(color)), darker(qGreen(color)), darker(qBlue(color)));
}

} // namespace

void TMap_View::Draw_Cells(QPainter& painter)
{
    // Pixel by pixel, in the screen's own pixels: one pass whatever the zoom, where scaling
    // the cell picture and drawing lines over it cost the raster engine many times more.
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels(static_cast<int>(std::ceil(viewport()->width() * ratio)),
                       static_cast<int>(std::ceil(viewport()->height() * ratio)));
    QImage picture(pixels, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    const QPointF origin = Origin() * ratio;
    const double cell = cell_size_ * ratio;
    const bool lines = cell_size_ >= 6;
    const TPixel_Places across = Pixel_Places(pixels.width(), origin.x(), cell, map_->Width(), lines);
    const TPixel_Places down = Pixel_Places(pixels.height(), origin.y(), cell, map_->Depth(), lines);
    const QRgb background = palette().color(QPalette::Window).rgb();
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const int row = down.Cell[static_cast<std::size_t>(y)];
        if (row < 0) {
            std::fill(line, line + pixels.width(), background);
            continue;
        }
        const auto* cells = reinterpret_cast<const QRgb*>(cells_.constScanLine(row));
        const bool row_on_line = down.On_Line[static_cast<std::size_t>(y)] != 0;
        for (int x = 0; x < pixels.width(); ++x) {
            const auto at = static_cast<std::size_t>(x);
            const int column = across.Cell[at];
            if (column < 0) {
                line[x] = background;
            } else if (row_on_line || across.On_Line[at] != 0) {
                line[x] = On_Grid_Line(cells[column]);
            } else {
                line[x] = cells[column];
            }
        }
    }
    painter.drawImage(QPointF(0, 0), picture);
}

void TMap_View::Draw_Marks_And_Outlines(QPainter& painter, unsigned x0, unsigned y0, unsigned x1,
                                        unsigned y1)
{
    const TBlock_Columns& columns = map_->Columns();
    QVector<QRectF> selected;
    for (unsigned x = x0; x < x1; ++x) {
        for (unsigned y = y0; y < y1; ++y) {
            const unsigned column = x * 256U + y;
            const auto cx = static_cast<std::uint8_t>(x);
            const auto cy = static_cast<std::uint8_t>(y);
            if (cell_size_ >= 5 && columns.Count_At(cx, cy) > 0 &&
                (matched_columns_.empty() || matched_columns_[column] != 0)) {
                Draw_Marks(painter, Cell_Rect(x, y), map_->Marks_At(cx, cy));
            }
            if (selected_columns_[column] != 0) {
                selected.push_back(Cell_Rect(x, y));
            }
        }
    }
    const double width = std::clamp(cell_size_ / 5, 2.0, 3.0);
    painter.setPen(QPen(Selection_Color, width));
    painter.setBrush(Qt::NoBrush);
    for (QRectF& rect : selected) {
        rect.adjust(width / 2, width / 2, -width / 2, -width / 2);
    }
    painter.drawRects(selected);
    if (hasFocus()) {
        const QRectF cursor = Cell_Rect(cursor_[0], cursor_[1]).adjusted(-1, -1, 1, 1);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(cursor);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(cursor);
    }
    if (press_point_ && drag_point_) {
        const QColor highlight = palette().color(QPalette::Highlight);
        painter.setPen(QPen(highlight, 1));
        painter.setBrush(QColor(highlight.red(), highlight.green(), highlight.blue(), 48));
        painter.drawRect(QRectF(*press_point_, *drag_point_).normalized());
    }
}

} // namespace plotvane
