#include "suite/fileaccess/profile.hpp"

#include <unistd.h>

#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "suite/fileaccess/profile_engine.hpp"

namespace {

using masscal::suite::fs::FileIdentity;
using masscal::suite::ini::Document;
using masscal::suite::ini::trim;
namespace profile = masscal::suite::profile;

struct Batch {
    int depth = 0;
    bool loaded = false;
    profile::State state;
    FileIdentity base;
    std::vector<profile::Op> log;
};

thread_local std::unordered_map<std::string, Batch> t_batches;

Batch* batch_of(const std::string& path) {
    const auto it = t_batches.find(path);
    return it == t_batches.end() ? nullptr : &it->second;
}

bool load_batch(Batch& b, const std::string& path) {
    if (!b.loaded) {
        if (!profile::load(path, &b.state, &b.base)) return false;
        b.loaded = true;
    }
    return true;
}

// Calls f with what this thread sees of the file: its open batch, or the
// file itself. False when the file cannot be read.
template <class F>
bool with_state(const std::string& path, F&& f) {
    if (Batch* b = batch_of(path)) {
        if (!load_batch(*b, path)) return false;
        f(b->state);
        return true;
    }
    return profile::read(path, [&](const profile::State& s) { f(s); });
}

// Records op in this thread's batch of the file, or writes it now.
bool perform(const std::string& path, profile::Op op) {
    if (Batch* b = batch_of(path)) {
        if (!load_batch(*b, path)) return false;
        profile::apply(b->state, op);
        b->log.push_back(std::move(op));
        return true;
    }
    std::vector<profile::Op> ops;
    ops.push_back(std::move(op));
    return profile::commit(path, ops);
}

bool commit_batch(const std::string& path, Batch& b) {
    if (b.log.empty()) return true;
    if (!profile::commit(path, b.log, &b.state, &b.base)) return false;
    b.log.clear();
    b.loaded = false;  // the next change starts from the file as written
    return true;
}

std::uint32_t copy_cut(std::string_view v, char* buf, std::uint32_t size) {
    const std::size_t n = v.size() < size - 1 ? v.size() : size - 1;
    std::memcpy(buf, v.data(), n);
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

std::uint32_t CFileAccess::GetPrivateProfileStringSA(const char* section, const char* key, const char* def, char* buf,
                                                     std::uint32_t size, const char* file) {
    if (!buf || size == 0) return 0;
    std::string_view fallback = def ? def : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    if (!file) return copy_cut(fallback, buf, size);

    std::uint32_t n = 0;
    bool answered = false;
    with_state(file, [&](const profile::State& st) {
        const Document& doc = st.doc;
        if (!section) {
            n = copy_list(doc.section_names(), buf, size);
            answered = true;
        } else if (!key) {
            n = copy_list(doc.key_names(trim(section)), buf, size);
            answered = true;
        } else {
            std::string_view v;
            if (doc.find(trim(section), trim(key), &v)) {
                n = copy_cut(unquote(v), buf, size);
                answered = true;
            }
        }
    });
    if (answered) return n;
    if (!section || !key) return copy_list({}, buf, size);
    return copy_cut(fallback, buf, size);
}

std::uint32_t CFileAccess::GetPrivateProfileIntSA(const char* section, const char* key, int def, const char* file) {
    if (!section || !key) return static_cast<std::uint32_t>(def);
    char text[64];
    if (GetPrivateProfileStringSA(section, key, "", text, sizeof text, file) == 0)
        return static_cast<std::uint32_t>(def);
    // Leading blanks, a sign, decimal digits; the rest is ignored. The value
    // wraps as an unsigned 32-bit number, as Windows gives it.
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    std::uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10u + static_cast<std::uint32_t>(*p - '0');
    return negative ? 0u - v : v;
}

int CFileAccess::WritePrivateProfileStringSA(const char* section, const char* key, const char* value,
                                             const char* file) {
    if (!file || !*file) return 0;
    // All three null asks Windows to flush its cache; nothing is held back
    // here outside a batch.
    if (!section) return (!key && !value) ? 1 : 0;
    profile::Op op;
    op.section = trim(section);
    if (!Document::valid_section(op.section)) return 0;
    if (!key) {
        op.kind = profile::Op::Kind::EraseSection;
    } else {
        op.key = trim(key);
        if (!Document::valid_key(op.key)) return 0;
        if (!value) {
            op.kind = profile::Op::Kind::EraseKey;
        } else {
            // A line break in a value would write keys of its own.
            if (!Document::valid_value(value)) return 0;
            op.kind = profile::Op::Kind::Set;
            op.value = value;
        }
    }
    return perform(file, std::move(op)) ? 1 : 0;
}

int CFileAccess::DeleteFileS(const char* file) {
    if (!file || !*file) return 0;
    const std::string path(file);
    if (Batch* b = batch_of(path)) {
        if (!load_batch(*b, path)) return 0;
        const bool existed = b->state.exists;
        profile::Op op;
        op.kind = profile::Op::Kind::Clear;
        profile::apply(b->state, op);
        b->log.push_back(std::move(op));
        return existed ? 1 : 0;
    }
    const bool ok = ::unlink(file) == 0;
    profile::forget(path);
    return ok ? 1 : 0;
}

CProfileWriteBatch::CProfileWriteBatch(const char* file) : file_(file ? file : "") {
    if (file_.empty()) return;
    Batch& b = t_batches[file_];
    outermost_ = b.depth == 0;
    ++b.depth;
}

CProfileWriteBatch::~CProfileWriteBatch() {
    if (file_.empty()) return;
    Batch* b = batch_of(file_);
    if (!b) return;
    if (--b->depth > 0) return;
    commit_batch(file_, *b);
    t_batches.erase(file_);
}

int CProfileWriteBatch::Commit() {
    if (file_.empty()) return 0;
    if (!outermost_) return 1;
    Batch* b = batch_of(file_);
    return b && commit_batch(file_, *b) ? 1 : 0;
}
