// The map dock: the challenge drawn from above as the block walk places its blocks, a pick on
// the map selecting through the block list, the list's selection and edits showing on the map,
// the zoom around the pointer, the keyboard, and the dock's place in the window.
#include "ui/Main.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "tests/support/Corpus.h"
#include "tests/ui/Editor_Fixture.h"
#include "ui/Block_List_Model.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using test::TEditor_Fixture;
using TBlocks = std::vector<std::uint32_t>;

const QColor Outline_Color(0xFF, 0x40, 0x00);

// The fixture challenge (blocks 0 to 7 at X 10 to 17, Z 2, Y 3) with block 5 raised onto the
// column of block 2: X 12, Z 6.
test::TChallenge_Description Stacked_Fixture()
{
    test::TChallenge_Description description = test::Fixture_Challenge();
    description.Blocks[5].Bytes[1] = 12;
    description.Blocks[5].Bytes[2] = 6;
    return description;
}

// What the map must show, from a walk of its own: the highest Z of each column that holds
// blocks, and the grid, the challenge's size widened to every block.
struct TExpected_Map {
    std::map<std::pair<unsigned, unsigned>, unsigned> Tops;
    std::array<unsigned, 3> Extent{}; // X, Z, Y
};

TExpected_Map Walk_Columns(const TFlexible_Byte_Array& image, TMemory_Mask mask)
{
    const TTMF_Challenge_Block_Address_List list = Challenge_Read_Block_List(image, mask);
    EXPECT_TRUE(list.Complete);
    TExpected_Map expected;
    const std::array<std::uint32_t, 3> size = list.Challenge_Size.value();
    expected.Extent = {size[0], size[1], size[2]};
    for (std::size_t i = 0; i < list.Block_Offsets.size(); ++i) {
        const TChallenge_Block block = Challenge_Read_Block(image, list, i, mask).value();
        unsigned& top = expected.Tops.try_emplace({block.X, block.Y}, block.Z).first->second;
        top = std::max<unsigned>(top, block.Z);
        expected.Extent = {std::max(expected.Extent[0], block.X + 1U),
                           std::max(expected.Extent[1], block.Z + 1U),
                           std::max(expected.Extent[2], block.Y + 1U)};
    }
    return expected;
}

// A column's fill, sampled away from its marks, its outline and the grid lines.
QColor Fill_Of(const QImage& picture, const QRectF& cell)
{
    const QPointF inside(cell.width() * 0.2, cell.height() * 0.85);
    return picture.pixelColor((cell.topLeft() + inside).toPoint());
}

// A pixel inside the column's left edge, where its outline runs when it is selected.
QColor Edge_Of(const QImage& picture, const QRectF& cell)
{
    return picture.pixelColor((cell.topLeft() + QPointF(1.5, cell.height() * 0.85)).toPoint());
}

class Map_Test : public testing::Test {
protected:
    void SetUp() override
    {
        Remember_Map_Wanted(true);
        form_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }

    void Open(const std::string& path)
    {
        editor_.Open(path);
        ASSERT_TRUE(editor_.Take_Box_Texts().empty());
        // Room for cells of 16 pixels or more.
        form_.resize(1600, 1200);
        form_.resizeDocks({form_.Map_View}, {900}, Qt::Horizontal);
        QApplication::processEvents();
        form_.Map_Canvas->Fit();
        ASSERT_GE(map_.Cell_Size(), 16);
    }
    void Open_Stacked_Fixture()
    {
        Open(editor_.Write_Challenge("Stacked.Challenge.Gbx", Stacked_Fixture()));
    }

    QImage Picture() { return map_.viewport()->grab().toImage(); }

