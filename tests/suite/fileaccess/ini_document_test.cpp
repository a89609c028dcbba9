#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suite/fileaccess/ini_document.hpp"

namespace {

using masscal::suite::ini::Document;

std::string value_of(const Document& d, const char* section, const char* key) {
    std::string_view v;
    return d.find(section, key, &v) ? std::string(v) : std::string("<missing>");
}

TEST(IniDocument, GivesEveryTextBackUnchanged) {
    const std::vector<std::string> texts = {
        "",
        "\n",
        "[A]",
        "[A]\r\nx=1\r\n",
        "[A]\nx=1",
        "; only a comment",
        "\xEF\xBB\xBF[A]\nk = v \n",
        "junk before\n[A]\n  x = 1  \nnot an entry\n\n; about B\n[B]\r\ny=2\r\n[a]\nx=3\n",
        "[A]\r\r\nx=1\r\n\r\n",
        std::string("[A]\nk=v\0w\n", 11),
        "[unclosed\nx=1\n[ spaced name ]  trailing\n=novalue\n",
    };
    for (const std::string& t : texts) EXPECT_EQ(Document::parse(t).serialize(), t) << t;
}

TEST(IniDocument, FirstSectionAndFirstKeyCountAndNamesIgnoreCase) {
    const Document d = Document::parse("[Alpha]\nKey=1\nkey=2\n[ALPHA]\nother=3\n[Beta]\n  spaced key  =  x y  \n");
    EXPECT_EQ(value_of(d, "alpha", "KEY"), "1");
    EXPECT_EQ(value_of(d, "ALPHA", "other"), "<missing>");  // in the second [ALPHA]
    EXPECT_EQ(value_of(d, "beta", "SPACED KEY"), "x y");
    // Keys outside sections and comments are not entries.
    const Document c = Document::parse("x=0\n[A]\n;y=1\n  ; z=2\n");
    for (const char* key : {"x", ";y", "y"}) EXPECT_EQ(value_of(c, key[0] == 'x' ? "" : "A", key), "<missing>");
    EXPECT_FALSE(d.has_section("Gamma"));
    EXPECT_EQ(d.section_names(), (std::vector<std::string_view>{"Alpha", "Beta"}));
    EXPECT_EQ(d.key_names("alpha"), (std::vector<std::string_view>{"Key"}));
}

struct SetCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

class IniDocumentSet : public ::testing::TestWithParam<SetCase> {};

TEST_P(IniDocumentSet, ChangesOnlyWhatItMust) {
    const SetCase& c = GetParam();
    Document d = Document::parse(c.before);
    d.set(c.section, c.key, c.value);
    EXPECT_EQ(d.serialize(), c.after);
    // What was written reads back, and the text parses to the same document.
    EXPECT_EQ(value_of(d, c.section, c.key), masscal::suite::ini::trim(c.value));
    EXPECT_EQ(Document::parse(d.serialize()).serialize(), d.serialize());
}

const SetCase kSetCases[] = {
    {"new_file", "", "A", "x", "1", "[A]\nx=1\n"},
    {"replace_keeps_spacing", "[A]\nx = 1 \ny=2\n", "a", "X", "22", "[A]\nx = 22\ny=2\n"},
    {"replace_empty_value", "[A]\nx=\n", "A", "x", "v", "[A]\nx=v\n"},
    {"append_after_last_entry", "[A]\nx=1\n\n; B next\n[B]\ny=2\n", "A", "z", "3",
     "[A]\nx=1\nz=3\n\n; B next\n[B]\ny=2\n"},
    {"append_to_empty_section", "[A]\n\n[B]\n", "A", "z", "3", "[A]\nz=3\n\n[B]\n"},
    {"append_to_unterminated", "[A]\nx=1", "A", "y", "2", "[A]\nx=1\ny=2\n"},
    {"header_unterminated", "[A]", "A", "y", "2", "[A]\ny=2\n"},
    {"new_section_at_end", "[A]\nx=1\n", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
    {"new_section_after_blank", "[A]\nx=1\n\n", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
    {"new_section_unterminated", "[A]\nx=1", "B", "y", "2", "[A]\nx=1\n\n[B]\ny=2\n"},
    {"crlf_kept", "[A]\r\nx=1\r\n", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
    {"crlf_new_section", "[A]\r\nx=1\r\n", "B", "y", "2", "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
    {"first_of_duplicate_sections", "[A]\nx=1\n[a]\nx=2\n", "A", "y", "3", "[A]\nx=1\ny=3\n[a]\nx=2\n"},
    {"preamble_kept", "; notes\n[A]\n", "A", "k", "v", "; notes\n[A]\nk=v\n"},
    {"comment_only_file", "; notes", "A", "k", "v", "; notes\n\n[A]\nk=v\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniDocumentSet, ::testing::ValuesIn(kSetCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IniDocument, EraseKeyAndSection) {
    Document d = Document::parse("[A]\nx=1\ny=2\n\n[B]\nz=3\n[A]\nx=9\n");
    EXPECT_TRUE(d.erase_key("a", "X"));
    EXPECT_EQ(d.serialize(), "[A]\ny=2\n\n[B]\nz=3\n[A]\nx=9\n");
    EXPECT_FALSE(d.erase_key("A", "x"));  // the second [A] is never read
    d.set("A", "w", "4");
    EXPECT_EQ(d.serialize(), "[A]\ny=2\nw=4\n\n[B]\nz=3\n[A]\nx=9\n");
    EXPECT_TRUE(d.erase_section("b"));
    EXPECT_EQ(d.serialize(), "[A]\ny=2\nw=4\n\n[A]\nx=9\n");
    EXPECT_TRUE(d.erase_section("A"));
    // The next section of the name now counts.
    EXPECT_EQ(value_of(d, "A", "x"), "9");
    EXPECT_FALSE(d.erase_section("C"));
    // Setting the same text, spacing aside, is no change.
    Document spaced = Document::parse("[A]\nx = 1\n");
    EXPECT_FALSE(spaced.set("A", "x", "1"));
    EXPECT_TRUE(spaced.set("A", "x", "2"));
}

TEST(IniDocument, ValidNames) {
    EXPECT_TRUE(Document::valid_key("Polynomial001"));
    for (const char* bad : {"", "a=b", ";c", "[s]", "a\nb"}) EXPECT_FALSE(Document::valid_key(bad)) << bad;
    EXPECT_TRUE(Document::valid_section("FUNCTIONS001"));
    EXPECT_FALSE(Document::valid_section("a\rb"));
    EXPECT_FALSE(Document::valid_value("1\n[Evil]"));
    EXPECT_TRUE(Document::valid_value(""));
}

}  // namespace
