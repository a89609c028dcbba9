/* Filled in by its subsystem. */
#ifndef MASSCAL_FIT_H
#define MASSCAL_FIT_H

#include "masscal/export.h"
#include "masscal/records.h"

#endif