    QPoint Centre(unsigned x, unsigned y) const
    {
        return map_.Cell_Rect(x, y).center().toPoint();
    }
    void Click(unsigned x, unsigned y, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(map_.viewport(), Qt::LeftButton, modifiers, Centre(x, y));
    }
    void Drag(std::array<unsigned, 2> from, std::array<unsigned, 2> to)
    {
        QWidget* viewport = map_.viewport();
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, Centre(from[0], from[1]));
        QTest::mouseMove(viewport, Centre(to[0], to[1]));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, Centre(to[0], to[1]));
    }

    TBlocks Selected() const
    {
        TBlocks blocks;
        QItemSelectionModel* selection = form_.List_Block_ListBox->selectionModel();
        for (const QModelIndex& index : selection->selectedRows()) {
            blocks.push_back(*form_.Block_List_Model->Block_At(index.row()));
        }
        std::sort(blocks.begin(), blocks.end());
        return blocks;
    }
    // The panel shows the block alone, on its line, as after a click on that line.
    void Expect_Panel_Shows(std::uint32_t block, int x, int z)
    {
        EXPECT_EQ(Selected(), TBlocks{block});
        EXPECT_EQ(form_.Selected_Block_Index, static_cast<std::int32_t>(block));
        EXPECT_EQ(form_.List_Block_ListBox->currentIndex().row(),
                  form_.Block_List_Model->Row_Of(block));
        EXPECT_FALSE(form_.Block_Panel->isHidden());
        EXPECT_EQ(form_.Block_X_SpinEdit->value(), x);
        EXPECT_EQ(form_.Block_Z_SpinEdit->value(), z);
    }

    TEditor_Fixture editor_{{"fixture_player", "nadeo"}};
    TMainForm& form_ = editor_.Form();
    TMap_View& map_ = *form_.Map_Canvas;
};

TEST_F(Map_Test, Each_Column_Is_Drawn_Empty_Or_In_The_Colour_Of_Its_Highest_Block)
{
    std::vector<std::string> paths = {
        editor_.Write_Challenge("Stacked.Challenge.Gbx", Stacked_Fixture())};
    const std::string corpus_file = test::Corpus_File("E02-Endurance.Challenge.Gbx");
    if (!corpus_file.empty()) {
        paths.push_back(editor_.Game().Challenge_Path("E02-Endurance.Challenge.Gbx"));
        fs::copy_file(corpus_file, paths.back());
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        Open(path);
        const TExpected_Map expected = Walk_Columns(form_.Expanded_Image(), form_.Memory_Mask);
        const TChallenge_Map& map = map_.Map();
        ASSERT_EQ((std::array<unsigned, 3>{map.Width(), map.Height(), map.Depth()}),
                  expected.Extent);
        const auto [lowest, highest] =
            std::minmax_element(expected.Tops.begin(), expected.Tops.end(),
                                [](const auto& a, const auto& b) { return a.second < b.second; });
        const QImage picture = Picture();
        std::size_t filled = 0;
        for (unsigned x = 0; x < expected.Extent[0]; ++x) {
            for (unsigned y = 0; y < expected.Extent[2]; ++y) {
                const auto top = expected.Tops.find({x, y});
                const QColor color = top == expected.Tops.end()
                                         ? Empty_Cell_Color
                                         : Height_Color(top->second, lowest->second,
                                                        highest->second);
                filled += top != expected.Tops.end();
                EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(x, y)).name(), color.name())
                    << "column " << x << "," << y;
            }
        }
        EXPECT_EQ(filled, path == paths.front() ? 7U : 480U);
    }
    if (corpus_file.empty()) {
        GTEST_SKIP() << test::Corpus_Missing_Message() << " (E02-Endurance.Challenge.Gbx)";
    }
}

