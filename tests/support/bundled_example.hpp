// A record calibrated from a bundled example (examples/) as the program does
// it: the settings' defaults, a 50 ppm tolerance on accurate-mass data.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "masscal/calibrate.h"
#include "masscal/params.h"
#include "masscal/quality.h"
#include "masscal/reference.h"
#include "support/synthetic_calibration.hpp"
#include "support/test_files.hpp"

namespace masscal::testing {

inline std::filesystem::path examples_folder() {
    const char* tests = std::getenv("MASSCAL_TEST_DATA");
    namespace fs = std::filesystem;
    const fs::path root = tests ? fs::path(tests).parent_path().parent_path()
                                : fs::path(__FILE__).parent_path().parent_path().parent_path();
    return root / "examples";
}

// order < 0: the settings' automatic order.
inline RecordPtr bundled_example(const char* data, int order, CalWnd owner) {
    RecordPtr r(new CalRecord{});
    CalParamsGetIniFile("Calibration", &r->Params);
    if (order >= 0) {
        r->Params.PolyOrder = order;
        r->Params.AutoPolyOrder = 0;
    }
    r->DataFile = testfiles::ref_to(examples_folder() / data);
    r->RefFile = testfiles::ref_to(examples_folder() / "nai.ref");
    CalSetRefName(r.get(), "nai");
    std::snprintf(r->szDataName, sizeof r->szDataName, "%s", data);
    r->nFirstScan = r->nLastScan = 1;
    r->hOwnerWnd = owner;
    EXPECT_EQ(Calibrate(nullptr, r.get()), 1);
    if (CalIsAccurateMass(&r->DataFile) && CalApplyTolerancePpm(r.get(), 50.0)) CalRecalibrate(nullptr, r.get(), 1);
    return r;
}

}  // namespace masscal::testing
