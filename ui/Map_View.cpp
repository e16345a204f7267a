#include "ui/Map_View.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "ui/Byte_Text.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace plotvane {

namespace {

constexpr double Largest_Cell_Size = 64;
constexpr double Margin = 4;
// A ruler's mark under (or beside) each number, pointing at its cell.
constexpr int Tick_Length = 3;
// A tooltip lists this many blocks of a column at most.
constexpr std::size_t Listed_Blocks = 20;

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

QString Block_Line(const TChallenge_Block_View& block, std::uint32_t number)
{
    return QStringLiteral("Block %1: %2 (X %3, Z %4, Y %5)")
        .arg(number)
        .arg(From_Bytes(std::string(block.Name)))
        .arg(block.X)
        .arg(block.Z)
        .arg(block.Y);
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

// A band beside the map that numbers its columns (X, above) or rows (Y, at the left).
class TMap_Ruler : public QWidget {
public:
    TMap_Ruler(TMap_View& view, Qt::Orientation orientation)
        : QWidget(&view), view_(view), orientation_(orientation)
    {
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        QPainter painter(this);
        view_.Draw_Ruler(painter, orientation_, rect());
    }

private:
    const TMap_View& view_;
    Qt::Orientation orientation_;
};

TMap_View::TMap_View(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Map"));
    setAccessibleDescription(QStringLiteral("No challenge is open"));
    x_ruler_ = new TMap_Ruler(*this, Qt::Horizontal);
    x_ruler_->setObjectName(QStringLiteral("Map_X_Ruler"));
    x_ruler_->setToolTip(QStringLiteral("X, across the map"));
    y_ruler_ = new TMap_Ruler(*this, Qt::Vertical);
    y_ruler_->setObjectName(QStringLiteral("Map_Y_Ruler"));
    y_ruler_->setToolTip(QStringLiteral("Y, down the map"));
    // Room for a number and its mark: three digits beside the rows, a line of text above the
    // columns.
    const QFontMetrics metrics = fontMetrics();
    setViewportMargins(metrics.horizontalAdvance(QStringLiteral("255")) + Tick_Length + 6,
                       metrics.height() + Tick_Length + 2, 0, 0);
}

void TMap_View::Show_Challenge(const TChallenge_Edit_Session& session)
{
    session_ = &session;
    map_.reset();
    selected_columns_.assign(256 * 256, 0);
    flags_stale_ = true;
    if (isVisible()) {
        Bring_Up_To_Date();
    }
    viewport()->update();
    Update_Rulers();
}

void TMap_View::Clear()
{
    session_ = nullptr;
    map_.reset();
    selected_columns_.assign(256 * 256, 0);
    matches_.reset();
    flags_stale_ = true;
    cells_ = QImage();
    setAccessibleDescription(QStringLiteral("No challenge is open"));
    viewport()->update();
    Update_Rulers();
}

void TMap_View::Show_Selection(const TBlock_Selection& blocks,
                               std::optional<std::uint32_t> current)
{
    // Flagged at once rather than kept: a selection of a million blocks would cost megabytes.
    Flag_Columns(blocks, selected_columns_);
    current_block_ = current;
    flags_stale_ = true;
    viewport()->update();
}

void TMap_View::Show_Matches(std::optional<std::vector<std::uint32_t>> blocks)
{
    matches_ = std::move(blocks);
    flags_stale_ = true;
    viewport()->update();
}

const TChallenge_Map& TMap_View::Map()
{
    Bring_Up_To_Date();
    return *map_;
}

void TMap_View::Bring_Up_To_Date()
{
    if (session_ == nullptr) {
        if (!map_) {
            map_.emplace();
        }
        return;
    }
    if (!map_) {
        map_.emplace(session_->Image(), session_->Blocks(), session_->Mask());
        cursor_ = {static_cast<std::uint8_t>(std::min<unsigned>(cursor_[0], map_->Width() - 1)),
                   static_cast<std::uint8_t>(std::min<unsigned>(cursor_[1], map_->Depth() - 1))};
        if (fitted_) {
            cell_size_ = Fitted_Cell_Size();
        }
        Update_Scroll_Bars();
        Update_Rulers();
        emit Map_Built(map_->Lowest_Top(), map_->Highest_Top());
        setAccessibleDescription(
            QStringLiteral("The challenge seen from above, %1 by %2 cells. Arrow keys move the "
                           "cursor, Enter selects the topmost block under it. %3")
                .arg(map_->Width())
                .arg(map_->Depth())
                .arg(Column_Summary(cursor_[0], cursor_[1])));
    }
    if (flags_stale_) {
        if (const auto column = current_block_ ? map_->Columns().Column_Of(*current_block_)
                                               : std::nullopt) {
            cursor_ = *column;
        }
        current_block_.reset();
        if (matches_) {
            Flag_Columns(*matches_, matched_columns_);
        } else {
            matched_columns_.clear();
        }
        Paint_Cells();
        flags_stale_ = false;
    }
}

void TMap_View::Flag_Columns(const std::vector<std::uint32_t>& blocks,
                             std::vector<std::uint8_t>& flags)
{
    flags.assign(256 * 256, 0);
    if (session_ == nullptr) {
        return;
    }
    const TFlexible_Byte_Array& image = session_->Image();
    const TMemory_Mask mask = session_->Mask();
    for (const std::uint32_t block : blocks) {
        if (const std::optional<std::uint32_t> fields =
                Challenge_Block_Fields_Offset(image, session_->Blocks(), block, mask)) {
            // After the rotation byte: X, Z (the height), Y.
            const std::uint8_t* const position = image.data() + *fields + 1;
            flags[(position[0] ^ mask) * 256U + (position[2] ^ mask)] = 1;
        }
    }
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

QSizeF TMap_View::Grid_Size() const
{
    if (!map_) {
        return {};
    }
    return {map_->Width() * cell_size_, map_->Depth() * cell_size_};
}

QPointF TMap_View::Origin() const
{
    const QSizeF grid = Grid_Size();
    const QSize room = viewport()->size();
    return {grid.width() < room.width() ? (room.width() - grid.width()) / 2
                                        : -double(horizontalScrollBar()->value()),
            grid.height() < room.height() ? (room.height() - grid.height()) / 2
                                          : -double(verticalScrollBar()->value())};
}

QRectF TMap_View::Cell_Rect(unsigned x, unsigned y) const
{
    return {Origin() + QPointF(x * cell_size_, y * cell_size_), QSizeF(cell_size_, cell_size_)};
}

std::optional<std::array<std::uint8_t, 2>> TMap_View::Column_At(const QPointF& point) const
{
    if (!map_ || session_ == nullptr) {
        return std::nullopt;
    }
    const QPointF cell = (point - Origin()) / cell_size_;
    if (cell.x() < 0 || cell.y() < 0 || cell.x() >= map_->Width() || cell.y() >= map_->Depth()) {
        return std::nullopt;
    }
    return std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(cell.x()),
                                       static_cast<std::uint8_t>(cell.y())};
}

double TMap_View::Fitted_Cell_Size() const
{
    if (!map_) {
        return cell_size_;
    }
    const QSize room = viewport()->size();
    const double across = (room.width() - 2 * Margin) / map_->Width();
    const double down = (room.height() - 2 * Margin) / map_->Depth();
    return std::clamp(std::min(across, down), 0.25, Largest_Cell_Size);
}

void TMap_View::Update_Scroll_Bars()
{
    const QSizeF grid = Grid_Size();
    const QSize room = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(grid.width())) - room.width()));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(grid.height())) - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
    const int step = std::max(1, int(cell_size_));
    horizontalScrollBar()->setSingleStep(step);
    verticalScrollBar()->setSingleStep(step);
}