TEST_F(Map_Test, A_Click_Picks_The_Topmost_Block_And_A_Rectangle_The_Blocks_The_List_Shows)
{
    Open_Stacked_Fixture();
    Click(12, 3);
    Expect_Panel_Shows(5, 12, 6);
    Click(10, 3, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TBlocks{0, 5}));
    EXPECT_TRUE(form_.Block_Panel->isHidden());
    Click(4, 4); // an empty column picks nothing
    EXPECT_EQ(Selected(), (TBlocks{0, 5}));

    // Every block of each column the rectangle touches, the lower of a stack too.
    Drag({11, 2}, {12, 3});
    EXPECT_EQ(Selected(), (TBlocks{1, 2, 5}));

    // With a find, only the blocks on its lines; a drag along one row is a rectangle too.
    form_.Find_Edit->setText(QStringLiteral("kind=P")); // blocks 0, 2, 4, 6
    Drag({12, 3}, {9, 3});
    EXPECT_EQ(Selected(), (TBlocks{0, 2}));
    EXPECT_EQ(form_.Find_Edit->text(), QStringLiteral("kind=P"));
    // A click picks the topmost block the find shows; in a column where it shows none, the
    // topmost block, every block shown again first.
    Click(12, 3);
    Expect_Panel_Shows(2, 12, 2);
    Click(11, 3);
    EXPECT_TRUE(form_.Find_Edit->text().isEmpty());
    Expect_Panel_Shows(1, 11, 2);
}

TEST_F(Map_Test, The_Lists_Selection_And_Its_Edits_Show_On_The_Map_At_Once)
{
    Open_Stacked_Fixture();
    const QColor low = Height_Color(2, 2, 6); // the lowest of the tops, 2 to 6
    editor_.Select(form_.Block_List_Model->Row_Of(3)); // X 13
    QImage picture = Picture();
    EXPECT_EQ(Edge_Of(picture, map_.Cell_Rect(13, 3)).name(), Outline_Color.name());
    EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(13, 3)).name(), low.name());
    EXPECT_NE(Edge_Of(picture, map_.Cell_Rect(12, 3)).name(), Outline_Color.name());
    editor_.Select(0); // the count line: no block selected, no column outlined
    EXPECT_NE(Edge_Of(Picture(), map_.Cell_Rect(13, 3)).name(), Outline_Color.name());
    editor_.Select(form_.Block_List_Model->Row_Of(3));

    editor_.Services().Dialog_Answers = {[](QDialog& dialog) {
        dialog.findChild<QSpinBox*>("Move_DX_SpinEdit")->setValue(5);
        return true;
    }};
    form_.EditMove_Action->trigger();
    // The list's X follows as the map does.
    EXPECT_EQ(form_.Block_List_Model->index(form_.Block_List_Model->Row_Of(3), 2).data(), 18);
    picture = Picture();
    EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(13, 3)).name(), Empty_Cell_Color.name());
    EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(18, 3)).name(), low.name());
    EXPECT_EQ(Edge_Of(picture, map_.Cell_Rect(18, 3)).name(), Outline_Color.name());

    QTest::keyClick(&form_, Qt::Key_Z, Qt::ControlModifier);
    picture = Picture();
    EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(18, 3)).name(), Empty_Cell_Color.name());
    EXPECT_EQ(Edge_Of(picture, map_.Cell_Rect(13, 3)).name(), Outline_Color.name());

    // The find dims the columns of the blocks it hides.
    form_.Find_Edit->setText(QStringLiteral("x=13"));
    picture = Picture();
    EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(13, 3)).name(), low.name());
    EXPECT_EQ(Fill_Of(picture, map_.Cell_Rect(14, 3)).name(), Dimmed_Color(low).name());
}

