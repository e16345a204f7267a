#include "challenge/Block_Records.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "memory/Memory_Tools.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>

namespace plotvane {

namespace {

// A reference's index is 16 bits wide; 0 means the text follows in place.
constexpr std::uint32_t Highest_String_Index = 0xFFFF;
constexpr std::uint32_t Name_Value_Bytes = 4;
constexpr std::uint32_t Variations_Field = 4;

std::uint32_t Value_At(const TFlexible_Byte_Array& image, std::uint32_t offset,
                       const TMemory_Mask& mask)
{
    return Read_DWord(image, offset, false, mask);
}

bool Is_Reference(std::uint32_t name_value)
{
    return (name_value & 0xFFFF) != 0;
}

void Append_Value(std::vector<std::uint8_t>& out, std::uint32_t value, const TMemory_Mask& mask)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) ^ mask));
    }
}

// Whether record `index` of the walk is one that the game does not count as a block.
bool Is_Uncounted(const TFlexible_Byte_Array& image, const TTMF_Challenge_Block_Address_List& list,
                  std::size_t index, const TMemory_Mask& mask)
{
    const std::optional<std::uint32_t> fields =
        Challenge_Block_Fields_Offset(image, list, index, mask);
    return fields && Value_At(image, *fields + Variations_Field, mask) == Uncounted_Record_Flags;
}

// Why record `index` cannot go whatever else goes: the game does not count it.
TEdit_Status Record_Refusal(const TFlexible_Byte_Array& image,
                            const TTMF_Challenge_Block_Address_List& list, std::size_t index,
                            const TMemory_Mask& mask)
{
    return Is_Uncounted(image, list, index, mask) ? TEdit_Status::Uncounted_Record
                                                  : TEdit_Status::Done;
}

// One indexed string of a record: its name, or the author of its author record.
struct TString_Use {
    std::uint32_t Offset = 0;
    bool In_Place = false;
    // The entry it defines when in place, else the entry it refers to.
    std::uint32_t Entry = 0;
};

// A text in place that a removed record defines, waiting for the next kept record that refers
// to it to write it in place instead, so that it keeps its number.
struct TPending_Text {
    std::uint32_t Block = 0;
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
};

// Follows the names of the list through a deletion, record by record in file order, and says
// what keeps every entry's number: a text in place goes only when the next kept record that
// refers to it can take the text in place, no other text being defined between the two, or when
// nothing kept refers to it and no text is defined after it. Node references carry their number
// in the file: a record that brings a node goes when no kept record refers to that number.
class TDeletion_Plan {
public:
    TDeletion_Plan(const TFlexible_Byte_Array& image,
                   const TTMF_Challenge_Block_Address_List& list,
                   const TBlock_Selection& selection, const TMemory_Mask& mask)
        : image_(image), list_(list), selection_(selection), mask_(mask),
          removed_(list.Block_Offsets.size()), first_referrer_(list.String_Table.size())
    {
        for (const std::uint32_t block : selection) {
            removed_[block] = true;
        }
    }

    // The spans of the deletion in descending order of offset, or the first refusal in file
    // order.
    TEdit_Result Make(const std::vector<TAuthor_Record>& authors,
                      std::vector<TSpan_Change>& spans)
    {
        Note_Removed_Nodes(authors);
        auto author = authors.begin();
        std::size_t run_start = No_Run;
        auto next_removed = selection_.begin();
        for (std::size_t k = 0; k < removed_.size(); ++k) {
            if (run_start == No_Run && taken_ == pending_.size()) {
                // Nothing waits to be taken: the records up to the next one that goes or has
                // an author record change nothing (the walk refuses a name that refers ahead).
                k = std::min<std::size_t>(
                    next_removed != selection_.end() ? *next_removed : removed_.size(),
                    author != authors.end() ? author->Block : removed_.size());
                if (k == removed_.size()) {
                    break;
                }
                next_entry_ = Entry_Defined_At(k);
            }
            const bool has_author = author != authors.end() && author->Block == k;
            if (removed_[k]) {
                run_start = std::min(run_start, k);
                ++next_removed;
            } else {
                Close_Run(run_start, k, spans);
                const TEdit_Result refusal =
                    has_author ? Node_Refusal(*author, k) : TEdit_Result{};
                if (refusal.Status != TEdit_Status::Done) {
                    return refusal;
                }
            }
            TString_Use uses[2];
            const std::size_t count = String_Uses(k, has_author ? &*author : nullptr, uses);
            for (std::size_t i = 0; i < count; ++i) {
                const TEdit_Result refusal =
                    removed_[k] ? Remove(uses[i], k) : Keep(uses[i], k, spans);
                if (refusal.Status != TEdit_Status::Done) {
                    return refusal;
                }
            }
            author += has_author ? 1 : 0;
        }
        Close_Run(run_start, removed_.size(), spans);
        // Texts still waiting are the last entries defined: dropped, they renumber nothing.
        std::reverse(spans.begin(), spans.end());
        return {};
    }

private:
    // The entry that a text written in place at record `k` (before its name) would get: one
    // past every entry defined before it.
    std::uint32_t Entry_Defined_At(std::size_t k) const
    {
        const bool in_place = !Is_Reference(Value_At(image_, list_.Block_Offsets[k], mask_));
        return list_.Last_String_Indexes[k] + (in_place ? 0 : 1);
    }

