// The edit session's history: how a step keeps its byte changes (packed offsets, XOR
// differences) and its spans, how it is applied, taken back and made again, and which blocks
// the last one touched.

#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Challenge_Edit_Steps.h"

#include <algorithm>
#include <utility>

namespace plotvane {

class TPacked_Offsets::TReader {
public:
    explicit TReader(const TPacked_Offsets& offsets)
        : byte_(offsets.bytes_.data()), end_(byte_ + offsets.bytes_.size())
    {
    }
    bool At_End() const { return byte_ == end_; }
    std::uint32_t Next()
    {
        std::uint32_t difference = 0;
        for (unsigned shift = 0;; shift += 7) {
            const std::uint8_t group = *byte_++;
            difference |= std::uint32_t{group & 0x7FU} << shift;
            if (group < 0x80) {
                break;
            }
        }
        offset_ += difference;
        return offset_;
    }

private:
    const std::uint8_t* byte_;
    const std::uint8_t* end_;
    std::uint32_t offset_ = 0;
};

TPacked_Offsets::TPacked_Offsets(const std::vector<std::uint32_t>& offsets)
{
    // Sized first, so that the bytes are written without a test for room each.
    std::size_t size = 0;
    std::uint32_t previous = 0;
    for (const std::uint32_t offset : offsets) {
        size += Packed_Size(offset - previous);
        previous = offset;
    }
    bytes_.resize(size);
    std::uint8_t* byte = bytes_.data();
    previous = 0;
    for (const std::uint32_t offset : offsets) {
        std::uint32_t difference = offset - previous;
        for (; difference >= 0x80; difference >>= 7) {
            *byte++ = static_cast<std::uint8_t>(difference | 0x80);
        }
        *byte++ = static_cast<std::uint8_t>(difference);
        previous = offset;
    }
}

std::size_t TPacked_Offsets::Packed_Size(std::uint32_t difference)
{
    std::size_t size = 1;
    for (; difference >= 0x80; difference >>= 7) {
        ++size;
    }
    return size;
}

namespace {

// Reads the offsets of byte changes as made in turn, as TPacked_Offsets::TReader reads those
// of kept ones.
class TOffset_Reader {
public:
    explicit TOffset_Reader(const std::vector<std::uint32_t>& offsets)
        : offset_(offsets.data()), end_(offset_ + offsets.size())
    {
    }
    bool At_End() const { return offset_ == end_; }
    std::uint32_t Next() { return *offset_++; }

private:
    const std::uint32_t* offset_;
    const std::uint32_t* end_;
};

TOffset_Reader Offset_Reader(const std::vector<std::uint32_t>& offsets)
{
    return TOffset_Reader(offsets);
}

TPacked_Offsets::TReader Offset_Reader(const TPacked_Offsets& offsets)
{
    return TPacked_Offsets::TReader(offsets);
}

// A width known when compiling lets each record's bytes be done without a loop.
template <std::uint32_t Width, typename TOffsets>
void Xor_Records(std::uint8_t* image, const TOffsets& offsets, const std::uint8_t* difference)
{
    for (auto reader = Offset_Reader(offsets); !reader.At_End(); difference += Width) {
        std::uint8_t* const record = image + reader.Next();
        for (std::uint32_t i = 0; i < Width; ++i) {
            record[i] ^= difference[i];
        }
    }
}

// Byte changes as made (TByte_Changes) or as kept (TKept_Byte_Changes).
template <typename TChanges>
void Xor_Change_Records(TFlexible_Byte_Array& image, const TChanges& changes)
{
    std::uint8_t* const bytes = image.data();
    const std::uint8_t* difference = changes.Differences.data();
    switch (changes.Width) {
    case 1:
        return Xor_Records<1>(bytes, changes.Offsets, difference);
    case 2:
        return Xor_Records<2>(bytes, changes.Offsets, difference);
    case 3:
        return Xor_Records<3>(bytes, changes.Offsets, difference);
    case 4:
        return Xor_Records<4>(bytes, changes.Offsets, difference);
    default:
        break;
    }
    const std::uint32_t width = changes.Width;
    for (auto reader = Offset_Reader(changes.Offsets); !reader.At_End();) {
        std::uint8_t* const record = bytes + reader.Next();
        for (std::uint32_t i = 0; i < width; ++i) {
            record[i] ^= *difference++;
        }
    }
}

// Puts `to` where `from` stands at `offset`.
void Replace_Span(TFlexible_Byte_Array& image, std::uint32_t offset,
                  const std::vector<std::uint8_t>& from, const std::vector<std::uint8_t>& to)
{
    const auto at = image.begin() + offset;
    if (to.size() > from.size()) {
        image.insert(at + static_cast<std::ptrdiff_t>(from.size()), to.size() - from.size(), 0);
    } else {
        image.erase(at + static_cast<std::ptrdiff_t>(to.size()),
                    at + static_cast<std::ptrdiff_t>(from.size()));
    }
    std::copy(to.begin(), to.end(), image.begin() + offset);
}

} // namespace

void Xor_Changes(TFlexible_Byte_Array& image, const TByte_Changes& changes)
{
    Xor_Change_Records(image, changes);
}

void Xor_Changes(TFlexible_Byte_Array& image, const TKept_Byte_Changes& changes)
{
    Xor_Change_Records(image, changes);
}

// With more than one span, the image is rebuilt in one pass rather than moved once per span.
void Splice_Spans(TFlexible_Byte_Array& image, const std::vector<TSpan_Change>& spans,
                  bool forward)
{
    if (spans.size() == 1) {
        const TSpan_Change& span = spans.front();
        Replace_Span(image, span.Offset, forward ? span.Old : span.New,
                     forward ? span.New : span.Old);
        return;
    }
    std::int64_t growth = 0;
    for (const TSpan_Change& span : spans) {
        growth += static_cast<std::int64_t>(span.New.size()) -
                  static_cast<std::int64_t>(span.Old.size());
    }
    TFlexible_Byte_Array result;
    result.reserve(static_cast<std::size_t>(static_cast<std::int64_t>(image.size()) +
                                            (forward ? growth : -growth)));
    // Taken back, a span stands where the spans below it moved it.
    std::int64_t moved = 0;
    std::size_t from = 0;
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
        const std::vector<std::uint8_t>& out = forward ? span->Old : span->New;
        const std::vector<std::uint8_t>& in = forward ? span->New : span->Old;
        const auto at = static_cast<std::size_t>(span->Offset + (forward ? 0 : moved));
        result.insert(result.end(), image.begin() + static_cast<std::ptrdiff_t>(from),
                      image.begin() + static_cast<std::ptrdiff_t>(at));
        result.insert(result.end(), in.begin(), in.end());
        from = at + out.size();
        moved += static_cast<std::int64_t>(span->New.size()) -
                 static_cast<std::int64_t>(span->Old.size());
    }
    result.insert(result.end(), image.begin() + static_cast<std::ptrdiff_t>(from), image.end());
    image.swap(result);
}

