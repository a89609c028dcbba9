#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/calib_eval.hpp"
#include "masscal/calib.h"
#include "masscal/input.h"
#include "mzml/mzml_backend.hpp"
#include "suite/datamanager/mzml_docs.hpp"
#include "support/test_files.hpp"
#include "suite/fileaccess/file_identity.hpp"

namespace {

namespace dm = masscal::dm;
namespace fs = std::filesystem;

// The tests' data folder is set when ctest runs them; otherwise the source
// file's path (relative to the build folder) leads there.
fs::path example() {
    const char* data = std::getenv("MASSCAL_TEST_DATA");
    const fs::path root = data ? fs::path(data).parent_path().parent_path()
                               : fs::path(__FILE__).parent_path().parent_path().parent_path();
    return root / "examples/nai_profile.mzML";
}

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

RawCalibCoEffs mass_function(int type, std::initializer_list<double> coeffs) {
    RawCalibCoEffs f{};
    f.nOrder = static_cast<int32_t>(coeffs.size()) - 1;
    int i = 0;
    for (double c : coeffs) f.dCoeffs[i++] = c;
    f.nType = type;
    return f;
}

class MzmlApply : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = testfiles::temp_dir("mzml-apply");
        mzdocs::Doc d;
        d.indexed = true;
        mzdocs::Spectrum s;
        s.mz = {100.5, 200.25, 300.125};
        s.intensity = {1, 2, 3};
        s.mzType = mzdocs::Type::F32;
        d.spectra = {s, s};
        d.spectra[1].zlib = true;
        doc_ = mzdocs::build(d);
        in_ = dir_ / "in.mzML";
        testfiles::write_file(in_, doc_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Only the files the test made itself are in the folder.
    void expect_only(std::initializer_list<const char*> names) {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(dir_)) {
            ++n;
            bool known = false;
            for (const char* name : names) known |= e.path().filename() == name;
            EXPECT_TRUE(known) << "left behind: " << e.path();
        }
        EXPECT_EQ(n, names.size());
    }

    fs::path dir_, in_;
    std::string doc_;
};

// Each m/z value of both spectra (one zlib-compressed) becomes the mass
// function's value, in 64-bit arrays; the rest of the document is copied;
// an existing output is replaced whole.
TEST_F(MzmlApply, WritesTheCalibratedCopy) {
    struct Case {
        const char* name;
        RawCalibCoEffs f;
        double (*want)(double);  // null: the library's own evaluation
    } cases[] = {
        {"polynomial", mass_function(0, {0.01, 1.0001}), nullptr},
        // sqrt(m) -> 0.001 + 1.0002 sqrt(m), squared, as the check calibration evaluates it.
        {"root mass", mass_function(1, {0.001, 1.0002}),
         [](double m) { return std::pow(0.001 + 1.0002 * std::sqrt(m), 2); }},
        {"identity: 32-bit values widened", mass_function(0, {0.0, 1.0}), [](double m) { return m; }},
    };
    const fs::path out = dir_ / "out.mzML";
    testfiles::write_file(out, std::string(100000, 'x'));
    const auto before = mzdocs::mz_arrays(doc_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(CalApplyToMzml(&c.f, in_.c_str(), out.c_str()), 2) << CalGetDataError();
        EXPECT_STREQ(CalGetDataError(), "");
        const std::string text = read(out);
        EXPECT_EQ(mzdocs::outside_mz_arrays(text), mzdocs::outside_mz_arrays(doc_));
        const auto after = mzdocs::mz_arrays(text);
        ASSERT_EQ(after.size(), 3u);
        for (std::size_t i = 0; i < 2; ++i) {
            std::vector<double> want;
            for (double m : before[i].values) want.push_back(c.want ? c.want(m) : masscal::core::eval_coeffs(&c.f, m));
            EXPECT_EQ(after[i].typeAccession, "MS:1000523");
            EXPECT_EQ(after[i].values, want);
        }
    }
    EXPECT_EQ(read(in_), doc_) << "the input was changed";
    expect_only({"in.mzML", "out.mzML"});
}

