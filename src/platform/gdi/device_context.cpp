#include "platform/gdi/device_context.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>

#include "platform/gdi/font_impl.hpp"

using namespace masscal::platform;

namespace masscal::platform {

Colour system_window_colour() { return rgb(255, 255, 255); }

}  // namespace masscal::platform

namespace {

// The file a PDF, SVG or PNG surface is written into. Cairo's own file
// output does not report every failed write (a full disk, the file-size
// limit), so the surfaces write through this and its close tells.
// Or the memory a document is made in.
struct FileSink {
    std::FILE* f = nullptr;
    std::string* memory = nullptr;
    bool failed = false;

    explicit FileSink(const char* path) : f(std::fopen(path, "wb")) {}
    explicit FileSink(std::string* out) : memory(out) {}
    ~FileSink() {
        if (f) std::fclose(f);
    }
    bool open() const { return f || memory; }
    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
        auto* s = static_cast<FileSink*>(closure);
        if (s->memory) {
            try {
                s->memory->append(reinterpret_cast<const char*>(data), length);
            } catch (...) {
                s->failed = true;
                return CAIRO_STATUS_NO_MEMORY;
            }
            return CAIRO_STATUS_SUCCESS;
        }
        if (!s->f || std::fwrite(data, 1, length, s->f) != length) {
            s->failed = true;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        return CAIRO_STATUS_SUCCESS;
    }
    bool close() {
        if (memory) return !failed;
        if (!f) return false;
        const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
        const bool closed = std::fclose(f) == 0;
        f = nullptr;
        if (!flushed || !closed) failed = true;
        return !failed;
    }
};

}  // namespace

struct CalDeviceContext::Impl {
    struct State {
        Pen pen;
        HFont font = nullptr;
        Colour text = 0;
        CalPoint origin{0, 0};
    };

    Kind kind = Kind::image;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    PangoContext* pango = nullptr;
    PangoLayout* layout = nullptr;
    std::uint64_t layout_font = 0;
    cairo_matrix_t base{};
    int w = 0;
    int h = 0;
    int dpi = 96;
    bool finished = false;
    State st;
    std::vector<State> stack;
    CalPoint cur{0, 0};
    std::vector<TextRecord>* log = nullptr;
    std::unordered_map<std::uint64_t, TextMetrics> metrics;
    std::unique_ptr<FileSink> sink;  // outlives the surface, which may write as it goes

    ~Impl() {
        if (layout) g_object_unref(layout);
        if (pango) g_object_unref(pango);
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
    }

    bool setup() {
        if (!cr || cairo_status(cr) != CAIRO_STATUS_SUCCESS) return false;
        cairo_get_matrix(cr, &base);
        pango = pango_cairo_create_context(cr);
        if (!pango) return false;
        cairo_font_options_t* opts = cairo_font_options_create();
        cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(pango, opts);
        cairo_font_options_destroy(opts);
        pango_cairo_context_set_resolution(pango, dpi);
        // Unrounded glyph positions: a text is as wide on paper as on screen.
        pango_context_set_round_glyph_positions(pango, FALSE);
        layout = pango_layout_new(pango);
        return layout != nullptr;
    }

    HFont font() const { return st.font ? st.font : default_font(); }

    void use_font() {
        HFont f = font();
        if (layout_font != f->id()) {
            pango_layout_set_font_description(layout, f->desc());
            layout_font = f->id();
        }
    }

    void set_layout_text(const char* text, int len) {
        use_font();
        pango_layout_set_text(layout, text ? text : "", text ? len : 0);
    }

    TextSize layout_size() {
        PangoRectangle logical;
        pango_layout_get_extents(layout, nullptr, &logical);
        return TextSize{PANGO_PIXELS_CEIL(logical.width), PANGO_PIXELS_CEIL(logical.height)};
    }

    void apply_origin() {
        cairo_set_matrix(cr, &base);
        cairo_translate(cr, st.origin.x, st.origin.y);
    }

    void set_source(Colour c) {
        cairo_set_source_rgb(cr, colour_red(c) / 255.0, colour_green(c) / 255.0, colour_blue(c) / 255.0);
    }

