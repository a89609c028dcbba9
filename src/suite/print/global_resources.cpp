#include "suite/print/global_resources.hpp"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

using namespace masscal::platform;

namespace {

struct OwnedResources {
    GlobalResources res{};
    ~OwnedResources() {
        for (HFont f : {res.hTextFont, res.hHeaderFont, res.hAxisFont, res.hAxisLabelFont, res.hLabelFont,
                        res.hLabelFont2})
            DeleteFont(f);
    }
};

HFont make_font(double points, int dpi, int weight) {
    LogFont lf;
    lf.lfHeight = -static_cast<int>(points * dpi / 72.0 + 0.5);
    lf.lfWeight = weight;
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    return CreateFontIndirect(lf);
}

std::unique_ptr<OwnedResources> make(int dpi) {
    auto r = std::make_unique<OwnedResources>();
    r->res.hTextFont = make_font(9.0, dpi, kFontWeightNormal);
    r->res.hHeaderFont = make_font(8.5, dpi, kFontWeightNormal);
    r->res.hAxisFont = make_font(7.5, dpi, kFontWeightNormal);
    r->res.hAxisLabelFont = make_font(8.0, dpi, kFontWeightBold);
    r->res.hLabelFont = make_font(7.0, dpi, kFontWeightNormal);
    r->res.hLabelFont2 = make_font(7.0, dpi, kFontWeightBold);
    r->res.crHeader = rgb(0x1a, 0x23, 0x5a);
    r->res.crAxis = rgb(0x30, 0x30, 0x30);
    r->res.crAxisText = rgb(0x20, 0x20, 0x20);
    r->res.crZeroLine = rgb(0x80, 0x80, 0x80);
    return r;
}

}  // namespace

const GlobalResources& GetGlobalResources(int dpi) {
    if (dpi < 1) dpi = 96;
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<OwnedResources>> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = cache[dpi];
    if (!slot) slot = make(dpi);
    return slot->res;
}

const GlobalResources& GetGlobalResources(CalDC dc) { return GetGlobalResources(dc ? dc->dpi_y() : 96); }
