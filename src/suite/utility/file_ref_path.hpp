// Conversion between the data manager's file reference and a path.
#pragma once

#include "masscal/records.h"

// Joins directory, name and extension of a plain-file reference into path
// (cut to size); '/' separates, a directory ending in '/' or '\' already has
// its separator. Non-zero on success.
int ConvertQBFileToPath(char* path, int size, const RawFileRef* ref);
// Splits path into the reference's directory (with its trailing '/'), name
// and extension; kind becomes 19. Non-zero on success.
int ConvertPathToQBFile(RawFileRef* ref, const char* path);