    void prepare_stroke() {
        const int width = std::max(1, st.pen.width);
        cairo_set_line_width(cr, width);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        set_source(st.pen.colour);
        if (st.pen.style == PenStyle::solid) {
            cairo_set_dash(cr, nullptr, 0, 0);
        } else {
            const double on = st.pen.style == PenStyle::dash ? 4.0 * width : 1.0 * width;
            const double dashes[2] = {on, 2.0 * width};
            cairo_set_dash(cr, dashes, 2, 0);
        }
    }

    // One line under the pixel rules: a straight line covers the pixels
    // from its start up to, not including, its end.
    void add_line(int x0, int y0, int x1, int y1) {
        const double o = (std::max(1, st.pen.width) % 2) ? 0.5 : 0.0;
        if (x0 == x1) {
            const double a = y1 >= y0 ? y0 : y0 + 1;
            const double b = y1 >= y0 ? y1 : y1 + 1;
            cairo_move_to(cr, x0 + o, a);
            cairo_line_to(cr, x1 + o, b);
        } else if (y0 == y1) {
            const double a = x1 >= x0 ? x0 : x0 + 1;
            const double b = x1 >= x0 ? x1 : x1 + 1;
            cairo_move_to(cr, a, y0 + o);
            cairo_line_to(cr, b, y1 + o);
        } else {
            // From the centre of the first pixel to the centre of the last
            // one covered (one step short of the end), each end stretched by
            // half a pixel along the line.
            const double dx = x1 - x0, dy = y1 - y0;
            const double steps = std::max(std::fabs(dx), std::fabs(dy));
            const double ex = x1 - dx / steps, ey = y1 - dy / steps;
            const double len = std::hypot(dx, dy);
            const double ux = 0.5 * dx / len, uy = 0.5 * dy / len;
            cairo_move_to(cr, x0 + o - ux, y0 + o - uy);
            cairo_line_to(cr, ex + o + ux, ey + o + uy);
        }
    }

    void record(int x, int y, TextSize size, bool vertical, const char* text, int len) {
        if (!log) return;
        TextRecord r;
        r.x = x + st.origin.x;
        r.y = y + st.origin.y;
        r.cx = size.cx;
        r.cy = size.cy;
        r.vertical = vertical;
        r.text.assign(text ? text : "", text ? static_cast<std::size_t>(len) : 0);
        log->push_back(std::move(r));
    }
};

namespace {

std::unique_ptr<CalDeviceContext::Impl> make_impl(CalDeviceContext::Kind kind, cairo_surface_t* surface, int w,
                                                  int h, int dpi) {
    if (!surface) return nullptr;
    std::unique_ptr<CalDeviceContext::Impl> impl(new (std::nothrow) CalDeviceContext::Impl);
    if (!impl) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    impl->kind = kind;
    impl->surface = surface;
    impl->w = w;
    impl->h = h;
    impl->dpi = dpi;
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    impl->cr = cairo_create(surface);
    if (kind == CalDeviceContext::Kind::pdf) cairo_scale(impl->cr, 72.0 / dpi, 72.0 / dpi);
    if (!impl->setup()) return nullptr;
    return impl;
}

}  // namespace

CalDeviceContext::CalDeviceContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CalDeviceContext::~CalDeviceContext() = default;

std::unique_ptr<CalDeviceContext> CalDeviceContext::create_image(int w, int h, int dpi) {
    if (w <= 0 || h <= 0 || dpi <= 0) return nullptr;
    auto impl = make_impl(Kind::image, cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h), w, h, dpi);
    if (!impl) return nullptr;
    std::unique_ptr<CalDeviceContext> dc(new (std::nothrow) CalDeviceContext(std::move(impl)));
    if (dc) dc->fill_rect(CalRect{0, 0, w, h}, system_window_colour());
    return dc;
}

namespace {

std::unique_ptr<CalDeviceContext::Impl> pdf_impl(std::unique_ptr<FileSink> sink, double width_in, double height_in,
                                                 int dpi) {
    if (width_in <= 0 || height_in <= 0 || dpi <= 0 || !sink->open()) return nullptr;
    cairo_surface_t* s =
        cairo_pdf_surface_create_for_stream(FileSink::write, sink.get(), width_in * 72.0, height_in * 72.0);
    auto impl = make_impl(CalDeviceContext::Kind::pdf, s, static_cast<int>(width_in * dpi + 0.5),
                          static_cast<int>(height_in * dpi + 0.5), dpi);
    if (impl) impl->sink = std::move(sink);
    return impl;
}

}  // namespace

