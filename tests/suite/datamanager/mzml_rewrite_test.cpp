#include "mzml/mzml_rewrite.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <limits>

#include "mzml/mzml_backend.hpp"
#include "suite/datamanager/mzml_docs.hpp"
#include "suite/utility/sha1.hpp"

namespace {

namespace dm = masscal::dm;
using mzdocs::Type;

double shift(double x) { return x * 1.0001 + 0.01; }

struct Result {
    bool ok = false;
    std::string text, error;
    std::size_t rewritten = 0;
};

Result rewrite(std::string_view in, const dm::MassMapping& f = shift) {
    Result r;
    r.ok = dm::rewrite_mzml(in, f, r.text, r.rewritten, r.error);
    return r;
}

mzdocs::Spectrum spectrum(Type t, bool zlib) {
    mzdocs::Spectrum s;
    s.mz = {100.25, 250.5, 499.125, 1234.0625};
    if (t == Type::I32 || t == Type::I64) s.mz = {100, 250, 499, 1234};
    s.intensity = {1, 20, 300, 4000};
    s.mzType = t;
    s.zlib = zlib;
    return s;
}

// Checks an output against its input: the same text outside the m/z
// arrays, each array holding f of the input values exactly as 64-bit floats.
void expect_rewritten(const std::string& in, const Result& r) {
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(mzdocs::outside_mz_arrays(r.text), mzdocs::outside_mz_arrays(in));
    const auto before = mzdocs::mz_arrays(in), after = mzdocs::mz_arrays(r.text);
    ASSERT_EQ(before.size(), after.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(before[i].spectrum);
        ASSERT_TRUE(after[i].error.empty()) << after[i].error;
        ASSERT_EQ(after[i].values.size(), before[i].values.size());
        EXPECT_EQ(after[i].zlib, before[i].zlib);
        if (before[i].length == 0) continue;
        ++changed;
        if (!before[i].typeFromGroup) {
            EXPECT_EQ(after[i].typeAccession, "MS:1000523");
            EXPECT_EQ(after[i].typeName, before[i].typeAccession == "MS:1000523" ? "type" : "64-bit float");
        }
        EXPECT_EQ(after[i].encodedLength, std::to_string(after[i].binary.size()));
        for (std::size_t k = 0; k < before[i].values.size(); ++k)
            EXPECT_EQ(after[i].values[k], shift(before[i].values[k])) << k;
    }
    EXPECT_EQ(r.rewritten, changed);
}

// Every index offset points at the start tag of the element it names, the
// list offset at <indexList, and the checksum is that of the text before it.
void expect_index_true(const std::string& text) {
    const std::string open = "<offset idRef=\"";
    int seen = 0;
    for (std::size_t p = text.find(open); p != std::string::npos; p = text.find(open, p + 1), ++seen) {
        const std::size_t idEnd = text.find('"', p + open.size());
        const std::string id = text.substr(p + open.size(), idEnd - p - open.size());
        ASSERT_EQ(text.compare(idEnd, 2, "\">"), 0);
        const std::size_t at = std::stoul(text.substr(idEnd + 2));
        ASSERT_LT(at, text.size());
        const std::string tag = text.substr(at, text.find('>', at) - at);
        EXPECT_TRUE(tag.rfind("<spectrum ", 0) == 0 || tag.rfind("<chromatogram ", 0) == 0) << tag;
        EXPECT_NE(tag.find("id=\"" + id + "\""), std::string::npos) << tag;
    }
    EXPECT_GT(seen, 0);
    const std::size_t lo = text.find("<indexListOffset>") + 17;
    EXPECT_EQ(std::stoul(text.substr(lo)), text.find("<indexList "));
    const std::size_t sum = text.find("<fileChecksum>") + 14;
    EXPECT_EQ(text.substr(sum, 40), masscal::suite::sha1_hex(std::string_view(text).substr(0, sum)));
}

struct Case {
    const char* name;
    Type type;
    bool zlib;
    bool indexed;
};

class Encodings : public ::testing::TestWithParam<Case> {};

TEST_P(Encodings, OnlyTheMzArraysChange) {
    const Case c = GetParam();
    mzdocs::Doc d;
    d.indexed = c.indexed;
    d.spectra = {spectrum(c.type, c.zlib), spectrum(c.type, !c.zlib), spectrum(Type::F64, c.zlib)};
    const std::string in = mzdocs::build(d);
    if (c.indexed) expect_index_true(in);  // the builder's own index is right
    const Result r = rewrite(in);
    expect_rewritten(in, r);
    EXPECT_EQ(r.rewritten, 3u);
    if (c.indexed) expect_index_true(r.text);
    else EXPECT_EQ(r.text.find("<indexList"), std::string::npos);
    // The library's reader takes the copy, masses shifted.
    std::string error;
    auto f = dm::parse_mzml(r.text, "copy", error);
    ASSERT_TRUE(f) << error;
    dm::Spectrum s;
    ASSERT_TRUE(f->readScan(1, 1, s, error)) << error;
    const auto before = mzdocs::mz_arrays(in);
    ASSERT_EQ(s.mass.size(), before[0].values.size());
    for (std::size_t k = 0; k < s.mass.size(); ++k) EXPECT_EQ(s.mass[k], static_cast<float>(shift(before[0].values[k])));
}

INSTANTIATE_TEST_SUITE_P(
    All, Encodings,
    ::testing::Values(Case{"f32_plain", Type::F32, false, false}, Case{"f32_zlib", Type::F32, true, false},
                      Case{"f64_plain", Type::F64, false, false}, Case{"f64_zlib_indexed", Type::F64, true, true},
                      Case{"f32_plain_indexed", Type::F32, false, true}, Case{"i32_zlib", Type::I32, true, true},
                      Case{"i64_plain", Type::I64, false, true}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(MzmlRewrite, ChromatogramsAndEmptySpectraKeepTheirBytes) {
    mzdocs::Doc d;
    d.indexed = true;
    d.spectra = {spectrum(Type::F32, false)};
    const std::string in = mzdocs::build(d);
    const Result r = rewrite(in);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.rewritten, 1u);
    auto part = [](const std::string& s, const char* from, const char* to) {
        const std::size_t a = s.find(from);
        return s.substr(a, s.find(to, a) - a);
    };
    EXPECT_EQ(part(r.text, "<chromatogramList", "</chromatogramList>"), part(in, "<chromatogramList", "</chromatogramList>"));
    EXPECT_EQ(part(r.text, "<spectrum index=\"1\"", "</spectrum>"), part(in, "<spectrum index=\"1\"", "</spectrum>"));
    // The chromatogram moved with the longer arrays before it.
    EXPECT_GT(r.text.find("<chromatogram "), in.find("<chromatogram "));
    expect_index_true(r.text);
}

TEST(MzmlRewrite, UnchangedDocumentKeepsItsIndexAndChecksum) {
    mzdocs::Doc d;
    d.indexed = true;
    d.spectra = {};
    const std::string in = mzdocs::build(d);
    const Result r = rewrite(in);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.rewritten, 0u);
    EXPECT_EQ(r.text, in);
}

TEST(MzmlRewrite, SixtyFourBitTypeFromAGroupIsRead) {
    mzdocs::Doc d;
    d.spectra = {spectrum(Type::F64, true)};
    d.spectra[0].typeGroup = "f64";
    const std::string in = mzdocs::build(d);
    const Result r = rewrite(in);
    expect_rewritten(in, r);
    EXPECT_EQ(r.rewritten, 1u);
    // The group itself is as it was.
    EXPECT_NE(r.text.find("<referenceableParamGroupRef ref=\"f64\"/>"), std::string::npos);
}

TEST(MzmlRewrite, ThirtyTwoBitTypeFromAGroupIsRefused) {
    mzdocs::Doc d;
    d.spectra = {spectrum(Type::F32, false)};
    d.spectra[0].typeGroup = "f32";
    const Result r = rewrite(mzdocs::build(d));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("spectrum 'scan=1'"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("parameter group 'f32'"), std::string::npos) << r.error;
}

TEST(MzmlRewrite, TypeTermKeepsItsQuotesAndCvRef) {
    const std::string in =
        "<mzML><run><spectrumList><spectrum id='a' defaultArrayLength='1'><binaryDataArrayList><binaryDataArray "
        "encodedLength='8'>\n <cvParam cvRef='PSI-MS' accession = 'MS:1000521' value=''/>\n <cvParam "
        "accession='MS:1000514' name='m/z array'/>  <binary>" +
        mzdocs::encode({500.5}, Type::F32, false) + "</binary></binaryDataArray></binaryDataArrayList></spectrum>"
        "</spectrumList></run></mzML>";
    const Result r = rewrite(in);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_NE(r.text.find("encodedLength='12'>\n <cvParam cvRef='PSI-MS' accession = 'MS:1000523' name='64-bit "
                          "float' value=''/>\n <cvParam accession='MS:1000514'"),
              std::string::npos)
        << r.text;
    EXPECT_NE(r.text.find("<binary>" + mzdocs::encode({shift(500.5f)}, Type::F64, false) + "</binary>"),
              std::string::npos);
}

TEST(MzmlRewrite, UnindexedRealLayoutWithoutEncodedLengthStillWorks) {
    const std::string in =
        "<mzML><run><spectrumList><spectrum id='a' defaultArrayLength='2'><binaryDataArrayList><binaryDataArray "
        "arrayLength='2'><cvParam accession='MS:1000523' name='x'/><cvParam accession='MS:1000514'/><binary>\n" +
        mzdocs::encode({1, 2}, Type::F64, false) + "\n</binary></binaryDataArray></binaryDataArrayList></spectrum>"
        "</spectrumList></run></mzML>";
    const Result r = rewrite(in);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(mzdocs::outside_mz_arrays(r.text), mzdocs::outside_mz_arrays(in));
    EXPECT_EQ(r.text.find("encodedLength"), std::string::npos);
}

TEST(MzmlRewrite, Failures) {
    mzdocs::Doc d;
    d.spectra = {spectrum(Type::F32, false), spectrum(Type::F32, false), spectrum(Type::F32, true)};
    const std::string good = mzdocs::build(d);
    std::string badBase64 = good;
    {
        // Corrupt the third spectrum's m/z data.
        std::size_t at = badBase64.find("id=\"scan=3\"");
        at = badBase64.find("<binary>", at) + 8;
        badBase64[at + 1] = '*';
    }
    std::string indexBroken = mzdocs::build([&] {
        mzdocs::Doc x = d;
        x.indexed = true;
        return x;
    }());
    indexBroken.replace(indexBroken.find("idRef=\"scan=2\""), 14, "idRef=\"scan=9\"");
    std::string comment = good;
    comment.replace(comment.find("<binary>") + 8, 0, "<!-- x -->");
    struct Bad {
        std::string text, message;
    } cases[] = {
        {"", "not an mzML document"},
        {"just text", "not an mzML document"},
        {"<html><body/></html>", "not an mzML document"},
        {"<mzML><run><spectrumList><spectrum", "not an mzML document"},
        {badBase64, "spectrum 'scan=3': m/z array does not decode: the binary data is not valid base64"},
        {indexBroken, "'scan=9'"},
        {comment, "more than plain text"},
    };
    for (const Bad& b : cases) {
        const Result r = rewrite(b.text);
        EXPECT_FALSE(r.ok) << b.message;
        EXPECT_NE(r.error.find(b.message), std::string::npos) << r.error;
    }
    const Result nan = rewrite(good, [](double x) { return x > 400 ? std::nan("") : x; });
    EXPECT_FALSE(nan.ok);
    EXPECT_NE(nan.error.find("m/z value 3 does not map to a finite number"), std::string::npos) << nan.error;
}

TEST(MzmlRewrite, ArrayLengthBeyondTheDataIsRefused) {
    mzdocs::Doc d;
    d.spectra = {spectrum(Type::F64, true)};
    std::string in = mzdocs::build(d);
    in.replace(in.find("defaultArrayLength=\"4\""), 22, "defaultArrayLength=\"4000000000000\"");
    const Result r = rewrite(in);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("m/z array does not decode"), std::string::npos) << r.error;
}

