// Picking on the map: the column under a point (and its tooltip), the keyboard cursor, and the
// blocks picked by a click, Enter or a dragged rectangle.
#include "ui/Map_View.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace plotvane {

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
