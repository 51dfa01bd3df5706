#include "app/StyleData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vantrel {
namespace {

std::string ReadStyleFile()
{
    std::ifstream file(VANTREL_STYLE_FILE, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// The shipped style with `from` replaced by `to` (which must occur).
std::string Edited(const std::string& from, const std::string& to)
{
    std::string text = ReadStyleFile();
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(StyleData, ShippedStyleParsesCompletely)
{
    const std::string text = ReadStyleFile();
    ASSERT_FALSE(text.empty()) << VANTREL_STYLE_FILE;
    const TStyleParseResult result = ParseStyleData(text);
    ASSERT_TRUE(result.Style) << result.Error;
    const TStyleData& style = *result.Style;
    EXPECT_EQ(style.Name, "Iceberg Classico");
    EXPECT_EQ(style.WindowFace, (TStyleColour{0xE4, 0xEB, 0xF1}));
    EXPECT_EQ(style.WindowText, (TStyleColour{0x1D, 0x2B, 0x38}));
    EXPECT_EQ(style.ButtonBorderDefault, style.Accent);
    EXPECT_EQ(style.EditFace, (TStyleColour{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(style.ButtonRadius, 3);
    // The tick is green: green dominates.
    EXPECT_GT(style.OkGlyph.Green, style.OkGlyph.Red + 64);
    EXPECT_GT(style.OkGlyph.Green, style.OkGlyph.Blue + 64);
    // Text must stay readable on the face and on buttons.
    const auto luminance = [](TStyleColour c) { return 0.2126 * c.Red + 0.7152 * c.Green + 0.0722 * c.Blue; };
    EXPECT_GT(luminance(style.WindowFace) - luminance(style.WindowText), 150);
    EXPECT_GT(luminance(style.ButtonFace) - luminance(style.ButtonText), 150);
}

TEST(StyleData, LineEndingsMarksAndPaddingDoNotMatter)
{
    const std::string plain = ReadStyleFile();
    std::string crlf;
    for (const char c : plain) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::string decorated = "\xEF\xBB\xBF  # leading comment\n\n" + Edited("accent = ", "  accent\t=   ") + std::string(3, '\0');
    const auto reference = ParseStyleData(plain);
    ASSERT_TRUE(reference.Style) << reference.Error;
    for (const std::string& text : {crlf, decorated}) {
        const auto result = ParseStyleData(text);
        ASSERT_TRUE(result.Style) << result.Error;
        EXPECT_EQ(result.Style->Name, reference.Style->Name);
        EXPECT_EQ(result.Style->Accent, reference.Style->Accent);
        EXPECT_EQ(result.Style->OkGlyph, reference.Style->OkGlyph);
    }
    // Hex digits in either case.
    const auto lower = ParseStyleData(Edited("window.face = #E4EBF1", "window.face = #e4ebf1"));
    ASSERT_TRUE(lower.Style) << lower.Error;
    EXPECT_EQ(lower.Style->WindowFace, (TStyleColour{0xE4, 0xEB, 0xF1}));
}

TEST(StyleData, MalformedTextIsRefusedWithTheReason)
{
    const struct {
        std::string from, to, error;
    } cases[] = {
        {"window.face = #E4EBF1", "window.face = #E4EBF", "'window.face' wants a colour #RRGGBB"},
        {"window.face = #E4EBF1", "window.face = #E4EBF12", "wants a colour"},
        {"window.face = #E4EBF1", "window.face = E4EBF1", "wants a colour"},
        {"window.face = #E4EBF1", "window.face = #G4EBF1", "wants a colour"},
        {"window.face = #E4EBF1", "window.face =", "wants a colour"},
        {"accent = #2F6FA8", "accent #2F6FA8", "expected 'key = value'"},
        {"accent = #2F6FA8", "= #2F6FA8", "missing key"},
        {"accent = #2F6FA8", "acent = #2F6FA8", "unknown key 'acent'"},
        {"accent = #2F6FA8", "accent = #2F6FA8\naccent = #000000", "duplicate key 'accent'"},
        {"name = Iceberg Classico", "name =   ", "empty name"},
        {"button.radius = 3", "button.radius = 17", "wants a length from 0 to 16"},
        {"button.radius = 3", "button.radius = -1", "wants a length"},
        {"button.radius = 3", "button.radius = 3px", "wants a length"},
        {"button.radius = 3", "button.radius = 100", "wants a length"},
        {"edit.border = #9AAEC0\n", "", "missing key 'edit.border'"},
        {"glyph.ok = #1E9E3A", "# no tick", "missing key 'glyph.ok'"},
        {"name = Iceberg Classico", "# anonymous", "missing key 'name'"},
        {"edit.text = #1D2B38", std::string("edit.text = #1D2B38\0x", 21), "unexpected NUL"},
    };
    for (const auto& c : cases) {
        const auto result = ParseStyleData(Edited(c.from, c.to));
        EXPECT_FALSE(result.Style) << c.to;
        EXPECT_NE(result.Error.find(c.error), std::string::npos) << c.to << " gave: " << result.Error;
    }
}

TEST(StyleData, ErrorsNameTheLine)
{
    const auto result = ParseStyleData("# style\nname = X\nbogus\n");
    ASSERT_FALSE(result.Style);
    EXPECT_EQ(result.Error, "line 3: expected 'key = value'");
    EXPECT_FALSE(ParseStyleData("").Style);
    EXPECT_FALSE(ParseStyleData(std::string_view("\0\0", 2)).Style);
}

}  // namespace
}  // namespace vantrel