void TMap_View::Zoom(double factor, const QPointF& around)
{
    Bring_Up_To_Date();
    const QPointF place = (around - Origin()) / cell_size_;
    const double smallest = std::min(Fitted_Cell_Size(), 4.0);
    cell_size_ = std::clamp(cell_size_ * factor, smallest, Largest_Cell_Size);
    fitted_ = false;
    Update_Scroll_Bars();
    horizontalScrollBar()->setValue(int(std::lround(place.x() * cell_size_ - around.x())));
    verticalScrollBar()->setValue(int(std::lround(place.y() * cell_size_ - around.y())));
    viewport()->update();
    Update_Rulers();
}

void TMap_View::Zoom_In()
{
    Zoom_Around_Pointer(1.25);
}

void TMap_View::Zoom_Out()
{
    Zoom_Around_Pointer(1 / 1.25);
}

void TMap_View::Zoom_Around_Pointer(double factor)
{
    // From the menu or a shortcut: around the pointer when it is over the map, else its centre.
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    Zoom(factor, viewport()->rect().contains(pointer) ? QPointF(pointer)
                                                      : QRectF(viewport()->rect()).center());
}

void TMap_View::Fit()
{
    fitted_ = true;
    cell_size_ = Fitted_Cell_Size();
    Update_Scroll_Bars();
    viewport()->update();
    Update_Rulers();
}

