// A function's description as one text, so that a test compares the whole
// value and a failure shows every field.
#pragma once

#include <sstream>
#include <string>

#include "formats/backend.hpp"

inline std::string description_text(const masscal::dm::FunctionDescription& d) {
    std::ostringstream o;
    o << "range " << d.massLow << "-" << d.massHigh << " tof " << d.timeOfFlight << " external " << d.external
      << " accurate " << d.accurateMass << " acquisition " << d.acquisitionWord << " continuum " << d.continuum
      << " scans " << d.scanCount << " segment " << d.segment << " reflectron "
      << (d.reflectron ? std::to_string(*d.reflectron) : "none") << " type value " << d.typeValue << " type "
      << d.functionType << " ionisation " << d.ionisationMode << " mode " << d.modeWord << " instrument "
      << d.instrumentMode << " sampling " << d.samplingRate << " precursor " << d.precursorMass << " voltages "
      << d.focusVoltage << " " << d.sourceVoltage << " " << d.extractionVoltage << " root mass " << d.rootMass;
    return o.str();
}
