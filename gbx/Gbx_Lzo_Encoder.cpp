// The LZO1X encoder of GBX bodies: a greedy pass for everyday saves, and an optimal parse over
// chains of earlier places for the smallest files.

#include "gbx/Gbx_Lzo_Encoder.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <limits>
#include <vector>

// Repeats are measured eight bytes at a time, the first differing byte being the lowest.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The LZO1X encoder expects a little-endian processor"
#endif

namespace plotvane {

namespace {

// What the published instructions can say. A match is 3 bytes or more, from 1 to 49151 back:
// opcodes 64 to 255 hold 3 to 8 bytes from up to 2048 back in 2 bytes; opcodes 32 to 63 any
// length from up to 16384 back, and opcodes 16 to 31 any length from farther, in 3 bytes when
// the length fits the opcode. A literal run of 1 to 3 bytes after a match is told in the
// match's last byte; longer runs take an opcode of their own, and the first run of a stream
// its first byte.
constexpr std::size_t Shortest_Match = 3;
constexpr std::size_t Short_Distance = 2048;
constexpr std::size_t Short_Longest = 8;
constexpr std::size_t Near_Distance = 16384;
constexpr std::size_t Near_Longest_In_Opcode = 33;
constexpr std::size_t Farthest_Distance = 49151;
constexpr std::size_t Far_Longest_In_Opcode = 9;
constexpr std::size_t Longest_Tail = 3;
constexpr std::size_t Longest_Short_Run = 18;
constexpr std::size_t Longest_First_Run = 238;
constexpr std::uint32_t First_Byte_Run_Base = 17;
constexpr std::uint32_t Near_Opcode = 32;
constexpr std::uint32_t Far_Opcode = 16;
// Opcodes 0 to 15 after literals are 2-byte matches whose meaning depends on the literals:
// after the 1 to 3 literals that a match's last byte tells, 2 bytes from up to 1024 back;
// after a run of 4 or more, 3 bytes from 2049 to 3072 back. Only the optimal parse uses them.
constexpr std::size_t Pair_Length = 2;
constexpr std::size_t Pair_Distance = 1024;
constexpr std::size_t Run_Match_Nearest = Short_Distance + 1;
constexpr std::size_t Run_Match_Farthest = 3072;

std::uint32_t Load_32(const std::uint8_t* at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::uint64_t Load_64(const std::uint8_t* at)
{
    std::uint64_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::size_t Lowest_Set_Byte(std::uint64_t value)
{
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(value)) / 8;
#else
    std::size_t byte = 0;
    while ((value & 0xFF) == 0) {
        value >>= 8;
        ++byte;
    }
    return byte;
#endif
}

// How many bytes from `at` on repeat those from `from` on (an earlier place), up to `end`.
// Stored bytes share the mask, so they repeat exactly where the plain bytes do.
std::size_t Repeat_Length(const std::uint8_t* at, const std::uint8_t* from,
                          const std::uint8_t* end)
{
    const std::uint8_t* const start = at;
    while (end - at >= 8) {
        const std::uint64_t difference = Load_64(at) ^ Load_64(from);
        if (difference != 0) {
            return static_cast<std::size_t>(at - start) + Lowest_Set_Byte(difference);
        }
        at += 8;
        from += 8;
    }
    while (at < end && *at == *from) {
        ++at;
        ++from;
    }
    return static_cast<std::size_t>(at - start);
}

// Bytes of a length told in extra bytes: a 0 byte for each 255 beyond the first, then a final
// byte from 1 to 255; `rest` is 1 or more.
std::size_t Extension_Size(std::size_t rest)
{
    return 1 + (rest - 1) / 255;
}

// Bytes of the instruction of a literal run of `run` bytes (without the literals): after a
// match, or first in the stream.
std::size_t Run_Instruction_Size(std::size_t run, bool after_match)
{
    if (run == 0 || (after_match && run <= Longest_Tail)) {
        return 0;
    }
    if (run <= (after_match ? Longest_Short_Run : Longest_First_Run)) {
        return 1;
    }
    return 1 + Extension_Size(run - Longest_Short_Run);
}

// Bytes of the instruction of a match.
std::size_t Match_Instruction_Size(std::size_t length, std::size_t distance)
{
    if (length <= Short_Longest && distance <= Short_Distance) {
        return 2;
    }
    const std::size_t in_opcode =
        distance <= Near_Distance ? Near_Longest_In_Opcode : Far_Longest_In_Opcode;
    return length <= in_opcode ? 3 : 3 + Extension_Size(length - in_opcode);
}

// The helpers of the encoding loops are inlined into them, so that where they write stays in
// registers: behind a pointer that a byte store could reach, the compiler would have to reload
// it after every byte written.
#define PLOTVANE_HOT [[gnu::always_inline]] inline

// Runs of up to this many literals are copied in one step of this many bytes.
constexpr std::size_t Literal_Step = 16;
// The stream grows by this much at least: it is zeroed as it grows, a piece at a time that the
// writes that follow find in the processor's cache, never to its worst length at once.
constexpr std::size_t Least_Growth = 4096;

// Resizes the stream to `used` bytes and room for `count` more; returns where it now lies.
// Rare, so kept out of line; it takes and gives plain values, so that the writer's pointers
// never leave the registers.
[[gnu::noinline]] std::uint8_t* Grow_Stream(TFlexible_Byte_Array& stream, std::size_t used,
                                            std::size_t count)
{
    stream.resize(used + std::max({count, used / 2, Least_Growth}));
    return stream.data();
}

// Writes literal runs and matches, which must alternate, into the stream in the published
// encoding, each instruction byte masked. Used as a local whose address never leaves the
// encoding loop.
class TLzo_Writer {
public:
    TLzo_Writer(TFlexible_Byte_Array& stream, std::uint8_t mask)
        : stream_(stream), mask_32_(mask * 0x01010101u)
    {
        Set_Place(stream.data(), stream.size());
    }

    // The mask in each byte of a 32-bit value.
    std::uint32_t Mask_32() const { return mask_32_; }

    // Writes the literals before a match, then the match. `Whole_Step`: a whole copy step
    // may be read from `from` (Literal_Step bytes), so that a short run is copied in one step.
    template <bool Whole_Step>
    PLOTVANE_HOT void Run_And_Match(const std::uint8_t* from, std::size_t count,
                                    std::size_t length, std::size_t distance)
    {
        // The literals, their instruction (at most 2 + count / 128 bytes) and a whole copy
        // step; the match (at most 5 + length / 128 bytes).
        Make_Room(count + ((count + length) >> 7) + 7 + Literal_Step);
        next_ = Put_Match(Put_Run<Whole_Step>(next_, from, count), length, distance);
    }

    // Writes the last literal run, and cuts the stream to what was written.
    void Last_Run(const std::uint8_t* from, std::size_t count)
    {
        Make_Room(count + (count >> 7) + 2 + Literal_Step);
        next_ = Put_Run<false>(next_, from, count);
        stream_.resize(static_cast<std::size_t>(next_ - stream_.data()));
    }

private:
    PLOTVANE_HOT void Set_Place(std::uint8_t* base, std::size_t used)
    {
        next_ = base + used;
        room_end_ = base + stream_.size();
    }

    PLOTVANE_HOT void Make_Room(std::size_t count)
    {
        if (room_end_ - next_ < static_cast<std::ptrdiff_t>(count)) {
            // The stream has not moved since the pointers were set.
            std::uint8_t* const base = stream_.data();
            const auto used = static_cast<std::size_t>(next_ - base);
            const std::ptrdiff_t tail = tail_ - base;
            std::uint8_t* const moved = Grow_Stream(stream_, used, count);
            Set_Place(moved, used);
            if (tail_ != nullptr) {
                tail_ = moved + tail;
            }
        }
    }

    template <bool Whole_Step>
    PLOTVANE_HOT std::uint8_t* Put_Run(std::uint8_t* out, const std::uint8_t* from,
                                       std::size_t count)
    {
        if (count == 0) {
            return out;
        }
        run_ = count;
        if (tail_ == nullptr) {
            // The first run of the stream: its first byte, up to Longest_First_Run.
            out = count <= Longest_First_Run
                      ? Put(out, First_Byte_Run_Base + static_cast<std::uint32_t>(count))
                      : Put_Extension(Put(out, 0), count - Longest_Short_Run);
        } else if (count <= Longest_Tail) {
            // The match's byte holds the count in its two low bits, which are 0.
            *tail_ = static_cast<std::uint8_t>(*tail_ ^ count);
        } else if (count <= Longest_Short_Run) {
            out = Put(out, static_cast<std::uint32_t>(count - 3));
        } else {
            out = Put_Extension(Put(out, 0), count - Longest_Short_Run);
        }
        if (Whole_Step && count <= Literal_Step) {
            std::memcpy(out, from, Literal_Step);
        } else {
            std::memcpy(out, from, count);
        }
        return out + count;
    }

    PLOTVANE_HOT std::uint8_t* Put_Match(std::uint8_t* out, std::size_t length,
                                         std::size_t distance)
    {
        const std::size_t run = run_;
        run_ = 0;
        if (length == Pair_Length) {
            assert(run >= 1 && run <= Longest_Tail && distance >= 1 && distance <= Pair_Distance);
            tail_ = out;
            return Put_Pair(out, ((distance - 1) & 3) << 2 | ((distance - 1) >> 2) << 8);
        }
        if (length == Shortest_Match && distance >= Run_Match_Nearest &&
            distance <= Run_Match_Farthest && run > Longest_Tail) {
            const std::size_t back = distance - Run_Match_Nearest;
            tail_ = out;
            return Put_Pair(out, (back & 3) << 2 | (back >> 2) << 8);
        }
        assert(length >= Shortest_Match && distance >= 1 && distance <= Farthest_Distance);
        if (length <= Short_Longest && distance <= Short_Distance) {
            const std::size_t back = distance - 1;
            tail_ = out;
            return Put_Pair(out, ((length - 1) << 5) | ((back & 7) << 2) | (back >> 3) << 8);
        }
        std::uint32_t opcode = Near_Opcode;
        std::size_t in_opcode = Near_Longest_In_Opcode;
        std::size_t back = distance - 1;
        if (distance > Near_Distance) {
            // 16384 more than the opcode's bit 3 (worth 16384) and the 14 bits say.
            back = distance - Near_Distance;
            opcode = Far_Opcode | static_cast<std::uint32_t>((back >> 11) & 8);
            in_opcode = Far_Longest_In_Opcode;
        }
        out = length <= in_opcode ? Put(out, opcode | static_cast<std::uint32_t>(length - 2))
                                  : Put_Extension(Put(out, opcode), length - in_opcode);
        tail_ = out;
        // The 14 bits of distance above the two bits of the literals that follow.
        return Put_Pair(out, (back << 2) & 0xFFFF);
    }

    // Writes two bytes, the low one first, in one store: written byte by byte, the compiler
    // gathers them through memory in a way that stalls the processor.
    PLOTVANE_HOT std::uint8_t* Put_Pair(std::uint8_t* out, std::size_t value) const
    {
        const auto pair = static_cast<std::uint16_t>(value ^ mask_32_);
        std::memcpy(out, &pair, sizeof pair);
        return out + sizeof pair;
    }

    PLOTVANE_HOT std::uint8_t* Put(std::uint8_t* out, std::uint32_t value) const
    {
        *out = static_cast<std::uint8_t>(value ^ mask_32_);
        return out + 1;
    }

    PLOTVANE_HOT std::uint8_t* Put_Extension(std::uint8_t* out, std::size_t rest) const
    {
        while (rest > 255) {
            out = Put(out, 0);
            rest -= 255;
        }
        return Put(out, static_cast<std::uint32_t>(rest));
    }

    TFlexible_Byte_Array& stream_;
    // The mask in each byte, of which one masks each instruction byte.
    std::uint32_t mask_32_;
    // The next byte to write, and the end of the room made so far.
    std::uint8_t* next_ = nullptr;
    std::uint8_t* room_end_ = nullptr;
    // The last match's byte whose two low bits tell the literals after it; null before the
    // first match.
    std::uint8_t* tail_ = nullptr;
    // The literals written since the last match, which decide what a match of opcodes 0 to 15
    // means.
    std::size_t run_ = 0;
};

// The greedy pass keeps one earlier place per hash of four bytes: 2^14 of them, as LZO1X-1,
// or fewer for a short body, about one per place, so that clearing the table costs little
// beside packing the body.
constexpr unsigned Greedy_Hash_Bits = 14;
// A search is made only as long as this many bytes follow, so that a whole copy step of the
// literals before a match always lies in the body.
constexpr std::size_t Greedy_Search_Margin = 20;
static_assert(Greedy_Search_Margin >= Literal_Step, "the literals' copy step lies in the body");

// The hash of four plain bytes (the stored ones unmasked), so that the stream does not depend
// on the mask.
template <unsigned Bits>
PLOTVANE_HOT std::uint32_t Greedy_Hash(std::uint32_t stored, std::uint32_t mask_32)
{
    return ((stored ^ mask_32) * 0x1824429Du) >> (32 - Bits);
}

// At each place, the place that last had the same hash of its next four bytes; when those
// repeat, the match is stretched back over the literals before it and forward as far as it
// goes, and written. Where nothing repeats, the search steps faster the longer the literal run
// grows, as LZO1X-1 does, so that bytes that do not repeat cost little time.
//
// A match ends at a byte that differs from the bytes it repeats, which rarely starts a match:
// it is taken as a literal without a search, and the bytes after it are first compared with
// those as far back as the match reached, since the records of a challenge repeat at steady
// distances. Both save time, and cost no size on challenges.
//
// The table keeps the low 16 bits of each place, as LZO1X-1 does, so that it stays within the
// processor's nearest cache. `Whole_Places`: the body has no more places than 16 bits hold, so
// they are the place itself. Otherwise they name the latest place with those bits, which may
// be a later one than was kept; its bytes are compared all the same.
template <unsigned Bits, bool Whole_Places>
[[gnu::noinline]] void Encode_Greedy(const std::uint8_t* body, std::size_t size,
                                     std::uint8_t mask, TFlexible_Byte_Array& stream)
{
    const std::uint8_t* const end = body + size;
    TLzo_Writer writer(stream, mask);
    const std::uint8_t* run_start = body;
    // Every entry first names place 0.
    std::vector<std::uint16_t> last_place(std::size_t{1} << Bits, 0);
    std::uint16_t* const table = last_place.data();
    const std::uint32_t mask_32 = writer.Mask_32();
    const std::uint8_t* at = body + 1;
    while (end - at > static_cast<std::ptrdiff_t>(Greedy_Search_Margin)) {
        const std::uint32_t value = Load_32(at);
        std::uint16_t& slot = table[Greedy_Hash<Bits>(value, mask_32)];
        const auto low_bits = static_cast<std::uint16_t>(at - body);
        const std::uint8_t* from = Whole_Places ? body + slot
                                                : at - static_cast<std::uint16_t>(low_bits - slot);
        slot = low_bits;
        const auto distance = static_cast<std::size_t>(at - from);
        // A distance of 0 wraps round to the largest, which is out of reach.
        if (value != Load_32(from) || distance - 1 >= Farthest_Distance) {
            at += 1 + (static_cast<std::size_t>(at - run_start) >> 5);
            continue;
        }
        while (at > run_start && from > body && at[-1] == from[-1]) {
            --at;
            --from;
        }
        for (;;) {
            const std::size_t length = 4 + Repeat_Length(at + 4, from + 4, end);
            writer.Run_And_Match<true>(run_start, static_cast<std::size_t>(at - run_start),
                                       length, distance);
            at += length;
            run_start = at;
            if (end - at <= static_cast<std::ptrdiff_t>(Greedy_Search_Margin)) {
                break;
            }
            ++at;
            from = at - distance;
            if (Load_32(at) != Load_32(from)) {
                break;
            }
            table[Greedy_Hash<Bits>(Load_32(at), mask_32)] = static_cast<std::uint16_t>(at - body);
        }
    }
    writer.Last_Run(run_start, static_cast<std::size_t>(end - run_start));
}

// Encodes with a table as large as the body needs.
void Encode_Greedy(const std::uint8_t* body, std::size_t size, std::uint8_t mask,
                   TFlexible_Byte_Array& stream)
{
    constexpr std::size_t Whole_Places_Size = std::size_t{1} << 16;
    if (size < (std::size_t{1} << 12)) {
        Encode_Greedy<10, true>(body, size, mask, stream);
    } else if (size < (std::size_t{1} << 13)) {
        Encode_Greedy<12, true>(body, size, mask, stream);
    } else if (size < (std::size_t{1} << 14)) {
        Encode_Greedy<13, true>(body, size, mask, stream);
    } else if (size <= Whole_Places_Size) {
        Encode_Greedy<Greedy_Hash_Bits, true>(body, size, mask, stream);
    } else {
        Encode_Greedy<Greedy_Hash_Bits, false>(body, size, mask, stream);
    }
}

// A repeat of the bytes at a place: how many, from how far back.
struct TLzo_Repeat {
    std::size_t Length = 0;
    std::size_t Distance = 0;
};

// The optimal parse's chains: for each hash of three bytes, the places that had it, the latest
// first, within reach of a match.
constexpr unsigned Chain_Hash_Bits = 16;
constexpr std::size_t Chain_Ring = std::size_t{1} << 16;
static_assert(Chain_Ring > Farthest_Distance, "a place within reach keeps its link");
// A short body has tables as large as its places, about, so that clearing them costs little.
constexpr unsigned Least_Chain_Hash_Bits = 10;

// The bits of the chains' hash and ring for a body: those of the smallest power of two of at
// least its size, from Least_Chain_Hash_Bits to Chain_Hash_Bits.
unsigned Chain_Bits(std::size_t size)
{
    unsigned bits = Least_Chain_Hash_Bits;
    while (bits < Chain_Hash_Bits && (std::size_t{1} << bits) < size) {
        ++bits;
    }
    return bits;
}
// Places looked at, at most, for one search.
constexpr std::size_t Chain_Depth = 256;
// A repeat this long is taken as soon as it is found: what it saves no longer depends on where
// it starts, and trying each of its lengths would cost the most time where it saves the least.
constexpr std::size_t Enough_Length = 128;
// Places weighed in one pass of the parse.
constexpr std::size_t Parse_Span = 4096;

class TLzo_Chains {
public:
    TLzo_Chains(const std::uint8_t* body, std::size_t size, std::uint8_t mask)
        : body_(body), size_(size), mask_(mask),
          hash_shift_(32 - Chain_Bits(size)), ring_mask_((std::size_t{1} << Chain_Bits(size)) - 1),
          latest_(std::size_t{1} << (32 - hash_shift_), 0), before_(ring_mask_ + 1, 0),
          latest_pair_(std::size_t{1} << 16, 0)
    {
    }

    // Lists in `repeats` the repeats of the bytes at `place` worth a match: for each length the
    // nearest earlier place that repeats at least as many, nearest first, each longer than the
    // one before; 3 bytes only from up to Run_Match_Farthest back, where a match of them may
    // save a byte. Places are searched in order; those skipped are linked first. Pair_Found
    // then tells how far back the same two bytes were last.
    std::size_t Find(std::size_t place, std::array<TLzo_Repeat, Chain_Depth>& repeats)
    {
        Link_Up_To(place);
        pair_distance_ = 0;
        if (size_ - place < Pair_Length) {
            return 0;
        }
        std::uint32_t& pair = latest_pair_[Pair_Key(place)];
        pair_distance_ = pair == 0 ? 0 : place + 1 - pair;
        pair = static_cast<std::uint32_t>(place + 1);
        if (size_ - place < Shortest_Match) {
            linked_ = place + 1;
            return 0;
        }
        std::uint32_t& latest = latest_[Hash(place)];
        std::uint32_t candidate = latest;
        before_[place & ring_mask_] = latest;
        latest = static_cast<std::uint32_t>(place + 1);
        linked_ = place + 1;

        const std::uint8_t* const at = body_ + place;
        const std::uint8_t* const end = body_ + size_;
        const std::size_t longest_possible = size_ - place;
        std::size_t best = Shortest_Match - 1;
        std::size_t found = 0;
        for (std::size_t depth = 0; candidate != 0 && depth < Chain_Depth; ++depth) {
            const std::size_t earlier = candidate - 1;
            const std::size_t distance = place - earlier;
            if (distance > Farthest_Distance) {
                break;
            }
            const std::uint8_t* const from = body_ + earlier;
            // Only a repeat longer than the best so far counts: its last byte decides at once.
            if (from[best] == at[best]) {
                const std::size_t length = Repeat_Length(at, from, end);
                if (length > best &&
                    (length > Shortest_Match || distance <= Run_Match_Farthest)) {
                    repeats[found++] = {length, distance};
                    best = length;
                    if (length >= Enough_Length || length == longest_possible) {
                        break;
                    }
                }
            }
            candidate = before_[earlier & ring_mask_];
        }
        return found;
    }

    // How far back the two bytes at the place last searched were last, 0 for never.
    std::size_t Pair_Found() const { return pair_distance_; }

private:
    std::uint32_t Pair_Key(std::size_t place) const
    {
        return std::uint32_t{body_[place]} | std::uint32_t{body_[place + 1]} << 8;
    }

    std::uint32_t Hash(std::size_t place) const
    {
        const std::uint8_t* const at = body_ + place;
        const std::uint32_t plain = (std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 |
                                     std::uint32_t{at[2]} << 16) ^
                                    (mask_ * 0x010101u);
        return (plain * 0x9E3779B1u) >> hash_shift_;
    }

    void Link_Up_To(std::size_t place)
    {
        const std::size_t last = std::min(place, size_ - std::min(size_, Shortest_Match - 1));
        for (; linked_ < last; ++linked_) {
            latest_pair_[Pair_Key(linked_)] = static_cast<std::uint32_t>(linked_ + 1);
            std::uint32_t& latest = latest_[Hash(linked_)];
            before_[linked_ & ring_mask_] = latest;
            latest = static_cast<std::uint32_t>(linked_ + 1);
        }
    }

    const std::uint8_t* body_;
    std::size_t size_;
    std::uint8_t mask_;
    unsigned hash_shift_;
    // The ring holds the link of each place within reach: Chain_Ring places, or all of a short
    // body's.
    std::size_t ring_mask_;
    // Place + 1 of the latest place of each hash, and of the place before each place with its
    // hash; 0 for none.
    std::vector<std::uint32_t> latest_;
    std::vector<std::uint32_t> before_;
    // Place + 1 of the latest place of each pair of bytes (as stored), 0 for none.
    std::vector<std::uint32_t> latest_pair_;
    std::size_t linked_ = 0;
    std::size_t pair_distance_ = 0;
};

// The ways through a pass are told apart by the literals since their last match, which decide
// what the next literal costs and which 2-byte matches of opcodes 0 to 15 may follow: none,
// 1, 2, 3, and 4 or more.
constexpr std::size_t Run_States = Longest_Tail + 2;

std::size_t Run_State(std::size_t run)
{
    return std::min(run, Run_States - 1);
}

// The cheapest way found to a place of the parse, from its first place, with the literals
// since its last match as its run state says.
struct TLzo_Way {
    std::uint32_t Price = std::numeric_limits<std::uint32_t>::max(); // stream bytes
    std::uint32_t Run = 0;        // literals since the last match
    std::uint32_t Length = 0;     // the match that ends here, 0 for a literal
    std::uint32_t Distance = 0;
    std::uint8_t From_State = 0;  // the run state of the way it goes on from
    bool After_Match = false;     // a match comes before: runs cost less
};

// The optimal parse: from each place where a repeat starts, the cheapest way in stream bytes
// through the next places (up to Parse_Span of them) is found by trying each literal and each
// length of each repeat, in each run state, then written; a repeat of Enough_Length ends a
// pass and is taken.
class TLzo_Parser {
public:
    TLzo_Parser(const std::uint8_t* body, std::size_t size, std::uint8_t mask,
                TFlexible_Byte_Array& stream)
        : body_(body), size_(size), chains_(body, size, mask), writer_(stream, mask),
          ways_((std::min(size, Parse_Span) + 1) * Run_States)
    {
    }

    void Encode()
    {
        while (place_ < size_) {
            const std::size_t found = chains_.Find(place_, repeats_);
            if (found == 0) {
                ++place_;
            } else if (Takes_At_Once(0, repeats_[found - 1])) {
                Write_Match(place_, repeats_[found - 1]);
            } else {
                Parse(found);
            }
        }
        writer_.Last_Run(body_ + run_start_, size_ - run_start_);
    }

private:
    TLzo_Way& Way(std::size_t step, std::size_t state) { return ways_[step * Run_States + state]; }

    bool Takes_At_Once(std::size_t step, const TLzo_Repeat& longest) const
    {
        return longest.Length >= Enough_Length || step + longest.Length > Parse_Span;
    }

    void Write_Match(std::size_t start, const TLzo_Repeat& repeat)
    {
        writer_.Run_And_Match<false>(body_ + run_start_, start - run_start_, repeat.Length,
                                     repeat.Distance);
        place_ = start + repeat.Length;
        run_start_ = place_;
        after_match_ = true;
    }

    static std::uint32_t Literal_Price(const TLzo_Way& way)
    {
        return static_cast<std::uint32_t>(1 + Run_Instruction_Size(way.Run + 1, way.After_Match) -
                                          Run_Instruction_Size(way.Run, way.After_Match));
    }

    // The run state of the cheapest way to `step`.
    std::size_t Cheapest_State(std::size_t step)
    {
        std::size_t cheapest = 0;
        for (std::size_t state = 1; state < Run_States; ++state) {
            if (Way(step, state).Price < Way(step, cheapest).Price) {
                cheapest = state;
            }
        }
        return cheapest;
    }

    // Offers the way to `step` through a match of `length` bytes, `distance` back, that costs
    // `cost` after the way to `from_step` in `from_state`.
    void Offer_Match(std::size_t from_step, std::size_t from_state, std::size_t length,
                     std::size_t distance, std::size_t cost)
    {
        const auto price = static_cast<std::uint32_t>(Way(from_step, from_state).Price + cost);
        TLzo_Way& way = Way(from_step + length, 0);
        if (price < way.Price) {
            way = {price, 0, static_cast<std::uint32_t>(length),
                   static_cast<std::uint32_t>(distance), static_cast<std::uint8_t>(from_state),
                   true};
        }
    }

    // The ways to `step` through one more literal.
    void Try_Literal(std::size_t step)
    {
        for (std::size_t state = 0; state < Run_States; ++state) {
            const TLzo_Way& before = Way(step - 1, state);
            if (before.Price == std::numeric_limits<std::uint32_t>::max()) {
                continue;
            }
            const std::uint32_t price = before.Price + Literal_Price(before);
            TLzo_Way& way = Way(step, Run_State(before.Run + 1));
            if (price < way.Price) {
                way = {price, before.Run + 1, 0, 0, static_cast<std::uint8_t>(state),
                       before.After_Match};
            }
        }
    }

    // Every length of each repeat found `step` places into the pass, each from the nearest
    // place that repeats it, after the cheapest way there; and the 2-byte matches of opcodes 0
    // to 15 after the ways whose literals allow them. 3 bytes are taken only in a 2-byte
    // instruction, which saves a byte, so that every match saves one or follows literals that
    // cost nothing, and the stream stays within Lzo_Encoded_Size_Bound. Returns the farthest
    // step reached.
    std::size_t Try_Matches(std::size_t step, std::size_t found)
    {
        constexpr std::uint32_t None = std::numeric_limits<std::uint32_t>::max();
        std::size_t reach = step;
        const std::size_t pair = chains_.Pair_Found();
        if (pair != 0 && pair <= Pair_Distance) {
            for (std::size_t state = 1; state <= Longest_Tail; ++state) {
                if (Way(step, state).Price != None) {
                    Offer_Match(step, state, Pair_Length, pair, 2);
                    reach = step + Pair_Length;
                }
            }
        }
        const std::size_t cheapest = Cheapest_State(step);
        const std::size_t after_run = Run_States - 1;
        std::size_t length = Shortest_Match;
        for (std::size_t i = 0; i < found; ++i) {
            const TLzo_Repeat& repeat = repeats_[i];
            for (; length <= repeat.Length; ++length) {
                if (length > Shortest_Match || repeat.Distance <= Short_Distance) {
                    Offer_Match(step, cheapest, length, repeat.Distance,
                                Match_Instruction_Size(length, repeat.Distance));
                } else if (repeat.Distance <= Run_Match_Farthest &&
                           Way(step, after_run).Price != None) {
                    Offer_Match(step, after_run, length, repeat.Distance, 2);
                }
            }
        }
        return found == 0 ? reach : std::max(reach, step + repeats_[found - 1].Length);
    }

    void Parse(std::size_t found)
    {
        // Only the ways that the last pass reached were written.
        std::fill(ways_.begin(),
                  ways_.begin() + static_cast<std::ptrdiff_t>((reached_ + 1) * Run_States),
                  TLzo_Way());
        const std::size_t run = place_ - run_start_;
        Way(0, Run_State(run)) = {0, static_cast<std::uint32_t>(run), 0, 0, 0, after_match_};
        std::size_t last = Try_Matches(0, found);
        reached_ = last;
        for (std::size_t step = 1; step < last; ++step) {
            Try_Literal(step);
            const std::size_t here = chains_.Find(place_ + step, repeats_);
            if (here > 0 && Takes_At_Once(step, repeats_[here - 1])) {
                const TLzo_Repeat longest = repeats_[here - 1];
                Write_Way(step);
                Write_Match(place_, longest);
                return;
            }
            last = std::max(last, Try_Matches(step, here));
            reached_ = last;
        }
        // The ways that reach the last step with literals compete with those of a match.
        Try_Literal(last);
        Write_Way(last);
    }

    // Writes the matches of the cheapest way to `step`; the literals after the last of them
    // stay for what follows. The pass's place becomes `step`.
    void Write_Way(std::size_t step)
    {
        matches_.clear();
        std::size_t state = Cheapest_State(step);
        for (std::size_t at = step; at > 0;) {
            const TLzo_Way& way = Way(at, state);
            state = way.From_State;
            if (way.Length == 0) {
                --at;
            } else {
                at -= way.Length;
                matches_.push_back({at, {way.Length, way.Distance}});
            }
        }
        const std::size_t start = place_;
        for (auto match = matches_.rbegin(); match != matches_.rend(); ++match) {
            Write_Match(start + match->first, match->second);
        }
        place_ = start + step;
    }

    const std::uint8_t* body_;
    std::size_t size_;
    TLzo_Chains chains_;
    TLzo_Writer writer_;
    // Run_States ways for each step of a pass.
    std::vector<TLzo_Way> ways_;
    std::array<TLzo_Repeat, Chain_Depth> repeats_;
    std::vector<std::pair<std::size_t, TLzo_Repeat>> matches_;
    // The farthest step that the last pass wrote.
    std::size_t reached_ = 0;
    std::size_t place_ = 0;
    std::size_t run_start_ = 0;
    bool after_match_ = false;
};

} // namespace

void Lzo_Encode_Body(const std::uint8_t* body, std::size_t body_size, std::uint8_t mask,
                     TLzo_Search search, TFlexible_Byte_Array& stream)
{
    if (search == TLzo_Search::Greedy) {
        Encode_Greedy(body, body_size, mask, stream);
    } else {
        TLzo_Parser(body, body_size, mask, stream).Encode();
    }
}

std::size_t Lzo_Encoded_Size_Bound(std::size_t body_size)
{
    // Each match of 4 bytes or more saves a byte or more, which pays the instruction of a run
    // of 4 to 18 literals before it; a longer run costs 2 bytes and one more per 255 literals.
    // So a stream exceeds its body by at most a byte per 19 bytes and one per 255, and the
    // first and the last runs' instructions.
    return body_size + body_size / 16 + 64;
}

} // namespace plotvane