TEST_F(MzmlApply, ExampleFileRoundTripsThroughTheReader) {
    const fs::path kExample = example();
    ASSERT_TRUE(fs::exists(kExample)) << kExample;
    const RawCalibCoEffs f = mass_function(0, {-0.002, 1.00001, 1e-7});
    const fs::path out = dir_ / "nai_calibrated.mzML";
    ASSERT_EQ(CalApplyToMzml(&f, kExample.c_str(), out.c_str()), 1) << CalGetDataError();
    const std::string original = read(kExample), copy = read(out);
    EXPECT_EQ(mzdocs::outside_mz_arrays(copy), mzdocs::outside_mz_arrays(original));
    std::string error;
    auto a = dm::parse_mzml(original, "in", error);
    auto b = dm::parse_mzml(copy, "out", error);
    ASSERT_TRUE(a && b) << error;
    dm::Spectrum sa, sb;
    ASSERT_TRUE(a->readScan(1, 1, sa, error)) << error;
    ASSERT_TRUE(b->readScan(1, 1, sb, error)) << error;
    const auto exact = mzdocs::mz_arrays(original);
    ASSERT_EQ(sb.mass.size(), sa.mass.size());
    ASSERT_EQ(exact[0].values.size(), sa.mass.size());
    EXPECT_EQ(sb.intensity, sa.intensity);
    for (std::size_t k = 0; k < sa.mass.size(); ++k) {
        EXPECT_EQ(sb.mass[k], static_cast<float>(masscal::core::eval_coeffs(&f, exact[0].values[k]))) << k;
        EXPECT_GT(sb.mass[k], sa.mass[k]);
    }
}

TEST_F(MzmlApply, FailuresWriteNothing) {
    const RawCalibCoEffs f = mass_function(0, {0.01, 1.0001});
    testfiles::write_file(dir_ / "text.mzML", "peaks 1 2 3\n");
    std::string bad = doc_;
    bad[bad.find("<binary>") + 9] = '!';
    testfiles::write_file(dir_ / "bad.mzML", bad);
    fs::create_directory(dir_ / "sub");
    fs::create_symlink(in_, dir_ / "link.mzML");
    const std::string out = (dir_ / "out.mzML").string();
    struct Case {
        std::string in, out, message;
    } cases[] = {
        {(dir_ / "text.mzML").string(), out, "text.mzML: not an mzML document"},
        {(dir_ / "bad.mzML").string(), out, "spectrum 'scan=1': m/z array does not decode: "},
        {(dir_ / "missing.mzML").string(), out, "missing.mzML: cannot be read"},
        {in_.string(), in_.string(), "would overwrite its input"},
        {in_.string(), (dir_ / "." / "in.mzML").string(), "would overwrite its input"},
        {in_.string(), (dir_ / "link.mzML").string(), "would overwrite its input"},
        {in_.string(), (dir_ / "nowhere" / "out.mzML").string(),
         "cannot write " + (dir_ / "nowhere" / "out.mzML").string() + ": " + std::strerror(ENOENT)},
        {in_.string(), (dir_ / "text.mzML" / "out.mzML").string(),
         "cannot write " + (dir_ / "text.mzML" / "out.mzML").string() + ": " + std::strerror(ENOTDIR)},
        {in_.string(), (dir_ / "sub").string(), "cannot write " + (dir_ / "sub").string() + ": " + std::strerror(EISDIR)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(CalApplyToMzml(&f, c.in.c_str(), c.out.c_str()), -1);
        EXPECT_NE(std::string(CalGetDataError()).find(c.message), std::string::npos) << CalGetDataError();
        EXPECT_EQ(std::string(CalGetDataError()).find('\n'), std::string::npos);
    }
    EXPECT_EQ(CalApplyToMzml(nullptr, in_.c_str(), out.c_str()), -1);
    EXPECT_EQ(CalApplyToMzml(&f, nullptr, out.c_str()), -1);
    EXPECT_EQ(CalApplyToMzml(&f, in_.c_str(), ""), -1);
    EXPECT_EQ(read(in_), doc_);
    expect_only({"in.mzML", "text.mzML", "bad.mzML", "sub", "link.mzML"});
    EXPECT_TRUE(fs::is_empty(dir_ / "sub"));
}

TEST_F(MzmlApply, UnwritableFolderLeavesNoTemporaryFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    const fs::path ro = dir_ / "ro";
    fs::create_directory(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    const RawCalibCoEffs f = mass_function(0, {0.01, 1.0001});
    EXPECT_EQ(CalApplyToMzml(&f, in_.c_str(), (ro / "out.mzML").c_str()), -1);
    EXPECT_NE(std::string(CalGetDataError()).find(std::strerror(EACCES)), std::string::npos) << CalGetDataError();
    fs::permissions(ro, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(ro));
}

TEST_F(MzmlApply, WriteFailingAtTheLastStepLeavesNoTemporaryFile) {
    namespace sfs = masscal::suite::fs;
    sfs::set_before_rename_hook([](const char*, const char*) { return false; });
    const RawCalibCoEffs f = mass_function(0, {0.01, 1.0001});
    const fs::path out = dir_ / "out.mzML";
    EXPECT_EQ(CalApplyToMzml(&f, in_.c_str(), out.c_str()), -1);
    sfs::set_before_rename_hook(nullptr);
    EXPECT_EQ(std::string(CalGetDataError()).rfind("cannot write " + out.string() + ": ", 0), 0u) << CalGetDataError();
    expect_only({"in.mzML"});
}

}  // namespace
