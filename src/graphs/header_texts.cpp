// The header lines of the three graphs.
#include <cstring>

#include "graphs/graph_internal.hpp"
#include "suite/utility/ftoa.hpp"
#include "texts/report_text.hpp"

namespace masscal::graphs {

using namespace masscal::report;

namespace {

void append(char* dest, std::size_t size, const char* text) {
    const std::size_t used = std::strlen(dest);
    if (used + 1 >= size) return;
    std::strncat(dest, text, size - used - 1);
}

}  // namespace

void header_texts(const CalRecord* rec, int graph, char* slot1, char* slot2, std::size_t size) {
    char fmt[512];
    slot1[0] = slot2[0] = '\0';
    const bool detail = has_detail(rec);
    switch (graph) {
        case 0: {
            format(slot2, size, translate(fmt, sizeof fmt, kMatchesText), rec->MatchPeaks.nCount,
                   rec->RefPeaks.nCount);
            const bool calibrated = rec->bCheckOnly || rec->Params.CalibrateDisplay;
            char name[sizeof rec->DataFile.szName + 1];
            std::memcpy(name, rec->DataFile.szName, sizeof rec->DataFile.szName);
            name[sizeof rec->DataFile.szName] = '\0';
            format(slot1, size, translate(fmt, sizeof fmt, calibrated ? kDataFileCalibrated : kDataFileUncalibrated),
                   name);
            break;
        }
        case 1: {
            char ref[CAL_REF_NAME_BYTES];
            CalGetRefName(rec, ref, sizeof ref);
            format(slot1, size, translate(fmt, sizeof fmt, kReferenceText), ref);
            format(slot2, size, translate(fmt, sizeof fmt, kMeanResidualStatistics), rec->dMeanResidual);
            break;
        }
        default: {
            format(slot1, size, translate(fmt, sizeof fmt, kAxisAndPolyOrder), rec->ErrorFunc.nOrder);
            if (detail) append(slot1, size, "\r\nErrors displayed represent 95% confidence interval");
            if (residual_unit_amu())
                format(slot2, size, translate(fmt, sizeof fmt, kRmsResidualAmu), rec->dRmsResidual);
            else
                format(slot2, size, translate(fmt, sizeof fmt, kRmsResidualPpm), rec->dRmsResidualPpm);
            if (detail && rec->Params.AutoPolyOrder) {
                char number[kFtoaBufferSize];
                append(slot2, size, "\r\n<95% confidence band> = ");
                append(slot2, size, ftoa(rec->dConfBandPpm, number, 6));
                append(slot2, size, " ppm");
            }
            break;
        }
    }
}

}  // namespace masscal::graphs
