// The engine's error state: the last message text (per thread) and the
// process-wide switch that silences message boxes of coded errors.
#pragma once

#include <cstddef>

#include "masscal/calib.h"

// Capacity of the message buffer: the longest coded text with a 255-char
// file name, and an editor command line with a long folder and full path.
constexpr std::size_t kCalErrorBufferSize = 2048;

// Composes the text of code into the buffer and, when the switch is on,
// shows it in a message box owned by owner (caption "Calibrate", type 48).
// Reads only DataFile.szName (-12) and Params.PolyOrder (-8) of rec; rec
// may be null, in which case those read as empty and 0.
void CalShowError(CalWnd owner, int32_t code, const CalRecord* rec);

namespace masscal::core {

// The calling thread's message buffer (kCalErrorBufferSize bytes).
char* error_buffer();
// Replaces the buffer's text (cut to fit).
void set_error_text(const char* text);
// The process-wide show switch.
bool error_show_enabled();

// Composes the text of code into out without showing it.
void compose_error_text(int32_t code, const CalRecord* rec, char* out, std::size_t size);

}  // namespace masscal::core