void TMap_View::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (fitted_) {
        cell_size_ = Fitted_Cell_Size();
    }
    Update_Scroll_Bars();
    Place_Rulers();
}

void TMap_View::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    Bring_Up_To_Date();
}

void TMap_View::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (session_ != nullptr) {
        Bring_Up_To_Date();
        Set_Cursor(cursor_[0], cursor_[1]);
    }
}

void TMap_View::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    emit Cursor_Moved(QString());
    viewport()->update();
}

void TMap_View::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    viewport()->update();
    Update_Rulers();
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

QString TMap_View::Column_Summary(std::uint8_t x, std::uint8_t y) const
{
    const QString place = QStringLiteral("X %1, Y %2").arg(x).arg(y);
    const std::uint32_t count = map_ && session_ != nullptr ? map_->Columns().Count_At(x, y) : 0;
    if (count == 0) {
        return place + QStringLiteral(": no block");
    }
    return place + (count == 1 ? QStringLiteral(": 1 block")
                               : QStringLiteral(": %1 blocks").arg(count));
}

QString TMap_View::Column_Text(std::uint8_t x, std::uint8_t y) const
{
    QString text = Column_Summary(x, y);
    if (!map_ || session_ == nullptr || map_->Columns().Count_At(x, y) == 0) {
        return text;
    }
    const std::vector<std::uint32_t> blocks = map_->Columns().Blocks_At(x, y);
    for (std::size_t i = 0; i < std::min(blocks.size(), Listed_Blocks); ++i) {
        if (const auto block = Challenge_Read_Block_View(session_->Image(), session_->Blocks(),
                                                         blocks[i], session_->Mask())) {
            text += QLatin1Char('\n') + Block_Line(*block, blocks[i]);
        }
    }
    if (blocks.size() > Listed_Blocks) {
        text += QStringLiteral("\nand %1 more").arg(blocks.size() - Listed_Blocks);
    }
    return text;
}

bool TMap_View::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const auto column = Column_At(help->pos());
        if (column && map_->Columns().Count_At((*column)[0], (*column)[1]) > 0) {
            QToolTip::showText(help->globalPos(), Column_Text((*column)[0], (*column)[1]),
                               viewport(), Cell_Rect((*column)[0], (*column)[1]).toRect());
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TMap_View::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    press_point_ = event->position();
    drag_point_.reset();
}

void TMap_View::mouseMoveEvent(QMouseEvent* event)
{
    if (!press_point_ || (event->buttons() & Qt::LeftButton) == 0) {
        return;
    }
    if (drag_point_ ||
        (event->position() - *press_point_).manhattanLength() >= QApplication::startDragDistance()) {
        drag_point_ = event->position();
        viewport()->update();
    }
}

void TMap_View::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !press_point_) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const QPointF from = *press_point_;
    const bool dragged = drag_point_.has_value();
    press_point_.reset();
    drag_point_.reset();
    viewport()->update();
    const bool adding = (event->modifiers() & Qt::ControlModifier) != 0;
    if (dragged) {
        Pick_Rectangle(from, event->position(), adding);
    } else if (const auto column = Column_At(from)) {
        Set_Cursor((*column)[0], (*column)[1]);
        Pick_Column((*column)[0], (*column)[1], adding);
    }
}

