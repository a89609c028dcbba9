#include <cstring>
#include <vector>

#include "core/arrays.hpp"
#include "input/spectrum_input.hpp"
#include "platform/memory.hpp"
#include "suite/combine/combine.hpp"
#include "suite/datamanager/datamanager.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"
#include "suite/massmeasure/massmeasure.hpp"

namespace dm = masscal::dm;
namespace cb = masscal::combine;

namespace {

// Everything CalGetRawData holds, released on every path.
struct Holdings {
    dm::DmHandle function = nullptr;
    dm::DmHandle spectrum = nullptr;
    std::vector<std::uint16_t> made;  // in-memory spectra made by this call

    ~Holdings() {
        dm::DmReleaseHandle(spectrum, 0);
        dm::DmReleaseHandle(function, 0);
        for (std::uint16_t n : made) dm::dm_release_spectrum(n);
    }
};

void make_identifier(const RawFileRef& ref, unsigned char* id, std::uint32_t function) {
    dm::DmRawFileToID(&ref, id);
    dm::store_field<std::uint16_t>(id, dm::kIdRequestType, 2);
    dm::store_field<std::uint32_t>(id, dm::kIdSelector, 0);
    dm::store_field<std::uint32_t>(id, dm::kIdFunction, function);
}

void combine_block(std::int32_t* block, int first, int scans) {
    const float one = 1.0f;
    std::memset(block, 0, sizeof(std::int32_t) * cb::kBlockValues);
    block[cb::kFirstScan] = first;
    block[cb::kScanCount] = scans;
    block[cb::kMode] = 1;
    block[cb::kMinScans] = 0;
    block[cb::kMergeCentroids] = 1;
    block[cb::kToleranceUnit] = 0;
    std::memcpy(&block[cb::kIntensityScale], &one, 4);
    std::memcpy(&block[cb::kGridTolerance], &one, 4);
}

// A list whose capacity is too small for n peaks is replaced rather than
// overrun (an allocated pair is otherwise kept as it is).
bool allocate_peaks(CalPeakList& list, int n) {
    if (list.Mass.hMem && masscal::platform::mem_size(list.Mass.hMem) < static_cast<std::size_t>(n) * 4)
        CalAllocPeakList(&list, 0, 1);
    if (CalAllocPeakList(&list, n, 0)) return true;
    CalAllocPeakList(&list, 0, 1);
    return false;
}

}  // namespace

