#include "ui/Block_List_Model.h"

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Read.h"

#include <algorithm>

namespace plotvane {

namespace {

// Names are byte strings: each byte is shown as the character of the same number. Line breaks
// inside a name are shown as spaces, so that every block keeps one line.
QString Shown_Name(const std::string& name)
{
    QString text = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

QString Incomplete_Block_List_Text(std::size_t blocks_read)
{
    return QStringLiteral("The block list ends here: the challenge could not be read past "
                          "block %1")
        .arg(blocks_read);
}

TBlock_List_Model::TBlock_List_Model(QObject* parent) : QAbstractTableModel(parent) {}

void TBlock_List_Model::Show_List(const TChallenge_Edit_Session& session,
                                  std::int32_t packed_offset_delta)
{
    session_ = &session;
    packed_offset_delta_ = packed_offset_delta;
    narrowed_ = false;
    shown_blocks_.clear();
    Count_Rows();
}

void TBlock_List_Model::Clear()
{
    session_ = nullptr;
    narrowed_ = false;
    shown_blocks_.clear();
    Count_Rows();
}

void TBlock_List_Model::Show_Only(std::vector<std::uint32_t> blocks)
{
    narrowed_ = true;
    shown_blocks_ = std::move(blocks);
    Count_Rows();
}

void TBlock_List_Model::Show_All()
{
    narrowed_ = false;
    shown_blocks_.clear();
    Count_Rows();
}

void TBlock_List_Model::Count_Rows()
{
    beginResetModel();
    row_count_ = 0;
    if (session_ != nullptr) {
        const TTMF_Challenge_Block_Address_List& list = session_->Blocks();
        const std::size_t blocks = narrowed_ ? shown_blocks_.size() : list.Block_Offsets.size();
        const std::size_t lines = 1 + blocks + (list.Complete ? 0 : 1);
        row_count_ = static_cast<int>(std::min<std::size_t>(lines, INT32_MAX));
    }
    endResetModel();
}

int TBlock_List_Model::Shown_Block_Count() const
{
    if (session_ == nullptr) {
        return 0;
    }
    const std::size_t blocks =
        narrowed_ ? shown_blocks_.size() : session_->Blocks().Block_Offsets.size();
    // A list of more lines than a table holds shows as many as it can.
    return std::min(static_cast<int>(std::min<std::size_t>(blocks, INT32_MAX)), row_count_ - 1);
}

std::optional<std::uint32_t> TBlock_List_Model::Block_At(int row) const
{
    if (row < 1 || row > Shown_Block_Count()) {
        return std::nullopt;
    }
    const auto line = static_cast<std::size_t>(row - 1);
    return narrowed_ ? shown_blocks_[line] : static_cast<std::uint32_t>(line);
}

int TBlock_List_Model::Row_Of(std::uint32_t block) const
{
    if (!narrowed_) {
        return static_cast<std::int64_t>(block) < Shown_Block_Count() ? static_cast<int>(block) + 1
                                                                       : -1;
    }
    const auto found = std::lower_bound(shown_blocks_.begin(), shown_blocks_.end(), block);
    if (found == shown_blocks_.end() || *found != block) {
        return -1;
    }
    return static_cast<int>(found - shown_blocks_.begin()) + 1;
}

int TBlock_List_Model::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : row_count_;
}

int TBlock_List_Model::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Column_Count;
}

QModelIndex TBlock_List_Model::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || row >= row_count_ || column < 0 || column >= Column_Count ||
        parent.isValid()) {
        return {};
    }
    return createIndex(row, column);
}

QVariant TBlock_List_Model::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const bool number = index.column() != Line_Column;
    if (role == Qt::TextAlignmentRole && number) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (!number) {
        return Line(index.row());
    }
    const std::optional<std::uint8_t> field = Field(index.row(), index.column());
    return field ? QVariant(int{*field}) : QVariant();
}

QVariant TBlock_List_Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    struct THeader {
        const char* Text;
        const char* Tip;
    };
    static constexpr THeader headers[Column_Count] = {
        {"Block (offset) : name", "The block's number, its offset in the file as Save writes it, "
                                  "and its name: -P written in place, -@ a reference"},
        {"Rot.", "Rotation: quarter turns, 0 to 3"},
        {"X", "X: across the map"},
        {"Z", "Z: the height; one level up is Z + 1"},
        {"Y", "Y: down the map"},
    };
    if (orientation != Qt::Horizontal || section < 0 || section >= Column_Count) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(headers[section].Text);
    }
    if (role == Qt::ToolTipRole) {
        return QString::fromLatin1(headers[section].Tip);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

std::optional<std::uint8_t> TBlock_List_Model::Field(int row, int column) const
{
    const std::optional<std::uint32_t> block = Block_At(row);
    if (!block || column <= Line_Column || column >= Column_Count) {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> fields = Challenge_Block_Fields_Offset(
        session_->Image(), session_->Blocks(), *block, session_->Mask());
    if (!fields) {
        return std::nullopt;
    }
    // The eight bytes begin with the rotation, X, Z and Y, in the order of the columns.
    const auto place = static_cast<std::size_t>(*fields) + static_cast<std::size_t>(column - 1);
    return static_cast<std::uint8_t>(session_->Image()[place] ^ session_->Mask());
}

QString TBlock_List_Model::Line(int row) const
{
    if (session_ == nullptr) {
        return {};
    }
    const TTMF_Challenge_Block_Address_List& list = session_->Blocks();
    const std::size_t block_count = list.Block_Offsets.size();
    if (row == 0) {
        return QStringLiteral("Block Number : %1").arg(block_count);
    }
    const std::optional<std::uint32_t> shown = Block_At(row);
    if (!shown) {
        return Incomplete_Block_List_Text(block_count);
    }
    const std::size_t block_index = *shown;
    const std::optional<TChallenge_Block> block =
        Challenge_Read_Block(session_->Image(), list, block_index, session_->Mask());
    const auto file_offset = static_cast<std::uint32_t>(
        static_cast<std::int64_t>(list.Block_Offsets[block_index]) + packed_offset_delta_);
    QString line =
        QStringLiteral("Block %1 (%2)")
            .arg(block_index)
            .arg(QString::number(file_offset, 16).toUpper().rightJustified(8, QLatin1Char('0')));
    if (!block) {
        return line;
    }
    line += block->Name_In_Place ? QStringLiteral("-P : ") : QStringLiteral("-@ : ");
    return line + Shown_Name(block->Name);
}

void TBlock_List_Selection_Model::select(const QItemSelection& selection,
                                         QItemSelectionModel::SelectionFlags command)
{
    QItemSelectionModel::select(selection, command | QItemSelectionModel::Rows);
}

} // namespace plotvane