void TMap_View::wheelEvent(QWheelEvent* event)
{
    if (session_ == nullptr || event->angleDelta().y() == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    Zoom(std::pow(1.25, event->angleDelta().y() / 120.0), event->position());
    event->accept();
}

bool TMap_View::event(QEvent* event)
{
    // Enter and Ctrl+Enter pick on the map while it has the focus: no window shortcut (the
    // block panel applies its values on Ctrl+Enter) takes them first.
    if (event->type() == QEvent::ShortcutOverride && session_ != nullptr) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TMap_View::keyPressEvent(QKeyEvent* event)
{
    if (session_ == nullptr) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    Bring_Up_To_Date();
    const int x = cursor_[0];
    const int y = cursor_[1];
    switch (event->key()) {
    case Qt::Key_Left:
        Set_Cursor(x - 1, y);
        break;
    case Qt::Key_Right:
        Set_Cursor(x + 1, y);
        break;
    case Qt::Key_Up:
        Set_Cursor(x, y - 1);
        break;
    case Qt::Key_Down:
        Set_Cursor(x, y + 1);
        break;
    case Qt::Key_Home:
        Set_Cursor(0, (event->modifiers() & Qt::ControlModifier) != 0 ? 0 : y);
        break;
    case Qt::Key_End:
        Set_Cursor(int(map_->Width()) - 1,
                   (event->modifiers() & Qt::ControlModifier) != 0 ? int(map_->Depth()) - 1 : y);
        break;
    case Qt::Key_Escape:
        if (!drag_point_) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        // The rectangle being dragged is dropped.
        press_point_.reset();
        drag_point_.reset();
        viewport()->update();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Pick_Column(cursor_[0], cursor_[1], (event->modifiers() & Qt::ControlModifier) != 0);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TMap_View::Set_Cursor(int x, int y)
{
    cursor_ = {static_cast<std::uint8_t>(std::clamp(x, 0, int(map_->Width()) - 1)),
               static_cast<std::uint8_t>(std::clamp(y, 0, int(map_->Depth()) - 1))};
    // Scrolled into sight, with the cells around it where there is room.
    const QRectF cell = Cell_Rect(cursor_[0], cursor_[1]);
    const QRectF room(viewport()->rect());
    if (cell.left() < room.left()) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(std::floor(cell.left())));
    } else if (cell.right() > room.right()) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                        int(std::ceil(cell.right() - room.right())));
    }
    if (cell.top() < room.top()) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + int(std::floor(cell.top())));
    } else if (cell.bottom() > room.bottom()) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() +
                                      int(std::ceil(cell.bottom() - room.bottom())));
    }
    const QString text = Column_Text(cursor_[0], cursor_[1]);
    const QString summary = text.section(QLatin1Char('\n'), 0, 1).replace(QLatin1Char('\n'),
                                                                         QStringLiteral("; "));
    setAccessibleDescription(summary);
    emit Cursor_Moved(summary);
    viewport()->update();
}

void TMap_View::Pick_Column(std::uint8_t x, std::uint8_t y, bool adding)
{
    // While a find narrows the list, the topmost block it shows; in a dimmed column, the
    // topmost block.
    const std::vector<std::uint32_t> blocks = map_->Columns().Blocks_At(x, y);
    if (blocks.empty()) {
        return;
    }
    const auto shown = matches_ ? std::find_if(blocks.begin(), blocks.end(),
                                               [this](std::uint32_t block) {
                                                   return std::binary_search(
                                                       matches_->begin(), matches_->end(), block);
                                               })
                                : blocks.begin();
    emit Block_Picked(shown != blocks.end() ? *shown : blocks.front(), adding);
}