TBlock_Ranges Ranges_Of(const TBlock_Selection& selection)
{
    TBlock_Ranges ranges;
    for (const std::uint32_t block : selection) {
        if (!ranges.empty() && ranges.back().second + 1 == block) {
            ranges.back().second = block;
        } else {
            ranges.emplace_back(block, block);
        }
    }
    return ranges;
}

std::string Blocks_Text(const std::string& action, const TBlock_Selection& selection)
{
    if (selection.size() == 1) {
        return action + " block " + std::to_string(selection.front());
    }
    return action + " " + std::to_string(selection.size()) + " blocks";
}

bool TChallenge_Edit_Session::Can_Undo() const
{
    return done_ > 0;
}

bool TChallenge_Edit_Session::Can_Redo() const
{
    return done_ < history_.size();
}

std::string TChallenge_Edit_Session::Undo_Text() const
{
    return Can_Undo() ? history_[done_ - 1].Text : std::string();
}

std::string TChallenge_Edit_Session::Redo_Text() const
{
    return Can_Redo() ? history_[done_].Text : std::string();
}

TEdit_Result TChallenge_Edit_Session::Undo()
{
    if (!Can_Undo()) {
        return {TEdit_Status::Nothing_To_Undo, 0, 0};
    }
    --done_;
    last_step_ = done_;
    Apply(history_[done_], false);
    return {TEdit_Status::Done, 0, 0};
}

TEdit_Result TChallenge_Edit_Session::Redo()
{
    if (!Can_Redo()) {
        return {TEdit_Status::Nothing_To_Redo, 0, 0};
    }
    last_step_ = done_;
    Apply(history_[done_], true);
    ++done_;
    return {TEdit_Status::Done, 0, 0};
}

TBlock_Selection TChallenge_Edit_Session::Last_Step_Blocks() const
{
    TBlock_Selection blocks;
    if (!last_step_) {
        return blocks;
    }
    // Whether the last step was made (or made again) rather than taken back.
    const bool made = *last_step_ < done_;
    const TStep::TBlocks kind = history_[*last_step_].Blocks_Are;
    if ((kind == TStep::TBlocks::Added && !made) || (kind == TStep::TBlocks::Removed && made)) {
        return blocks;
    }
    for (const auto& [first, last] : history_[*last_step_].Blocks) {
        for (std::uint32_t block = first; block <= last; ++block) {
            blocks.push_back(block);
        }
    }
    return blocks;
}

void TChallenge_Edit_Session::Apply(const TStep& step, bool forward)
{
    if (forward) {
        for (const TKept_Byte_Changes& changes : step.Byte_Changes) {
            Xor_Changes(image_, changes);
        }
        if (!step.Spans.empty()) {
            Splice_Spans(image_, step.Spans, true);
        }
    } else {
        if (!step.Spans.empty()) {
            Splice_Spans(image_, step.Spans, false);
        }
        for (const TKept_Byte_Changes& changes : step.Byte_Changes) {
            Xor_Changes(image_, changes);
        }
    }
    if (step.Walk_After) {
        Walk_Again();
    }
}

void TChallenge_Edit_Session::Finish_Step(TStep step)
{
    history_.resize(done_);
    if (saved_at_ && *saved_at_ > done_) {
        saved_at_.reset(); // the saved state lay in the steps just dropped
    }
    history_.push_back(std::move(step));
    done_ = history_.size();
    last_step_ = done_ - 1;
    if (history_.back().Walk_After) {
        Walk_Again();
    }
}

} // namespace plotvane
