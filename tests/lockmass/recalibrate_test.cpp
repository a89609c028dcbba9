// Recalibration over time on synthetic runs with a known drift: the copy's
// m/z values are judged against the true ones, so a fault anywhere from the
// lock search to the rewritten arrays shows.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "masscal/input.h"
#include "masscal/lockmass.h"
#include "suite/datamanager/mzml_docs.hpp"
#include "support/drift_runs.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::DriftRun;
using masscal::testing::DriftRunFile;

struct RunDeleter {
    void operator()(CalLockMassRun* r) const { CalLockMassFree(r); }
};
using RunPtr = std::unique_ptr<CalLockMassRun, RunDeleter>;

// Every point of a recalibrated spectrum lies this close to its true m/z:
// three standard deviations of one lock peak's noise, though a window's
// median over many peaks is far better than one.
constexpr double kNoisePpm = 0.2;
constexpr double kWithinNoisePpm = 3 * kNoisePpm;

CalLockMassOptions options(void (*change)(CalLockMassOptions&) = nullptr) {
    CalLockMassOptions o;
    CalLockMassDefaults(&o);
    if (change) change(o);
    return o;
}

class Recalibrate : public ::testing::Test {
protected:
    masscal::testing::TempDir dir;
    std::string in = dir.file("run.mzML"), out = dir.file("out.mzML");

    DriftRunFile write(const DriftRun& r) {
        DriftRunFile f = masscal::testing::drift_run(r);
        masscal::testing::spit(in, f.text);
        return f;
    }
    RunPtr run(const DriftRun& r, const CalLockMassOptions& o) {
        return RunPtr(CalLockMassRecalibrate(in.c_str(), out.c_str(), r.locks.data(),
                                             static_cast<int32_t>(r.locks.size()), &o));
    }
    static std::vector<CalLockMassSpectrum> rows(const CalLockMassRun* run) {
        std::vector<CalLockMassSpectrum> v(1);
        while (CalLockMassSpectrumAt(run, static_cast<int32_t>(v.size() - 1), &v.back())) v.emplace_back();
        v.pop_back();
        return v;
    }
    std::vector<std::vector<double>> arrays(const std::string& path) {
        std::vector<std::vector<double>> v;
        for (auto& a : mzdocs::mz_arrays(masscal::testing::slurp(path))) v.push_back(a.values);
        return v;
    }
    // The spectra of a level whose copy strays further than kWithinNoisePpm.
    std::vector<std::size_t> strays(const DriftRunFile& f, int level) {
        const auto copy = arrays(out);
        std::vector<std::size_t> bad;
        for (std::size_t s = 0; s < f.truth.size(); ++s)
            if (f.msLevel[s] == level && !(masscal::testing::worst_background_error_ppm(f, s, copy[s]) <= kWithinNoisePpm))
                bad.push_back(s);
        return bad;
    }
};

