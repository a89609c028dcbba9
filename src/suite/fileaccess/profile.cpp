#include "suite/fileaccess/profile.hpp"

#include <unistd.h>

#include <string_view>
#include <unordered_map>
#include <vector>

#include "suite/fileaccess/profile_engine.hpp"

namespace {

using masscal::suite::fs::FileIdentity;
namespace profile = masscal::suite::profile;

struct Batch {
    int depth = 0;
    bool loaded = false;
    bool failed = false;  // a change could not be made: the batch must not report success
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
        if (!load_batch(*b, path)) {
            b->failed = true;
            return false;
        }
        profile::apply(b->state, op);
        b->log.push_back(std::move(op));
        return true;
    }
    std::vector<profile::Op> ops;
    ops.push_back(std::move(op));
    return profile::commit(path, ops);
}

bool commit_batch(const std::string& path, Batch& b) {
    if (b.failed) return false;
    if (b.log.empty()) return true;
    if (!profile::commit(path, b.log, &b.state, &b.base)) return false;
    b.log.clear();
    b.loaded = false;  // the next change starts from the file as written
    return true;
}

}  // namespace

std::uint32_t CFileAccess::GetPrivateProfileStringSA(const char* section, const char* key, const char* def, char* buf,
                                                     std::uint32_t size, const char* file) {
    if (!buf || size == 0) return 0;
    std::uint32_t n = 0;
    if (!file || !with_state(file, [&](const profile::State& st) {
            n = profile::get_string(&st, section, key, def, buf, size);
        }))
        return profile::get_string(nullptr, section, key, def, buf, size);
    return n;
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
    if (!profile::make_op(section, key, value, &op)) {
        if (Batch* b = batch_of(file)) b->failed = true;
        return 0;
    }
    return perform(file, std::move(op)) ? 1 : 0;
}

int CFileAccess::DeleteFileS(const char* file) {
    if (!file || !*file) return 0;
    const std::string path(file);
    if (Batch* b = batch_of(path)) {
        if (!load_batch(*b, path)) {
            b->failed = true;
            return 0;
        }
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
    Batch* b = batch_of(file_);
    if (!b) return 0;
    if (!outermost_) return b->failed ? 0 : 1;
    return commit_batch(file_, *b) ? 1 : 0;
}
