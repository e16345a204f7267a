#pragma once

#include "memory/Base_Structure.h"

#include <cstddef>
#include <cstdint>

namespace plotvane {

// Expands an LZO1X stream, decoded as published, into the body of an expanded image.
// `stream` holds `stream_size` masked bytes: the stream without its 3-byte end marker. `image`
// holds the header and room for at least the start of the body from `body_offset` on; it grows
// as the body needs, up to `body_offset + body_size` plus 3 bytes for the end marker, and no
// further. Bytes are copied as stored (stream and image share `mask`). True when the stream
// expands to exactly `body_size` bytes, reading nothing outside the stream and writing nothing
// before the body or past the image; the image is then exactly as long as the end marker needs.
bool Lzo_Decode_Body(const std::uint8_t* stream, std::size_t stream_size, std::uint8_t mask,
                     TFlexible_Byte_Array& image, std::size_t body_offset, std::size_t body_size);

} // namespace plotvane