TEST(Sha1, KnownVectors) {
    using masscal::suite::sha1_hex;
    EXPECT_EQ(sha1_hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(sha1_hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(sha1_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(sha1_hex(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // Pieces give the digest of the whole.
    const std::string text(1000, 'q');
    for (std::size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 999u}) {
        masscal::suite::Sha1 s;
        s.update(text.data(), cut);
        s.update(text.data() + cut, text.size() - cut);
        const auto d = s.finish();
        char hex[41];
        for (int i = 0; i < 20; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
        EXPECT_EQ(std::string(hex), masscal::suite::sha1_hex(text)) << cut;
    }
}

}  // namespace

namespace reading {

std::vector<dm::Spectrum> read_all(const std::string& text, std::string& error) {
    std::vector<dm::Spectrum> out;
    auto f = dm::parse_mzml(text, "doc", error);
    if (!f) return out;
    for (int fn = 1; fn <= f->functionCount(); ++fn) {
        dm::FunctionDescription d;
        f->describe(fn, d);
        for (int s = 1; s <= d.scanCount; ++s) {
            out.emplace_back();
            if (!f->readScan(fn, s, out.back(), error)) return {};
        }
    }
    return out;
}

// The text with what follows pattern's group in each match replaced by value
// ("$01", not "$1": the value may begin with a digit).
std::string replace_all(const std::string& s, const char* pattern, const char* value) {
    return std::regex_replace(s, std::regex(pattern), std::string("$01") + value);
}

}  // namespace reading

// The walk over the spectrum list trusts neither the index nor the encoded
// lengths, and a document cut short anywhere is refused by reader and
// rewriter alike.
TEST(MzmlStream, TruncatedOrMisleadingDocuments) {
    mzdocs::Doc d;
    d.indexed = true;
    d.spectra = {spectrum(Type::F64, true), spectrum(Type::F32, false), spectrum(Type::F64, false)};
    const std::string good = mzdocs::build(d);
    std::string error;
    const auto expected = reading::read_all(good, error);
    ASSERT_EQ(expected.size(), 4u) << error;  // with the empty one

    const std::string misleading[] = {
        // offsets into the middle of elements, and past the end
        reading::replace_all(good, "(<offset idRef=\"[^\"]*\">)[0-9]+", "5"),
        reading::replace_all(good, "(<indexListOffset>)[0-9]+", "99999999"),
        // encoded lengths too short, too long, and not numbers
        reading::replace_all(good, "(encodedLength=\")[0-9]+", "1"),
        reading::replace_all(good, "(encodedLength=\")[0-9]+", "100000"),
        reading::replace_all(good, "(encodedLength=\")[0-9]+", "x"),
    };
    for (const std::string& text : misleading) ASSERT_NE(text, good);
    for (const std::string& text : misleading) {
        SCOPED_TRACE(&text - misleading);
        EXPECT_EQ(reading::read_all(text, error).size(), expected.size()) << error;
        const auto got = reading::read_all(text, error);
        for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].mass, expected[i].mass);
        const Result r = rewrite(text);
        ASSERT_TRUE(r.ok) << r.error;
        expect_index_true(r.text);
    }

    const std::size_t end = good.rfind('>') + 1;
    for (std::size_t cut = 0; cut < end; cut += 3) {
        const std::string part = good.substr(0, cut);
        EXPECT_EQ(dm::parse_mzml(part, "cut", error), nullptr) << cut;
        EXPECT_FALSE(error.empty());
        const Result r = rewrite(part);
        EXPECT_FALSE(r.ok) << cut;
        EXPECT_FALSE(r.error.empty());
    }
}