    void Note_Removed_Nodes(const std::vector<TAuthor_Record>& authors)
    {
        for (const TAuthor_Record& author : authors) {
            if (!removed_[author.Block]) {
                continue;
            }
            if (author.Skin_Node_Brought) {
                removed_nodes_.emplace(author.Skin_Node, author.Block);
            }
            if (author.Waypoint_Node_Brought) {
                removed_nodes_.emplace(*author.Waypoint_Node, author.Block);
            }
        }
    }

    // A kept record that refers to a node that a removed record brings.
    TEdit_Result Node_Refusal(const TAuthor_Record& author, std::size_t block) const
    {
        for (const std::optional<std::uint32_t> node :
             {std::optional<std::uint32_t>(author.Skin_Node), author.Waypoint_Node}) {
            const auto bringer = node ? removed_nodes_.find(*node) : removed_nodes_.end();
            if (bringer != removed_nodes_.end()) {
                return {TEdit_Status::Brings_Skin, bringer->second, 0, block};
            }
        }
        return {};
    }

    // The records from `start` up to `end` go as one span.
    void Close_Run(std::size_t& start, std::size_t end, std::vector<TSpan_Change>& spans) const
    {
        if (start == No_Run) {
            return;
        }
        const std::uint32_t from = list_.Block_Offsets[start];
        const std::uint32_t to = Record_End(list_, end - 1);
        spans.push_back({from, {image_.begin() + from, image_.begin() + to}, {}});
        start = No_Run;
    }

    // The record's name, then its author record's author when it has one.
    std::size_t String_Uses(std::size_t k, const TAuthor_Record* author, TString_Use* uses) const
    {
        const std::uint32_t offset = list_.Block_Offsets[k];
        const std::uint32_t name = Value_At(image_, offset, mask_);
        uses[0] = {offset, !Is_Reference(name),
                   Is_Reference(name) ? (name & 0xFFFF) : list_.Last_String_Indexes[k]};
        if (author == nullptr) {
            return 1;
        }
        // The walk numbers the author's text right after the name.
        const bool in_place = author->String_Index == 0;
        uses[1] = {author->String_Offset, in_place,
                   in_place ? list_.Last_String_Indexes[k] + 1 : author->String_Index};
        return 2;
    }

    TEdit_Result Remove(const TString_Use& use, std::size_t k)
    {
        if (!use.In_Place) {
            return {};
        }
        // A hand-made file may refer to a text before defining it.
        if (use.Entry < first_referrer_.size() && first_referrer_[use.Entry] != 0) {
            return {TEdit_Status::Name_Needed_Later, k, 0, first_referrer_[use.Entry] - 1};
        }
        const std::uint32_t size = 8 + Value_At(image_, use.Offset + 4, mask_);
        pending_.push_back({static_cast<std::uint32_t>(k), use.Offset, size});
        return {};
    }

    TEdit_Result Keep(const TString_Use& use, std::size_t k, std::vector<TSpan_Change>& spans)
    {
        const std::size_t waiting = pending_.size() - taken_;
        if (use.In_Place) {
            if (waiting != 0) {
                return {TEdit_Status::Name_Needed_Later, pending_[taken_].Block, 0, k};
            }
            ++next_entry_;
            return {};
        }
        if (use.Entry < next_entry_) {
            return {};
        }
        if (use.Entry >= next_entry_ + waiting) {
            if (use.Entry < first_referrer_.size() && first_referrer_[use.Entry] == 0) {
                first_referrer_[use.Entry] = static_cast<std::uint32_t>(k) + 1;
            }
            return {};
        }
        // A text whose record goes: this reference may write it in place only when it is the
        // next entry to be defined.
        if (use.Entry != next_entry_) {
            return {TEdit_Status::Name_Needed_Later, pending_[taken_].Block, 0, k};
        }
        const TPending_Text& text = pending_[taken_++];
        spans.push_back({use.Offset,
                         {image_.begin() + use.Offset,
                          image_.begin() + use.Offset + Name_Value_Bytes},
                         {image_.begin() + text.Offset, image_.begin() + text.Offset + text.Size}});
        ++next_entry_;
        return {};
    }

    // No removed record since the last kept one.
    static constexpr std::size_t No_Run = SIZE_MAX;

