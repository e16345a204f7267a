#pragma once

#include "memory/Base_Structure.h"

#include <cstddef>
#include <cstdint>

namespace plotvane {

// How hard the encoder looks for repeats.
enum class TLzo_Search {
    // At each place, the one earlier place that a hash of the next four bytes remembers, taken
    // at once when it repeats them: the speed of LZO1X-1, and about its size.
    Greedy,
    // Every repeat that chains of earlier places offer, and the cheapest way through them in
    // stream bytes (optimal parsing): slower, and about the size of LZO1X-999.
    Best,
};

// Appends to `stream` an LZO1X stream, in the published encoding, of the `body_size` masked
// bytes at `body`, without the end-of-stream instruction, which the caller adds. Literals are
// copied as stored and instruction bytes are written masked, so `stream` holds masked bytes
// too; the stream does not depend on the mask. Matches reach up to 49151 bytes back, as far as
// the format allows, and are of any length; `stream` grows to exactly the bytes written, at
// most Lzo_Encoded_Size_Bound(body_size).
void Lzo_Encode_Body(const std::uint8_t* body, std::size_t body_size, std::uint8_t mask,
                     TLzo_Search search, TFlexible_Byte_Array& stream);

// The most bytes Lzo_Encode_Body appends for a body of `body_size` bytes.
std::size_t Lzo_Encoded_Size_Bound(std::size_t body_size);

} // namespace plotvane
