#include "suite/datamanager/datamanager.hpp"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <string>

#include "formats/backend.hpp"
#include "suite/datamanager/memory_store.hpp"
#include "suite/datamanager/records.hpp"

namespace masscal::dm {

struct DmObject {
    unsigned char id[kIdentifierSize] = {};
    std::shared_ptr<const Spectrum> spectrum;
    bool flagsChannel = false;  // spectrum handles asked with record type 5
    bool spectrumHandle = false;
    std::vector<float> zeroFloats;  // stand-ins for missing width / extra channels
    std::vector<std::uint32_t> zeroWords;
};

namespace {

thread_local std::string t_lastError;
std::atomic<int> g_openHandles{0};

bool fail(std::string text) {
    t_lastError = std::move(text);
    return false;
}

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};
    bool operator==(const Identity& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

struct CachedFile {
    Identity identity;
    std::shared_ptr<const RawFile> file;
};

struct StoredSpectrum {
    std::shared_ptr<const Spectrum> spectrum;
    FunctionDescription desc;
    std::string sourcePath;
    std::uint64_t serial = 0;  // order of storing; the oldest goes first
};

// A decoded scan; the file is held so that its address names it uniquely.
struct DecodedScan {
    std::shared_ptr<const RawFile> file;
    int function = 0, scan = 0;
    std::shared_ptr<const Spectrum> data;
};

constexpr std::size_t kCachedFiles = 8;
constexpr std::size_t kCachedScans = 4;
constexpr std::size_t kStoredSpectra = 64;

struct State {
    std::mutex mutex;
    std::vector<std::string> paths;  // key - 1 -> path
    std::map<std::string, std::uint32_t> pathKeys;
    std::list<std::pair<std::string, CachedFile>> files;  // most recent first
    std::list<DecodedScan> scans;  // most recent first
    std::map<std::uint16_t, StoredSpectrum> stored;
    std::uint16_t nextNumber = 1;
    std::uint64_t nextSerial = 1;
};

State& state() {
    static State s;
    return s;
}

// What this thread used last, looked at before the shared state: one
// calibration asks for its data and reference files dozens of times, and
// taking the shared lock for each made the threads of a batch queue on it.
// Path keys never change; files and scans are dropped when the shared cache
// is cleared (a new generation).
constexpr std::size_t kRecent = 4;
std::atomic<std::uint64_t> g_generation{0};

struct Recent {
    std::uint64_t generation = 0;
    std::list<std::pair<std::string, std::uint32_t>> keys;
    std::list<std::pair<std::string, CachedFile>> files;
    std::list<DecodedScan> scans;
};

Recent& recent() {
    thread_local Recent r;
    const std::uint64_t g = g_generation.load(std::memory_order_acquire);
    if (r.generation != g) {
        r.files.clear();
        r.scans.clear();
        r.generation = g;
    }
    return r;
}

template <class T>
void remember(std::list<T>& list, T item) {
    list.push_front(std::move(item));
    if (list.size() > kRecent) list.pop_back();
}

std::uint32_t path_key(const std::string& path) {
    Recent& mine = recent();
    for (const auto& [p, k] : mine.keys)
        if (p == path) return k;
    State& s = state();
    std::uint32_t key;
    {
        std::lock_guard lock(s.mutex);
        auto it = s.pathKeys.find(path);
        if (it != s.pathKeys.end()) {
            key = it->second;
        } else {
            s.paths.push_back(path);
            key = static_cast<std::uint32_t>(s.paths.size());
            s.pathKeys[path] = key;
        }
    }
    remember(mine.keys, {path, key});
    return key;
}

bool path_of_key(std::uint32_t key, std::string& out) {
    Recent& mine = recent();
    for (const auto& [p, k] : mine.keys)
        if (k == key) return out = p, true;
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        if (key == 0 || key > s.paths.size()) return false;
        out = s.paths[key - 1];
    }
    remember(mine.keys, {out, key});
    return true;
}

std::string extension_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

std::shared_ptr<const RawFile> open_file(const std::string& path) {
    struct stat st {};
    if (path.empty()) {
        fail("no data file given");
        return nullptr;
    }
    if (::stat(path.c_str(), &st) != 0) {
        fail(path + ": " + std::strerror(errno));
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        fail(path + ": not a regular file");
        return nullptr;
    }
    Identity id{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    Recent& mine = recent();
    for (auto it = mine.files.begin(); it != mine.files.end(); ++it) {
        if (it->first != path) continue;
        if (it->second.identity == id) {
            mine.files.splice(mine.files.begin(), mine.files, it);
            return mine.files.front().second.file;
        }
        mine.files.erase(it);
        break;
    }
    State& s = state();
    std::shared_ptr<const RawFile> cached;
    {
        std::lock_guard lock(s.mutex);
        for (auto it = s.files.begin(); it != s.files.end(); ++it) {
            if (it->first != path) continue;
            if (it->second.identity == id) {
                s.files.splice(s.files.begin(), s.files, it);
                cached = s.files.front().second.file;
            } else {
                s.files.erase(it);  // changed on disk
            }
            break;
        }
    }
    if (cached) {
        remember(mine.files, {path, CachedFile{id, cached}});
        return cached;
    }
    const std::string ext = extension_of(path);
    std::shared_ptr<const Backend> backend = backend_for_extension(ext);
    if (!backend) {
        fail(path + ": unknown data file type '" + ext + "'");
        return nullptr;
    }
    std::string error;
    std::shared_ptr<const RawFile> file = backend->open(path, error);
    if (!file) {
        fail(error.empty() ? path + ": cannot be read" : error);
        return nullptr;
    }
    {
        std::lock_guard lock(s.mutex);
        s.files.emplace_front(path, CachedFile{id, file});
        while (s.files.size() > kCachedFiles) s.files.pop_back();
    }
    remember(mine.files, {path, CachedFile{id, file}});
    return file;
}

bool find_stored(std::uint16_t number, StoredSpectrum& out) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.stored.find(number);
    if (it == s.stored.end()) return false;
    out = it->second;
    return true;
}

// Scan `scan` of a function, decoded once while it stays among the recent.
bool decoded_scan(const std::shared_ptr<const RawFile>& file, int function, int scan,
                  std::shared_ptr<const Spectrum>& out, std::string& error) {
    const auto same = [&](const DecodedScan& d) { return d.file == file && d.function == function && d.scan == scan; };
    Recent& mine = recent();
    for (auto it = mine.scans.begin(); it != mine.scans.end(); ++it) {
        if (same(*it)) {
            mine.scans.splice(mine.scans.begin(), mine.scans, it);
            out = mine.scans.front().data;
            return true;
        }
    }
    State& st = state();
    std::shared_ptr<const Spectrum> found;
    {
        std::lock_guard lock(st.mutex);
        for (auto it = st.scans.begin(); it != st.scans.end(); ++it) {
            if (same(*it)) {
                st.scans.splice(st.scans.begin(), st.scans, it);
                found = st.scans.front().data;
                break;
            }
        }
    }
    if (!found) {
        auto s = std::make_shared<Spectrum>();
        if (!file->readScan(function, scan, *s, error)) return false;
        found = s;
        std::lock_guard lock(st.mutex);
        st.scans.push_front(DecodedScan{file, function, scan, found});
        while (st.scans.size() > kCachedScans) st.scans.pop_back();
    }
    out = found;
    remember(mine.scans, DecodedScan{file, function, scan, found});
    return true;
}

// An in-memory spectrum named by the reference, when there is one.
bool stored_for(const RawFileRef& ref, StoredSpectrum& out) {
    return ref.wSingle != 0 && find_stored(ref.wSingle, out) && out.sourcePath == reference_path(ref);
}

int function_of(std::int32_t n) { return n == 0 ? 1 : n; }

// What an identifier names.
struct Resolved {
    std::shared_ptr<const RawFile> file;
    StoredSpectrum stored;
    bool memory = false;
    int function = 1;
    int scan = 1;
};

bool resolve_identifier(const void* id, Resolved& r) {
    if (!id || load_field<std::uint32_t>(id, kIdMagic) != kIdMagicValue)
        return fail("the data identifier was not made by DmRawFileToID");
    const auto source = load_field<std::uint32_t>(id, kIdSource);
    if (source == kSourceMemory) {
        const auto number = load_field<std::uint32_t>(id, kIdMemoryNumber);
        if (number > 0xFFFF || !find_stored(static_cast<std::uint16_t>(number), r.stored))
            return fail("in-memory spectrum " + std::to_string(number) + " no longer exists");
        r.memory = true;
        return true;
    }
    std::string path;
    if (source != kSourceFile || !path_of_key(load_field<std::uint32_t>(id, kIdPathKey), path))
        return fail("the data identifier names no file");
    r.file = open_file(path);
    if (!r.file) return false;
    const auto f = load_field<std::int32_t>(id, load_field<std::uint32_t>(id, kIdSingleFile) ? kIdRefFunction : kIdFunction);
    r.function = function_of(f);
    r.scan = static_cast<int>(load_field<std::uint32_t>(id, kIdScan));
    if (r.scan == 0) r.scan = 1;
    return true;
}

bool resolved_description(const Resolved& r, FunctionDescription& d, const std::string& what) {
    if (r.memory) {
        d = r.stored.desc;
        return true;
    }
    if (r.function < 1 || !r.file->describe(r.function, d))
        return fail(what + ": no function " + std::to_string(r.function));
    return true;
}

bool resolved_spectrum(const Resolved& r, const std::string& path, std::shared_ptr<const Spectrum>& out) {
    if (r.memory) {
        out = r.stored.spectrum;
        return true;
    }
    std::string error;
    if (r.function < 1 || !decoded_scan(r.file, r.function, r.scan, out, error))
        return fail(error.empty() ? path + ": no function " + std::to_string(r.function) : error);
    return true;
}

void fill_header(unsigned char* id, const FunctionDescription& d, const Spectrum& s, bool memory, std::uint16_t number) {
    std::memset(id + kIdHeader, 0, kHeaderSize);
    unsigned char* h = id + kIdHeader;
    store_field<float>(h, kHdrMassLow, d.massLow);
    store_field<float>(h, kHdrMassHigh, d.massHigh);
    store_field<std::uint32_t>(h, kHdrSegment, static_cast<std::uint32_t>(d.segment));
    store_field<std::uint32_t>(h, kHdrHasReflectron, d.reflectron ? 1u : 0u);
    store_field<std::uint16_t>(h, kHdrReflectron, d.reflectron.value_or(0));
    store_field<std::uint32_t>(h, kHdrTypeValue, d.typeValue);
    store_field<std::uint32_t>(id, kIdPeakCount, static_cast<std::uint32_t>(s.mass.size()));
    store_field<std::uint32_t>(id, kIdContinuum, s.continuum ? 1u : 0u);
    store_field<std::uint16_t>(id, kIdSingle, memory ? number : 0);
}

std::string identifier_name(const void* id) {
    std::string path;
    if (load_field<std::uint32_t>(id, kIdSource) == kSourceMemory)
        return "in-memory spectrum " + std::to_string(load_field<std::uint32_t>(id, kIdMemoryNumber));
    path_of_key(load_field<std::uint32_t>(id, kIdPathKey), path);
    return path;
}

DmHandle make_handle(void* identifier, int idSize, bool spectrumHandle, bool flags) {
    if (!identifier || idSize < static_cast<int>(kIdentifierSize)) {
        fail("the data identifier is missing or too small");
        return nullptr;
    }
    Resolved r;
    if (!resolve_identifier(identifier, r)) return nullptr;
    const std::string name = identifier_name(identifier);
    FunctionDescription d;
    std::shared_ptr<const Spectrum> s;
    if (!resolved_description(r, d, name) || !resolved_spectrum(r, name, s)) return nullptr;
    if (spectrumHandle && flags && s->flags.size() != s->mass.size()) {
        fail(name + ": the spectrum has no flag channel");
        return nullptr;
    }
    auto* h = new DmObject;
    std::memcpy(h->id, identifier, kIdentifierSize);
    const auto number = static_cast<std::uint16_t>(load_field<std::uint32_t>(identifier, kIdMemoryNumber));
    fill_header(h->id, d, *s, r.memory, number);
    std::memcpy(identifier, h->id, kIdentifierSize);
    h->spectrum = std::move(s);
    h->spectrumHandle = spectrumHandle;
    h->flagsChannel = flags;
    ++g_openHandles;
    return h;
}

bool ref_description(const RawFileRef* ref, int function, FunctionDescription& d) {
    if (!ref) return fail("no data file reference");
    StoredSpectrum st;
    if (stored_for(*ref, st)) {
        if (function != 1) return fail("in-memory spectrum " + std::to_string(ref->wSingle) + " has only function 1");
        d = st.desc;
        return true;
    }
    const std::string path = reference_path(*ref);
    std::shared_ptr<const RawFile> file = open_file(path);
    if (!file) return false;
    if (function < 1 || !file->describe(function, d))
        return fail(path + ": no function " + std::to_string(function) + " (the file has " +
                    std::to_string(file->functionCount()) + ")");
    return true;
}

}  // namespace

