// The map view's life: what it is shown (a challenge, a selection, a find's matches), where its
// grid lies in the viewport, and how it scrolls and zooms. Its column index, painting, rulers
// and picking each have a file of their own, which its header names.
#include "ui/Map_View.h"

#include "ui/Map_Ruler.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace plotvane {

namespace {

constexpr double Largest_Cell_Size = 64;
constexpr double Margin = 4;

} // namespace

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

void TMap_View::wheelEvent(QWheelEvent* event)
{
    if (session_ == nullptr || event->angleDelta().y() == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    Zoom(std::pow(1.25, event->angleDelta().y() / 120.0), event->position());
    event->accept();
}

} // namespace plotvane
