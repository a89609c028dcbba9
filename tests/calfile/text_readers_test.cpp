#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "calfile_fixture.hpp"

using calfile_test::CalFile;

namespace {

TEST(CalFileTextReaders, WhiteSpaceOutsideQuotesOnly) {
    int q = 0;
    for (char c : {'\t', '\n', ' ', ','}) EXPECT_TRUE(CalFile::IsWhiteSpace(c, q)) << int(c);
    for (char c : {'a', '1', '\r', '.', ';', '\0'}) EXPECT_FALSE(CalFile::IsWhiteSpace(c, q)) << int(c);
    // A quote flips the flag and is text; inside quotes space and comma are text.
    std::string seen;
    for (char c : std::string("\" ,\" ")) seen += CalFile::IsWhiteSpace(c, q) ? 'w' : std::to_string(q)[0];
    EXPECT_EQ(seen, "1110w");
}

TEST(CalFileTextReaders, ReadFloatValueByValue) {
    // A token buffer reused without its terminator would read "3" as "3.14159".
    char list[] = "123.14159,3 2.5\t-4e2\n17";
    int pos = 0;
    const int n = static_cast<int>(std::strlen(list));
    for (float want : {123.14159f, 3.0f, 2.5f, -400.0f}) EXPECT_FLOAT_EQ(CalFile::ReadFloat(list, pos, n), want);
    EXPECT_EQ(CalFile::ReadInt(list, pos, n), 17);
    EXPECT_EQ(pos, n);
    EXPECT_FLOAT_EQ(CalFile::ReadFloat(list, pos, n), 0.0f);
}

TEST(CalFileTextReaders, ReadIntTakesDigitsOnly) {
    char buf[] = "  42x 7";
    int pos = 0;
    const int len = static_cast<int>(std::strlen(buf));
    EXPECT_EQ(CalFile::ReadInt(buf, pos, len), 42);
    EXPECT_EQ(pos, 4);
    // A non-digit is no integer, and is not consumed.
    EXPECT_EQ(CalFile::ReadInt(buf, pos, len), 0);
    EXPECT_EQ(pos, 4);
    // '-' is not a digit for ReadInt.
    char neg[] = "-5";
    pos = 0;
    EXPECT_EQ(CalFile::ReadInt(neg, pos, 2), 0);
}

TEST(CalFileTextReaders, LongTokensAreReadIn128CharacterPieces) {
    std::string digits(200, '1');
    int pos = 0;
    const int len = static_cast<int>(digits.size());
    CalFile::ReadInt(digits.data(), pos, len);
    EXPECT_EQ(pos, 128);
    EXPECT_EQ(CalFile::ReadInt(digits.data(), pos, len), 0x7fffffff);  // 72 ones saturate
    EXPECT_EQ(pos, len);
}

TEST(CalFileTextReaders, ReadersRespectTheLength) {
    char buf[] = "12345";
    int pos = 0;
    EXPECT_EQ(CalFile::ReadInt(buf, pos, 3), 123);
    pos = 0;
    EXPECT_FLOAT_EQ(CalFile::ReadFloat(buf, pos, 2), 12.0f);
    // Positions outside the buffer read nothing.
    pos = 7;
    EXPECT_EQ(CalFile::ReadInt(buf, pos, 5), 0);
    pos = -1;
    EXPECT_FLOAT_EQ(CalFile::ReadFloat(buf, pos, 5), 0.0f);
}

TEST(CalFileTextReaders, ReadStringKeepsQuotedTextWhole) {
    char buf[] = "  \"a b, c\" next,last";
    const int len = static_cast<int>(std::strlen(buf));
    int pos = 0;
    char out[64];
    CalFile::ReadString(out, 63, buf, len, pos);
    EXPECT_STREQ(out, "\"a b, c\"");
    CalFile::ReadString(out, 63, buf, len, pos);
    EXPECT_STREQ(out, "next");
    CalFile::ReadString(out, 63, buf, len, pos);
    EXPECT_STREQ(out, "last");
    CalFile::ReadString(out, 63, buf, len, pos);
    EXPECT_STREQ(out, "");
}

TEST(CalFileTextReaders, ReadStringStopsAtNMax) {
    char buf[] = "abcdefgh";
    int pos = 0;
    char out[5];
    std::memset(out, 'z', sizeof out);
    CalFile::ReadString(out, 4, buf, 8, pos);
    EXPECT_STREQ(out, "abcd");
    EXPECT_EQ(pos, 4);
    CalFile::ReadString(out, 4, buf, 8, pos);
    EXPECT_STREQ(out, "efgh");
}

}  // namespace
