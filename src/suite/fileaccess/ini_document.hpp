// An INI file held as its lines, so that changing one key leaves every other
// byte of the file as it was: comments, blank lines, spacing, unknown lines
// and each line's own line end. Names compare without regard to ASCII case;
// the first section of a name and the first key of a name in it count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace masscal::suite::ini {

// Case-insensitive (ASCII) hashing and comparison, usable with string_view
// lookups on maps keyed by std::string.
struct CiHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept;
};
struct CiEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};
bool ci_equal(std::string_view a, std::string_view b) noexcept;

// Blank, tab, carriage return, vertical tab, form feed (a line holds no LF).
bool is_blank(char c) noexcept;
std::string_view trim(std::string_view s) noexcept;

class Document {
public:
    Document() = default;

    // Never fails: every byte sequence is a document, and serialize() gives
    // it back unchanged.
    static Document parse(std::string_view text);
    std::string serialize() const;
    std::size_t serialized_size() const;

    // The trimmed value of the first key of that name in the first section
    // of that name; false when either is missing. The view is valid until
    // the next change.
    bool find(std::string_view section, std::string_view key, std::string_view* value) const;
    bool has_section(std::string_view section) const;
    // Names in file order, each section name once.
    std::vector<std::string_view> section_names() const;
    std::vector<std::string_view> key_names(std::string_view section) const;

    // Replaces the value of the key in place (keeping the text up to the
    // value), or adds "key=value" after the last entry of the section, or
    // adds the section (after a blank line) at the end. section, key and
    // value must be valid (see valid_section/valid_key/valid_value). False
    // when the file's text stays the same.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    // False when there was nothing to erase.
    bool erase_key(std::string_view section, std::string_view key);
    bool erase_section(std::string_view section);
    void clear();

    bool empty() const { return bom_.empty() && line_count() == 0; }
    bool uses_crlf() const { return crlf_; }

    // Trimmed names and values that read back as written: none holds a line
    // break or is empty (values may be); a key holds no '=' and does not
    // begin like a comment or a section header.
    static bool valid_section(std::string_view trimmed);
    static bool valid_key(std::string_view trimmed);
    static bool valid_value(std::string_view value);

private:
    enum class Kind : std::uint8_t { Blank, Comment, Header, Entry, Other };
    enum class Eol : std::uint8_t { None, Lf, CrLf };

    struct Line {
        std::string text;  // without the line end
        Eol eol = Eol::None;
        Kind kind = Kind::Blank;
        std::uint32_t name_begin = 0, name_end = 0;    // header name or key
        std::uint32_t value_begin = 0, value_end = 0;  // entries: trimmed value
        std::uint32_t value_start = 0;                 // entries: first byte after "= "
        std::string_view name() const { return std::string_view(text).substr(name_begin, name_end - name_begin); }
        std::string_view value() const {
            return std::string_view(text).substr(value_begin, value_end - value_begin);
        }
    };

    struct Section {
        bool has_header = false;  // only the lines before the first header have none
        Line header;
        std::vector<Line> body;
        // First entry of each key name -> index in body.
        std::unordered_map<std::string, std::uint32_t, CiHash, CiEqual> keys;
        std::size_t anchor = 0;  // insert new keys at this body index
        void reindex();
    };

    static void classify(Line& line);
    Section* first_section(std::string_view name);
    const Section* first_section(std::string_view name) const;
    void reindex_sections();
    std::size_t line_count() const;
    Line* last_line();
    void terminate(Line& line) const;
    Line make_line(std::string text) const;

    std::string bom_;
    bool crlf_ = false;
    std::vector<Section> sections_;  // [0], when present and headerless, is the preamble
    std::unordered_map<std::string, std::uint32_t, CiHash, CiEqual> index_;
};

}  // namespace masscal::suite::ini
