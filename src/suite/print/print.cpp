#include "suite/print/print.hpp"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "masscal/ui_provider.h"
#include "platform/gdi/device_context.hpp"
#include "platform/ui.hpp"
#include "suite/fileaccess/file_identity.hpp"

using namespace masscal::platform;

namespace {

std::mutex g_mutex;

PrnSetup& current() {
    static PrnSetup setup = [] {
        PrnSetup s{};
        std::strcpy(s.szOutputFile, "calibration-report.pdf");
        s.dPageWidthIn = 210.0 / 25.4;
        s.dPageHeightIn = 297.0 / 25.4;
        s.dMarginIn = 0.5;
        s.nDpi = 600;
        return s;
    }();
    return setup;
}

}  // namespace

int PrnPrintGCV(PrnSetup* setup) {
    if (!setup) return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    *setup = current();
    return setup->szOutputFile[0] != '\0';
}

int PrnPrintSetup(CalWnd owner) {
    PrnSetup setup;
    PrnPrintGCV(&setup);
    FileDialogRequest request;
    request.save = true;
    request.title = "Print to File";
    request.filter = "PDF Document (*.pdf)|*.pdf||";
    request.default_extension = "pdf";
    request.flags = CAL_FILE_OVERWRITE_PROMPT;
    request.set_path(setup.szOutputFile);
    if (FileDialog(owner, request)) {
        if (request.extension.empty()) request.extension = request.default_extension;
        PrnSetOutputFile(request.path().c_str());
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    return current().szOutputFile[0] != '\0';
}

int PrnSetOutputFile(const char* path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    PrnSetup& s = current();
    if (!path) path = "";
    if (std::strlen(path) >= sizeof s.szOutputFile) return 0;
    std::strcpy(s.szOutputFile, path);
    return 1;
}

namespace {

bool printable(const PrnSetup* setup, double* w, double* h) {
    *w = setup->dPageWidthIn - 2 * setup->dMarginIn;
    *h = setup->dPageHeightIn - 2 * setup->dMarginIn;
    return *w > 0 && *h > 0;
}

}  // namespace

int PrnReportPage(CalWnd wnd, CalDC dc, const PrnSetup* setup, int nPage, int nPages) {
    double w, h;
    if (!dc || !setup || !IsWindow(wnd) || !printable(setup, &w, &h)) return 0;
    const int dpi = dc->dpi_y();
    const int margin = static_cast<int>(setup->dMarginIn * dpi + 0.5);
    PrnPage page{nPage, nPages, static_cast<std::int32_t>(w * dpi), static_cast<std::int32_t>(h * dpi)};
    dc->save();
    dc->set_origin(margin, margin);
    dc->intersect_clip(CalRect{0, 0, page.nWidth, page.nHeight});
    const auto wp = reinterpret_cast<std::uintptr_t>(dc);
    const auto lp = reinterpret_cast<std::intptr_t>(&page);
    const int answer = static_cast<int>(SendMessage(wnd, kPrnPageRequest, wp, lp));
    SendMessage(wnd, kPrnPageDone, wp, lp);
    dc->restore();
    return answer;
}

int PrnReport(CalWnd wnd, const PrnSetup* setup, int nPages, int) {
    double w, h;
    if (!setup || !setup->szOutputFile[0] || !IsWindow(wnd) || nPages < 1 || setup->nDpi < 1 ||
        !printable(setup, &w, &h))
        return 0;
    // Made in memory and put in place whole: a failed print leaves the file
    // as it was.
    std::string document;
    auto dc = CalDeviceContext::create_pdf_in_memory(&document, setup->dPageWidthIn, setup->dPageHeightIn, setup->nDpi);
    if (!dc) return 0;
    for (int i = 1; i <= nPages; ++i)
        if (!PrnReportPage(wnd, dc.get(), setup, i, nPages) || !dc->end_page()) return 0;
    if (!dc->finish()) return 0;
    return masscal::suite::fs::replace_file(setup->szOutputFile, document, nullptr) ? 1 : 0;
}

int PrnReportWindow(CalDC dc, CalWnd wnd, const CalRect* rect, int) {
    if (!dc || !rect || !IsWindow(wnd)) return 0;
    const CalPoint o = dc->origin();
    dc->save();
    dc->set_origin(o.x + rect->left, o.y + rect->top);
    CalRect local{0, 0, rect->right - rect->left, rect->bottom - rect->top};
    dc->intersect_clip(local);
    const auto answer = SendMessage(wnd, kPrnPaintRequest, reinterpret_cast<std::uintptr_t>(dc),
                                    reinterpret_cast<std::intptr_t>(&local));
    dc->restore();
    return static_cast<int>(answer);
}

HFont PrnCreateBoldFont(CalDC dc) {
    if (!dc) return nullptr;
    LogFont lf;
    if (!GetFontDesc(dc->font(), &lf)) return nullptr;
    lf.lfWeight = kFontWeightBold;
    return CreateFontIndirect(lf);
}
