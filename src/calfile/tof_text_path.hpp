// The path of a file given as a plain-file reference, as the older
// time-of-flight text format forms it, and the reference of a path.
#pragma once

#include <cstddef>

#include "masscal/records.h"

namespace masscal::calfile {

// Room for any joined directory, name and extension.
constexpr std::size_t kTofPathSize = 1024;

// Directory, a separator unless the directory ends in '/' or '\', the
// name, and the extension after a dot when there is one.
void tof_ref_to_path(const RawFileRef* ref, char* out, std::size_t size);

// The inverse: joining the result gives path back. False (and an empty
// reference) when a part does not fit its field: a cut path would name
// another file.
bool tof_path_to_ref(const char* path, RawFileRef* ref);

}  // namespace masscal::calfile