void TMap_View::Pick_Rectangle(const QPointF& from, const QPointF& to, bool adding)
{
    // Each column the rectangle touches, the grid's edges holding it inside.
    const QRectF area = QRectF(from, to).normalized();
    const QPointF origin = Origin();
    const QRectF grid(origin, Grid_Size());
    // A drag along a row or a column has no height or width, yet touches the cells on its
    // line, which QRectF::intersects does not count.
    if (area.right() < grid.left() || area.left() >= grid.right() || area.bottom() < grid.top() ||
        area.top() >= grid.bottom()) {
        return;
    }
    const auto cell = [this](double offset, unsigned count) {
        return static_cast<unsigned>(std::clamp(std::floor(offset / cell_size_), 0.0, count - 1.0));
    };
    const unsigned x0 = cell(area.left() - origin.x(), map_->Width());
    const unsigned x1 = cell(area.right() - origin.x(), map_->Width());
    const unsigned y0 = cell(area.top() - origin.y(), map_->Depth());
    const unsigned y1 = cell(area.bottom() - origin.y(), map_->Depth());
    emit Blocks_Picked(map_->Columns().Blocks_In(static_cast<std::uint8_t>(x0),
                                                 static_cast<std::uint8_t>(y0),
                                                 static_cast<std::uint8_t>(x1),
                                                 static_cast<std::uint8_t>(y1)),
                       adding);
}

} // namespace plotvane

namespace plotvane {

namespace {

QPixmap Mark_Picture(std::uint8_t marks, int side)
{
    // Drawn in the screen's own pixels, so that it stays sharp on a scaled screen.
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap picture(QSize(side, side) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Empty_Cell_Color);
    QPainter painter(&picture);
    Draw_Marks(painter, QRectF(0, 0, side, side), marks);
    return picture;
}

} // namespace

TMap_Legend::TMap_Legend(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Map_Legend"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    auto* heading = new QLabel(QStringLiteral("Height of the topmost block, the colours spread "
                                              "from the lowest to the highest on this map:"),
                               this);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    auto* heights = new QHBoxLayout;
    lowest_ = new QLabel(this);
    heights->addWidget(lowest_);
    ramp_ = new QLabel(this);
    ramp_->setObjectName(QStringLiteral("Map_Legend_Ramp"));
    heights->addWidget(ramp_);
    highest_ = new QLabel(this);
    heights->addWidget(highest_);
    heights->addStretch();
    layout->addLayout(heights);
    auto* symbols = new QHBoxLayout;
    const int side = fontMetrics().height() * 3 / 2;
    const std::pair<std::uint8_t, const char*> marks[] = {
        {Mark_Start, "Start"}, {Mark_Finish, "Finish"}, {Mark_Checkpoint, "Checkpoint"}};
    for (const auto& [mark, text] : marks) {
        auto* picture = new QLabel(this);
        picture->setPixmap(Mark_Picture(mark, side));
        symbols->addWidget(picture);
        symbols->addWidget(new QLabel(QString::fromLatin1(text), this));
        symbols->addSpacing(side / 2);
    }
    symbols->addStretch();
    layout->addLayout(symbols);
    auto* note = new QLabel(QStringLiteral("A square is a block's own cell: how far a block "
                                           "reaches beyond it is not known."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    Show_Heights(0, 0);
}

void TMap_Legend::Show_Heights(unsigned lowest, unsigned highest)
{
    // As wide whatever the number of levels: each takes a band of its own, or shares a pixel.
    constexpr int ramp_width = 128;
    const unsigned levels = highest - lowest + 1;
    const int ramp_height = fontMetrics().height();
    const qreal ratio = qApp->devicePixelRatio();
    QPixmap ramp(QSize(ramp_width, ramp_height) * ratio);
    ramp.setDevicePixelRatio(ratio);
    QPainter painter(&ramp);
    for (int x = 0; x < ramp_width; ++x) {
        const unsigned z = lowest + static_cast<unsigned>(x) * levels / ramp_width;
        painter.fillRect(x, 0, 1, ramp_height, Height_Color(z, lowest, highest));
    }
    painter.end();
    ramp_->setPixmap(ramp);
    ramp_->setAccessibleName(QStringLiteral("Heights from Z %1, dark blue, to Z %2, yellow")
                                 .arg(lowest)
                                 .arg(highest));
    lowest_->setText(QStringLiteral("Z %1").arg(lowest));
    highest_->setText(QStringLiteral("Z %1").arg(highest));
}

} // namespace plotvane
