// Byte offsets of the data manager's records that the library reads and
// writes. Everything else in these records belongs to the data manager.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "suite/utility/packed_fields.hpp"

namespace masscal::dm {

// Data identifier (544 bytes).
constexpr std::size_t kIdentifierSize = 544;
constexpr std::size_t kIdRequestType = 262;  // u16, 2 before a handle request
constexpr std::size_t kIdSingle = 266;       // u16, after locking: single spectrum
constexpr std::size_t kIdSelector = 288;     // u32, set to 0
constexpr std::size_t kIdFunction = 296;     // u32, function (or spectrum) number
constexpr std::size_t kIdHeader = 304;       // function header, bytes 304..539
constexpr std::size_t kIdHeaderEnd = 540;
constexpr std::size_t kIdPeakCount = 324;    // u32, after locking
constexpr std::size_t kIdContinuum = 344;    // u32, non-zero for continuum data

// The data manager's own part of the identifier (bytes below kIdRequestType):
// which file or in-memory spectrum it names. Callers never touch these.
constexpr std::size_t kIdMagic = 0;          // u32, kIdMagicValue once filled
constexpr std::size_t kIdSource = 4;         // u32, kSourceFile or kSourceMemory
constexpr std::size_t kIdPathKey = 8;        // u32, key of the file's path
constexpr std::size_t kIdScan = 12;          // u32, 1-based scan within the function
constexpr std::size_t kIdRefFunction = 16;   // u32, the reference's own function number
constexpr std::size_t kIdMemoryNumber = 20;  // u32, number of the in-memory spectrum
constexpr std::size_t kIdSingleFile = 24;    // u32, a plain file whose reference had wSingle set
constexpr std::uint32_t kIdMagicValue = 0x4944444du;
constexpr std::uint32_t kSourceFile = 1;
constexpr std::uint32_t kSourceMemory = 2;

// Function header (inside the identifier from kIdHeader).
constexpr std::size_t kHeaderSize = kIdHeaderEnd - kIdHeader;
constexpr std::size_t kHdrMassLow = 0;          // float
constexpr std::size_t kHdrMassHigh = 4;         // float
constexpr std::size_t kHdrSegment = 48;         // u32
constexpr std::size_t kHdrHasReflectron = 52;   // u32
constexpr std::size_t kHdrReflectron = 60;      // u16
constexpr std::size_t kHdrTypeValue = 208;      // u32, for function types 15, 16, 18, 19

// Function information.
constexpr std::size_t kFunctionInfoSize = 256;
constexpr std::size_t kInfoTypeWord = 0;        // u16: bits 0-4 type, 5-9 ionisation mode
constexpr std::size_t kInfoModeWord = 24;       // u16, 1 = single-point PSD data
constexpr std::size_t kInfoInstrumentMode = 26; // u16
constexpr std::size_t kInfoSamplingRate = 28;   // u16
constexpr std::size_t kInfoPrecursorMass = 34;  // 32-bit
constexpr std::size_t kInfoFocusVoltage = 48;   // 32-bit
constexpr std::size_t kInfoSourceVoltage = 52;  // 32-bit
constexpr std::size_t kInfoExtractionVoltage = 60;  // 32-bit
// Our own fields of the function information (nothing else reads them).
constexpr std::size_t kInfoRootMass = 100;       // u32, non-zero: calibrated on square roots of mass
constexpr std::size_t kInfoTimeOfFlight = 104;   // u32
constexpr std::size_t kInfoExternal = 108;       // u32
constexpr std::size_t kInfoAccurateMass = 112;   // u32
constexpr std::size_t kInfoScanCount = 116;      // u32

// Spectrum channels.
enum Channel : int { kChannelMass = 0, kChannelIntensity = 1, kChannelFlags = 2, kChannelWidth = 3, kChannelExtra = 4 };
constexpr int kChannelCount = 5;
constexpr int kChannelSizes[kChannelCount] = {4, 4, 1, 4, 4};

using suite::load_field;
using suite::store_field;

}  // namespace masscal::dm