std::string reference_path(const RawFileRef& ref) {
    auto text = [](const char* s, std::size_t n) { return std::string(s, strnlen(s, n)); };
    std::string dir = text(ref.szDirectory, sizeof ref.szDirectory);
    const std::string name = text(ref.szName, sizeof ref.szName);
    const std::string ext = text(ref.szExtension, sizeof ref.szExtension);
    for (char& c : dir)
        if (c == '\\') c = '/';
    std::string path = dir;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    if (!ext.empty()) path += "." + ext;
    return path;
}

const char* dm_last_error() { return t_lastError.c_str(); }
void dm_clear_error() { t_lastError.clear(); }
void dm_set_error(std::string text) { t_lastError = std::move(text); }
int dm_open_handle_count() { return g_openHandles.load(); }

void dm_clear_file_cache() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.files.clear();
    s.scans.clear();
    g_generation.fetch_add(1, std::memory_order_release);
}

int DmRawFileToID(const RawFileRef* ref, void* identifier) {
    if (!ref || !identifier) return fail("no data file reference");
    std::memset(identifier, 0, kIdentifierSize);
    store_field<std::uint32_t>(identifier, kIdMagic, kIdMagicValue);
    StoredSpectrum st;
    if (stored_for(*ref, st)) {
        store_field<std::uint32_t>(identifier, kIdSource, kSourceMemory);
        store_field<std::uint32_t>(identifier, kIdMemoryNumber, ref->wSingle);
    } else {
        store_field<std::uint32_t>(identifier, kIdSource, kSourceFile);
        store_field<std::uint32_t>(identifier, kIdPathKey, path_key(reference_path(*ref)));
        store_field<std::uint32_t>(identifier, kIdSingleFile, ref->wSingle ? 1u : 0u);
    }
    store_field<std::uint32_t>(identifier, kIdScan, static_cast<std::uint32_t>(ref->nIndex > 0 ? ref->nIndex : 1));
    store_field<std::int32_t>(identifier, kIdRefFunction, ref->nFunction);
    store_field<std::int32_t>(identifier, kIdFunction, ref->nFunction);
    store_field<std::uint16_t>(identifier, kIdRequestType, 2);
    return 1;
}

