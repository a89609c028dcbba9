// Readable tick steps: 1, 2 or 5 times a power of ten.
#pragma once

namespace masscal::axes {

struct TickStep {
    double step = 1;
    double minor = 0.2;  // minor tick spacing
    int decimals = 0;    // decimals a label of a multiple of step needs
};

// The smallest 1-2-5 step that puts at most maxTicks intervals on span
// (maxTicks below 1 counts as 1; a span that is not positive gives 1).
TickStep nice_step(double span, int maxTicks);
// The first multiple of step at or above low (with a little tolerance for
// rounding), and the label text of value with the step's decimals.
double first_tick(double low, double step);
int tick_label(char* buf, int size, double value, int decimals);

}  // namespace masscal::axes
