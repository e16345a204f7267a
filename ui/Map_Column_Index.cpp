// The map's column index: built from the open challenge when the map is first drawn or asked,
// the columns of the selected blocks and of a find's matches flagged on it, and the text of a
// column (its place and its blocks) read from it.
#include "ui/Map_View.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "ui/Byte_Text.h"

#include <algorithm>

namespace plotvane {

namespace {

// A tooltip lists this many blocks of a column at most.
constexpr std::size_t Listed_Blocks = 20;

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

} // namespace plotvane
