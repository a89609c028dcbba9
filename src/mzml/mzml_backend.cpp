#include "mzml/mzml_backend.hpp"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <numeric>
#include <utility>
#include <vector>

#include "formats/text_number.hpp"
#include "mzml/binary_array.hpp"
#include "mzml/byte_source.hpp"
#include "mzml/mzml_layout.hpp"
#include "mzml/gzip_text.hpp"
#include "mzml/mzml_terms.hpp"

namespace masscal::dm {
namespace {

// Controlled-vocabulary terms we read.
constexpr const char* kMsLevel = "MS:1000511";
constexpr const char* kMs1Spectrum = "MS:1000579";
constexpr const char* kMsnSpectrum = "MS:1000580";
constexpr const char* kProfile = "MS:1000128";
constexpr const char* kCentroid = "MS:1000127";
constexpr const char* kScanStartTime = "MS:1000016";
constexpr const char* kMinuteUnit = "UO:0000031";
constexpr const char* kSelectedIonMz = "MS:1000744";
constexpr const char* kPositive = "MS:1000130";
constexpr const char* kNegative = "MS:1000129";
constexpr const char* kWindowLower = "MS:1000501";
constexpr const char* kWindowUpper = "MS:1000500";
constexpr const char* kLowestObserved = "MS:1000528";
constexpr const char* kHighestObserved = "MS:1000527";
constexpr const char* kIntensityArray = "MS:1000515";
constexpr const char* kNoCompression = "MS:1000576";
constexpr const char* kTimeOfFlight = "MS:1000084";
constexpr const char* kOrbitrap = "MS:1000484";
constexpr const char* kFtIcr = "MS:1000079";

// Masses from the document's text, kept within what a float holds.
float to_float(double v) { return static_cast<float>(std::clamp(v, -3.4e38, 3.4e38)); }

// Ionisation modes we give mzML polarities (docs/peak-list.md lists them).
constexpr int kIonPositive = 1;
constexpr int kIonNegative = 2;

struct Analyzers {
    bool timeOfFlight = false;
    bool accurateMass = false;
    std::string names;  // the analysers' term names, "+" between them
};

// Analyser types by the short names a listing shows.
constexpr std::pair<const char*, const char*> kAnalyserTypes[] = {
    {"MS:1000084", "TOF"},           {"MS:1000484", "orbitrap"},       {"MS:1000079", "FT-ICR"},
    {"MS:1000081", "quadrupole"},    {"MS:1000082", "quadrupole trap"}, {"MS:1000083", "linear trap"},
    {"MS:1000291", "linear trap"},   {"MS:1000264", "ion trap"},        {"MS:1000080", "magnetic sector"},
    {"MS:1000254", "electrostatic"}, {"MS:1000288", "cyclotron"}};

// Below this median spacing of its m/z values a spectrum is a profile: the
// samples of one peak lie closer than any two centroids of different ions.
constexpr double kProfileSpacing = 0.05;

// The file's own number of a spectrum: the digits after the last '=' of its
// native id ("scan=1011", "controllerType=0 controllerNumber=1 scan=1011").
std::int64_t native_number(const char* id) {
    const char* eq = std::strrchr(id, '=');
    if (!eq || !std::isdigit(static_cast<unsigned char>(eq[1]))) return -1;
    std::int64_t v = 0;
    for (const char* p = eq + 1; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        if (v > (INT64_MAX - 9) / 10) return -1;
        v = v * 10 + (*p - '0');
    }
    return v;
}

// Where a spectrum's arrays lie, and what keeps it from being read; found
// while walking the list, so that reading a scan decodes only its arrays.
struct ArraySlot {
    std::uint64_t begin = 0, end = 0;  // the base64 text in the source
    NumberType type = NumberType::Float64;
    bool zlib = false;
    std::size_t length = 0;
};

struct SpectrumSlot {
    std::string id;
    std::string problem;  // why it cannot be decoded; empty when it can
    ArraySlot mz, intensity;
    bool profile = false;
    bool statesKind = false;
};

struct Function {
    FunctionDescription desc;
    FunctionSummary summary;
    std::vector<std::uint32_t> spectra;  // into the file's slots
    int msLevel = 1;
    bool hasWindow = false;
    double lo = 0, hi = 0;
    bool rangeKnown = false;
    bool allObserved = true;  // every spectrum states its observed range
    double observedLo = 0, observedHi = 0;
};

class MzmlFile final : public RawFile {
public:
    bool load(std::unique_ptr<ByteSource> source, const std::string& name, std::string& error);

