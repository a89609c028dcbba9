// A calibration file read through every reader of CCalFile, and the value
// scanners over the raw bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "calfile/file_kind.hpp"
#include "input_file.hpp"
#include "masscal/calfile.hpp"
#include "suite/fileaccess/profile.hpp"

namespace {

struct Readers : CCalFile {
    using CCalFile::ReadFloat;
    using CCalFile::ReadInt;
    using CCalFile::ReadModeDependantTofParameters;
    using CCalFile::ReadQuad1Parameters;
    using CCalFile::ReadQuad2Parameters;
    using CCalFile::ReadReservoir;
    using CCalFile::ReadString;
    using CCalFile::ReadTimeStamps;
    using CCalFile::ReadTofParameters;
};

void scan(const std::uint8_t* data, std::size_t size) {
    std::string buf(reinterpret_cast<const char*>(data), size);
    const int len = static_cast<int>(buf.size());
    char out[64] = {};
    int pos = 0;
    // Each pass must move on or stop; a scan that stalls is cut short.
    for (int guard = 0; pos < len && guard < 4 * len + 4; ++guard) {
        const int before = pos;
        switch (guard % 3) {
            case 0: Readers::ReadInt(buf.data(), pos, len); break;
            case 1: Readers::ReadFloat(buf.data(), pos, len); break;
            default: Readers::ReadString(out, static_cast<int>(sizeof out) - 1, buf.data(), len, pos); break;
        }
        if (pos < before || pos > len) __builtin_trap();
        if (std::strlen(out) >= sizeof out) __builtin_trap();
        if (pos == before) ++pos;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    scan(data, size);

    const char* path = fuzzing::input_path("fuzz_calfile");
    if (!fuzzing::store_input(path, data, size)) return 0;

    // A file this young is read again at every lookup, as it may still be
    // changed within one tick of the file times; a batch reads it once, so
    // the thousand lookups of one input cost one read.
    CProfileWriteBatch once(path);
    // The format check agrees with the profile reader: a file taken as
    // sections has a positive version or no VERSION section at all.
    if (masscal::calfile::cal_file_kind(path) == masscal::calfile::CalFileKind::Sections &&
        Readers::GetVersion(path) <= 0) {
        char keys[64];
        if (CFileAccess::GetPrivateProfileStringSA("VERSION", nullptr, "", keys, sizeof keys, path) > 0)
            __builtin_trap();
    }
    // The size picks the readers, so that one run stays cheap.
    const int group = static_cast<int>(size % 4);
    // One record for every run: a fresh 100 KB each time is page faults.
    static auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    tagHASCALTYPE types[5] = {tagHASCALTYPE(0), tagHASCALTYPE(1), tagHASCALTYPE(2), tagHASCALTYPE(3),
                              tagHASCALTYPE(-7)};
    _TOFCALIBRATION tof;
    std::memset(&tof, 0, sizeof tof);
    switch (group) {
        case 0:
            Readers::GetVersion(path);
            Readers::ReadQuad1Parameters(path, info.get());
            Readers::ReadQuad2Parameters(path, info.get());
            Readers::ReadTimeStamps(path, info.get());
            Readers::ReadReservoir(path, info.get());
            break;
        case 1:
            Readers::ReadTofParameters(path, info.get());
            Readers::ReadModeDependantTofParameters(path, info.get(), types);
            break;
        case 2:
            Readers::ReadCalibrationFunctions(path, info.get());
            break;
        default:
            Readers::ReadTofParameters(path, &tof);
            Readers::ReadModeDependantTofParameters(path, &tof, tagHASCALTYPE(2));
            break;
    }
    return 0;
}