int32_t CalGetRawData(CalWnd owner, CalRecord* rec) {
    if (!rec) return CAL_ERR_FILE_ACCESS;
    RawFileRef work = rec->DataFile;
    const long long scans = static_cast<long long>(rec->nLastScan) - rec->nFirstScan + 1;
    unsigned char id[dm::kIdentifierSize];
    Holdings held;
    bool continuum = false;

    if (scans > 1 && work.wSingle == 0) {
        std::int32_t block[cb::kBlockValues];
        combine_block(block, rec->nFirstScan == 0 ? 1 : rec->nFirstScan, static_cast<int>(scans));
        if (CalGetInstrumentType() == 1) CombineGetIniFile("SpectrumCombine", block);
        unsigned char request[cb::kRequestSize] = {};
        dm::store_field<std::int32_t>(request, cb::kReqFirstScan, block[cb::kFirstScan]);
        dm::store_field<std::int32_t>(request, cb::kReqScanCount, block[cb::kScanCount]);
        dm::store_field<std::int32_t>(request, cb::kReqOne, 1);
        std::memcpy(request + cb::kReqSettings, &block[cb::kMode], 11 * 4);
        dm::store_field<std::int32_t>(request, cb::kReqZero, 0);
        held.function = CombineExt(owner, 0, 0, &work, 0, request, owner ? 1 : 0);
        if (!held.function) return CAL_ERR_FILE_ACCESS;
        const void* locked = dm::DmLockID(held.function);
        work.wSingle = dm::load_field<std::uint16_t>(locked, dm::kIdSingle);
        continuum = dm::load_field<std::uint32_t>(locked, dm::kIdContinuum) != 0;
        dm::DmUnlockID(held.function);
        held.made.push_back(work.wSingle);
        work.nFunction = 1;
        work.nIndex = 1;
        make_identifier(work, id, 1);
    } else {
        // One scan asked for by number: read that scan.
        if (scans == 1 && work.wSingle == 0 && rec->nFirstScan >= 1) work.nIndex = rec->nFirstScan;
        make_identifier(work, id, work.wSingle ? 1u : static_cast<std::uint32_t>(work.nFunction));
        held.function = dm::DmGetHandle(0, static_cast<int>(dm::kIdentifierSize), id, 2, 4, 0);
        if (!held.function) return CAL_ERR_FILE_ACCESS;
        continuum = dm::load_field<std::uint32_t>(dm::DmLockID(held.function), dm::kIdContinuum) != 0;
        dm::DmUnlockID(held.function);
    }

    if (continuum) {
        dm::DmHandle peaks = MassMeasureSpectrum(owner, &work, rec->MassMeasure, 0, 0);
        if (!peaks) return CAL_ERR_FILE_ACCESS;
        work.wSingle = dm::load_field<std::uint16_t>(dm::DmLockID(peaks), dm::kIdSingle);
        dm::DmUnlockID(peaks);
        held.made.push_back(work.wSingle);
        work.nFunction = 1;
        work.nIndex = 1;
        make_identifier(work, id, 1);
        dm::DmReleaseHandle(held.function, 0);
        held.function = peaks;
    }

    const unsigned char* locked = static_cast<const unsigned char*>(dm::DmLockID(held.function));
    const auto n = static_cast<int>(dm::load_field<std::uint32_t>(locked, dm::kIdPeakCount));
    const float massLow = dm::load_field<float>(locked + dm::kIdHeader, dm::kHdrMassLow);
    const float massHigh = dm::load_field<float>(locked + dm::kIdHeader, dm::kHdrMassHigh);
    dm::DmUnlockID(held.function);

    if (!allocate_peaks(rec->DataPeaks, n)) return CAL_ERR_NO_MEMORY;
    CalPeakList& list = rec->DataPeaks;
    list.bDetail = list.bDetail == -1 ? 0 : CalHasPeakDetail(&work);

    bool flags = true;
    held.spectrum = dm::DmGetHandleEx(0, static_cast<int>(dm::kIdentifierSize), id, 5, dm::kChannelSizes, 0);
    if (!held.spectrum) {
        flags = false;
        held.spectrum = dm::DmGetHandleEx(0, static_cast<int>(dm::kIdentifierSize), id, 2, dm::kChannelSizes, 0);
    }
    auto fail = [&list] {
        CalAllocPeakList(&list, 0, 1);
        return CAL_ERR_FILE_ACCESS;
    };
    if (!held.spectrum || dm::DmGetData(held.spectrum, 1, n, 0) != 0) return fail();

    struct Copy {
        int channel;
        CalArray* to;
        std::size_t size;
        bool wanted;
    } copies[] = {
        {dm::kChannelMass, &list.Mass, 4, true},
        {dm::kChannelIntensity, &list.Intensity, 4, true},
        {dm::kChannelFlags, &list.Flags, 1, flags},
        {dm::kChannelWidth, &list.Width, 4, list.bDetail != 0},
        {dm::kChannelExtra, &list.Extra, 4, list.bDetail != 0},
    };
    for (const Copy& c : copies) {
        if (!c.wanted) continue;
        const void* from = dm::DmLockData(held.spectrum, c.channel, 1, n);
        if (!from) return fail();
        if (n > 0) std::memcpy(c.to->pData, from, static_cast<std::size_t>(n) * c.size);
        dm::DmUnlockData(held.spectrum, c.channel);
    }
    list.nCount = n;
    rec->fMassLow = massLow;
    rec->fMassHigh = massHigh;
    // The flag channel's absence on the way is no failure of the read.
    dm::dm_clear_error();
    return CAL_OK;
}

const char* CalGetDataError(void) { return dm::dm_last_error(); }
