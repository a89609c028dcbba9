#include "suite/fileaccess/profile_engine.hpp"

#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <ctime>
#include <mutex>

#include "suite/fileaccess/file_lock.hpp"

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
    std::string text;  // what state was parsed from
    State state;
    bool racy = false;
    std::uint64_t used = 0;
};

std::mutex g_mutex;
thread_local std::string t_error;
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
    // A young file is read again at every use; parsing it again only when
    // its bytes changed keeps that cheap.
    if (fresh.text != text || fresh.state.exists != id.exists || fresh.id.size != id.size) {
        fresh.state.doc = ini::Document::parse(text);
        fresh.text = std::move(text);
    }
    fresh.id = id;
    fresh.state.exists = id.exists;
    fresh.racy = young(id);
    fresh.used = ++g_clock;
    return &fresh;
}

std::uint32_t copy_cut(std::string_view v, char* buf, std::uint32_t size) {
    const std::size_t n = v.size() < size - 1 ? v.size() : size - 1;
    if (n > 0) std::memcpy(buf, v.data(), n);
    buf[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

// Names, each terminated, and one more terminator; cut, the list still ends
// with two terminators and the result is size - 2.
std::uint32_t copy_list(const std::vector<std::string_view>& names, char* buf, std::uint32_t size) {
    std::string all;
    for (std::string_view n : names) {
        all.append(n);
        all.push_back('\0');
    }
    if (all.size() + 1 <= size) {
        std::memcpy(buf, all.data(), all.size());
        buf[all.size()] = '\0';
        if (all.empty() && size > 1) buf[1] = '\0';
        return static_cast<std::uint32_t>(all.size());
    }
    if (size < 2) {
        buf[0] = '\0';
        return 0;
    }
    std::memcpy(buf, all.data(), size - 2);
    buf[size - 2] = '\0';
    buf[size - 1] = '\0';
    return size - 2;
}

std::string_view unquote(std::string_view v) {
    if (v.size() > 1 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

bool make_op(const char* section, const char* key, const char* value, Op* op) {
    if (!section) return false;
    op->section = ini::trim(section);
    op->key.clear();
    op->value.clear();
    if (!ini::Document::valid_section(op->section)) return false;
    if (!key) {
        op->kind = Op::Kind::EraseSection;
        return true;
    }
    op->key = ini::trim(key);
    if (!ini::Document::valid_key(op->key)) return false;
    if (!value) {
        op->kind = Op::Kind::EraseKey;
        return true;
    }
    // A line break in a value would write keys of its own.
    if (!ini::Document::valid_value(value)) return false;
    op->kind = Op::Kind::Set;
    op->value = value;
    return true;
}

std::uint32_t get_string(const State* state, const char* section, const char* key, const char* def, char* buf,
                         std::uint32_t size) {
    if (!buf || size == 0) return 0;
    if (!section) return copy_list(state ? state->doc.section_names() : std::vector<std::string_view>{}, buf, size);
    if (!key)
        return copy_list(state ? state->doc.key_names(ini::trim(section)) : std::vector<std::string_view>{}, buf,
                         size);
    std::string_view v;
    if (state && state->doc.find(ini::trim(section), ini::trim(key), &v)) return copy_cut(unquote(v), buf, size);
    std::string_view fallback = def ? def : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    return copy_cut(fallback, buf, size);
}

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
    t_error.clear();
    // Another process may replace the file between our reading it and our
    // rename; under its lock the file we change is the file we replace.
    fs::FileIdentity before;
    if (!fs::identity_of(path, &before) || (before.exists && !before.regular)) {
        t_error = path + ": not a file that can be written";
        return false;
    }
    const fs::FileLock file_lock(path);
    if (!file_lock.locked()) {
        t_error = file_lock.error();
        return false;
    }
    Entry* e = current(path);
    if (!e) {
        t_error = path + ": cannot be read";
        return false;
    }
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
            t_error = path + ": " + std::strerror(errno);
            drop_entry(path);
            return false;
        }
        e->id = fs::FileIdentity{};
        e->text.clear();
        e->racy = false;
        return true;
    }
    fs::FileIdentity written;
    std::string text = e->state.doc.serialize();
    if (!fs::replace_file(path, text, &written)) {
        t_error = path + ": cannot be written (" + std::strerror(errno) + ")";
        drop_entry(path);  // the cached document holds changes the file does not
        return false;
    }
    e->id = written;
    e->text = std::move(text);
    e->racy = false;
    return true;
}

const std::string& last_error() { return t_error; }

void forget(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    drop_entry(path);
}

}  // namespace masscal::suite::profile
