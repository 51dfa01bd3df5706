#pragma once
// The data of a visual style: its name, its colours and a few lengths, read from the small
// text format the program carries among its resources:
//
//     # comment
//     name = Iceberg Classico
//     window.face = #E4EBF1
//     button.radius = 3
//
// Every key must be present exactly once, so a style that forgets a colour is refused as a
// whole rather than drawn half in the standard look.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

struct TStyleColour {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    friend bool operator==(const TStyleColour&, const TStyleColour&) = default;
};

struct TStyleData {
    std::string Name;

    TStyleColour WindowFace;  // background of every form
    TStyleColour WindowText;  // labels
    TStyleColour Accent;

    TStyleColour EditFace;  // edit boxes and lists
    TStyleColour EditText;
    TStyleColour EditBorder;

    TStyleColour ButtonFace;
    TStyleColour ButtonFaceHot;  // under the mouse
    TStyleColour ButtonFacePressed;
    TStyleColour ButtonFaceDisabled;
    TStyleColour ButtonBorder;
    TStyleColour ButtonBorderDefault;  // the button Enter presses
    TStyleColour ButtonBorderDisabled;
    TStyleColour ButtonText;
    TStyleColour ButtonTextDisabled;
    TStyleColour ButtonFocus;
    int ButtonRadius = 0;  // 96-DPI pixels

    TStyleColour OkGlyph;  // the tick of OK buttons
};

struct TStyleParseResult {
    std::optional<TStyleData> Style;
    std::string Error;  // why the text was refused, with its line number; empty on success
};

TStyleParseResult ParseStyleData(std::string_view text);

}  // namespace vantrel