    int functionCount() const override { return static_cast<int>(functions_.size()); }
    bool describe(int function, FunctionDescription& out) const override;
    bool summarize(int function, FunctionSummary& out) const override;
    bool readScan(int function, int scan, Spectrum& out, std::string& error) const override;

private:
    // cvParam lookup on an element and the parameter groups it refers to.
    pugi::xml_node find_cv(pugi::xml_node node, const char* accession) const;
    bool has_cv(pugi::xml_node node, const char* accession) const { return static_cast<bool>(find_cv(node, accession)); }
    bool cv_double(pugi::xml_node node, const char* accession, double& out) const {
        pugi::xml_node p = find_cv(node, accession);
        return p && parse_double(p.attribute("value").value(), out);
    }
    bool has_any_cv_prefix(pugi::xml_node node) const;
    Analyzers analyzers_of(pugi::xml_node config) const;
    SpectrumSummary summary_of(pugi::xml_node spectrum) const;
    bool states_kind(pugi::xml_node sp) const { return has_cv(sp, kProfile) || has_cv(sp, kCentroid); }
    // The slot of a parsed spectrum element.
    SpectrumSlot slot_of(pugi::xml_node sp, const ListElement& element) const;
    void add_spectrum(pugi::xml_node sp, const ListElement& element, std::int64_t ordinal,
                      const std::map<std::string, Analyzers>& configs, const Analyzers& firstConfig,
                      const std::string& defaultConfig);
    bool decode(const SpectrumSlot& slot, Spectrum& out, std::string& error) const;