DmHandle DmGetHandle(int, int idSize, void* identifier, int, int, int) {
    return make_handle(identifier, idSize, false, false);
}

DmHandle DmGetHandleEx(int, int idSize, void* identifier, int recordType, const int* channelSizes, int) {
    if (recordType != 5 && recordType != 2) {
        fail("spectrum record type " + std::to_string(recordType) + " is not 2 or 5");
        return nullptr;
    }
    if (channelSizes) {
        for (int c = 0; c < kChannelCount; ++c) {
            if (c == kChannelFlags && recordType == 2) continue;
            if (channelSizes[c] != kChannelSizes[c]) {
                fail("channel " + std::to_string(c) + " asked with element size " + std::to_string(channelSizes[c]));
                return nullptr;
            }
        }
    }
    return make_handle(identifier, idSize, true, recordType == 5);
}

void* DmLockID(DmHandle h) { return h ? h->id : nullptr; }
void DmUnlockID(DmHandle) {}

int DmGetData(DmHandle h, int first, int count, int) {
    if (!h || !h->spectrum) return fail("no spectrum handle"), -1;
    const auto n = static_cast<long long>(h->spectrum->mass.size());
    if (first < 1 || count < 0 || first - 1 + static_cast<long long>(count) > n)
        return fail("peaks " + std::to_string(first) + " to " + std::to_string(first - 1LL + count) +
                    " asked of a spectrum of " + std::to_string(n)),
               -1;
    return 0;
}

