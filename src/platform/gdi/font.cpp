#include "platform/gdi/font.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/gdi/font_impl.hpp"

namespace masscal::platform {
namespace {

std::atomic<std::uint64_t> g_next_font_id{1};

}  // namespace

Font::Font(const LogFont& lf) : lf_(lf), id_(g_next_font_id.fetch_add(1)) {
    lf_.lfFaceName[sizeof lf_.lfFaceName - 1] = '\0';
    desc_ = pango_font_description_new();
    if (!desc_) return;
    pango_font_description_set_family(desc_, lf_.lfFaceName[0] ? lf_.lfFaceName : "DejaVu Sans");
    const int h = lf_.lfHeight == 0 ? 13 : std::abs(lf_.lfHeight);
    pango_font_description_set_absolute_size(desc_, static_cast<double>(h) * PANGO_SCALE);
    pango_font_description_set_weight(desc_, lf_.lfWeight >= 600 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc_, lf_.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
}

Font::~Font() {
    if (desc_) pango_font_description_free(desc_);
}

HFont CreateFontIndirect(const LogFont& lf) {
    auto* f = new (std::nothrow) Font(lf);
    if (f && !f->valid()) {
        delete f;
        return nullptr;
    }
    return f;
}

void DeleteFont(HFont font) { delete font; }

bool GetFontDesc(HFont font, LogFont* out) {
    if (!font || !out) return false;
    *out = font->log();
    return true;
}

HFont default_font() {
    static const Font font{LogFont{}};
    return &font;
}

}  // namespace masscal::platform
