// Residual statistics of a calibration (CalResidualStats in masscal/fit.h).
#pragma once

#include "masscal/fit.h"

// Number of masses at which the confidence band is sampled.
constexpr int kConfBandPoints = 512;
