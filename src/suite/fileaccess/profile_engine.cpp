#include "suite/fileaccess/profile_engine.hpp"

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <mutex>

namespace masscal::suite::profile {
namespace {

// File times tick coarsely (a few milliseconds here, seconds elsewhere): a
// file changed in place within one tick and to the same size keeps its
// identity. So a version read while it was that young is not trusted and is
// read again on its next use; our own writes make new files and are trusted.
constexpr std::int64_t kRacyNanoseconds = 100'000'000;
constexpr std::size_t kCacheEntries = 16;

struct Entry {
    std::string path;
    fs::FileIdentity id;
    State state;
    bool racy = false;
    std::uint64_t used = 0;
};

std::mutex g_mutex;
std::vector<Entry> g_cache;
std::uint64_t g_clock = 0;

std::int64_t now_ns() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool young(const fs::FileIdentity& id) {
    if (!id.exists) return false;
    const std::int64_t m = id.mtime_sec * 1'000'000'000 + id.mtime_nsec;
    const std::int64_t c = id.ctime_sec * 1'000'000'000 + id.ctime_nsec;
    return std::max(m, c) >= now_ns() - kRacyNanoseconds;
}

Entry* find_entry(const std::string& path) {
    for (Entry& e : g_cache)
        if (e.path == path) return &e;
    return nullptr;
}

void drop_entry(const std::string& path) {
    g_cache.erase(std::remove_if(g_cache.begin(), g_cache.end(), [&](const Entry& e) { return e.path == path; }),
                  g_cache.end());
}

Entry& make_entry(const std::string& path) {
    if (Entry* e = find_entry(path)) return *e;
    if (g_cache.size() >= kCacheEntries) {
        auto oldest = std::min_element(g_cache.begin(), g_cache.end(),
                                       [](const Entry& a, const Entry& b) { return a.used < b.used; });
        g_cache.erase(oldest);
    }
    g_cache.emplace_back();
    g_cache.back().path = path;
    return g_cache.back();
}

// The cache entry of path, brought up to date with the file. Null when the
// file cannot be read. Caller holds g_mutex.
Entry* current(const std::string& path) {
    fs::FileIdentity now;
    if (!fs::identity_of(path, &now)) {
        drop_entry(path);
        return nullptr;
    }
    Entry* e = find_entry(path);
    if (e && !e->racy && e->id == now) {
        e->used = ++g_clock;
        return e;
    }
    std::string text;
    fs::FileIdentity id;
    if (!fs::read_file(path, kMaxProfileBytes, &text, &id)) {
        drop_entry(path);
        return nullptr;
    }
    Entry& fresh = make_entry(path);
    fresh.id = id;
    fresh.state.doc = ini::Document::parse(text);
    fresh.state.exists = id.exists;
    fresh.racy = young(id);
    fresh.used = ++g_clock;
    return &fresh;
}

}  // namespace

bool apply(State& state, const Op& op) {
    switch (op.kind) {
        case Op::Kind::Set: {
            const bool created = !state.exists;
            state.exists = true;
            return state.doc.set(op.section, op.key, op.value) || created;
        }
        case Op::Kind::EraseKey: return state.doc.erase_key(op.section, op.key);
        case Op::Kind::EraseSection: return state.doc.erase_section(op.section);
        case Op::Kind::Clear: {
            const bool changed = state.exists || !state.doc.empty();
            state.doc.clear();
            state.exists = false;
            return changed;
        }
    }
    return false;
}

bool read(const std::string& path, const std::function<void(const State&)>& f) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Entry* e = current(path);
    if (!e) return false;
    f(e->state);
    return true;
}

bool load(const std::string& path, State* state, fs::FileIdentity* id) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Entry* e = current(path);
    if (!e) return false;
    *state = e->state;
    *id = e->id;
    return true;
}

bool commit(const std::string& path, const std::vector<Op>& ops, const State* expected,
            const fs::FileIdentity* base) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Entry* e = current(path);
    if (!e) return false;
    bool changed = false;
    if (expected && base && e->id == *base && !e->racy) {
        e->state = *expected;
        changed = true;
    } else {
        for (const Op& op : ops) changed = apply(e->state, op) || changed;
    }
    if (!changed) return true;

    if (!e->state.exists) {
        if (e->id.exists && ::unlink(path.c_str()) != 0) {
            drop_entry(path);
            return false;
        }
        e->id = fs::FileIdentity{};
        e->racy = false;
        return true;
    }
    fs::FileIdentity written;
    if (!fs::replace_file(path, e->state.doc.serialize(), &written)) {
        drop_entry(path);  // the cached document holds changes the file does not
        return false;
    }
    e->id = written;
    e->racy = false;
    return true;
}

void forget(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    drop_entry(path);
}

}  // namespace masscal::suite::profile