TEST_F(Recalibrate, DriftOverTimeIsRemovedToWithinTheNoise) {
    const auto linear = [](double t, double) { return 2.0 + 6.0 * (t - 10.0) / 300.0; };
    const struct Case {
        const char* name;
        std::function<double(double, double)> drift;
        bool profile;
        void (*change)(CalLockMassOptions&);
        // Models with a slope get locks around the whole m/z range: at the
        // run's ends a window is as short as it must be to stay centred on
        // its spectrum, and one spectrum's slope would not carry far.
        std::vector<double> locks = {};
    } cases[] = {
        {"linear over time, a time window", linear, false, [](CalLockMassOptions& o) { o.dRtWindow = 15; }},
        {"a step, a window of scans", [](double t, double) { return t < 160 ? 2.0 : 8.0; }, false,
         [](CalLockMassOptions& o) { o.nScanWindow = 5; }},
        // A window's median lags a drift near the run's ends, where the
        // window is one-sided: the windows here are short for their drifts.
        {"wavy", [](double t, double) { return 5.0 + 3.0 * std::sin(2 * M_PI * t / 240.0); }, false,
         [](CalLockMassOptions& o) { o.dRtWindow = 8; }},
        {"growing with m/z, the linear model",
         [](double t, double mz) { return 2.0 + 4.0 * (t - 10.0) / 300.0 + 3.0 * (mz - 600.0) / 1000.0; }, false,
         [](CalLockMassOptions& o) {
             o.nModel = CAL_LOCK_MODEL_LINEAR;
             o.dRtWindow = 15;
         },
         {300.0, 556.2771, 1200.0}},
        {"the calibration polynomial of order 1, intensity-weighted", linear, false,
         [](CalLockMassOptions& o) {
             o.nModel = CAL_LOCK_MODEL_POLY0 + 1;
             o.bIntensityWeight = 1;
             o.dRtWindow = 15;
         },
         {300.0, 556.2771, 1200.0}},
        {"profile spectra", linear, true, [](CalLockMassOptions& o) { o.dRtWindow = 15; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriftRun r;
        if (!c.locks.empty()) r.locks = c.locks;
        r.drift = c.drift;
        r.profile = c.profile;
        r.noisePpm = kNoisePpm;
        const DriftRunFile f = write(r);
        const RunPtr run = this->run(r, options(c.change));
        ASSERT_TRUE(run) << CalGetDataError();
        CalLockMassSummary s;
        CalLockMassSummaryOf(run.get(), &s);
        EXPECT_EQ(s.nFromWindow, r.ms1);
        EXPECT_EQ(s.nObservations, r.ms1 * 3);
        EXPECT_GT(s.dRmsBeforePpm, 2.0);
        EXPECT_LT(s.dRmsAfterPpm, 1.5 * kNoisePpm);
        EXPECT_EQ(strays(f, 1), std::vector<std::size_t>{});
    }
}

// Locks missing from some spectra leave their windows good; a stretch with
// none takes the nearest good window's model, the table naming it; a run
// whose windows never hold enough locks takes the model of the whole run,
// and one that cannot have that changes nothing and writes nothing.
TEST_F(Recalibrate, MissingLocksAndTheFallbacks) {
    DriftRun r;
    r.noisePpm = kNoisePpm;
    r.drift = [](double t, double) { return 2.0 + 6.0 * (t - 10.0) / 300.0; };
    r.present = [](int i, int lock) {
        if (i >= 80 && i < 100) return false;
        return !(lock == 0 && i % 3 == 0) && !(lock == 2 && i >= 40 && i < 50);
    };
    const DriftRunFile f = write(r);
    const RunPtr run = this->run(r, options([](CalLockMassOptions& o) { o.dRtWindow = 8; }));
    ASSERT_TRUE(run) << CalGetDataError();
    std::vector<std::pair<int, std::int64_t>> got, want;
    for (const CalLockMassSpectrum& row : rows(run.get())) got.emplace_back(row.nSource, row.nDonorIndex);
    for (int i = 0; i < r.ms1; ++i) {
        // Windows of +-4 spectra: those of 84-95 hold no lock at all.
        if (i < 84 || i > 95) want.emplace_back(CAL_LOCK_FROM_WINDOW, -1);
        else want.emplace_back(CAL_LOCK_FROM_NEAREST, i <= 89 ? 83 : 96);
    }
    EXPECT_EQ(got, want);
    CalLockMassSpectrum gap;
    ASSERT_TRUE(CalLockMassSpectrumAt(run.get(), 90, &gap));
    EXPECT_EQ(gap.nLocksFound, 0);
    EXPECT_TRUE(std::isnan(gap.dErrorBeforePpm));
    EXPECT_STREQ(gap.szNote, "0 lock masses found, 1 needed");
    EXPECT_EQ(strays(f, 1), std::vector<std::size_t>{});

    // One lock in each spectrum, in turn: a linear model needs two.
    r.drift = [](double, double mz) { return 4.0 + 3.0 * (mz - 600.0) / 1000.0; };
    r.present = [](int i, int lock) { return lock == i % 2; };
    const auto linear = [](CalLockMassOptions& o) {
        o.nModel = CAL_LOCK_MODEL_LINEAR;
        o.dRtWindow = 0.5;
    };
    const DriftRunFile alternating = write(r);
    RunPtr whole = this->run(r, options(linear));
    ASSERT_TRUE(whole) << CalGetDataError();
    CalLockMassSummary s;
    CalLockMassSummaryOf(whole.get(), &s);
    EXPECT_EQ(s.nFromGlobal, r.ms1);
    EXPECT_EQ(strays(alternating, 1), std::vector<std::size_t>{});

    r.present = [](int, int lock) { return lock == 0; };
    write(r);
    std::filesystem::remove(out);
    whole = this->run(r, options(linear));
    ASSERT_TRUE(whole) << CalGetDataError();
    CalLockMassSummaryOf(whole.get(), &s);
    EXPECT_EQ(s.nUnchanged, r.ms1);
    EXPECT_EQ(s.nRewritten, 0);
    EXPECT_STREQ(s.szGlobalNote, "the model of all lock masses: 1 lock mass found, 2 needed");
    EXPECT_FALSE(std::filesystem::exists(out));
}

// MS2 spectra carry no locks: asked to, they take the model of the MS1
// spectra around them; else they are copied as they were.
TEST_F(Recalibrate, Ms2SpectraFollowTheirMs1Neighbourhood) {
    DriftRun r;
    r.ms1 = 60;
    r.ms2PerCycle = 2;
    r.noisePpm = kNoisePpm;
    r.drift = [](double t, double) { return 3.0 + 5.0 * std::sin(2 * M_PI * t / 200.0); };
    const DriftRunFile f = write(r);
    const auto before = arrays(in);
    for (const int follow : {1, 0}) {
        SCOPED_TRACE(follow);
        CalLockMassOptions o = options([](CalLockMassOptions& x) { x.dRtWindow = 6; });
        o.bFollowHigherLevels = follow;
        const RunPtr run = this->run(r, o);
        ASSERT_TRUE(run) << CalGetDataError();
        const auto table = rows(run.get());
        EXPECT_EQ(table.size(), static_cast<std::size_t>(follow ? r.ms1 * 3 : r.ms1));
        EXPECT_EQ(strays(f, 1), std::vector<std::size_t>{});
        const auto copy = arrays(out);
        for (std::size_t s = 0; s < f.msLevel.size(); ++s) {
            if (f.msLevel[s] != 2) continue;
            if (follow)
                EXPECT_LE(masscal::testing::worst_background_error_ppm(f, s, copy[s]), kWithinNoisePpm) << s;
            else
                EXPECT_EQ(copy[s], before[s]) << s;
        }
    }
}

TEST_F(Recalibrate, FailuresWriteNothing) {
    DriftRun r;
    r.ms1 = 20;
    write(r);
    std::string text = masscal::testing::slurp(in);
    for (std::size_t at; (at = text.find("MS:1000016")) != std::string::npos;) text.replace(at, 10, "MS:1000000");
    masscal::testing::spit(dir.file("untimed.mzML"), text);
    const struct Case {
        const char* name;
        std::string input, output;
        std::vector<double> locks;
        void (*change)(CalLockMassOptions&);
        const char* error;
    } cases[] = {
        {"unknown model", in, out, r.locks, [](CalLockMassOptions& o) { o.nModel = 7; }, "unknown model 7"},
        {"no tolerance", in, out, r.locks, [](CalLockMassOptions& o) { o.dTolerancePpm = 0; }, "tolerance"},
        {"overlapping locks", in, out, {556.2771, 556.2800}, nullptr, "lie within the tolerance of each other"},
        {"nothing in the range", in, out, r.locks,
         [](CalLockMassOptions& o) {
             o.bRtRange = 1;
             o.dRtFrom = 1000;
             o.dRtTo = 2000;
         },
         "no spectrum lies in the chosen retention-time or scan range"},
        {"no MS3 spectra", in, out, r.locks, [](CalLockMassOptions& o) { o.nMsLevel = 3; }, "no MS3 spectra"},
        {"no retention times", dir.file("untimed.mzML"), out, r.locks, nullptr, "no retention time"},
        {"onto its input", in, in, r.locks, nullptr, "would overwrite its input"},
        {"no such input", dir.file("none.mzML"), out, r.locks, nullptr, "none.mzML"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CalLockMassOptions o = options(c.change);
        const RunPtr run(CalLockMassRecalibrate(c.input.c_str(), c.output.c_str(), c.locks.data(),
                                                static_cast<int32_t>(c.locks.size()), &o));
        EXPECT_FALSE(run);
        EXPECT_NE(std::string(CalGetDataError()).find(c.error), std::string::npos) << CalGetDataError();
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    EXPECT_EQ(masscal::testing::slurp(in), masscal::testing::drift_run(r).text);
}

}  // namespace