    const TFlexible_Byte_Array& image_;
    const TTMF_Challenge_Block_Address_List& list_;
    const TBlock_Selection& selection_;
    const TMemory_Mask& mask_;
    std::vector<bool> removed_;
    // Per entry: 1 + the first kept block that refers to it before it is defined, or 0.
    std::vector<std::uint32_t> first_referrer_;
    // The nodes that removed records bring, and the record that brings each.
    std::unordered_map<std::uint32_t, std::uint32_t> removed_nodes_;
    // The entry that the next text written in place gets in the file as it will be.
    std::uint32_t next_entry_ = 0;
    // Removed texts in the order of their entries; those from taken_ on still wait, the first
    // of them being entry next_entry_.
    std::vector<TPending_Text> pending_;
    std::size_t taken_ = 0;
};

// The first record that would be left after the last counted one once `removed` are gone.
std::optional<std::size_t> Stranded_Record(const TFlexible_Byte_Array& image,
                                           const TTMF_Challenge_Block_Address_List& list,
                                           const TBlock_Selection& removed,
                                           const TMemory_Mask& mask)
{
    std::optional<std::size_t> first_uncounted_kept;
    for (std::size_t k = list.Block_Offsets.size(); k-- > 0;) {
        if (std::binary_search(removed.begin(), removed.end(), k)) {
            continue;
        }
        if (!Is_Uncounted(image, list, k, mask)) {
            return first_uncounted_kept; // the last counted record kept
        }
        first_uncounted_kept = k;
    }
    return first_uncounted_kept;
}

} // namespace

bool Has_Block_Number_Chunks(const TFlexible_Byte_Array& image,
                             const TTMF_Challenge_Block_Address_List& list,
                             const TMemory_Mask& mask)
{
    constexpr std::uint32_t First_Chunk = 0x3F001000;
    constexpr std::uint32_t Last_Chunk = 0x3F001003;
    constexpr std::uint32_t Skippable_Mark = 0x534B4950; // "PIKS"
    for (std::uint64_t at = list.Block_List_End; at + 8 <= image.size(); ++at) {
        const auto offset = static_cast<std::uint32_t>(at);
        const std::uint32_t id = Value_At(image, offset, mask);
        if (id >= First_Chunk && id <= Last_Chunk &&
            Value_At(image, offset + 4, mask) == Skippable_Mark) {
            return true;
        }
    }
    return false;
}

std::uint32_t Record_End(const TTMF_Challenge_Block_Address_List& list, std::size_t index)
{
    return index + 1 < list.Block_Offsets.size() ? list.Block_Offsets[index + 1]
                                                 : list.Block_List_End;
}

std::uint32_t Lowest_Entry_Named(const TTMF_Challenge_Block_Address_List& list,
                                 std::string_view name)
{
    // The walk reads the table up to the end of the list.
    const std::size_t last =
        std::min<std::size_t>(list.String_Table.size() - 1, Highest_String_Index);
    for (std::uint32_t entry = 1; entry <= last; ++entry) {
        if (list.String_Table[entry] == name) {
            return entry;
        }
    }
    return 0;
}

void Append_Reference_Record(std::vector<std::uint8_t>& records, std::uint16_t name_flags,
                             std::uint32_t entry, const TBlock_Field_Bytes& bytes,
                             const TMemory_Mask& mask)
{
    Append_Value(records, std::uint32_t{name_flags} << 16 | entry, mask);
    for (const std::uint8_t byte : bytes) {
        records.push_back(static_cast<std::uint8_t>(byte ^ mask));
    }
}

TEdit_Result Plan_Deletion(const TFlexible_Byte_Array& image,
                           const TTMF_Challenge_Block_Address_List& list,
                           const TBlock_Selection& selection, const TMemory_Mask& mask,
                           std::vector<TSpan_Change>& spans)
{
    spans.clear();
    for (const std::uint32_t block : selection) {
        if (block >= list.Block_Offsets.size()) {
            return {TEdit_Status::Block_Not_Walked, block, 0};
        }
        const TEdit_Status refusal = Record_Refusal(image, list, block, mask);
        if (refusal != TEdit_Status::Done) {
            return {refusal, block, 0};
        }
    }
    // A record that the game does not count is read only when a counted one follows it.
    const std::optional<std::size_t> stranded = Stranded_Record(image, list, selection, mask);
    if (stranded) {
        return {TEdit_Status::Strands_Uncounted_Record, *stranded, 0};
    }
    const std::optional<std::vector<TAuthor_Record>> authors =
        Challenge_Read_Author_Records(image, list, mask);
    if (!authors) {
        return {TEdit_Status::List_Not_Walked, list.Block_Offsets.size(), 0};
    }
    const TEdit_Result planned = TDeletion_Plan(image, list, selection, mask).Make(*authors, spans);
    if (planned.Status != TEdit_Status::Done) {
        spans.clear();
        return planned;
    }
    return {TEdit_Status::Done, selection.size(), 0};
}

} // namespace plotvane