void* DmLockData(DmHandle h, int channel, int first, int count) {
    if (!h || !h->spectrum || !h->spectrumHandle) return fail("no spectrum handle"), nullptr;
    const Spectrum& s = *h->spectrum;
    const std::size_t n = s.mass.size();
    if (first < 1 || count < 0 || static_cast<std::size_t>(first - 1) + static_cast<std::size_t>(count) > n)
        return fail("channel range outside the spectrum"), nullptr;
    const std::size_t at = static_cast<std::size_t>(first - 1);
    // Views of an empty channel still need a non-null address.
    static float emptyFloat = 0.0f;
    static std::uint32_t emptyWord = 0;
    static std::uint8_t emptyByte = 0;
    switch (channel) {
        case kChannelMass: return n ? const_cast<float*>(s.mass.data() + at) : &emptyFloat;
        case kChannelIntensity: return n ? const_cast<float*>(s.intensity.data() + at) : &emptyFloat;
        case kChannelFlags:
            if (!h->flagsChannel) return fail("the handle was asked without the flag channel"), nullptr;
            return n ? const_cast<std::uint8_t*>(s.flags.data() + at) : &emptyByte;
        case kChannelWidth:
            if (s.width.size() == n && n) return const_cast<float*>(s.width.data() + at);
            h->zeroFloats.assign(n, 0.0f);
            return n ? h->zeroFloats.data() + at : &emptyFloat;
        case kChannelExtra:
            if (s.extra.size() == n && n) return const_cast<std::uint32_t*>(s.extra.data() + at);
            h->zeroWords.assign(n, 0u);
            return n ? h->zeroWords.data() + at : &emptyWord;
        default: return fail("no channel " + std::to_string(channel)), nullptr;
    }
}

