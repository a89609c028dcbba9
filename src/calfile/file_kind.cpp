#include "calfile/file_kind.hpp"

#include <string>

#include "calfile/tof_text_format.hpp"
#include "suite/fileaccess/file_identity.hpp"
#include "suite/fileaccess/ini_document.hpp"
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

}  // namespace

CalFileKind cal_file_kind_of_text(std::string_view text) {
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return CalFileKind::Missing;
    bool headers = false;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = suite::ini::trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() != '[') continue;
        if (line.find(']') == std::string_view::npos) return CalFileKind::Unreadable;
        headers = true;
    }
    if (!headers) return CalFileKind::OldText;
    const suite::ini::Document doc = suite::ini::Document::parse(text);
    if (!doc.has_section("VERSION")) return CalFileKind::Sections;
    std::string_view version;
    if (!doc.find("VERSION", "VERSION", &version) || !positive_number(version)) return CalFileKind::Unreadable;
    return CalFileKind::Sections;
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