TEST_F(Map_Test, The_Wheel_Zooms_Around_The_Pointer_And_Ctrl_0_Fits_Again)
{
    Open_Stacked_Fixture();
    const double fitted = map_.Cell_Size();
    const QRectF room(map_.viewport()->rect());
    // Inside a cell near the middle of the grid, and one off to the side.
    const auto inside = [this](unsigned x, unsigned y, double across, double down) {
        const QRectF cell = map_.Cell_Rect(x, y);
        return cell.topLeft() + QPointF(cell.width() * across, cell.height() * down);
    };
    for (const QPointF& point : {inside(15, 16, 0.5, 0.5), inside(22, 11, 0.3, 0.7)}) {
        for (const int delta : {120, 240, -120}) {
            SCOPED_TRACE(testing::Message() << point.x() << "," << point.y() << " by " << delta);
            const auto column = map_.Column_At(point);
            ASSERT_TRUE(column);
            const std::uint8_t x = (*column)[0];
            const std::uint8_t y = (*column)[1];
            // Where the point lies in its cell, in cells from the cell's corner.
            const auto in_cell = [&] {
                return (point - map_.Cell_Rect(x, y).topLeft()) / map_.Cell_Size();
            };
            const double size = map_.Cell_Size();
            const QPointF before = in_cell();
            QWheelEvent wheel(point, map_.viewport()->mapToGlobal(point), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(map_.viewport(), &wheel);
            QApplication::processEvents(); // the scroll bars come and go
            EXPECT_EQ(map_.Column_At(point), column);
            EXPECT_EQ(map_.Cell_Size() > size, delta > 0) << map_.Cell_Size();
            // The very place under the pointer stays, to a pixel or so.
            EXPECT_LE((in_cell() - before).manhattanLength() * map_.Cell_Size(), 2.0);
        }
    }
    ASSERT_GT(map_.Cell_Size(), fitted);
    QTest::keyClick(&form_, Qt::Key_0, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(map_.Cell_Size(), fitted);
    EXPECT_TRUE(room.contains(map_.Cell_Rect(0, 0)));
    EXPECT_TRUE(room.contains(map_.Cell_Rect(31, 31)));
}

TEST_F(Map_Test, Arrows_Move_The_Cursor_And_Enter_Picks_The_Topmost_Block_Under_It)
{
    Open_Stacked_Fixture();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    map_.setFocus();
    ASSERT_TRUE(map_.hasFocus());
    using TCursor = std::array<std::uint8_t, 2>;
    struct TMove {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        TCursor Cursor; // the 32 x 32 grid holds it
    };
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const TMove moves[] = {
        {Qt::Key_Home, ctrl, {0, 0}},  {Qt::Key_Left, {}, {0, 0}},    {Qt::Key_Up, {}, {0, 0}},
        {Qt::Key_End, {}, {31, 0}},    {Qt::Key_Right, {}, {31, 0}},  {Qt::Key_End, ctrl, {31, 31}},
        {Qt::Key_Down, {}, {31, 31}},  {Qt::Key_Home, {}, {0, 31}},   {Qt::Key_Up, {}, {0, 30}},
        {Qt::Key_Right, {}, {1, 30}},  {Qt::Key_Home, ctrl, {0, 0}},
    };
    for (const TMove& move : moves) {
        QTest::keyClick(&map_, move.Key, move.Modifiers);
        EXPECT_EQ(map_.Cursor(), move.Cursor) << move.Key;
    }
    // From the corner to the stack at X 12, Y 3.
    for (int step = 0; step < 15; ++step) {
        QTest::keyClick(&map_, step < 12 ? Qt::Key_Right : Qt::Key_Down);
    }
    EXPECT_EQ(map_.Cursor(), (TCursor{12, 3}));
    EXPECT_EQ(form_.Main_StatusBar->currentMessage(),
              "X 12, Y 3: 2 blocks; Block 5: StadiumRoadMain (X 12, Z 6, Y 3)");
    QTest::keyClick(&map_, Qt::Key_Return);
    Expect_Panel_Shows(5, 12, 6);
    EXPECT_TRUE(map_.hasFocus());
    QTest::keyClick(&map_, Qt::Key_Left);
    QTest::keyClick(&map_, Qt::Key_Left);
    EXPECT_EQ(form_.Main_StatusBar->currentMessage(),
              "X 10, Y 3: 1 block; Block 0: StadiumRoadMain (X 10, Z 2, Y 3)");
    QTest::keyClick(&map_, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (TBlocks{0, 5}));
    // Its text goes with the keyboard.
    QTest::keyClick(&map_, Qt::Key_Left);
    form_.List_Block_ListBox->setFocus();
    EXPECT_EQ(form_.Main_StatusBar->currentMessage(), "");
}

TEST_F(Map_Test, At_Its_Smallest_The_Window_Holds_The_Panel_And_The_Whole_Map)
{
    editor_.Open(editor_.Write_Challenge("Stacked.Challenge.Gbx", Stacked_Fixture()));
    editor_.Select(1);
    ASSERT_FALSE(form_.Block_Panel->isHidden());
    ASSERT_TRUE(form_.Map_View->isVisible());
    form_.resize(form_.minimumSize());
    QApplication::processEvents();
    const QRect page = form_.Mapping_TabSheet->rect();
    for (const QWidget* widget : form_.Block_Panel->findChildren<QWidget*>()) {
        if (widget->isHidden() || widget->parentWidget() != form_.Block_Panel) {
            continue;
        }
        SCOPED_TRACE(widget->objectName().toStdString());
        EXPECT_TRUE(page.contains(QRect(widget->mapTo(form_.Mapping_TabSheet, QPoint(0, 0)),
                                        widget->size())));
    }
    EXPECT_GE(map_.width(), map_.minimumWidth());
    EXPECT_GE(map_.height(), map_.minimumHeight());
    // The whole grid in sight, its rulers above and beside it.
    const QRect room = map_.viewport()->geometry();
    EXPECT_TRUE(QRectF(map_.viewport()->rect())
                    .contains(map_.Cell_Rect(0, 0).united(map_.Cell_Rect(31, 31))));
    const QWidget* x_ruler = map_.findChild<QWidget*>("Map_X_Ruler");
    const QWidget* y_ruler = map_.findChild<QWidget*>("Map_Y_Ruler");
    ASSERT_TRUE(x_ruler != nullptr && y_ruler != nullptr);
    EXPECT_EQ(x_ruler->geometry(), QRect(room.left(), room.top() - x_ruler->height(), room.width(),
                                         x_ruler->height()));
    EXPECT_EQ(y_ruler->geometry(), QRect(room.left() - y_ruler->width(), room.top(),
                                         y_ruler->width(), room.height()));
    EXPECT_GE(x_ruler->height(), x_ruler->fontMetrics().height());
    const QWidget* legend = form_.Map_Legend;
    EXPECT_TRUE(form_.Map_View->rect().contains(
        QRect(legend->mapTo(form_.Map_View, QPoint(0, 0)), legend->size())));
    EXPECT_GE(legend->height(), legend->minimumSizeHint().height());
}

TEST_F(Map_Test, The_Dock_Shows_With_A_Challenge_Unless_The_Player_Hid_It)
{
    EXPECT_TRUE(form_.Map_View->isHidden());
    EXPECT_FALSE(form_.ViewMap_Action->isEnabled());
    Open_Stacked_Fixture();
    EXPECT_TRUE(form_.Map_View->isVisible());
    // The keyboard stays in the find field, first in the tab order, not on the map shown.
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    EXPECT_EQ(QApplication::focusWidget(), form_.Find_Edit);
    EXPECT_TRUE(form_.ViewMap_Action->isChecked());
    EXPECT_TRUE(form_.ViewFitMap_Action->isEnabled());

    QTest::keyClick(&form_, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(form_.Map_View->isHidden());
    EXPECT_FALSE(form_.ViewFitMap_Action->isEnabled());
    // Hidden in a new window too, and after a reload.
    const auto next_window_shows_the_map = [this] {
        TMainForm next(std::vector<std::string>{}, editor_.Services());
        editor_.Services().File_Names.push_back(QString::fromStdString(form_.Current_File_Name));
        next.ChallengeOpen_Action->trigger();
        EXPECT_TRUE(next.Map_Canvas->Has_Challenge());
        return !next.Map_View->isHidden();
    };
    EXPECT_FALSE(next_window_shows_the_map());
    form_.ChallengeReload_Action->trigger();
    EXPECT_TRUE(form_.Map_View->isHidden());

    form_.ViewMap_Action->trigger();
    EXPECT_TRUE(form_.Map_View->isVisible());
    EXPECT_TRUE(next_window_shows_the_map());
    // Closed by its own button, likewise.
    form_.Map_View->close();
    EXPECT_FALSE(next_window_shows_the_map());
    Remember_Map_Wanted(true);
}

} // namespace
} // namespace plotvane
