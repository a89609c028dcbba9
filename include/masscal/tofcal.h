/* Filled in by its subsystem. */
#ifndef MASSCAL_TOFCAL_H
#define MASSCAL_TOFCAL_H

#include "masscal/export.h"
#include "masscal/records.h"

#endif
