// Writes the pictures of the documentation from the synthetic calibration
// when MASSCAL_DOC_IMAGES names a folder:
//     MASSCAL_DOC_IMAGES=docs/images build/.../tests/test_graphs --gtest_filter='DocImages.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "masscal/render.h"
#include "report/page_header.hpp"
#include "synthetic_calibration.hpp"

namespace {

const char* folder() { return std::getenv("MASSCAL_DOC_IMAGES"); }

std::time_t fixed_time() { return 1760000000; }

TEST(DocImages, GraphsAndReportPage) {
    if (!folder()) GTEST_SKIP() << "MASSCAL_DOC_IMAGES not set";
    auto rec = masscal::testing::make_synthetic_calibration();
    std::strcpy(rec->szSubtitle, "Instrument 2 - positive ion mode - operator J. Smith");
    masscal::report::set_report_clock(fixed_time);
    const std::string dir = folder();
    EXPECT_EQ(CalRenderGraphs(rec.get(), (dir + "/graphs.png").c_str(), 1200, 900, 0), 1);
    EXPECT_EQ(CalRenderReport(rec.get(), (dir + "/report-page1.png").c_str(), 0), 1);
    masscal::report::set_report_clock(nullptr);
}

}  // namespace
