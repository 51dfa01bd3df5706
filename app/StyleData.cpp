#include "app/StyleData.h"

#include <array>
#include <set>

namespace vantrel {
namespace {

struct ColourKey {
    std::string_view key;
    TStyleColour TStyleData::*member;
};

constexpr std::array<ColourKey, 16> kColourKeys{{
    {"window.face", &TStyleData::WindowFace},
    {"window.text", &TStyleData::WindowText},
    {"accent", &TStyleData::Accent},
    {"edit.face", &TStyleData::EditFace},
    {"edit.text", &TStyleData::EditText},
    {"edit.border", &TStyleData::EditBorder},
    {"button.face", &TStyleData::ButtonFace},
    {"button.face.hot", &TStyleData::ButtonFaceHot},
    {"button.face.pressed", &TStyleData::ButtonFacePressed},
    {"button.face.disabled", &TStyleData::ButtonFaceDisabled},
    {"button.border", &TStyleData::ButtonBorder},
    {"button.border.default", &TStyleData::ButtonBorderDefault},
    {"button.border.disabled", &TStyleData::ButtonBorderDisabled},
    {"button.text", &TStyleData::ButtonText},
    {"button.text.disabled", &TStyleData::ButtonTextDisabled},
    {"button.focus", &TStyleData::ButtonFocus},
}};
constexpr std::string_view kOkGlyphKey = "glyph.ok";
constexpr std::string_view kNameKey = "name";
constexpr std::string_view kRadiusKey = "button.radius";
constexpr int kMaxRadius = 16;

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<TStyleColour> ParseColour(std::string_view value)
{
    if (value.size() != 7 || value[0] != '#') return std::nullopt;
    std::uint8_t channels[3];
    for (int i = 0; i < 3; ++i) {
        const int high = HexDigit(value[1 + 2 * i]);
        const int low = HexDigit(value[2 + 2 * i]);
        if (high < 0 || low < 0) return std::nullopt;
        channels[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return TStyleColour{channels[0], channels[1], channels[2]};
}

std::optional<int> ParseLength(std::string_view value)
{
    if (value.empty() || value.size() > 2) return std::nullopt;
    int number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number > kMaxRadius) return std::nullopt;
    return number;
}

TStyleParseResult Refuse(int line, const std::string& why)
{
    return {std::nullopt, line > 0 ? "line " + std::to_string(line) + ": " + why : why};
}

}  // namespace

TStyleParseResult ParseStyleData(std::string_view text)
{
    // Resource data may carry a byte-order mark and trailing padding.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);

    TStyleData style;
    std::set<std::string, std::less<>> seen;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        const std::string_view rawLine = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (rawLine.find('\0') != std::string_view::npos) return Refuse(lineNumber, "unexpected NUL character");
        const std::string_view line = Trim(rawLine);
        if (line.empty() || line.front() == '#') continue;

        const auto equals = line.find('=');
        if (equals == std::string_view::npos) return Refuse(lineNumber, "expected 'key = value'");
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key.empty()) return Refuse(lineNumber, "missing key");
        if (!seen.insert(std::string(key)).second) return Refuse(lineNumber, "duplicate key '" + std::string(key) + "'");

        if (key == kNameKey) {
            if (value.empty()) return Refuse(lineNumber, "empty name");
            style.Name = std::string(value);
            continue;
        }
        if (key == kRadiusKey) {
            const auto length = ParseLength(value);
            if (!length) return Refuse(lineNumber, "'" + std::string(key) + "' wants a length from 0 to 16");
            style.ButtonRadius = *length;
            continue;
        }
        TStyleColour* target = nullptr;
        if (key == kOkGlyphKey) target = &style.OkGlyph;
        for (const auto& entry : kColourKeys) {
            if (key == entry.key) target = &(style.*entry.member);
        }
        if (!target) return Refuse(lineNumber, "unknown key '" + std::string(key) + "'");
        const auto colour = ParseColour(value);
        if (!colour) return Refuse(lineNumber, "'" + std::string(key) + "' wants a colour #RRGGBB");
        *target = *colour;
    }

    const auto require = [&seen](std::string_view key) { return seen.count(key) != 0; };
    for (const std::string_view key : {kNameKey, kRadiusKey, kOkGlyphKey}) {
        if (!require(key)) return Refuse(0, "missing key '" + std::string(key) + "'");
    }
    for (const auto& entry : kColourKeys) {
        if (!require(entry.key)) return Refuse(0, "missing key '" + std::string(entry.key) + "'");
    }
    return {std::move(style), {}};
}

}  // namespace vantrel
