// show: the calibration window on the screen, between the calibration and
// its outputs.
#include <cstdint>

#include "cli_support.hpp"
#include "commands.hpp"
#include "masscal/display.h"
#include "masscal/window.h"

namespace cli {
namespace {

struct Session {
    CalRecord* rec;
    bool accepted = false;
};

// The window's answer: the owner closes it and the loop ends.
void finished(void* user, CalWnd wnd, int32_t accepted, intptr_t) {
    auto* s = static_cast<Session*>(user);
    s->accepted = accepted != 0;
    CalCloseCalibrationWindow(wnd, s->rec);
    CalQuitMessageLoop();
}

bool review_in_window(CalRecord& rec) {
    Session session{&rec};
    CalWnd owner = CalCreateOwnerWindow(finished, &session);
    if (!owner) return false;
    rec.hOwnerWnd = owner;
    // Time-of-flight data get the time-of-flight window, on the spectrum
    // calibration just made.
    if (rec.bTofFunction) rec.bExternalFunction = rec.bTofCalibLoaded = 1;
    // The window's questions and messages are the user's to answer.
    CalSetMessageBoxHandler(nullptr, nullptr);
    CalDisplayCalibration(owner, &rec);
    if (CalGetCalibrationWindow()) CalRunMessageLoop();
    collect_library_messages();
    CalDestroyOwnerWindow(owner);
    rec.hOwnerWnd = nullptr;
    return session.accepted;
}

}  // namespace

int run_show(const CalOptions& o) {
    if (!CalOpenDisplay()) return fail(kBadInput, "", "show needs a display, and none can be opened (is DISPLAY set?)");
    return print_result(o, run_calibration(o, parameters_for(o), review_in_window));
}

}  // namespace cli
