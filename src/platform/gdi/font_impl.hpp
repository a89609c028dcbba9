// What a font is inside the drawing layer: its description as pango knows
// it, and an identity for the metric caches of device contexts.
#pragma once

#include <pango/pango.h>

#include <cstdint>

#include "platform/gdi/font.hpp"

namespace masscal::platform {

class Font {
public:
    explicit Font(const LogFont& lf);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const LogFont& log() const { return lf_; }
    const PangoFontDescription* desc() const { return desc_; }
    std::uint64_t id() const { return id_; }
    bool valid() const { return desc_ != nullptr; }

private:
    LogFont lf_;
    PangoFontDescription* desc_ = nullptr;
    std::uint64_t id_ = 0;
};

// The font a context uses before any is selected.
HFont default_font();

}  // namespace masscal::platform
