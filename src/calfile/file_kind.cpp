#include "calfile/file_kind.hpp"

#include <cctype>
#include <string>

#include "calfile/tof_text.hpp"
#include "suite/fileaccess/file_identity.hpp"
#include "suite/fileaccess/ini_document.hpp"  // trim
#include "suite/fileaccess/profile_engine.hpp"

namespace masscal::calfile {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr int kTofTextLines = 24;

bool positive_number(std::string_view v) {
    if (v.empty() || v.size() > 9) return false;
    for (char c : v)
        if (c < '0' || c > '9') return false;
    return v.find_first_not_of('0') != std::string_view::npos;
}

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view unquoted(std::string_view v) {
    if (v.size() > 1 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

// One pass over the lines, as the profile reader reads them: a header is a
// line whose first non-blank character is '[' with a ']' after it; of two
// VERSION sections, or two VERSION keys in one, the first counts.
CalFileKind cal_file_kind_of_text(std::string_view text) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return CalFileKind::Missing;
    bool headers = false, version_section = false, in_version = false, version_found = false;
    std::string_view version;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = suite::ini::trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.rfind(']');
            if (close == 0 || close == std::string_view::npos) return CalFileKind::Unreadable;
            headers = true;
            in_version = !version_section && same_name(suite::ini::trim(line.substr(1, close - 1)), "VERSION");
            version_section = version_section || in_version;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!in_version || version_found || eq == std::string_view::npos) continue;
        if (same_name(suite::ini::trim(line.substr(0, eq)), "VERSION")) {
            version_found = true;
            version = unquoted(suite::ini::trim(line.substr(eq + 1)));
        }
    }
    if (!headers) return CalFileKind::OldText;
    if (!version_section) return CalFileKind::Sections;
    return version_found && positive_number(version) ? CalFileKind::Sections : CalFileKind::Unreadable;
}

CalFileKind cal_file_kind(const char* file) {
    if (!file || !*file) return CalFileKind::Unreadable;
    std::string text;
    suite::fs::FileIdentity id;
    if (!suite::fs::read_file(file, suite::profile::kMaxProfileBytes, &text, &id)) return CalFileKind::Unreadable;
    if (!id.exists) return CalFileKind::Missing;
    return cal_file_kind_of_text(text);
}

bool looks_like_tof_text(std::string_view text) {
    const std::size_t first = text.find("\r\n");
    if (first == std::string_view::npos) return false;
    const std::string_view psd = text.substr(0, first);
    if (psd != "TRUE" && psd != "FALSE") return false;
    // The reader takes only the first bytes; the lines must lie within them.
    const std::string_view read = text.substr(0, kTofTextBytes);
    int lines = 1;
    for (std::size_t pos = first + 2; pos < read.size() && lines < kTofTextLines; ++lines) {
        const std::size_t lf = read.find('\n', pos);
        if (lf == std::string_view::npos) return false;
        pos = lf + 1;
    }
    return lines >= kTofTextLines;
}

}  // namespace masscal::calfile
