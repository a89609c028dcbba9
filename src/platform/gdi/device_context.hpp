// A device context over a cairo surface: an image (PNG), a PDF document, an
// SVG picture, or a cairo context that a toolkit hands us. Coordinates are
// device units (pixels on screen, 1/dpi inch on paper) with Windows pixel
// rules: rectangles exclude their right and bottom edge, a line excludes its
// end point, a one-unit line covers exactly the pixels it passes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "masscal/graphs.h"
#include "platform/gdi/font.hpp"

namespace masscal::platform {

// Colours as three 8-bit components, red in the lowest byte.
using Colour = std::uint32_t;
constexpr Colour rgb(int r, int g, int b) {
    return static_cast<Colour>((r & 255) | ((g & 255) << 8) | ((b & 255) << 16));
}
constexpr int colour_red(Colour c) { return static_cast<int>(c & 255); }
constexpr int colour_green(Colour c) { return static_cast<int>((c >> 8) & 255); }
constexpr int colour_blue(Colour c) { return static_cast<int>((c >> 16) & 255); }

// The background colour of windows and pages.
Colour system_window_colour();

enum class PenStyle { solid, dash, dot };

struct Pen {
    Colour colour = 0;
    int width = 1;  // device units; 0 counts as 1
    PenStyle style = PenStyle::solid;
};

struct TextMetrics {
    int tmHeight = 0;  // ascent + descent
    int tmAscent = 0;
    int tmDescent = 0;
    int tmAveCharWidth = 0;
    int tmExternalLeading = 0;
};

struct TextSize {
    int cx = 0;
    int cy = 0;
};

// One text drawn, as a test or a caller may want to see it: position in
// device units (origin applied), the text, and its extent.
struct TextRecord {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    bool vertical = false;
    std::string text;
};

}  // namespace masscal::platform

struct CalDeviceContext {
public:
    enum class Kind { image, pdf, svg, external };

    // An RGB image, white, of w x h pixels at dpi pixels per inch. Null when
    // the size is not positive or memory is short.
    static std::unique_ptr<CalDeviceContext> create_image(int w, int h, int dpi = 96);
    // A PDF document of pages width x height inches; device units are 1/dpi
    // inch. Null when the file cannot be created.
    static std::unique_ptr<CalDeviceContext> create_pdf(const char* path, double width_in, double height_in,
                                                        int dpi = 600);
    // The same made in memory: out holds the document once finish() succeeded.
    static std::unique_ptr<CalDeviceContext> create_pdf_in_memory(std::string* out, double width_in,
                                                                  double height_in, int dpi = 600);
    // An SVG picture of w x h pixels (96 per inch).
    static std::unique_ptr<CalDeviceContext> create_svg(const char* path, int w, int h);
    // A second context drawing on the same image as on (null for other
    // kinds); its state starts fresh.
    static std::unique_ptr<CalDeviceContext> create_view(CalDeviceContext& on);
    // Over a cairo context (cairo_t*) owned by the caller, w x h device units.
    static std::unique_ptr<CalDeviceContext> create_for_cairo(void* cairo_context, int w, int h, int dpi = 96);

    ~CalDeviceContext();
    CalDeviceContext(const CalDeviceContext&) = delete;
    CalDeviceContext& operator=(const CalDeviceContext&) = delete;

    Kind kind() const;
    int width() const;
    int height() const;
    int dpi_x() const;
    int dpi_y() const;
    // False once the surface reported an error (for example a full disk).
    bool ok() const;

    masscal::platform::Pen select_pen(const masscal::platform::Pen& pen);
    const masscal::platform::Pen& pen() const;
    void move_to(int x, int y);
    void line_to(int x, int y);
    void polyline(const CalPoint* pts, int n);
    // Separate segments pts[2i] -> pts[2i+1], stroked at once with the pen.
    void segments(const CalPoint* pts, int nSegments);
    void fill_rect(const CalRect& r, masscal::platform::Colour c);
    // Inverts the colours of a band width units wide inside r's edges; the
    // same call again restores them (a rubber band drawn over a picture).
    void invert_frame(const CalRect& r, int width = 1);
    // Copies the whole of an image context with its top-left at (x, y).
    void draw_image(CalDeviceContext& src, int x, int y);

    masscal::platform::HFont select_font(masscal::platform::HFont font);
    masscal::platform::HFont font() const;
    masscal::platform::Colour set_text_colour(masscal::platform::Colour c);
    // Text with its top-left corner at (x, y); "\n" and "\r\n" break lines.
    void text_out(int x, int y, const char* text, int len = -1);
    // Text turned a quarter left (reading upwards); (x, y) is the top-left
    // corner of the turned box.
    void text_out_vertical(int x, int y, const char* text);
    masscal::platform::TextSize text_extent(const char* text, int len = -1);
    masscal::platform::TextMetrics text_metrics();

    // The drawing state (pen, font, text colour, origin, clip) as a stack.
    void save();
    void restore();
    void intersect_clip(const CalRect& r);
    // Where device point (0, 0) of the drawing calls lands.
    void set_origin(int x, int y);
    CalPoint origin() const;

    // Ends the current page of a PDF (the next drawing starts a new one).
    bool end_page();
    // Completes the document; false when it could not be written.
    bool finish();
    bool write_png(const char* path);
    // The colour of an image pixel (device coordinates, origin ignored);
    // 0xFFFFFFFF outside or for other kinds.
    std::uint32_t pixel(int x, int y);

    // Every text drawn from now on is appended to log (null stops).
    void record_text(std::vector<masscal::platform::TextRecord>* log);

    struct Impl;

private:
    explicit CalDeviceContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
