#include "suite/fileaccess/ini_document.hpp"

#include <algorithm>

namespace masscal::suite::ini {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

char lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool has_line_break(std::string_view s) noexcept { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::size_t CiHash::operator()(std::string_view s) const noexcept {
    std::size_t h = 1469598103934665603ull;  // FNV-1a
    for (char c : s) {
        h ^= static_cast<unsigned char>(lower(c));
        h *= 1099511628211ull;
    }
    return h;
}

bool ci_equal(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool CiEqual::operator()(std::string_view a, std::string_view b) const noexcept { return ci_equal(a, b); }

bool is_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) noexcept {
    std::size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b])) ++b;
    while (e > b && is_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool Document::valid_section(std::string_view s) { return !s.empty() && !has_line_break(s) && trim(s) == s; }

bool Document::valid_key(std::string_view s) {
    return !s.empty() && !has_line_break(s) && trim(s) == s && s.find('=') == std::string_view::npos &&
           s.front() != ';' && s.front() != '[';
}

bool Document::valid_value(std::string_view s) { return !has_line_break(s); }

// Windows reads a line as a section header when its first non-blank
// character is '[' and a ']' follows; the name lies between '[' and the last
// ']'. A ';' begins a comment. Other lines with '=' are entries.
void Document::classify(Line& line) {
    const std::string_view t = line.text;
    std::size_t f = 0;
    while (f < t.size() && is_blank(t[f])) ++f;
    line.name_begin = line.name_end = line.value_begin = line.value_end = line.value_start = 0;
    if (f == t.size()) {
        line.kind = Kind::Blank;
        return;
    }
    if (t[f] == ';') {
        line.kind = Kind::Comment;
        return;
    }
    if (t[f] == '[') {
        const std::size_t close = t.rfind(']');
        if (close != std::string_view::npos && close > f) {
            std::size_t b = f + 1, e = close;
            while (b < e && is_blank(t[b])) ++b;
            while (e > b && is_blank(t[e - 1])) --e;
            line.kind = Kind::Header;
            line.name_begin = static_cast<std::uint32_t>(b);
            line.name_end = static_cast<std::uint32_t>(e);
            return;
        }
    }
    const std::size_t eq = t.find('=', f);
    if (eq == std::string_view::npos) {
        line.kind = Kind::Other;
        return;
    }
    std::size_t ke = eq;
    while (ke > f && is_blank(t[ke - 1])) --ke;
    if (ke == f) {  // "=value": no key to address
        line.kind = Kind::Other;
        return;
    }
    std::size_t vb = eq + 1, ve = t.size();
    while (vb < ve && is_blank(t[vb])) ++vb;
    while (ve > vb && is_blank(t[ve - 1])) --ve;
    line.kind = Kind::Entry;
    line.name_begin = static_cast<std::uint32_t>(f);
    line.name_end = static_cast<std::uint32_t>(ke);
    line.value_start = static_cast<std::uint32_t>(vb);
    line.value_begin = static_cast<std::uint32_t>(vb);
    line.value_end = static_cast<std::uint32_t>(ve);
}

void Document::Section::reindex() {
    keys.clear();
    anchor = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const Line& l = body[i];
        if (l.kind == Kind::Entry) keys.try_emplace(std::string(l.name()), static_cast<std::uint32_t>(i));
        if (l.kind == Kind::Entry || l.kind == Kind::Other) anchor = i + 1;
    }
}

void Document::reindex_sections() {
    index_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].has_header)
            index_.try_emplace(std::string(sections_[i].header.name()), static_cast<std::uint32_t>(i));
}

Document Document::parse(std::string_view text) {
    Document d;
    if (text.substr(0, kBom.size()) == kBom) {
        d.bom_ = kBom;
        text.remove_prefix(kBom.size());
    }
    bool style_known = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        Line line;
        if (lf == std::string_view::npos) {
            line.text = text.substr(pos);
            line.eol = Eol::None;
            pos = text.size();
        } else {
            const bool cr = lf > pos && text[lf - 1] == '\r';
            line.text = text.substr(pos, lf - pos - (cr ? 1 : 0));
            line.eol = cr ? Eol::CrLf : Eol::Lf;
            if (!style_known) {
                d.crlf_ = cr;
                style_known = true;
            }
            pos = lf + 1;
        }
        classify(line);
        if (line.kind == Kind::Header) {
            Section s;
            s.has_header = true;
            s.header = std::move(line);
            d.sections_.push_back(std::move(s));
        } else {
            if (d.sections_.empty()) d.sections_.emplace_back();  // the preamble
            d.sections_.back().body.push_back(std::move(line));
        }
    }
    for (Section& s : d.sections_) s.reindex();
    d.reindex_sections();
    return d;
}

