#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plotvane {

// Gathers a report in one buffer and hands it to the stream in large pieces, so that a listing
// of a million blocks costs a few thousand stream writes rather than millions of small ones.
// The caller calls Item_Done after each item (each block) and Flush at the end; what is still
// in the buffer when it is destroyed is dropped.
class TOutput_Buffer {
public:
    explicit TOutput_Buffer(std::ostream& out);
    ~TOutput_Buffer();
    TOutput_Buffer(const TOutput_Buffer&) = delete;
    TOutput_Buffer& operator=(const TOutput_Buffer&) = delete;

    void Text(std::string_view text)
    {
        if (!text.empty()) {
            std::memcpy(Room(text.size()), text.data(), text.size());
            used_ += text.size();
        }
    }
    void Character(char character)
    {
        *Room(1) = character;
        ++used_;
    }
    template <typename TInteger>
    void Decimal(TInteger value)
    {
        constexpr std::size_t Longest = 24; // a 64-bit value and its sign
        char* const at = Room(Longest);
        used_ += static_cast<std::size_t>(std::to_chars(at, at + Longest, value).ptr - at);
    }
    // Upper-case digits, padded with zeros to `digits`.
    void Hexadecimal(std::uint64_t value, int digits);
    // The text with control bytes escaped (\\, \n, \xHH), so that it stays on one line.
    void Printable(std::string_view text);
    // The text as a JSON string, quotes included, escaped by the JSON library. Bytes that are
    // not UTF-8 show as U+FFFD instead of making the whole report fail.
    void Json_String(std::string_view text);
    void Json_Bool(bool value) { Text(value ? "true" : "false"); }

    // Hands the buffer to the stream once it holds enough to make a write worth it.
    void Item_Done()
    {
        if (used_ >= Flush_Size) {
            Flush();
        }
    }
    void Flush();

private:
    static constexpr std::size_t Flush_Size = std::size_t{64} << 10;

    class TJson_Escaper;

    // Where the next `count` bytes go; the caller adds what it wrote to used_.
    char* Room(std::size_t count)
    {
        if (storage_.size() - used_ < count) {
            Make_Room(count);
        }
        return storage_.data() + used_;
    }
    void Make_Room(std::size_t count);

    std::ostream& out_;
    std::vector<char> storage_;
    std::size_t used_ = 0;
    std::unique_ptr<TJson_Escaper> json_escaper_;
};

// True when the text is well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing past U+10FFFF.
bool Is_Utf8(std::string_view text);

// Each byte as two lower-case hexadecimal digits.
std::string Hexadecimal_Bytes(std::string_view bytes);

} // namespace plotvane
