// Fonts by logical description, laid out with pango. Sizes are device units
// of the context a font is drawn on, as with Windows fonts: a font made for
// a 96-per-inch screen is small on a 600-per-inch page unless scaled.
#pragma once

#include <cstdint>

namespace masscal::platform {

enum { kFontWeightNormal = 400, kFontWeightBold = 700 };

struct LogFont {
    std::int32_t lfHeight = 0;  // em size in device units (sign ignored); 0 = 13
    std::int32_t lfWidth = 0;   // ignored: glyphs keep their proportions
    std::int32_t lfWeight = kFontWeightNormal;
    std::uint8_t lfItalic = 0;
    char lfFaceName[32] = "DejaVu Sans";
};

class Font;
using HFont = const Font*;

// Null when memory is short.
HFont CreateFontIndirect(const LogFont& lf);
void DeleteFont(HFont font);
// Copies the description the font was made from; false for no font.
bool GetFontDesc(HFont font, LogFont* out);

}  // namespace masscal::platform
