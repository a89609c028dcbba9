#include "window/peak_editing.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "axes/axes.hpp"
#include "core/arrays.hpp"
#include "engine/driver.hpp"
#include "platform/gdi/cursor.hpp"
#include "platform/gdi/device_context.hpp"
#include "platform/memory.hpp"
#include "platform/ui.hpp"
#include "platform/win/input.hpp"
#include "suite/print/global_resources.hpp"
#include "window/window_state.hpp"

using namespace masscal::platform;

namespace masscal::window {
namespace {

using masscal::core::allocated_data;

std::size_t capacity(const CalArray& a, std::size_t element) { return a.hMem ? mem_size(a.hMem) / element : 0; }

// The point of lParam (dialog client coordinates) in the graph area's.
CalPoint area_point(CalWnd area, std::intptr_t lParam) {
    CalPoint pt{lparam_x(lParam), lparam_y(lParam)};
    ClientToScreen(GetParent(area), &pt);
    ScreenToClient(area, &pt);
    return pt;
}

// Every array that runs parallel to the pairs, with its element size.
struct PairArray {
    CalArray* array;
    std::size_t element;
};

int pair_arrays(CalRecord* rec, PairArray out[12]) {
    CalPeakList& m = rec->MatchPeaks;
    CalPeakList& s = rec->SparePeaks;
    const PairArray all[] = {{&m.Mass, 4},      {&m.Intensity, 4}, {&m.CalMass, 4},   {&m.Flags, 1},
                             {&m.Width, 4},     {&m.Extra, 4},     {&rec->Errors, 4}, {&rec->RootErrors, 4},
                             {&s.Mass, 4},      {&s.Intensity, 4}, {&s.Width, 4},     {&s.Extra, 4}};
    int n = 0;
    for (const PairArray& p : all)
        if (p.array->hMem) out[n++] = p;
    return n;
}

// How many pairs fit: at most 100, and no more than every pair array holds.
int pair_capacity(CalRecord* rec) {
    PairArray arrays[12];
    const int n = pair_arrays(rec, arrays);
    std::size_t cap = CAL_MATCH_CAPACITY;
    for (int i = 0; i < n; ++i) cap = std::min(cap, capacity(*arrays[i].array, arrays[i].element));
    // The pair must be writable in the arrays the fit reads.
    if (!rec->MatchPeaks.Mass.hMem || !rec->MatchPeaks.Intensity.hMem || !rec->Errors.hMem) return 0;
    return static_cast<int>(cap);
}

// Moves the pairs from k on by one place in every pair array: forward over
// pair k (removing it) or back (opening a gap at k).
void shift_pairs(CalRecord* rec, int k, bool remove) {
    const int n = rec->MatchPeaks.nCount;
    PairArray arrays[12];
    const int count = pair_arrays(rec, arrays);
    for (int i = 0; i < count; ++i) {
        auto* base = static_cast<unsigned char*>(arrays[i].array->pData);
        const std::size_t e = arrays[i].element;
        if (remove)
            std::memmove(base + k * e, base + (k + 1) * e, (n - k - 1) * e);
        else
            std::memmove(base + (k + 1) * e, base + k * e, (n - k) * e);
    }
    rec->MatchPeaks.nCount = remove ? n - 1 : n + 1;
}

// Undo keeps a bounded history.
constexpr std::size_t kUndoDepth = 50;

bool take_snapshot(CalRecord* rec, float mass, PairsSnapshot* out) {
    PairArray arrays[12];
    const int n = pair_arrays(rec, arrays);
    const int count = std::clamp(rec->MatchPeaks.nCount, 0, pair_capacity(rec));
    try {
        out->mass = mass;
        out->count = count;
        out->arrays.clear();
        for (int i = 0; i < n; ++i) {
            const auto* base = static_cast<const unsigned char*>(arrays[i].array->pData);
            out->arrays.emplace_back(base, base + static_cast<std::size_t>(count) * arrays[i].element);
        }
    } catch (...) {
        return false;
    }
    return true;
}

bool restore_snapshot(CalRecord* rec, const PairsSnapshot& s) {
    PairArray arrays[12];
    const int n = pair_arrays(rec, arrays);
    if (n != static_cast<int>(s.arrays.size()) || s.count > pair_capacity(rec)) return false;
    for (int i = 0; i < n; ++i)
        if (!s.arrays[static_cast<std::size_t>(i)].empty())
            std::memcpy(arrays[i].array->pData, s.arrays[static_cast<std::size_t>(i)].data(),
                        s.arrays[static_cast<std::size_t>(i)].size());
    rec->MatchPeaks.nCount = s.count;
    return true;
}

bool is_paired(CalRecord* rec, float m) {
    int k = -1, insert = -1;
    return find_nearest(allocated_data<const float>(rec->MatchPeaks.Mass), nullptr, rec->MatchPeaks.nCount, m, &k,
                        &insert) &&
           std::fabs(allocated_data<const float>(rec->MatchPeaks.Mass)[k] - m) < 0.00001f;
}

void refit(CalWnd dlg, CalRecord* rec, GraphLayout* layout) {
    CalRunCalibration(dlg, rec, 0);
    CalUpdateGraphRanges(rec, layout);
    InvalidateRect(dlg, nullptr, true);
}

// Where the spectrum shows data peak m: at its calibrated mass while the
// display is calibrated.
float shown_mass(const CalRecord* rec, float m) {
    const CalPeakList& d = rec->DataPeaks;
    const float* raw = allocated_data<const float>(d.Mass);
    const float* cal = allocated_data<const float>(d.CalMass);
    if (!rec->Params.CalibrateDisplay || !raw || !cal || d.nCount < 1) return m;
    int best = 0;
    for (int i = 1; i < d.nCount; ++i)
        if (std::fabs(raw[i] - m) < std::fabs(raw[best] - m)) best = i;
    return cal[best];
}

// A dashed line across the plot at mass, with a word beside it a third of
// the way down, clear of the peak labels along the top.
void mark(CalDC dc, AxsHandle axes, float mass, Colour colour, const char* word) {
    CalRect plot{};
    if (!axes || !AxsGetArea(axes, 0, &plot, 0)) return;
    const int x = AxsXToPixel(axes, mass);
    if (x < plot.left || x >= plot.right) return;
    dc->select_pen(Pen{colour, 1, PenStyle::dash});
    dc->move_to(x, plot.top);
    dc->line_to(x, plot.bottom);
    dc->set_text_colour(colour);
    const TextSize t = dc->text_extent(word);
    const int tx = x + 3 + t.cx <= plot.right ? x + 3 : x - 3 - t.cx;
    dc->text_out(tx, plot.top + (plot.bottom - plot.top) / 3, word);
}

void remove_pair(CalRecord* rec, int k) { shift_pairs(rec, k, true); }
void insert_gap(CalRecord* rec, int k) { shift_pairs(rec, k, false); }

template <class T>
void put(const CalArray& a, int k, T v) {
    if (T* p = allocated_data<T>(a)) p[k] = v;
}

void write_pair(CalRecord* rec, int k, float m, float intensity, float r, float e, float q) {
    const float root = static_cast<float>(std::sqrt(static_cast<double>(m)));
    put(rec->MatchPeaks.Mass, k, m);
    put(rec->MatchPeaks.Intensity, k, intensity);
    put(rec->MatchPeaks.CalMass, k, m);
    // A peak the user chose is not one of the excluded ones.
    put<std::uint8_t>(rec->MatchPeaks.Flags, k, 0);
    put(rec->Errors, k, m - r);
    put(rec->RootErrors, k, static_cast<float>(std::sqrt(static_cast<double>(m)) - std::sqrt(static_cast<double>(r))));
    put(rec->MatchPeaks.Width, k, e);
    put(rec->MatchPeaks.Extra, k, q);
    put(rec->SparePeaks.Mass, k, root);
    put(rec->SparePeaks.Intensity, k, intensity);
    put(rec->SparePeaks.Width, k, static_cast<float>(e / (2.0 * root)));
    put(rec->SparePeaks.Extra, k, q);
}

}  // namespace

bool find_nearest(const float* a, const float* b, int n, float t, int* nearest, int* insert) {
    *nearest = -1;
    *insert = -1;
    if (n < 1 || !a) return false;
    auto value = [&](int i) { return b ? a[i] - b[i] : a[i]; };
    float best = value(0);
    for (int i = 0; i < n; ++i) {
        const float v = value(i);
        if (v - t < best) {
            best = std::fabs(v - t);
            *nearest = i;
        }
        if (v > t) {
            *insert = i;
            break;
        }
    }
    return best < 0.0625f;
}

int zoom_handler(CalWnd area, GraphLayout* layout, CalRecord* rec, std::uint32_t msg, std::intptr_t lParam) {
    const CalPoint pt = area_point(area, lParam);
    WindowState& st = state();
    switch (msg) {
        case kMsgLButtonDown: {
            st.zoom_graph = nullptr;
            for (AxsHandle axes : layout->hAxes)
                if (axes && AxsSelectAxis(axes, pt.x, pt.y, 0) >= 0) {
                    st.zoom_graph = axes;
                    break;
                }
            if (!st.zoom_graph || !RubberBandInit(area, st.zoom_graph, 10, 10, pt.x, pt.y)) return 0;
            SetCursor(Cursor::size_we);
            SetCapture(GetParent(area));
            return 1;
        }
        case kMsgMouseMove: return RubberBandMove(pt.x, pt.y, 0) ? 1 : 0;
        case kMsgLButtonUp: {
            CalRect band{};
            const std::uint16_t code = RubberBandEnd(&band);
            if (code == 0) return 0;
            ReleaseCapture();
            SetCursor(Cursor::arrow);
            if (code != 3 || !st.zoom_graph) return 1;
            const int axis = AxsSelectAxis(st.zoom_graph, band.left, band.bottom, 0);
            layout->fMassLow = std::floor(AxsGetValue(st.zoom_graph, axis, band.left, 0, 1));
            layout->fMassHigh = std::ceil(AxsGetValue(st.zoom_graph, axis, band.right, 0, 1));
            CalUpdateGraphRanges(rec, layout);
            SendMessage(GetParent(area), kMsgPaint, 0, 0);
            return 1;
        }
        default: return 0;
    }
}

PeakHit hit_test(CalWnd area, const CalRecord* rec, const GraphLayout* layout, std::intptr_t lParam) {
    PeakHit hit;
    const CalPoint pt = area_point(area, lParam);
    AxsHandle spectrum = layout->hAxes[CAL_GRAPH_SPECTRUM];
    const float mass = AxsGetValue(spectrum, 0, pt.x, 0, 1);
    float value = AxsGetValue(spectrum, 0, pt.y, 1, 1);
    const bool calibrated = rec->Params.CalibrateDisplay != 0;
    AxsSeries series;
    AxsHandle axes = spectrum;
    if (value > 0) {
        const CalPeakList& d = rec->DataPeaks;
        series.nCount = d.nCount;
        series.pX = allocated_data<const float>(calibrated ? d.CalMass : d.Mass);
        series.pY = allocated_data<const float>(d.Intensity);
        hit.which = 0;
    } else if (!rec->bExternalFunction) {
        // Outside the spectrum graph of a quadrupole window: a pick of mass 0.
        hit.found = true;
        return hit;
    } else {
        axes = layout->hAxes[CAL_GRAPH_REFERENCE];
        value = AxsGetValue(axes, 0, pt.y, 1, 1);
        series.nCount = rec->RefPeaks.nCount;
        series.pX = allocated_data<const float>(rec->RefPeaks.Mass);
        series.pY = allocated_data<const float>(rec->RefPeaks.Intensity);
        hit.which = 1;
    }
    series.fValue = value;
    float foundMass = 0.0f, foundIntensity = 0.0f;
    const int index = AxsSearch(axes, &series, mass, 1, &foundMass, &foundIntensity);
    if (index < 0) return hit;
    hit.found = true;
    hit.mass = foundMass;
    hit.intensity = foundIntensity;
    if (hit.which != 0) return hit;
    const CalPeakList& d = rec->DataPeaks;
    if (const auto* flags = allocated_data<const std::uint8_t>(d.Flags)) hit.excluded = (flags[index] & CAL_PEAK_LEFT_OUT) != 0;
    if (const auto* width = allocated_data<const float>(d.Width)) hit.mass_error = width[index];
    if (const auto* extra = allocated_data<const float>(d.Extra)) hit.second = extra[index];
    if (calibrated) {
        const float* cal = allocated_data<const float>(d.CalMass);
        const float* raw = allocated_data<const float>(d.Mass);
        const float* in = allocated_data<const float>(d.Intensity);
        if (cal && raw && in) {
            int best = 0;
            for (int i = 1; i < d.nCount; ++i)
                if (std::fabs(cal[i] - foundMass) < std::fabs(cal[best] - foundMass)) best = i;
            hit.mass = raw[best];
            hit.intensity = in[best];
        }
    }
    return hit;
}

void manual_assignment(CalRecord* rec, float m, float intensity, float pending, float e, float q) {
    const bool tof = rec->bExternalFunction != 0;
    int nearest = -1, insert = -1;
    find_nearest(allocated_data<const float>(rec->RefPeaks.Mass), nullptr, rec->RefPeaks.nCount, tof ? pending : m, &nearest,
                 &insert);
    if (nearest < 0) return;
    const float r = allocated_data<const float>(rec->RefPeaks.Mass)[nearest];
    const int cap = pair_capacity(rec);
    if (cap <= 0) return;
    rec->MatchPeaks.nCount = std::clamp(rec->MatchPeaks.nCount, 0, cap);

    float* pairMass = allocated_data<float>(rec->MatchPeaks.Mass);
    float* errors = allocated_data<float>(rec->Errors);
    int k = -1;
    if (find_nearest(pairMass, nullptr, rec->MatchPeaks.nCount, m, &k, &insert)) {
        if (!tof || std::fabs(pending + errors[k] - m) < 0.00001f) {
            remove_pair(rec, k);
            return;
        }
        // Re-assignment to another reference peak: the data peak leaves its
        // old pair, so it never stands in two pairs at once.
        remove_pair(rec, k);
    }
    if (find_nearest(pairMass, errors, rec->MatchPeaks.nCount, r, &k, &insert)) {
        write_pair(rec, k, m, intensity, r, e, q);
        return;
    }
    if (rec->MatchPeaks.nCount >= cap) return;
    if (insert < 0) {
        k = rec->MatchPeaks.nCount++;
    } else {
        insert_gap(rec, insert);
        k = insert;
    }
    write_pair(rec, k, m, intensity, r, e, q);
}

void right_click(CalWnd dlg, CalWnd area, CalRecord* rec, GraphLayout* layout, std::intptr_t lParam) {
    const PeakHit hit = hit_test(area, rec, layout, lParam);
    if (!hit.found) return;
    WindowState& st = state();
    if (hit.which != 0) {
        st.pending = PendingPick{hit.mass, hit.intensity};
        // The pick is shown on the reference graph.
        if (rec->bExternalFunction) InvalidateRect(dlg, nullptr, true);
        return;
    }
    if (hit.excluded) {
        MessageBox(dlg,
                   "A possible mass measurement error has been detected with the peak you are trying to select.  "
                   "This peak has been automatically excluded from the calibration and cannot be selected.",
                   "Calibration", CAL_MB_ICONINFORMATION);
        return;
    }
    // A quadrupole window pairs with the reference peak nearest the click
    // itself, so it needs no pending pick.
    if (rec->bExternalFunction && st.pending.mass < 0) return;
    PairsSnapshot before, after;
    const bool undoable = take_snapshot(rec, hit.mass, &before);
    manual_assignment(rec, hit.mass, hit.intensity, st.pending.mass, hit.mass_error, hit.second);
    if (undoable && take_snapshot(rec, hit.mass, &after) && !(after == before)) {
        try {
            if (st.undo.size() >= kUndoDepth) st.undo.erase(st.undo.begin());
            st.undo.push_back(std::move(before));
        } catch (...) {
        }
    }
    st.last_edit = LastEdit{hit.mass, is_paired(rec, hit.mass)};
    refit(dlg, rec, layout);
}

bool undo_pairing(CalWnd dlg, CalRecord* rec, GraphLayout* layout) {
    WindowState& st = state();
    if (st.undo.empty() || !restore_snapshot(rec, st.undo.back())) return false;
    st.undo.pop_back();
    st.last_edit = st.undo.empty() ? LastEdit{} : LastEdit{st.undo.back().mass, is_paired(rec, st.undo.back().mass)};
    refit(dlg, rec, layout);
    return true;
}

void forget_pairing_edits() {
    state().undo.clear();
    state().last_edit = LastEdit{};
}

void paint_marks(CalWnd area, const CalRecord* rec, const GraphLayout* layout) {
    const WindowState& st = state();
    const bool pending = rec->bExternalFunction && st.pending.mass >= 0;
    if (!pending && st.last_edit.mass < 0) return;
    CalDC dc = GetDC(area);
    if (!dc) return;
    dc->select_font(GetGlobalResources(dc).hTextFont);
    if (pending) mark(dc, layout->hAxes[CAL_GRAPH_REFERENCE], st.pending.mass, rgb(0, 80, 220), "next pair");
    if (st.last_edit.mass >= 0)
        mark(dc, layout->hAxes[CAL_GRAPH_SPECTRUM], shown_mass(rec, st.last_edit.mass), rgb(220, 100, 0),
             st.last_edit.paired ? "paired (Edit > Undo)" : "unpaired (Edit > Undo)");
    ReleaseDC(area, dc);
}

}  // namespace masscal::window