std::unique_ptr<CalDeviceContext> CalDeviceContext::create_pdf(const char* path, double width_in, double height_in,
                                                               int dpi) {
    if (!path) return nullptr;
    auto impl = pdf_impl(std::make_unique<FileSink>(path), width_in, height_in, dpi);
    if (!impl) return nullptr;
    return std::unique_ptr<CalDeviceContext>(new (std::nothrow) CalDeviceContext(std::move(impl)));
}

std::unique_ptr<CalDeviceContext> CalDeviceContext::create_pdf_in_memory(std::string* out, double width_in,
                                                                         double height_in, int dpi) {
    if (!out) return nullptr;
    out->clear();
    auto impl = pdf_impl(std::make_unique<FileSink>(out), width_in, height_in, dpi);
    if (!impl) return nullptr;
    return std::unique_ptr<CalDeviceContext>(new (std::nothrow) CalDeviceContext(std::move(impl)));
}

std::unique_ptr<CalDeviceContext> CalDeviceContext::create_svg(const char* path, int w, int h) {
    if (!path || w <= 0 || h <= 0) return nullptr;
    auto sink = std::make_unique<FileSink>(path);
    if (!sink->f) return nullptr;
    cairo_surface_t* s = cairo_svg_surface_create_for_stream(FileSink::write, sink.get(), w, h);
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) cairo_svg_surface_set_document_unit(s, CAIRO_SVG_UNIT_PX);
    auto impl = make_impl(Kind::svg, s, w, h, 96);
    if (!impl) return nullptr;
    impl->sink = std::move(sink);
    std::unique_ptr<CalDeviceContext> dc(new (std::nothrow) CalDeviceContext(std::move(impl)));
    if (dc) dc->fill_rect(CalRect{0, 0, w, h}, system_window_colour());
    return dc;
}

std::unique_ptr<CalDeviceContext> CalDeviceContext::create_view(CalDeviceContext& on) {
    if (on.impl_->kind != Kind::image) return nullptr;
    auto impl = make_impl(Kind::image, cairo_surface_reference(on.impl_->surface), on.impl_->w, on.impl_->h,
                          on.impl_->dpi);
    if (!impl) return nullptr;
    return std::unique_ptr<CalDeviceContext>(new (std::nothrow) CalDeviceContext(std::move(impl)));
}

std::unique_ptr<CalDeviceContext> CalDeviceContext::create_for_cairo(void* cairo_context, int w, int h, int dpi) {
    if (!cairo_context || dpi <= 0) return nullptr;
    auto* cr = static_cast<cairo_t*>(cairo_context);
    std::unique_ptr<Impl> impl(new (std::nothrow) Impl);
    if (!impl) return nullptr;
    impl->kind = Kind::external;
    impl->cr = cairo_reference(cr);
    impl->w = w;
    impl->h = h;
    impl->dpi = dpi;
    if (!impl->setup()) return nullptr;
    return std::unique_ptr<CalDeviceContext>(new (std::nothrow) CalDeviceContext(std::move(impl)));
}

CalDeviceContext::Kind CalDeviceContext::kind() const { return impl_->kind; }
int CalDeviceContext::width() const { return impl_->w; }
int CalDeviceContext::height() const { return impl_->h; }
int CalDeviceContext::dpi_x() const { return impl_->dpi; }
int CalDeviceContext::dpi_y() const { return impl_->dpi; }

bool CalDeviceContext::ok() const {
    if (cairo_status(impl_->cr) != CAIRO_STATUS_SUCCESS) return false;
    return !impl_->surface || cairo_surface_status(impl_->surface) == CAIRO_STATUS_SUCCESS;
}

Pen CalDeviceContext::select_pen(const Pen& pen) {
    Pen old = impl_->st.pen;
    impl_->st.pen = pen;
    return old;
}

const Pen& CalDeviceContext::pen() const { return impl_->st.pen; }

void CalDeviceContext::move_to(int x, int y) { impl_->cur = CalPoint{x, y}; }

