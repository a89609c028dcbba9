#include "peak_line_rewrite.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cli {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool blank(char c) { return c == ' ' || c == '\t'; }

// The span of the first field as the reader splits it: by commas when the
// line has one, else by tabs, else by spaces; blanks around it excluded.
void first_field(std::string_view line, std::size_t& begin, std::size_t& end) {
    char sep = ' ';
    if (line.find(',') != std::string_view::npos) sep = ',';
    else if (line.find('\t') != std::string_view::npos) sep = '\t';
    begin = 0;
    while (begin < line.size() && blank(line[begin])) ++begin;
    end = line.find(sep, begin);
    if (end == std::string_view::npos) end = line.size();
    while (end > begin && blank(line[end - 1])) --end;
}

}  // namespace

bool rewrite_peak_masses(std::string_view text, const std::function<double(double)>& calibrate, PeakRewrite& out) {
    out = PeakRewrite{};
    out.text.reserve(text.size() + text.size() / 8);
    if (text.substr(0, kBom.size()) == kBom) {
        out.text.append(kBom);
        text.remove_prefix(kBom.size());
    }
    long lineNo = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t lf = text.find('\n', pos);
        const std::size_t next = lf == std::string_view::npos ? text.size() : lf + 1;
        std::size_t body = lf == std::string_view::npos ? text.size() : lf;
        if (body > pos && text[body - 1] == '\r') --body;
        const std::string_view line = text.substr(pos, body - pos);
        const std::string_view eol = text.substr(body, next - body);
        pos = next;
        ++lineNo;
        std::size_t b, e;
        first_field(line, b, e);
        const char c0 = b < line.size() ? line[b] : '#';
        const bool peak = (c0 >= '0' && c0 <= '9') || c0 == '+' || c0 == '-' || c0 == '.';
        if (!peak) {
            out.text.append(line);
            out.text.append(eol);
            continue;
        }
        const std::string field(line.substr(b, e - b));
        const double mass = std::strtod(field.c_str(), nullptr);
        const double calibrated = calibrate(mass);
        if (!std::isfinite(calibrated)) {
            out.error = "line " + std::to_string(lineNo) + ": the calibration gives no finite mass for " + field;
            return false;
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.10g", calibrated);
        out.text.append(line.substr(0, b));
        out.text.append(buf);
        out.text.append(line.substr(e));
        out.text.append(eol);
        ++out.peaks;
    }
    return true;
}

}  // namespace cli
