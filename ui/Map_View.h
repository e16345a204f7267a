#pragma once

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Challenge_Map.h"

#include <QAbstractScrollArea>
#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

class QLabel;

namespace plotvane {

class TMap_Ruler;

// The colour of an empty column, and of a column whose blocks a find does not match.
extern const QColor Empty_Cell_Color;
QColor Dimmed_Color(const QColor& color);
// The colour of a column whose highest block stands at height z, on a ramp spread over the
// heights the map shows, `lowest` to `highest`, so that a level's step shows however few levels
// a track uses: dark and blue low down, light and yellow high up. Its lightness rises all along,
// so that it reads in grey and to colour-blind eyes; a map of one level takes its middle.
QColor Height_Color(unsigned z, unsigned lowest, unsigned highest);
// Draws the symbol of a column's marks (start, finish, checkpoint) centred in `cell`, half its
// size.
void Draw_Marks(QPainter& painter, const QRectF& cell, std::uint8_t marks);

// The open challenge seen from above: one square per grid column that holds blocks, coloured
// by its highest block, the columns of the selected blocks outlined, those of blocks a find
// does not match dimmed. A click, Enter or a dragged rectangle picks blocks, which the window
// selects in its list; the wheel and the zoom commands scale the grid around the pointer.
// Rulers along the top and left edges number the columns (X) and rows (Y) in sight.
class TMap_View : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TMap_View(QWidget* parent = nullptr);

    // Shows the session's blocks as they now stand. The view reads the session until Clear or
    // the next Show_Challenge; it builds its column index when first drawn or asked, so a
    // hidden map costs nothing.
    void Show_Challenge(const TChallenge_Edit_Session& session);
    void Clear();
    bool Has_Challenge() const { return session_ != nullptr; }
    // Outlines the columns of these blocks; the keyboard cursor goes to the column of the
    // current one, where the player was working.
    void Show_Selection(const TBlock_Selection& blocks, std::optional<std::uint32_t> current);
    // Dims the columns where none of these blocks (ascending) stand; nothing: no find,
    // nothing dimmed.
    void Show_Matches(std::optional<std::vector<std::uint32_t>> blocks);

    // The side of a cell in pixels.
    double Cell_Size() const { return cell_size_; }
    // Scales the grid by `factor`, keeping the point `around` (in the viewport) over the same
    // place of the grid.
    void Zoom(double factor, const QPointF& around);
    void Zoom_In();
    void Zoom_Out();
    // Scales the grid to fill the viewport, and keeps it fitted as the viewport changes until
    // the next zoom.
    void Fit();

    // Where column (x, y) lies in the viewport, and the column under a point of it.
    QRectF Cell_Rect(unsigned x, unsigned y) const;
    std::optional<std::array<std::uint8_t, 2>> Column_At(const QPointF& point) const;
    // The column of the keyboard cursor.
    std::array<std::uint8_t, 2> Cursor() const { return cursor_; }
    // The text of a column: its place and its blocks, the topmost first.
    QString Column_Text(std::uint8_t x, std::uint8_t y) const;
    // Its first line: the place and how many blocks stand there.
    QString Column_Summary(std::uint8_t x, std::uint8_t y) const;
    const TChallenge_Map& Map();

signals:
    // A click or Enter on a column picked its topmost block (of those a find matches, when it
    // matches any), alone or (with Ctrl) added to the selection.
    void Block_Picked(std::uint32_t block, bool adding);
    // A dragged rectangle picked every block in its columns, in ascending order.
    void Blocks_Picked(const TBlock_Selection& blocks, bool adding);
    // The keyboard cursor moved to a column: its text, for the status bar; an empty text when
    // the map lost the keyboard, so that the text goes.
    void Cursor_Moved(const QString& text);
    // The map of a challenge, or of a change to it, was built: the legend's heights follow.
    void Map_Built(unsigned lowest, unsigned highest);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TMap_Ruler;

    // The column index (Map_Column_Index.cpp).
    // Builds what changed since the last drawing: the column index, then the column flags,
    // then the picture of one pixel per column.
    void Bring_Up_To_Date();
    void Flag_Columns(const std::vector<std::uint32_t>& blocks, std::vector<std::uint8_t>& flags);

    // Painting (Map_Painting.cpp).
    void Paint_Cells();
    void Draw_Cells(QPainter& painter);
    void Draw_Marks_And_Outlines(QPainter& painter, unsigned x0, unsigned y0, unsigned x1,
                                 unsigned y1);

    // Where the grid lies, scrolling and zoom (Map_View.cpp).
    // The grid's top left corner in the viewport: centred while it is smaller, else scrolled.
    QPointF Origin() const;
    QSizeF Grid_Size() const;
    void Update_Scroll_Bars();
    void Zoom_Around_Pointer(double factor);
    double Fitted_Cell_Size() const;

    // The rulers (Map_Ruler.cpp).
    // The rulers sit in the margins left beside the viewport, and follow its scrolling and zoom.
    void Place_Rulers();
    void Update_Rulers();
    void Draw_Ruler(QPainter& painter, Qt::Orientation orientation, const QRect& band) const;

    // Picking (Map_Picking.cpp): the keyboard cursor, and the blocks of a column or a rectangle.
    void Set_Cursor(int x, int y);
    void Pick_Column(std::uint8_t x, std::uint8_t y, bool adding);
    void Pick_Rectangle(const QPointF& from, const QPointF& to, bool adding);

    const TChallenge_Edit_Session* session_ = nullptr;
    std::optional<TChallenge_Map> map_;
    std::optional<std::uint32_t> current_block_;
    std::optional<std::vector<std::uint32_t>> matches_;
    bool flags_stale_ = true;
    // Per column (x * 256 + y): whether a selected block stands there, and whether a block the
    // find matches does (empty: no find).
    std::vector<std::uint8_t> selected_columns_ = std::vector<std::uint8_t>(256 * 256);
    std::vector<std::uint8_t> matched_columns_;
    // One pixel per column, scaled up when drawn.
    QImage cells_;

    double cell_size_ = 8;
    bool fitted_ = true;
    std::array<std::uint8_t, 2> cursor_{0, 0};
    std::optional<QPointF> press_point_;
    std::optional<QPointF> drag_point_;
    TMap_Ruler* x_ruler_ = nullptr;
    TMap_Ruler* y_ruler_ = nullptr;
};

// What the map's colours and symbols mean: the heights from lowest to highest, the marks, and
// that a square is only a block's own cell.
class TMap_Legend : public QWidget {
    Q_OBJECT

public:
    explicit TMap_Legend(QWidget* parent = nullptr);
    // The ramp spans the heights the map shows, lowest to highest.
    void Show_Heights(unsigned lowest, unsigned highest);

private:
    QLabel* lowest_ = nullptr;
    QLabel* ramp_ = nullptr;
    QLabel* highest_ = nullptr;
};

} // namespace plotvane
