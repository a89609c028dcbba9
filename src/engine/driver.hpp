// The calibration driver: the reading step, which loads the spectrum and the
// reference peaks, and the driver proper, which matches, fits, checks and
// computes the residuals and statistics of a record.
#pragma once

#include "masscal/calib.h"

// 1 when the record holds data peaks and at least one reference peak.
int32_t CalReadPeaks(CalWnd owner, CalRecord* rec);
// 1 when it finished (with or without a calibration); 0 only when the
// function information of a time-of-flight function cannot be read. A null
// owner silences the driver's messages.
int32_t CalRunCalibration(CalWnd owner, CalRecord* rec, int32_t bRematch);
// Applies pCheckCalib to DataPeaks.Mass in place (nothing without one).
void CalApplyCheckCalib(CalRecord* rec);
// CalMass[i] = p at Mass[i] for every peak of the list; returns 1.
int32_t CalApplyCalibration(const RawCalibCoEffs* p, CalPeakList* list);
// A zero error function (identity mass function for external functions)
// and residuals equal to the raw errors.
void CalResetFit(CalRecord* rec);
// Residuals of the matches against the fitted error, then the statistics.
void CalComputeResiduals(CalWnd owner, CalRecord* rec);

namespace masscal::engine {

// The calling thread's root-mass switch (calibrate on square roots of mass).
int32_t root_mass_switch();
void set_root_mass_switch(int32_t on);
// Removes the matches whose drop[i] is non-zero from MatchPeaks (every
// array it has), Errors, RootErrors and Residuals, keeping the others in
// order.
void remove_matches(CalRecord* rec, const char* drop);

}  // namespace masscal::engine
