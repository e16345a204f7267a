#include "cli/Cli_Output.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace plotvane {

namespace put {

char* Printable(char* at, std::string_view text)
{
    // Nearly every name needs no escape: it is copied whole.
    if (!detail::Any_Byte(text, detail::Any_Escaped_In_Text, detail::Escaped_In_Text)) {
        return Text(at, text);
    }
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (!detail::Escaped_In_Text(byte)) {
            *at++ = character;
        } else if (byte == '\\') {
            at = Text(at, "\\\\");
        } else if (byte == '\n') {
            at = Text(at, "\\n");
        } else {
            at = Hexadecimal(Text(at, "\\x"), byte, 2);
        }
    }
    return at;
}

} // namespace put

// The JSON library's own serializer, writing straight into the buffer. The text goes through
// one reused JSON string, so writing a name allocates nothing once that string has grown to
// the longest name.
class TOutput_Buffer::TJson_Escaper {
public:
    explicit TJson_Escaper(TOutput_Buffer& output)
        : serializer_(std::make_shared<TAdapter>(output), ' ',
                      nlohmann::ordered_json::error_handler_t::replace),
          value_(std::string())
    {
    }

    // The text in quotes, escaped.
    void Write(std::string_view text)
    {
        value_.get_ref<std::string&>().assign(text);
        serializer_.dump(value_, false, false, 0);
    }

private:
    class TAdapter : public nlohmann::detail::output_adapter_protocol<char> {
    public:
        explicit TAdapter(TOutput_Buffer& output) : output_(output) {}
        void write_character(char character) override { output_.Character(character); }
        void write_characters(const char* text, std::size_t length) override
        {
            output_.Text({text, length});
        }

    private:
        TOutput_Buffer& output_;
    };

    nlohmann::detail::serializer<nlohmann::ordered_json> serializer_;
    nlohmann::ordered_json value_;
};

TOutput_Buffer::TOutput_Buffer(std::ostream& out)
    : out_(out), storage_(Flush_Size + Flush_Size / 4),
      json_escaper_(std::make_unique<TJson_Escaper>(*this))
{
}

TOutput_Buffer::~TOutput_Buffer() = default;

void TOutput_Buffer::Json_String(std::string_view text)
{
    // A plain text goes out as it is, quoted, exactly as the library would write it; any other
    // goes through the library.
    if (put::Is_Plain_Json(text)) {
        End(put::Plain_Json_String(Begin(text.size() + 2), text));
    } else {
        json_escaper_->Write(text);
    }
}

void TOutput_Buffer::Make_Room(std::size_t count)
{
    Flush();
    // Only a text longer than the whole buffer, such as a huge name, gets here with the buffer
    // empty.
    if (storage_.size() < count) {
        storage_.resize(count);
    }
}

void TOutput_Buffer::Flush()
{
    out_.write(storage_.data(), static_cast<std::streamsize>(used_));
    used_ = 0;
}

std::string Printable_Text(std::string_view text)
{
    std::string shown(put::Printable_Growth * text.size(), '\0');
    shown.resize(static_cast<std::size_t>(put::Printable(shown.data(), text) - shown.data()));
    return shown;
}

std::string Quoted_Names(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "\"" : ", \"") + Printable_Text(name) + "\"";
    }
    return text;
}

std::string Printable_Path(std::string_view path)
{
#ifdef _WIN32
    std::string shown;
    for (std::size_t start = 0;;) {
        const std::size_t separator = path.find('\\', start);
        shown += Printable_Text(path.substr(start, separator - start));
        if (separator == std::string_view::npos) {
            return shown;
        }
        shown += '\\';
        start = separator + 1;
    }
#else
    return Printable_Text(path);
#endif
}

bool Is_Utf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The number of continuation bytes, and the range of the first one, which rules out
        // overlong forms, surrogates and values past U+10FFFF.
        std::size_t continuations = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else {
            return false;
        }
        if (text.size() - i - 1 < continuations) {
            return false;
        }
        for (std::size_t k = 1; k <= continuations; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (byte < (k == 1 ? low : 0x80) || byte > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += 1 + continuations;
    }
    return true;
}

std::string Hexadecimal_Bytes(std::string_view bytes)
{
    constexpr char Digit_Characters[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (const char character : bytes) {
        const auto byte = static_cast<unsigned char>(character);
        text.push_back(Digit_Characters[byte >> 4]);
        text.push_back(Digit_Characters[byte & 0xF]);
    }
    return text;
}

} // namespace plotvane