    std::unique_ptr<ByteSource> source_;
    pugi::xml_document frame_;  // the document without its spectra: parameter groups, configurations
    std::string name_;
    ParamGroups groups_;
    std::vector<SpectrumSlot> slots_;
    std::vector<Function> functions_;
    mutable std::mutex rangeMutex_;
};

pugi::xml_node MzmlFile::find_cv(pugi::xml_node node, const char* accession) const {
    return find_cv_param(node, groups_, accession);
}

Analyzers MzmlFile::analyzers_of(pugi::xml_node config) const {
    Analyzers a;
    for (pugi::xml_node an : config.child("componentList").children("analyzer")) {
        if (has_cv(an, kTimeOfFlight)) a.timeOfFlight = true;
        if (has_cv(an, kTimeOfFlight) || has_cv(an, kOrbitrap) || has_cv(an, kFtIcr)) a.accurateMass = true;
        for (const auto& [accession, name] : kAnalyserTypes)
            if (has_cv(an, accession)) a.names += (a.names.empty() ? "" : "+") + std::string(name);
    }
    return a;
}

SpectrumSummary MzmlFile::summary_of(pugi::xml_node sp) const {
    SpectrumSummary s;
    s.nativeId = sp.attribute("id").value();
    s.scanNumber = native_number(s.nativeId.c_str());
    pugi::xml_node scan = sp.child("scanList").child("scan");
    if (pugi::xml_node t = find_cv(scan, kScanStartTime)) {
        double v = 0;
        if (parse_double(t.attribute("value").value(), v))
            s.rtSeconds = std::strcmp(t.attribute("unitAccession").value(), kMinuteUnit) == 0 ? v * 60.0 : v;
    }
    pugi::xml_node ion = sp.child("precursorList").child("precursor").child("selectedIonList").child("selectedIon");
    double mz = 0;
    if (ion && cv_double(ion, kSelectedIonMz, mz)) s.precursorMz = mz;
    return s;
}

SpectrumSlot MzmlFile::slot_of(pugi::xml_node sp, const ListElement& element) const {
    SpectrumSlot slot;
    slot.id = sp.attribute("id").value();
    slot.profile = has_cv(sp, kProfile);
    slot.statesKind = states_kind(sp);
    std::int64_t defaultLength = -1;
    if (pugi::xml_attribute a = sp.attribute("defaultArrayLength")) {
        if (!parse_int64(a.value(), defaultLength) || defaultLength < 0) {
            slot.problem = std::string("bad defaultArrayLength '") + a.value() + "'";
            return slot;
        }
    }
    bool haveMz = false, haveIntensity = false;
    for (pugi::xml_node arr : sp.child("binaryDataArrayList").children("binaryDataArray")) {
        const bool isMz = has_cv(arr, kMzArray);
        const bool isIntensity = has_cv(arr, kIntensityArray);
        if (!isMz && !isIntensity) continue;  // other arrays carry nothing we use
        if ((isMz && haveMz) || (isIntensity && haveIntensity)) {
            slot.problem = std::string("more than one ") + (isMz ? "m/z" : "intensity") + " array";
            return slot;
        }
        std::int64_t length = defaultLength;
        if (pugi::xml_attribute a = arr.attribute("arrayLength")) {
            if (!parse_int64(a.value(), length) || length < 0) {
                slot.problem = std::string("bad arrayLength '") + a.value() + "'";
                return slot;
            }
        }
        if (length < 0) {
            slot.problem = "no array length";
            return slot;
        }
        ArraySlot& target = isMz ? slot.mz : slot.intensity;
        if (has_cv(arr, kFloat64)) target.type = NumberType::Float64;
        else if (has_cv(arr, kFloat32)) target.type = NumberType::Float32;
        else if (has_cv(arr, kInt32)) target.type = NumberType::Int32;
        else if (has_cv(arr, kInt64)) target.type = NumberType::Int64;
        else {
            slot.problem = "the number type of an array is missing or not supported";
            return slot;
        }
        target.zlib = has_cv(arr, kZlib);
        if (!target.zlib && !has_cv(arr, kNoCompression) && has_any_cv_prefix(arr)) {
            slot.problem = "the compression of an array is not supported (only zlib or none)";
            return slot;
        }
        target.length = static_cast<std::size_t>(length);
        // The data's place in the source: the cut made just after the binary's start tag.
        if (pugi::xml_node binary = arr.child("binary")) {
            const std::size_t tagClose = element.skeleton.find('>', static_cast<std::size_t>(binary.offset_debug()));
            for (const ListElement::Cut& c : element.cuts)
                if (tagClose != std::string::npos && c.at == tagClose + 1) target.begin = c.begin, target.end = c.end;
        }
        (isMz ? haveMz : haveIntensity) = true;
    }
    if (!haveMz || !haveIntensity) slot.problem = haveMz ? "no intensity array" : "no m/z array";
    return slot;
}

void MzmlFile::add_spectrum(pugi::xml_node sp, const ListElement& element, std::int64_t ordinal,
                            const std::map<std::string, Analyzers>& configs, const Analyzers& firstConfig,
                            const std::string& defaultConfig) {
    // Only spectra with an m/z axis are mass spectra.
    bool hasMz = false;
    for (pugi::xml_node a : sp.child("binaryDataArrayList").children("binaryDataArray"))
        if (has_cv(a, kMzArray)) hasMz = true;
    if (!hasMz) return;

    int level = 1;
    double lv = 0;
    if (cv_double(sp, kMsLevel, lv) && lv >= 0 && lv <= 1000) level = static_cast<int>(lv);
    else if (has_cv(sp, kMsnSpectrum) && !has_cv(sp, kMs1Spectrum)) level = 2;

    pugi::xml_node scan = sp.child("scanList").child("scan");
    bool window = false;
    double lo = 0, hi = 0;
    for (pugi::xml_node w : scan.child("scanWindowList").children("scanWindow")) {
        double l = 0, h = 0;
        if (!cv_double(w, kWindowLower, l) || !cv_double(w, kWindowUpper, h)) continue;
        if (!window || l < lo) lo = l;
        if (!window || h > hi) hi = h;
        window = true;
    }

    Function* f = nullptr;
    for (Function& g : functions_)
        if (g.msLevel == level && g.hasWindow == window && (!window || (g.lo == lo && g.hi == hi))) f = &g;
    if (!f) {
        functions_.emplace_back();
        f = &functions_.back();
        f->msLevel = level;
        f->hasWindow = window;
        f->lo = lo;
        f->hi = hi;
        FunctionDescription& d = f->desc;
        std::string configRef = scan.attribute("instrumentConfigurationRef").value();
        if (configRef.empty()) configRef = defaultConfig;
        auto it = configs.find(configRef);
        const Analyzers a = it != configs.end() ? it->second : firstConfig;
        d.timeOfFlight = a.timeOfFlight;
        d.accurateMass = a.accurateMass;
        d.continuum = has_cv(sp, kProfile);
        d.ionisationMode = has_cv(sp, kPositive) ? kIonPositive : has_cv(sp, kNegative) ? kIonNegative : 0;
        FunctionSummary& u = f->summary;
        u.msLevel = level;
        u.polarity = d.ionisationMode == kIonPositive ? 1 : d.ionisationMode == kIonNegative ? -1 : 0;
        u.hasWindow = window;
        u.windowLow = lo;
        u.windowHigh = hi;
        u.analyser = a.names;
        if (window) {
            d.massLow = to_float(lo);
            d.massHigh = to_float(hi);
            f->rangeKnown = true;
        }
    }
    if (f->allObserved) {
        double l = 0, h = 0;
        f->allObserved = cv_double(sp, kLowestObserved, l) && cv_double(sp, kHighestObserved, h);
        if (f->spectra.empty() || l < f->observedLo) f->observedLo = l;
        if (f->spectra.empty() || h > f->observedHi) f->observedHi = h;
    }
    f->spectra.push_back(static_cast<std::uint32_t>(slots_.size()));
    slots_.push_back(slot_of(sp, element));
    f->summary.spectra.push_back(summary_of(sp));
    f->summary.spectra.back().fileIndex = ordinal;
    if (slots_.back().statesKind) f->summary.profileStated = true;
}

bool MzmlFile::load(std::unique_ptr<ByteSource> source, const std::string& name, std::string& error) {
    name_ = name;
    source_ = std::move(source);
    const auto malformed = [&](const std::string& why) {
        error = name + ": not a well-formed XML document (" + why + ")";
        return false;
    };
    ListWalker walker(*source_);
    std::string why;
    if (!walker.start(why)) return malformed(why);
    // Everything but the spectra is known before the first spectrum is read,
    // except what follows the list; that part is checked when the walk ends.
    std::string head = walker.frame();
    if (walker.found() && !walker.ended()) {
        head += "</spectrumList></run></mzML>";
        if (head.find("<indexedmzML") != std::string::npos) head += "</indexedmzML>";
    }
    pugi::xml_parse_result res = frame_.load_buffer(head.data(), head.size(), pugi::parse_default);
    if (!res) return malformed(std::string(res.description()) + " at byte " + std::to_string(res.offset));
    pugi::xml_node mzml = frame_.child("mzML");
    if (!mzml) mzml = frame_.child("indexedmzML").child("mzML");
    if (!mzml) {
        error = name + ": not an mzML file (no mzML element)";
        return false;
    }
    for (pugi::xml_node g : mzml.child("referenceableParamGroupList").children("referenceableParamGroup"))
        groups_[g.attribute("id").value()] = g;

    std::map<std::string, Analyzers> configs;
    Analyzers firstConfig;
    bool haveFirst = false;
    for (pugi::xml_node ic : mzml.child("instrumentConfigurationList").children("instrumentConfiguration")) {
        Analyzers a = analyzers_of(ic);
        configs[ic.attribute("id").value()] = a;
        if (!haveFirst) firstConfig = a, haveFirst = true;
    }
    pugi::xml_node run = mzml.child("run");
    if (!run) {
        error = name + ": the mzML file has no run";
        return false;
    }
    const std::string defaultConfig = run.attribute("defaultInstrumentConfigurationRef").value();
    if (walker.found() && !run.child("spectrumList")) return malformed("the spectrum list is not inside the run");

    ListElement element;
    pugi::xml_document spectrum;
    std::string gap;
    for (std::int64_t ordinal = 0;; ++ordinal) {
        const ListWalker::Step step = walker.next(element, false, gap, why);
        if (step == ListWalker::Step::Failed) return malformed(why);
        if (step == ListWalker::Step::End) break;
        res = spectrum.load_buffer(element.skeleton.data(), element.skeleton.size(), pugi::parse_default,
                                           pugi::encoding_utf8);
        if (!res)
            return malformed(std::string(res.description()) + " at byte " +
                             std::to_string(element.begin + element.in_text(static_cast<std::size_t>(res.offset))));
        add_spectrum(spectrum.child("spectrum"), element, ordinal, configs, firstConfig, defaultConfig);
    }
    // What follows the list must close the document as it was opened.
    pugi::xml_document whole;
    res = whole.load_buffer(walker.frame().data(), walker.frame().size(), pugi::parse_default);
    if (!res) return malformed(std::string(res.description()) + " at byte " + std::to_string(walker.tail_begin() + res.offset - walker.head_size()));
    if (functions_.empty()) {
        error = name + ": the mzML file holds no mass spectra";
        return false;
    }
    // A file that does not say whether its data are profiles: the first
    // spectrum of the function tells by the spacing of its m/z values.
    for (Function& f : functions_) {
        if (f.summary.profileStated) continue;
        Spectrum first;
        std::string ignored;
        if (!decode(slots_[f.spectra.front()], first, ignored) || first.mass.size() < 3) continue;
        std::vector<float> gaps;
        for (std::size_t i = 1; i < first.mass.size(); ++i) gaps.push_back(first.mass[i] - first.mass[i - 1]);
        auto mid = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
        std::nth_element(gaps.begin(), mid, gaps.end());
        f.desc.continuum = *mid < kProfileSpacing;
    }
    // Without a scan window the observed range stands in, when every
    // spectrum states it.
    for (Function& f : functions_) {
        f.desc.scanCount = static_cast<int>(f.spectra.size());
        if (!f.rangeKnown && f.allObserved) {
            f.desc.massLow = to_float(f.observedLo);
            f.desc.massHigh = to_float(f.observedHi);
            f.rangeKnown = true;
        }
    }
    return true;
}

bool MzmlFile::describe(int function, FunctionDescription& out) const {
    if (function < 1 || function > functionCount()) return false;
    std::lock_guard lock(rangeMutex_);
    Function& f = const_cast<Function&>(functions_[function - 1]);
    if (!f.rangeKnown) {
        // The range of the data itself; spectra that cannot be decoded are
        // left out here and reported when they are read.
        bool first = true;
        for (std::uint32_t at : f.spectra) {
            Spectrum s;
            std::string ignored;
            if (!decode(slots_[at], s, ignored) || s.mass.empty()) continue;
            if (first || s.mass.front() < f.desc.massLow) f.desc.massLow = s.mass.front();
            if (first || s.mass.back() > f.desc.massHigh) f.desc.massHigh = s.mass.back();
            first = false;
        }
        f.rangeKnown = true;
    }
    out = f.desc;
    return true;
}

bool MzmlFile::summarize(int function, FunctionSummary& out) const {
    if (function < 1 || function > functionCount()) return false;
    out = functions_[static_cast<std::size_t>(function - 1)].summary;
    return true;
}

bool MzmlFile::decode(const SpectrumSlot& slot, Spectrum& out, std::string& error) const {
    const std::string where = "spectrum '" + slot.id + "': ";
    out = Spectrum{};
    if (!slot.problem.empty()) {
        error = where + slot.problem;
        return false;
    }
    // Scans are read on several threads; each keeps its own buffers.
    thread_local std::string text;
    thread_local ArrayCodec codec;
    for (const bool isMz : {true, false}) {
        const ArraySlot& a = isMz ? slot.mz : slot.intensity;
        std::string why;
        if (!source_->read(a.begin, static_cast<std::size_t>(a.end - a.begin), text) || text.size() != a.end - a.begin)
            why = "cannot be read";
        else
            codec.decode(text, a.zlib, a.type, a.length, isMz ? out.mass : out.intensity, why);
        if (!why.empty()) {
            error = where + (isMz ? "m/z array: " : "intensity array: ") + why;
            return false;
        }
    }
    if (out.mass.size() != out.intensity.size()) {
        error = where + "the m/z and intensity arrays differ in length";
        return false;
    }
    for (std::size_t i = 0; i < out.mass.size(); ++i) {
        if (!std::isfinite(out.mass[i]) || out.mass[i] < 0 || !std::isfinite(out.intensity[i])) {
            error = where + "value " + std::to_string(i + 1) + " is not a usable number";
            return false;
        }
    }
    if (!std::is_sorted(out.mass.begin(), out.mass.end())) {
        // Keep pairs together; everything downstream expects ascending mass.
        std::vector<std::size_t> order(out.mass.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return out.mass[a] < out.mass[b]; });
        std::vector<float> m(order.size()), in(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) m[i] = out.mass[order[i]], in[i] = out.intensity[order[i]];
        out.mass.swap(m);
        out.intensity.swap(in);
    }
    out.continuum = slot.profile;
    return true;
}

// True when an array names any compression term other than zlib or none;
// the compression terms of mzML all lie in these accession ranges.
bool MzmlFile::has_any_cv_prefix(pugi::xml_node arr) const {
    for (const char* acc : kOtherCompressionTerms)
        if (has_cv(arr, acc)) return true;
    return false;
}

bool MzmlFile::readScan(int function, int scan, Spectrum& out, std::string& error) const {
    if (function < 1 || function > functionCount()) {
        error = name_ + ": no function " + std::to_string(function);
        return false;
    }
    const Function& f = functions_[function - 1];
    if (scan < 1 || scan > static_cast<int>(f.spectra.size())) {
        error = name_ + ": function " + std::to_string(function) + " has no scan " + std::to_string(scan);
        return false;
    }
    const SpectrumSlot& slot = slots_[f.spectra[scan - 1]];
    std::string why;
    if (!decode(slot, out, why)) {
        error = name_ + ": " + why;
        return false;
    }
    if (!slot.statesKind) out.continuum = f.desc.continuum;
    return true;
}

class MzmlBackend final : public Backend {
public:
    // "gz": an mzML file compressed with gzip (x.mzML.gz).
    std::vector<std::string> extensions() const override { return {"mzml", "gz"}; }
    std::unique_ptr<RawFile> open(const std::string& path, std::string& error) const override {
        std::string why, magic;
        std::unique_ptr<ByteSource> source = file_source(path, why);
        if (!source) {
            error = path + ": cannot be opened: " + why;
            return nullptr;
        }
        if (!source->read(0, 2, magic)) {
            error = path + ": cannot be read";
            return nullptr;
        }
        // A gzip stream cannot be read at an offset; it is inflated whole.
        if (is_gzip(magic)) {
            std::string packed, text;
            if (!source->read(0, static_cast<std::size_t>(source->size()), packed) || packed.size() != source->size()) {
                error = path + ": cannot be read";
                return nullptr;
            }
            if (!gunzip_text(packed, text, why)) {
                error = path + ": " + why;
                return nullptr;
            }
            source = memory_source(std::move(text));
        }
        auto f = std::make_unique<MzmlFile>();
        if (!f->load(std::move(source), path, error)) return nullptr;
        return f;
    }
};

}  // namespace

std::unique_ptr<RawFile> parse_mzml(std::string_view text, const std::string& name, std::string& error) {
    auto f = std::make_unique<MzmlFile>();
    if (!f->load(memory_source(std::string(text)), name, error)) return nullptr;
    return f;
}

std::shared_ptr<const Backend> make_mzml_backend() { return std::make_shared<MzmlBackend>(); }

}  // namespace masscal::dm