void CalDeviceContext::line_to(int x, int y) {
    cairo_new_path(impl_->cr);
    impl_->add_line(impl_->cur.x, impl_->cur.y, x, y);
    impl_->prepare_stroke();
    cairo_stroke(impl_->cr);
    impl_->cur = CalPoint{x, y};
}

void CalDeviceContext::polyline(const CalPoint* pts, int n) {
    if (!pts || n < 2) return;
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    const double o = (std::max(1, impl_->st.pen.width) % 2) ? 0.5 : 0.0;
    cairo_move_to(cr, pts[0].x + o, pts[0].y + o);
    for (int i = 1; i < n; ++i) cairo_line_to(cr, pts[i].x + o, pts[i].y + o);
    impl_->prepare_stroke();
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
    impl_->cur = pts[n - 1];
}

void CalDeviceContext::segments(const CalPoint* pts, int nSegments) {
    if (!pts || nSegments < 1) return;
    cairo_new_path(impl_->cr);
    for (int i = 0; i < nSegments; ++i) impl_->add_line(pts[2 * i].x, pts[2 * i].y, pts[2 * i + 1].x, pts[2 * i + 1].y);
    impl_->prepare_stroke();
    cairo_stroke(impl_->cr);
}

void CalDeviceContext::fill_rect(const CalRect& r, Colour c) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    impl_->set_source(c);
    cairo_fill(cr);
}

void CalDeviceContext::invert_frame(const CalRect& r, int width) {
    if (r.right <= r.left || r.bottom <= r.top || width < 1) return;
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    const int inner_w = r.right - r.left - 2 * width, inner_h = r.bottom - r.top - 2 * width;
    if (inner_w > 0 && inner_h > 0) cairo_rectangle(cr, r.left + width, r.top + width, inner_w, inner_h);
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_fill(cr);
    cairo_restore(cr);
}

void CalDeviceContext::draw_image(CalDeviceContext& src, int x, int y) {
    if (src.impl_->kind != Kind::image || !src.impl_->surface) return;
    cairo_surface_flush(src.impl_->surface);
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_set_source_surface(cr, src.impl_->surface, x, y);
    cairo_paint(cr);
    cairo_restore(cr);
}

HFont CalDeviceContext::select_font(HFont font) {
    HFont old = impl_->st.font ? impl_->st.font : default_font();
    impl_->st.font = font;
    return old;
}

HFont CalDeviceContext::font() const { return impl_->font(); }

Colour CalDeviceContext::set_text_colour(Colour c) {
    Colour old = impl_->st.text;
    impl_->st.text = c;
    return old;
}

void CalDeviceContext::text_out(int x, int y, const char* text, int len) {
    if (!text) return;
    if (len < 0) len = static_cast<int>(std::strlen(text));
    impl_->set_layout_text(text, len);
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    cairo_move_to(cr, x, y);
    impl_->set_source(impl_->st.text);
    pango_cairo_show_layout(cr, impl_->layout);
    impl_->record(x, y, impl_->layout_size(), false, text, len);
}

void CalDeviceContext::text_out_vertical(int x, int y, const char* text) {
    if (!text) return;
    const int len = static_cast<int>(std::strlen(text));
    impl_->set_layout_text(text, len);
    const TextSize size = impl_->layout_size();
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_translate(cr, x, y + size.cx);
    cairo_rotate(cr, -3.14159265358979323846 / 2);
    pango_cairo_update_layout(cr, impl_->layout);
    cairo_move_to(cr, 0, 0);
    impl_->set_source(impl_->st.text);
    pango_cairo_show_layout(cr, impl_->layout);
    cairo_restore(cr);
    pango_cairo_update_layout(cr, impl_->layout);
    impl_->record(x, y, TextSize{size.cy, size.cx}, true, text, len);
}

TextSize CalDeviceContext::text_extent(const char* text, int len) {
    if (!text) return TextSize{};
    if (len < 0) len = static_cast<int>(std::strlen(text));
    impl_->set_layout_text(text, len);
    return impl_->layout_size();
}

