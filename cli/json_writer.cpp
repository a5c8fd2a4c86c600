// A small JSON Lines writer: one object per line, keys in the order written.
#include "cli/json_writer.h"

#include "files/cp1251.h"

#include <array>
#include <charconv>
#include <cmath>

namespace hrv {

std::string JsonObject::Quote(std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t start = i;
        if (!NextUtf8(s, i)) {
            // A byte outside well-formed UTF-8 (a file name in another encoding): byte 0xXY is
            // written as U+EFXY, a private-use character, so the line stays valid UTF-8 and the
            // byte can be told and restored.
            const auto b = static_cast<unsigned char>(s[start]);
            out += "\\uef";
            out += kHex[b >> 4];
            out += kHex[b & 15];
            continue;
        }
        if (i - start > 1) {
            out.append(s.substr(start, i - start));
            continue;
        }
        const char ch = s[start];
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::string JsonObject::Number(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    // Locale-independent, 17 significant digits: reads back to the same double.
    std::array<char, 64> buf{};
    const auto r =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 17);
    return std::string(buf.data(), r.ptr);
}

void JsonObject::Key(std::string_view key) {
    if (!text_.empty()) {
        text_ += ", ";
    }
    text_ += Quote(key);
    text_ += ": ";
}

JsonObject& JsonObject::Str(std::string_view key, std::string_view value) {
    Key(key);
    text_ += Quote(value);
    return *this;
}

JsonObject& JsonObject::Int(std::string_view key, std::int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Real(std::string_view key, double value) {
    Key(key);
    text_ += Number(value);
    return *this;
}

JsonObject& JsonObject::Shortest(std::string_view key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        text_ += "null";
        return *this;
    }
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    text_.append(buf.data(), r.ptr);
    return *this;
}

JsonObject& JsonObject::Real(std::string_view key, const std::optional<double>& value) {
    Key(key);
    text_ += value ? Number(*value) : "null";
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

} // namespace hrv
