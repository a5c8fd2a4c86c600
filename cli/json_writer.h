// A small JSON Lines writer: one object per line, keys in the order written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hrv {

class JsonObject {
public:
    JsonObject& Str(std::string_view key, std::string_view value);
    JsonObject& Int(std::string_view key, std::int64_t value);
    JsonObject& Real(std::string_view key, double value); // 17 significant digits
    // The fewest digits that read back to the same double (2.5, 12300.45, 300).
    JsonObject& Shortest(std::string_view key, double value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Real(std::string_view key, const std::optional<double>& value); // null when none
    template <class Range, class Fn>
    JsonObject& Array(std::string_view key, const Range& items, Fn&& format) {
        Key(key);
        text_ += '[';
        bool first = true;
        for (const auto& item : items) {
            if (!first) {
                text_ += ", ";
            }
            first = false;
            text_ += format(item);
        }
        text_ += ']';
        return *this;
    }
    std::string Line() const { return "{" + text_ + "}"; }

    static std::string Quote(std::string_view s);
    static std::string Number(double value);

private:
    void Key(std::string_view key);
    std::string text_;
};

} // namespace hrv
