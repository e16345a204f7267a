#pragma once

#include "memory/Base_Structure.h"

#include <QAbstractTableModel>
#include <QItemSelectionModel>

#include <cstdint>
#include <optional>
#include <vector>

namespace plotvane {

class TChallenge_Edit_Session;

// The lines of the block list, built when the view draws them: a challenge may hold millions
// of blocks, and a string per block would cost more than the image. Line 0 counts the blocks,
// line i + 1 shows block i; when the walk stopped inside the image a last line says so. A find
// narrows the list to some blocks: line 0 and the last line stay, and each block line keeps
// its block's number, so rows and blocks are turned into each other through Block_At and Row_Of.
// Beside each block's line, its rotation and place, read from its record as each is drawn.
class TBlock_List_Model : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TColumn : int { Line_Column, Rotation_Column, X_Column, Z_Column, Y_Column, Column_Count };

    explicit TBlock_List_Model(QObject* parent = nullptr);

    // Shows the session's walk as it now stands, each offset moved by the packing delta. The
    // model reads the session's image and walk until Clear, which the session must outlive.
    void Show_List(const TChallenge_Edit_Session& session, std::int32_t packed_offset_delta);
    // Shows no line at all.
    void Clear();
    // Narrows the list to these blocks (ascending numbers, each below the block count), or
    // shows every block again. Showing a list shows every block.
    void Show_Only(std::vector<std::uint32_t> blocks);
    void Show_All();
    bool Is_Narrowed() const { return narrowed_; }
    // How many block lines the list holds: lines 1 to this one.
    int Shown_Block_Count() const;
    // The block on a line; nothing for line 0 and a last line that says where the list ends.
    std::optional<std::uint32_t> Block_At(int row) const;
    // The line of a block, or -1 when the list does not show it.
    int Row_Of(std::uint32_t block) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // The view asks for every row's index when it lays the list out: answered from the count
    // kept, without a call per row to rowCount.
    QModelIndex index(int row, int column = Line_Column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The text of one line, as the list shows it.
    QString Line(int row) const;

private:
    const TChallenge_Edit_Session* session_ = nullptr;
    std::int32_t packed_offset_delta_ = 0;
    int row_count_ = 0;
    // The shown blocks while narrowed: one number a line, no object per row, so that a
    // million lines stay one array.
    bool narrowed_ = false;
    std::vector<std::uint32_t> shown_blocks_;

    // Resets the view over the shown blocks.
    void Count_Rows();
    // The block's byte shown in a number column (its rotation, X, Z or Y), as stored; nothing
    // on a line without a block or where its record no longer lies in the image.
    std::optional<std::uint8_t> Field(int row, int column) const;
};

// The selection of the block list: a line is selected whole, whichever of its cells a caller
// names, so that every line selected shows so and counts among the selected rows.
class TBlock_List_Selection_Model : public QItemSelectionModel {
    Q_OBJECT

public:
    using QItemSelectionModel::QItemSelectionModel;
    // A single index comes here too, as a selection of one.
    using QItemSelectionModel::select;
    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override;
};

// The last line of an incomplete list, also shown in the status bar.
QString Incomplete_Block_List_Text(std::size_t blocks_read);

} // namespace plotvane
