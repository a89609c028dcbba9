// What a data file format provides to the data manager. A backend is chosen
// by the file reference's extension.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace masscal::dm {

// What the data manager answers about one function of a file.
struct FunctionDescription {
    float massLow = 0.0f;
    float massHigh = 0.0f;
    bool timeOfFlight = false;
    bool external = false;
    bool accurateMass = false;
    std::uint16_t acquisitionWord = 0;  // meaningful when !accurateMass
    bool continuum = false;
    int scanCount = 1;
    int segment = 1;
    std::optional<std::uint16_t> reflectron;
    std::uint32_t typeValue = 0;  // header word for function types 15, 16, 18, 19 (a float's bits)
    int functionType = 0;         // 5 bits
    int ionisationMode = 0;       // 5 bits
    std::uint16_t modeWord = 0;
    std::uint16_t instrumentMode = 0;
    std::uint16_t samplingRate = 0;
    float precursorMass = 0.0f;
    float focusVoltage = 0.0f;
    float sourceVoltage = 0.0f;
    float extractionVoltage = 0.0f;
    bool rootMass = false;        // calibrated on square roots of mass
};

// One spectrum: parallel channels; optional channels may be empty.
struct Spectrum {
    std::vector<float> mass;
    std::vector<float> intensity;
    std::vector<std::uint8_t> flags;
    std::vector<float> width;
    std::vector<std::uint32_t> extra;
    bool continuum = false;
};

// What a scientist knows a spectrum by; unknown values are NaN or -1.
struct SpectrumSummary {
    double rtSeconds = std::numeric_limits<double>::quiet_NaN();
    std::int64_t scanNumber = -1;  // the file's own number (from the native id)
    double precursorMz = std::numeric_limits<double>::quiet_NaN();
    std::int64_t fileIndex = -1;   // position in the file's list of spectra, from 0
    std::string nativeId;          // the spectrum's id in the file; "" when the reader does not give it
};

// A function as a listing shows it: what groups its spectra, and each of them.
struct FunctionSummary {
    int msLevel = 1;
    int polarity = 0;  // 1 positive, -1 negative, 0 not stated
    bool hasWindow = false;
    double windowLow = 0, windowHigh = 0;
    std::string analyser;         // "" when not stated
    bool profileStated = false;   // the file says profile or centroid
    std::vector<SpectrumSummary> spectra;
};

class RawFile {
public:
    virtual ~RawFile() = default;
    virtual int functionCount() const = 0;
    // Without decoding any array (except to infer profile data the file does
    // not describe). The default knows only the number of spectra.
    virtual bool summarize(int function, FunctionSummary& out) const {
        FunctionDescription d;
        if (!describe(function, d)) return false;
        out = FunctionSummary{};
        out.profileStated = true;  // the format itself says which it holds
        out.spectra.resize(static_cast<std::size_t>(d.scanCount > 0 ? d.scanCount : 0));
        for (std::size_t i = 0; i < out.spectra.size(); ++i) out.spectra[i].scanNumber = static_cast<std::int64_t>(i + 1);
        return true;
    }
    // function is 1-based; false when there is no such function.
    virtual bool describe(int function, FunctionDescription& out) const = 0;
    // scan is 1-based within the function; false with a message in error
    // when there is no such scan or its data cannot be decoded. Safe to call
    // from several threads at once.
    virtual bool readScan(int function, int scan, Spectrum& out, std::string& error) const = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Lower-case extensions without the dot, e.g. "txt".
    virtual std::vector<std::string> extensions() const = 0;
    // Opens path; null with a message in error when it cannot be read.
    virtual std::unique_ptr<RawFile> open(const std::string& path, std::string& error) const = 0;
};

// Registers a backend for its extensions (a later one wins). The built-in
// backends (peak list, mzML) are registered before the first look-up.
void register_backend(std::shared_ptr<const Backend> backend);
// The backend for an extension (case-insensitive), or null.
std::shared_ptr<const Backend> backend_for_extension(std::string_view extension);

}  // namespace masscal::dm
