// The steps of Calibrate that CalibrateDeisotope shares.
#pragma once

#include "masscal/calib.h"

namespace masscal::engine {

// Instrument flags, saved time-of-flight calibration and root-mass switch,
// the record's arrays, the spectrum and the reference peaks. 1 on success.
int32_t prepare_record(CalWnd owner, CalRecord* rec);
// Match and spare lists for the data peaks, the driver with re-matching and
// the mass function. 1 when the run finished.
int32_t finish_calibration(CalWnd owner, CalRecord* rec);

}  // namespace masscal::engine