void DmUnlockData(DmHandle, int) {}

void DmReleaseHandle(DmHandle h, int) {
    if (!h) return;
    --g_openHandles;
    delete h;
}

int DmRawGetFunctionInfo(const RawFileRef* ref, void* buffer) {
    if (!buffer) return fail("no function information buffer"), 0;
    FunctionDescription d;
    if (!ref_description(ref, function_of(ref ? ref->nFunction : 1), d)) return 0;
    std::memset(buffer, 0, kFunctionInfoSize);
    const auto word = static_cast<std::uint16_t>((d.functionType & 0x1F) | ((d.ionisationMode & 0x1F) << 5));
    store_field<std::uint16_t>(buffer, kInfoTypeWord, word);
    store_field<std::uint16_t>(buffer, kInfoModeWord, d.modeWord);
    store_field<std::uint16_t>(buffer, kInfoInstrumentMode, d.instrumentMode);
    store_field<std::uint16_t>(buffer, kInfoSamplingRate, d.samplingRate);
    store_field<float>(buffer, kInfoPrecursorMass, d.precursorMass);
    store_field<float>(buffer, kInfoFocusVoltage, d.focusVoltage);
    store_field<float>(buffer, kInfoSourceVoltage, d.sourceVoltage);
    store_field<float>(buffer, kInfoExtractionVoltage, d.extractionVoltage);
    store_field<std::uint32_t>(buffer, kInfoRootMass, d.rootMass ? 1u : 0u);
    store_field<std::uint32_t>(buffer, kInfoTimeOfFlight, d.timeOfFlight ? 1u : 0u);
    store_field<std::uint32_t>(buffer, kInfoExternal, d.external ? 1u : 0u);
    store_field<std::uint32_t>(buffer, kInfoAccurateMass, d.accurateMass ? 1u : 0u);
    store_field<std::uint32_t>(buffer, kInfoScanCount, static_cast<std::uint32_t>(d.scanCount));
    return 1;
}

namespace {
int function_word(const RawFileRef* ref, std::uint16_t function) {
    return function != 0 ? function : function_of(ref ? ref->nFunction : 1);
}
}  // namespace

int DmRawIsTOFFunction(const RawFileRef* ref, std::uint16_t function) {
    FunctionDescription d;
    return ref_description(ref, function_word(ref, function), d) && d.timeOfFlight ? 1 : 0;
}

int DmRawIsExternalFunction(const RawFileRef* ref, std::uint16_t function) {
    FunctionDescription d;
    return ref_description(ref, function_word(ref, function), d) && d.external ? 1 : 0;
}

int DmRawIsAccurateMass(const RawFileRef* ref, std::uint16_t* word) {
    if (word) *word = 0;
    FunctionDescription d;
    if (!ref_description(ref, function_of(ref ? ref->nFunction : 1), d)) return 0;
    if (d.accurateMass) return 1;
    if (word) *word = d.acquisitionWord;
    return 0;
}