TextMetrics CalDeviceContext::text_metrics() {
    HFont f = impl_->font();
    auto it = impl_->metrics.find(f->id());
    if (it != impl_->metrics.end()) return it->second;
    TextMetrics tm;
    // Pango scales the vertical metrics by the context's matrix (a PDF page
    // is drawn scaled to points) although layouts are measured in our units:
    // ask without the matrix so that both are in device units.
    PangoContext* pango = impl_->pango;
    const PangoMatrix* current = pango_context_get_matrix(pango);
    const bool scaled = current != nullptr;
    const PangoMatrix matrix = scaled ? *current : PangoMatrix PANGO_MATRIX_INIT;
    if (scaled) pango_context_set_matrix(pango, nullptr);
    PangoFontMetrics* m = pango_context_get_metrics(pango, f->desc(), nullptr);
    if (scaled) pango_context_set_matrix(pango, &matrix);
    if (m) {
        tm.tmAscent = PANGO_PIXELS(pango_font_metrics_get_ascent(m));
        tm.tmDescent = PANGO_PIXELS(pango_font_metrics_get_descent(m));
        tm.tmHeight = tm.tmAscent + tm.tmDescent;
        tm.tmAveCharWidth = std::max(1, PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(m)));
        tm.tmExternalLeading = std::max(0, PANGO_PIXELS(pango_font_metrics_get_height(m)) - tm.tmHeight);
        pango_font_metrics_unref(m);
    }
    impl_->metrics.emplace(f->id(), tm);
    return tm;
}

void CalDeviceContext::save() {
    impl_->stack.push_back(impl_->st);
    cairo_save(impl_->cr);
}

void CalDeviceContext::restore() {
    if (impl_->stack.empty()) return;
    cairo_restore(impl_->cr);
    impl_->st = impl_->stack.back();
    impl_->stack.pop_back();
}

void CalDeviceContext::intersect_clip(const CalRect& r) {
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    cairo_rectangle(cr, r.left, r.top, std::max(0, r.right - r.left), std::max(0, r.bottom - r.top));
    cairo_clip(cr);
}

void CalDeviceContext::set_origin(int x, int y) {
    impl_->st.origin = CalPoint{x, y};
    impl_->apply_origin();
}

CalPoint CalDeviceContext::origin() const { return impl_->st.origin; }

bool CalDeviceContext::end_page() {
    if (impl_->kind != Kind::pdf || impl_->finished) return false;
    cairo_show_page(impl_->cr);
    return ok();
}

bool CalDeviceContext::finish() {
    bool written = true;
    if (!impl_->finished && impl_->surface) {
        cairo_surface_flush(impl_->surface);
        if (impl_->kind == Kind::pdf || impl_->kind == Kind::svg) cairo_surface_finish(impl_->surface);
        impl_->finished = impl_->kind == Kind::pdf || impl_->kind == Kind::svg;
        if (impl_->finished && impl_->sink) written = impl_->sink->close();
    }
    if (impl_->sink && impl_->sink->failed) written = false;
    return ok() && written;
}

bool CalDeviceContext::write_png(const char* path) {
    if (impl_->kind != Kind::image || !path) return false;
    cairo_surface_flush(impl_->surface);
    FileSink sink(path);
    if (!sink.f) return false;
    const bool drawn = cairo_surface_write_to_png_stream(impl_->surface, FileSink::write, &sink) == CAIRO_STATUS_SUCCESS;
    return sink.close() && drawn;
}

std::uint32_t CalDeviceContext::pixel(int x, int y) {
    if (impl_->kind != Kind::image || x < 0 || y < 0 || x >= impl_->w || y >= impl_->h) return 0xFFFFFFFFu;
    cairo_surface_flush(impl_->surface);
    const unsigned char* data = cairo_image_surface_get_data(impl_->surface);
    const int stride = cairo_image_surface_get_stride(impl_->surface);
    std::uint32_t v;
    std::memcpy(&v, data + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 4, 4);
    return rgb(static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255), static_cast<int>(v & 255));
}

void CalDeviceContext::record_text(std::vector<TextRecord>* log) { impl_->log = log; }

// Fontconfig keeps the font patterns that pango and cairo load for the life
// of the process, so LeakSanitizer would report them at every exit. A binary
// that draws text is linked with this file, which tells it so.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MASSCAL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(MASSCAL_ASAN)
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif
