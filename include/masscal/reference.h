/* Filled in by its subsystem. */
#ifndef MASSCAL_REFERENCE_H
#define MASSCAL_REFERENCE_H

#include "masscal/export.h"
#include "masscal/records.h"

#endif