std::size_t Document::serialized_size() const {
    std::size_t n = bom_.size();
    auto add = [&n](const Line& l) { n += l.text.size() + (l.eol == Eol::CrLf ? 2 : l.eol == Eol::Lf ? 1 : 0); };
    for (const Section& s : sections_) {
        if (s.has_header) add(s.header);
        for (const Line& l : s.body) add(l);
    }
    return n;
}

std::string Document::serialize() const {
    std::string out;
    out.reserve(serialized_size());
    out += bom_;
    auto add = [&out](const Line& l) {
        out += l.text;
        if (l.eol == Eol::Lf) out += '\n';
        if (l.eol == Eol::CrLf) out += "\r\n";
    };
    for (const Section& s : sections_) {
        if (s.has_header) add(s.header);
        for (const Line& l : s.body) add(l);
    }
    return out;
}

Document::Section* Document::first_section(std::string_view name) {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &sections_[it->second];
}

const Document::Section* Document::first_section(std::string_view name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &sections_[it->second];
}

bool Document::find(std::string_view section, std::string_view key, std::string_view* value) const {
    const Section* s = first_section(section);
    if (!s) return false;
    const auto it = s->keys.find(key);
    if (it == s->keys.end()) return false;
    if (value) *value = s->body[it->second].value();
    return true;
}

bool Document::has_section(std::string_view section) const { return first_section(section) != nullptr; }

std::vector<std::string_view> Document::section_names() const {
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (!sections_[i].has_header) continue;
        const std::string_view n = sections_[i].header.name();
        const auto it = index_.find(n);
        if (it != index_.end() && it->second == i) names.push_back(n);
    }
    return names;
}

std::vector<std::string_view> Document::key_names(std::string_view section) const {
    std::vector<std::string_view> names;
    const Section* s = first_section(section);
    if (!s) return names;
    for (std::size_t i = 0; i < s->body.size(); ++i) {
        const Line& l = s->body[i];
        if (l.kind != Kind::Entry) continue;
        const auto it = s->keys.find(l.name());
        if (it != s->keys.end() && it->second == i) names.push_back(l.name());
    }
    return names;
}

std::size_t Document::line_count() const {
    std::size_t n = 0;
    for (const Section& s : sections_) n += (s.has_header ? 1 : 0) + s.body.size();
    return n;
}

Document::Line* Document::last_line() {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
        if (!s->body.empty()) return &s->body.back();
        if (s->has_header) return &s->header;
    }
    return nullptr;
}

void Document::terminate(Line& line) const {
    if (line.eol == Eol::None) line.eol = crlf_ ? Eol::CrLf : Eol::Lf;
}

Document::Line Document::make_line(std::string text) const {
    Line l;
    l.text = std::move(text);
    l.eol = crlf_ ? Eol::CrLf : Eol::Lf;
    classify(l);
    return l;
}

bool Document::set(std::string_view section, std::string_view key, std::string_view value) {
    Section* s = first_section(section);
    if (!s) {
        if (Line* last = last_line()) {
            terminate(*last);
            if (last->kind != Kind::Blank) {
                if (sections_.empty()) sections_.emplace_back();
                sections_.back().body.push_back(make_line(std::string()));
            }
        }
        Section n;
        n.has_header = true;
        n.header = make_line("[" + std::string(section) + "]");
        n.body.push_back(make_line(std::string(key) + "=" + std::string(value)));
        n.reindex();
        sections_.push_back(std::move(n));
        index_.try_emplace(std::string(section), static_cast<std::uint32_t>(sections_.size() - 1));
        return true;
    }
    const auto it = s->keys.find(key);
    if (it != s->keys.end()) {
        Line& l = s->body[it->second];
        if (std::string_view(l.text).substr(l.value_start) == value) return false;
        l.text.resize(l.value_start);
        l.text.append(value);
        classify(l);
        return true;
    }
    // The line the new entry follows must end, whatever follows it.
    Line& before = s->anchor == 0 ? s->header : s->body[s->anchor - 1];
    terminate(before);
    const std::size_t at = s->anchor;
    s->body.insert(s->body.begin() + static_cast<std::ptrdiff_t>(at),
                   make_line(std::string(key) + "=" + std::string(value)));
    s->keys.try_emplace(std::string(key), static_cast<std::uint32_t>(at));
    s->anchor = at + 1;
    return true;
}

bool Document::erase_key(std::string_view section, std::string_view key) {
    Section* s = first_section(section);
    if (!s) return false;
    const auto it = s->keys.find(key);
    if (it == s->keys.end()) return false;
    s->body.erase(s->body.begin() + it->second);
    s->reindex();
    return true;
}

bool Document::erase_section(std::string_view section) {
    const auto it = index_.find(section);
    if (it == index_.end()) return false;
    sections_.erase(sections_.begin() + it->second);
    reindex_sections();
    return true;
}

void Document::clear() {
    bom_.clear();
    crlf_ = false;
    sections_.clear();
    index_.clear();
}

}  // namespace masscal::suite::ini
