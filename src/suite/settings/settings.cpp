#include "suite/settings/settings.hpp"

#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "suite/fileaccess/profile.hpp"
#include "suite/fileaccess/profile_engine.hpp"

namespace {

namespace profile = masscal::suite::profile;

struct Store {
    std::mutex mutex;
    int loads = 0;
    std::string path;
    profile::State state;
    masscal::suite::fs::FileIdentity base;
    std::vector<profile::Op> pending;
};

Store& store() {
    static Store s;
    return s;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string home_folder() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    struct passwd pw;
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return std::string();
}

// Creates the missing folders above the file, private to the user as the
// XDG base directory rules ask.
void make_parent_folders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string dir = path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

}  // namespace

std::string SettingsFilePath() {
    std::string explicit_path = env("MASSCAL_SETTINGS");
    if (!explicit_path.empty()) return explicit_path;
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {  // relative values are to be ignored
        const std::string home = home_folder();
        if (home.empty()) return std::string();
        config = home + "/.config";
    }
    return config + "/masscal/settings.ini";
}

int IsIniLoaded() {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.loads > 0 ? 1 : 0;
}

int InitIni(int) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.loads == 0) {
        const std::string path = SettingsFilePath();
        if (path.empty()) return 0;
        profile::State state;
        masscal::suite::fs::FileIdentity base;
        if (!profile::load(path, &state, &base)) return 0;
        s.path = path;
        s.state = std::move(state);
        s.base = base;
        s.pending.clear();
    }
    ++s.loads;
    return 1;
}

int GetIniString(const char* section, const char* key, const char* def, char* buf, int size) {
    if (!buf || size <= 0) return 0;
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto n = static_cast<std::uint32_t>(size);
    if (s.loads > 0) return static_cast<int>(profile::get_string(&s.state, section, key, def, buf, n));
    const std::string path = SettingsFilePath();
    if (path.empty()) return static_cast<int>(profile::get_string(nullptr, section, key, def, buf, n));
    return static_cast<int>(CFileAccess::GetPrivateProfileStringSA(section, key, def, buf, n, path.c_str()));
}

int SetIniString(const char* section, const char* key, const char* value, int create) {
    profile::Op op;
    if (!profile::make_op(section, key, value, &op)) return 0;
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.loads > 0) {
        if (!create && op.kind == profile::Op::Kind::Set && !s.state.doc.find(op.section, op.key, nullptr)) return 0;
        profile::apply(s.state, op);
        s.pending.push_back(std::move(op));
        return 1;
    }
    const std::string path = SettingsFilePath();
    if (path.empty()) return 0;
    if (!create && op.kind == profile::Op::Kind::Set) {
        bool present = false;
        profile::read(path, [&](const profile::State& st) { present = st.doc.find(op.section, op.key, nullptr); });
        if (!present) return 0;
    }
    make_parent_folders(path);
    return CFileAccess::WritePrivateProfileStringSA(section, key, value, path.c_str());
}

int FreeIni(int, int save) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.loads == 0) return 0;
    int result = 1;
    if (save && !s.pending.empty()) {
        make_parent_folders(s.path);
        if (profile::commit(s.path, s.pending, &s.state, &s.base)) {
            s.pending.clear();
            // Later changes start from the file as written.
            profile::load(s.path, &s.state, &s.base);
        } else {
            result = 0;
        }
    }
    if (--s.loads == 0) {
        s.state = profile::State{};
        s.pending.clear();
        s.path.clear();
    }
    return result;
}

int UsesSecurityLight() {
    char text[16];
    GetIniString("FileAccess", "ChecksumTest", "", text, sizeof text);
    for (const char* on : {"1", "TRUE", "YES", "ON"})
        if (strcasecmp(text, on) == 0) return 1;
    return 0;
}
