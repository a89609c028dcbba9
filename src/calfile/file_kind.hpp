// What a calibration file holds, told before it is read or written: the
// time-of-flight readers and writers treat the older text format apart, and
// a file that is neither must never be read as one or deleted as one.
#pragma once

#include <string_view>

namespace masscal::calfile {

enum class CalFileKind {
    Missing,     // no file, or an empty one
    OldText,     // no section at all: the older time-of-flight text format
    Sections,    // sections, with a positive VERSION or no VERSION section
    Unreadable,  // a VERSION that is not a positive number, a section header
                 // without its ']', or a file that cannot be read
};

CalFileKind cal_file_kind(const char* file);
// The same for a file's text.
CalFileKind cal_file_kind_of_text(std::string_view text);

// Whether text has the shape of the older time-of-flight text format: a
// first line of exactly TRUE or FALSE ended by CR LF, then at least the 23
// further lines of the format.
bool looks_like_tof_text(std::string_view text);

// Writes the current VERSION stamp into file (the class keeps its stamp to
// its own writers; the library's other writers stamp through this).
void stamp_version(const char* file);

}  // namespace masscal::calfile
