// Whether a function is calibrated in square-root-of-mass space.
#pragma once

// Non-zero when the function information (the data manager's buffer) says
// so.
int RawIsRootMassCalibration(const void* functionInfo);
