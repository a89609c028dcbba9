// The fonts and colours that every drawing of the suite shares: graph
// headers, axes, peak labels and report text. They are made for a device
// resolution, so a page at 600 per inch gets the same physical sizes as a
// screen at 96.
#pragma once

#include "platform/gdi/device_context.hpp"
#include "platform/gdi/font.hpp"

struct GlobalResources {
    masscal::platform::HFont hTextFont;        // report and general text
    masscal::platform::HFont hHeaderFont;      // graph header lines
    masscal::platform::HFont hAxisFont;        // tick labels
    masscal::platform::HFont hAxisLabelFont;   // axis titles
    masscal::platform::HFont hLabelFont;       // peak labels
    masscal::platform::HFont hLabelFont2;      // flag markers of peak labels
    masscal::platform::Colour crHeader;
    masscal::platform::Colour crAxis;          // axis lines and ticks
    masscal::platform::Colour crAxisText;      // tick labels and titles
    masscal::platform::Colour crZeroLine;
};

// The resources for a device of dpi pixels per inch (96 for the screen);
// they live as long as the process. A dpi below 1 counts as 96.
const GlobalResources& GetGlobalResources(int dpi = 96);
// The same for the resolution of a device context.
const GlobalResources& GetGlobalResources(CalDC dc);