bool dm_describe(const RawFileRef& ref, int function, FunctionDescription& out) {
    return ref_description(&ref, function, out);
}

int dm_function_count(const std::string& path) {
    std::shared_ptr<const RawFile> file = open_file(path);
    return file ? file->functionCount() : -1;
}

bool dm_summarize(const std::string& path, int function, FunctionDescription& desc, FunctionSummary& out) {
    std::shared_ptr<const RawFile> file = open_file(path);
    if (!file) return false;
    if (!file->describe(function, desc) || !file->summarize(function, out))
        return fail(path + ": no function " + std::to_string(function));
    return true;
}

bool dm_read_scan_shared(const RawFileRef& ref, int function, int scan, std::shared_ptr<const Spectrum>& out,
                        FunctionDescription& desc) {
    StoredSpectrum st;
    if (stored_for(ref, st)) {
        if (function != 1 || scan != 1)
            return fail("in-memory spectrum " + std::to_string(ref.wSingle) + " has only one scan");
        out = st.spectrum;
        desc = st.desc;
        return true;
    }
    const std::string path = reference_path(ref);
    std::shared_ptr<const RawFile> file = open_file(path);
    if (!file) return false;
    if (function < 1 || !file->describe(function, desc))
        return fail(path + ": no function " + std::to_string(function));
    std::string error;
    if (!decoded_scan(file, function, scan, out, error)) return fail(error);
    return true;
}

bool dm_read_scan(const RawFileRef& ref, int function, int scan, Spectrum& out, FunctionDescription& desc) {
    std::shared_ptr<const Spectrum> s;
    if (!dm_read_scan_shared(ref, function, scan, s, desc)) return false;
    out = *s;
    return true;
}

bool dm_read_reference_shared(const RawFileRef& ref, std::shared_ptr<const Spectrum>& out, FunctionDescription& desc) {
    StoredSpectrum st;
    if (stored_for(ref, st)) return dm_read_scan_shared(ref, 1, 1, out, desc);
    return dm_read_scan_shared(ref, function_of(ref.nFunction), ref.nIndex > 0 ? ref.nIndex : 1, out, desc);
}

bool dm_read_reference(const RawFileRef& ref, Spectrum& out, FunctionDescription& desc) {
    std::shared_ptr<const Spectrum> s;
    if (!dm_read_reference_shared(ref, s, desc)) return false;
    out = *s;
    return true;
}

std::uint16_t dm_store_spectrum(Spectrum spectrum, FunctionDescription desc, const std::string& sourcePath) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.stored.size() >= kStoredSpectra) {
        auto oldest = s.stored.begin();
        for (auto it = s.stored.begin(); it != s.stored.end(); ++it)
            if (it->second.serial < oldest->second.serial) oldest = it;
        s.stored.erase(oldest);
    }
    for (int tries = 0; tries < 0x10000; ++tries) {
        const std::uint16_t n = s.nextNumber;
        s.nextNumber = static_cast<std::uint16_t>(n == 0xFFFF ? 1 : n + 1);
        if (s.stored.count(n)) continue;
        desc.scanCount = 1;
        desc.continuum = spectrum.continuum;
        s.stored[n] = StoredSpectrum{std::make_shared<const Spectrum>(std::move(spectrum)), desc, sourcePath,
                                     s.nextSerial++};
        return n;
    }
    fail("no free in-memory spectrum number");
    return 0;
}

void dm_release_spectrum(std::uint16_t number) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.stored.erase(number);
}

int dm_stored_spectrum_count() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return static_cast<int>(s.stored.size());
}

DmHandle dm_stored_handle(std::uint16_t number) {
    unsigned char id[kIdentifierSize] = {};
    store_field<std::uint32_t>(id, kIdMagic, kIdMagicValue);
    store_field<std::uint32_t>(id, kIdSource, kSourceMemory);
    store_field<std::uint32_t>(id, kIdMemoryNumber, number);
    store_field<std::uint32_t>(id, kIdFunction, 1);
    store_field<std::uint16_t>(id, kIdRequestType, 2);
    return make_handle(id, static_cast<int>(kIdentifierSize), false, false);
}

}  // namespace masscal::dm
