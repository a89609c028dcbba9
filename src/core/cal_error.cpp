#include "core/cal_error.hpp"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ui.hpp"

namespace {

thread_local char t_buffer[kCalErrorBufferSize] = "";
std::atomic<int> g_show{1};

const char* shape_of(int order, char* scratch, std::size_t size) {
    switch (order) {
        case 0: return "horizontal line ";
        case 1: return "straight line ";
        case 2: return "quadratic curve ";
        case 3: return "cubic curve ";
        case 4: return "fourth-order curve ";
        case 5: return "fifth-order curve ";
        default: std::snprintf(scratch, size, "%dth order curve ", order); return scratch;
    }
}

std::string compose(int32_t code, const CalRecord* rec) {
    switch (code) {
        case 0: return "No Error";
        case CAL_ERR_BAD_EQUATIONS:
            return "An internal error has occurred. The curve fitting "
                   "algorithm has received a badly-formed set "
                   "of equations.";
        case CAL_ERR_NO_MEMORY:
            return "An internal error has occurred. The calibration "
                   "software requires more memory than is currently "
                   "available. If you have iconised applications, try "
                   "closing them and repeating the calibration.";
        case CAL_ERR_NO_UNIQUE_SOLUTION:
            return "An internal error has occurred. The curve fitting "
                   "algorithm has received a set of equations to which "
                   "no unique solution exists.";
        case CAL_ERR_FILE_ACCESS: return "Unable to access file";
        case CAL_ERR_TOO_MANY_REFERENCES: return "Too many peaks in reference file";
        case CAL_ERR_TOO_FEW_MATCHES: {
            const int order = rec ? rec->Params.PolyOrder : 0;
            char scratch[40];
            std::string s = "To fit a ";
            s += shape_of(order, scratch, sizeof scratch);
            s += "you need to match ";
            // order + 1 in 32-bit arithmetic, as %d prints it (wraps at INT_MAX).
            s += std::to_string(static_cast<int32_t>(static_cast<uint32_t>(order) + 1u));
            s += " peaks in the data with peaks in the reference file.";
            return s;
        }
        case CAL_ERR_NO_MATCH:
            return "Unable to find a suitable match for any of "
                   "the peaks in the reference file. If the reference "
                   "file is suitable for this data, try increasing "
                   "the value of the Initial Error parameter. Or match "
                   "the peaks up manually using the right mouse button. ";
        case CAL_ERR_NO_DATA_PEAKS: {
            std::string s = "No peaks were detected in the data file ";
            if (rec) s.append(rec->DataFile.szName, strnlen(rec->DataFile.szName, sizeof rec->DataFile.szName));
            s += ".";
            return s;
        }
        case CAL_ERR_SINGLE_POINT_ORDER:
            return "For single-point PSD calibration, Polynomial Order must "
                   "be set to 1.";
        case CAL_ERR_SINGLE_POINT_COUNT:
            return "For single-point PSD calibration, exactly one peak must "
                   "match the reference file.";
        case CAL_ERR_SINGLE_POINT_SEGMENT: return "The first segment calibration must contain two points.";
        default: return "Unknown Error no. " + std::to_string(code);
    }
}

}  // namespace

char* masscal::core::error_buffer() { return t_buffer; }

void masscal::core::set_error_text(const char* text) {
    if (!text) text = "";
    const std::size_t n = strnlen(text, kCalErrorBufferSize - 1);
    std::memmove(t_buffer, text, n);
    t_buffer[n] = '\0';
}

bool masscal::core::error_show_enabled() { return g_show.load() != 0; }

void masscal::core::compose_error_text(int32_t code, const CalRecord* rec, char* out, std::size_t size) {
    if (!out || size == 0) return;
    const std::string s = compose(code, rec);
    const std::size_t n = s.size() < size - 1 ? s.size() : size - 1;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

void CalShowError(CalWnd owner, int32_t code, const CalRecord* rec) {
    masscal::core::compose_error_text(code, rec, t_buffer, kCalErrorBufferSize);
    if (masscal::core::error_show_enabled())
        masscal::platform::MessageBox(owner, t_buffer, "Calibrate", CAL_MB_OK | CAL_MB_ICONEXCLAMATION);
}

extern "C" MASSCAL_API const char* GetCalError(void) { return t_buffer; }

extern "C" MASSCAL_API void ClearCalError(void) { t_buffer[0] = '\0'; }

extern "C" MASSCAL_API void ShowCalError(int32_t bShow) { g_show.store(bShow != 0 ? 1 : 0); }
