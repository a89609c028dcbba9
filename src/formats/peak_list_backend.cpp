#include "formats/peak_list_backend.hpp"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <vector>

#include "formats/text_number.hpp"

namespace masscal::dm {
namespace {

enum class Column { Mass, Intensity, Flags, Width, Extra };

struct Layout {
    std::vector<Column> columns;
    bool has(Column c) const { return std::find(columns.begin(), columns.end(), c) != columns.end(); }
};

struct Function {
    FunctionDescription desc;
    std::vector<Spectrum> scans;
    bool rangeGiven = false;
    int scanLines = 0;  // "scan:" lines seen in this function
};

class PeakListFile final : public RawFile {
public:
    explicit PeakListFile(std::vector<Function> f) : functions_(std::move(f)) {}
    int functionCount() const override { return static_cast<int>(functions_.size()); }
    bool describe(int function, FunctionDescription& out) const override {
        if (function < 1 || function > functionCount()) return false;
        out = functions_[function - 1].desc;
        return true;
    }
    bool readScan(int function, int scan, Spectrum& out, std::string& error) const override {
        if (function < 1 || function > functionCount()) {
            error = "no function " + std::to_string(function);
            return false;
        }
        const Function& f = functions_[function - 1];
        if (scan < 1 || scan > static_cast<int>(f.scans.size())) {
            error = "function " + std::to_string(function) + " has no scan " + std::to_string(scan);
            return false;
        }
        out = f.scans[scan - 1];
        return true;
    }

private:
    std::vector<Function> functions_;
};

// 'text' for messages (built by appending: GCC 12 warns falsely on the
// operator+ chain).
std::string quoted(std::string_view v) {
    std::string s;
    s.reserve(v.size() + 2);
    s += '\'';
    s.append(v);
    s += '\'';
    return s;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Lower case, '-' and '_' as blanks, runs of blanks as one.
std::string normal_key(std::string_view s) {
    std::string out;
    for (char c : s) {
        char d = (c == '-' || c == '_' || c == '\t') ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (d == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += d;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::vector<std::string_view> split_fields(std::string_view line) {
    std::vector<std::string_view> out;
    char sep = 0;
    if (line.find(',') != std::string_view::npos) sep = ',';
    else if (line.find('\t') != std::string_view::npos) sep = '\t';
    if (sep) {
        std::size_t start = 0;
        while (true) {
            std::size_t p = line.find(sep, start);
            out.push_back(trim(line.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start)));
            if (p == std::string_view::npos) break;
            start = p + 1;
        }
        return out;
    }
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        std::size_t j = i;
        while (j < line.size() && line[j] != ' ') ++j;
        out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

const char* column_name(Column c) {
    switch (c) {
        case Column::Mass: return "mass";
        case Column::Intensity: return "intensity";
        case Column::Flags: return "flags";
        case Column::Width: return "width";
        case Column::Extra: return "extra";
    }
    return "?";
}

class Parser {
public:
    Parser(const std::string& name, std::string& error) : name_(name), error_(error) {}

    std::unique_ptr<RawFile> run(std::string_view text) {
        if (text.find('\0') != std::string_view::npos) {
            error_ = name_ + ": not a text file (it holds NUL bytes)";
            return nullptr;
        }
        std::size_t pos = 0;
        bool anything = false;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
            pos = end == std::string_view::npos ? text.size() : end + 1;
            ++lineNo_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (lineNo_ == 1 && line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
            line = trim(line);
            if (line.empty()) continue;
            if (line.substr(0, 2) == "##") continue;
            anything = true;
            bool ok = line.front() == '#' ? header(trim(line.substr(1))) : data(line);
            if (!ok) return nullptr;
        }
        if (!anything) {
            error_ = name_ + ": the file holds no peak list";
            return nullptr;
        }
        current();  // a file of header lines alone still has one function
        for (Function& f : functions_) finish(f);
        return std::make_unique<PeakListFile>(std::move(functions_));
    }

private:
    bool fail(const std::string& what) {
        error_ = name_ + ", line " + std::to_string(lineNo_) + ": " + what;
        return false;
    }

    Function& current() {
        if (functions_.empty()) functions_.emplace_back();
        return functions_.back();
    }

    Spectrum& current_scan() {
        Function& f = current();
        if (f.scans.empty()) f.scans.emplace_back();
        return f.scans.back();
    }

    static void finish(Function& f) {
        if (f.scans.empty()) f.scans.emplace_back();
        f.desc.scanCount = static_cast<int>(f.scans.size());
        for (Spectrum& s : f.scans) s.continuum = f.desc.continuum;
        if (!f.rangeGiven) {
            bool first = true;
            for (const Spectrum& s : f.scans) {
                if (s.mass.empty()) continue;
                if (first || s.mass.front() < f.desc.massLow) f.desc.massLow = s.mass.front();
                if (first || s.mass.back() > f.desc.massHigh) f.desc.massHigh = s.mass.back();
                first = false;
            }
        }
    }

    bool yes_no(std::string_view v, bool& out) {
        std::string k = normal_key(v);
        if (k == "yes" || k == "1" || k == "true" || k == "on") out = true;
        else if (k == "no" || k == "0" || k == "false" || k == "off") out = false;
        else return fail(quoted(v) + " is not yes or no");
        return true;
    }

    bool integer(std::string_view v, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
        if (!parse_int64(v, out)) return fail(quoted(v) + " is not a whole number");
        if (out < lo || out > hi)
            return fail(quoted(v) + " is out of range (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
        return true;
    }

    bool real(std::string_view v, float& out) {
        double d = 0.0;
        if (!parse_double(v, d)) return fail(quoted(v) + " is not a number");
        if (std::fabs(d) > FLT_MAX) return fail(quoted(v) + " is out of range");
        out = static_cast<float>(d);
        return true;
    }

    bool set_columns(const std::vector<std::string_view>& names) {
        Layout l;
        for (std::string_view n : names) {
            std::string k = normal_key(n);
            Column c;
            if (k == "mass" || k == "m/z" || k == "mz") c = Column::Mass;
            else if (k == "intensity") c = Column::Intensity;
            else if (k == "flags" || k == "flag") c = Column::Flags;
            else if (k == "width") c = Column::Width;
            else if (k == "extra") c = Column::Extra;
            else return fail("unknown column '" + std::string(n) + "'");
            if (l.has(c)) return fail("column '" + std::string(n) + "' is named twice");
            l.columns.push_back(c);
        }
        if (l.columns.size() < 2 || l.columns[0] != Column::Mass || l.columns[1] != Column::Intensity)
            return fail("the columns must begin with mass and intensity");
        layout_ = l;
        return true;
    }

    bool header(std::string_view body) {
        if (body.empty()) return true;
        std::size_t colon = body.find(':');
        if (colon == std::string_view::npos) return fail("header line '# " + std::string(body) + "' is not 'key: value'");
        const std::string key = normal_key(body.substr(0, colon));
        const std::string_view value = trim(body.substr(colon + 1));
        std::int64_t n = 0;

        if (key == "function") {
            if (!integer(value, 1, 65535, n)) return false;
            const bool continuingImplicit = functionLines_ == 0 && functions_.size() == 1 && n == 1;
            if (!continuingImplicit) {
                if (n != static_cast<std::int64_t>(functions_.size()) + 1)
                    return fail("function " + std::to_string(n) + " where function " +
                                std::to_string(functions_.size() + 1) + " was expected");
                functions_.emplace_back();
            }
            ++functionLines_;
            return true;
        }
        Function& f = current();
        FunctionDescription& d = f.desc;
        if (key == "scan") {
            if (!integer(value, 1, std::numeric_limits<std::int32_t>::max(), n)) return false;
            const bool continuingImplicit = f.scanLines == 0 && f.scans.size() == 1 && n == 1;
            if (!continuingImplicit) {
                if (n != static_cast<std::int64_t>(f.scans.size()) + 1)
                    return fail("scan " + std::to_string(n) + " where scan " + std::to_string(f.scans.size() + 1) +
                                " was expected");
                f.scans.emplace_back();
            }
            ++f.scanLines;
            return true;
        }
        if (key == "columns") {
            std::vector<std::string_view> names = split_fields(value);
            return set_columns(names);
        }
        if (key == "mass range") {
            std::vector<std::string_view> parts = split_fields(value);
            if (parts.size() == 1) {  // "100 - 2000" or "100-2000"
                std::size_t dash = value.find('-', 1);
                if (dash != std::string_view::npos) parts = {trim(value.substr(0, dash)), trim(value.substr(dash + 1))};
            } else if (parts.size() == 3 && parts[1] == "-") {
                parts = {parts[0], parts[2]};
            }
            if (parts.size() != 2) return fail("mass range needs two numbers, low and high");
            float lo = 0, hi = 0;
            if (!real(parts[0], lo) || !real(parts[1], hi)) return false;
            if (lo < 0 || hi < lo) return fail("mass range " + std::string(value) + " is not 0 <= low <= high");
            d.massLow = lo;
            d.massHigh = hi;
            f.rangeGiven = true;
            return true;
        }
        if (key == "time of flight") return yes_no(value, d.timeOfFlight);
        if (key == "external") return yes_no(value, d.external);
        if (key == "accurate mass") return yes_no(value, d.accurateMass);
        if (key == "continuum") return yes_no(value, d.continuum);
        if (key == "root mass calibration") return yes_no(value, d.rootMass);
        if (key == "acquisition word") {
            if (!integer(value, 0, 65535, n)) return false;
            d.acquisitionWord = static_cast<std::uint16_t>(n);
            return true;
        }
        if (key == "segment") {
            if (!integer(value, 0, std::numeric_limits<std::int32_t>::max(), n)) return false;
            d.segment = static_cast<int>(n);
            return true;
        }
        if (key == "reflectron") {
            if (!integer(value, 0, 65535, n)) return false;
            d.reflectron = static_cast<std::uint16_t>(n);
            return true;
        }
        if (key == "type value") {  // a float, kept as its 32-bit pattern
            float v = 0;
            if (!real(value, v)) return false;
            std::memcpy(&d.typeValue, &v, sizeof v);
            return true;
        }
        if (key == "mode word") {
            if (!integer(value, 0, 65535, n)) return false;
            d.modeWord = static_cast<std::uint16_t>(n);
            return true;
        }
        if (key == "function type") {
            if (!integer(value, 0, 31, n)) return false;
            d.functionType = static_cast<int>(n);
            return true;
        }
        if (key == "ionisation mode" || key == "ionization mode") {
            if (!integer(value, 0, 31, n)) return false;
            d.ionisationMode = static_cast<int>(n);
            return true;
        }
        if (key == "instrument mode") {
            if (!integer(value, 0, 65535, n)) return false;
            d.instrumentMode = static_cast<std::uint16_t>(n);
            return true;
        }
        if (key == "sampling rate") {
            if (!integer(value, 0, 65535, n)) return false;
            d.samplingRate = static_cast<std::uint16_t>(n);
            return true;
        }
        if (key == "precursor mass") return real(value, d.precursorMass);
        if (key == "focus voltage") return real(value, d.focusVoltage);
        if (key == "source voltage") return real(value, d.sourceVoltage);
        if (key == "extraction voltage") return real(value, d.extractionVoltage);
        return fail("unknown key '" + std::string(trim(body.substr(0, colon))) + "'");
    }

    bool data(std::string_view line) {
        std::vector<std::string_view> fields = split_fields(line);
        const char c0 = fields.empty() || fields[0].empty() ? '0' : fields[0][0];
        const bool numeric = (c0 >= '0' && c0 <= '9') || c0 == '+' || c0 == '-' || c0 == '.';
        if (!numeric) return set_columns(fields);  // a title line such as "mass,intensity"
        if (layout_.columns.empty()) {
            if (fields.size() < 2) return fail("a peak needs a mass and an intensity");
            if (fields.size() > 5) return fail("too many columns (" + std::to_string(fields.size()) + ", at most 5)");
            static const Column order[] = {Column::Mass, Column::Intensity, Column::Flags, Column::Width, Column::Extra};
            layout_.columns.assign(order, order + fields.size());
        }
        if (fields.size() != layout_.columns.size())
            return fail("expected " + std::to_string(layout_.columns.size()) + " columns, found " +
                        std::to_string(fields.size()));
        Spectrum& s = current_scan();
        // Keep the channels of one scan parallel even when a later layout adds one.
        const std::size_t count = s.mass.size();
        float mass = 0, intensity = 0, width = 0;
        std::uint8_t flags = 0;
        std::uint32_t extra = 0;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            std::string_view v = fields[i];
            const Column c = layout_.columns[i];
            const std::string what = std::string(" (") + column_name(c) + ")";
            if (v.empty()) return fail(std::string("empty field") + what);
            if (c == Column::Flags || c == Column::Extra) {
                std::int64_t n = 0;
                if (!parse_int64(v, n)) return fail(quoted(v) + " is not a whole number" + what);
                if (c == Column::Flags) {
                    if (n < 0 || n > 255) return fail(quoted(v) + " is out of range 0 to 255" + what);
                    flags = static_cast<std::uint8_t>(n);
                } else {
                    if (n < std::numeric_limits<std::int32_t>::min() || n > 4294967295LL)
                        return fail(quoted(v) + " does not fit in 32 bits" + what);
                    extra = static_cast<std::uint32_t>(n);
                }
                continue;
            }
            double d = 0.0;
            if (!parse_double(v, d)) return fail(quoted(v) + " is not a number" + what);
            if (std::fabs(d) > FLT_MAX) return fail(quoted(v) + " is out of range" + what);
            if (c == Column::Mass) {
                if (d < 0) return fail("negative mass " + std::string(v));
                mass = static_cast<float>(d);
                if (count > 0 && mass < s.mass.back())
                    return fail("mass " + std::string(v) + " is below the mass before it (masses must ascend)");
            } else if (c == Column::Intensity) {
                intensity = static_cast<float>(d);
            } else {
                if (d < 0) return fail("negative width " + std::string(v));
                width = static_cast<float>(d);
            }
        }
        auto grow = [count](auto& channel, bool present, auto value) {
            if (!present) {
                if (!channel.empty()) channel.push_back({});
                return;
            }
            if (channel.size() < count) channel.resize(count);
            channel.push_back(value);
        };
        s.mass.push_back(mass);
        s.intensity.push_back(intensity);
        grow(s.flags, layout_.has(Column::Flags), flags);
        grow(s.width, layout_.has(Column::Width), width);
        grow(s.extra, layout_.has(Column::Extra), extra);
        return true;
    }

    const std::string& name_;
    std::string& error_;
    std::vector<Function> functions_;
    Layout layout_;
    int functionLines_ = 0;
    long lineNo_ = 0;
};

class PeakListBackend final : public Backend {
public:
    std::vector<std::string> extensions() const override { return {"txt", "csv", "tsv"}; }
    std::unique_ptr<RawFile> open(const std::string& path, std::string& error) const override {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = path + ": cannot be opened";
            return nullptr;
        }
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            error = path + ": cannot be read";
            return nullptr;
        }
        return parse_peak_list(text, path, error);
    }
};

}  // namespace

std::unique_ptr<RawFile> parse_peak_list(std::string_view text, const std::string& name, std::string& error) {
    Parser p(name, error);
    return p.run(text);
}

std::shared_ptr<const Backend> make_peak_list_backend() { return std::make_shared<PeakListBackend>(); }

}  // namespace masscal::dm
