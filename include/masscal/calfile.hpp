// The calibration part of an instrument's INI-style calibration file:
// quadrupole and time-of-flight sections, per-function calibrations, time
// stamps, the fluidics reservoir and the version stamp. CCalFile holds no
// data; every member is static and reads or writes the file at the given
// path through the private-profile functions.
#ifndef MASSCAL_CALFILE_HPP
#define MASSCAL_CALFILE_HPP

#include "masscal/export.h"
#include "masscal/records.h"

class MASSCAL_API CCalFile {
public:
    // The VERSION key of section VERSION, 0 when missing.
    static int GetVersion(const char* file);

    // A whole calibration in its fixed section order; return 1.
    static int WriteCalibration(const char* file, RawCalibInfo* info);
    static int WriteModeDependantCalibration(const char* file, RawCalibInfo* info, tagHASCALTYPE* types);

    // Sections FUNCTIONS and FUNCTIONS001..FUNCTIONS032.
    static void ReadCalibrationFunctions(const char* file, RawCalibInfo* info);
    static void WriteCalibrationFunctions(const char* file, RawCalibInfo* info);

    // Section TOF (or TOF<type>) for the full twelve-segment record. A file
    // without a version stamp is read in the older text format, and is
    // deleted (replaced, not merged) before a write.
    static int ReadTofParameters(const char* file, _TOFCALIBRATION* tof);
    static int WriteTofParameters(const char* file, _TOFCALIBRATION* tof);
    // 1 when segment 1 holds a calibration other than the identity.
    static int ReadModeDependantTofParameters(const char* file, _TOFCALIBRATION* tof, tagHASCALTYPE type);
    static int WriteModeDependantTofParameters(const char* file, _TOFCALIBRATION* tof, tagHASCALTYPE type);

protected:
    static void SetVersion(const char* file);

    static void ReadCalibrationFunction(const char* file, tagRAWCALIBFUNC* func, const char* section);
    static void WriteCalibrationFunction(const char* file, tagRAWCALIBFUNC* func, const char* section);

    static void ReadTimeStamps(const char* file, RawCalibInfo* info);
    static void WriteTimeStamps(const char* file, RawCalibInfo* info);
    static void ReadReservoir(const char* file, RawCalibInfo* info);
    static void WriteReservoir(const char* file, RawCalibInfo* info);

    // Text readers over buf[0..len) from pos, which they advance. Tab, line
    // feed, space and ',' separate values outside double quotes.
    static int IsWhiteSpace(char c, int& bInQuotes);
    static int ReadInt(char* buf, int& pos, int len);
    static float ReadFloat(char* buf, int& pos, int len);
    // out has room for nMax + 1 characters.
    static void ReadString(char* out, int nMax, char* buf, int len, int& pos);

    // Quadrupole sections: "<analyser> (Static)", "(Dynamic)", "(Fast)" and
    // the analyser's own section.
    static void ReadQuad1Parameters(const char* file, RawCalibInfo* info);
    static void WriteQuad1Parameters(const char* file, RawCalibInfo* info);
    static void ReadQuad2Parameters(const char* file, RawCalibInfo* info);
    static void WriteQuad2Parameters(const char* file, RawCalibInfo* info);
    static void ReadQuadParameters(const char* file, RawCalibQuad* quad, const char* analyser);
    static void WriteQuadParameters(const char* file, RawCalibQuad* quad, const char* analyser);
    static void ReadQuadStaticParams(const char* file, RawStaticParams* params, const char* section);
    static void WriteQuadStaticParams(const char* file, RawStaticParams* params, const char* section);
    static void ReadQuadDynamicParams(const char* file, RawDynamicParams* params, const char* section);
    static void WriteQuadDynamicParams(const char* file, RawDynamicParams* params, const char* section);
    // Reading replaces the whole record (standard deviation and covariance
    // too), so those are read after the polynomial.
    static void ReadQuadPolynomial(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key);
    static void WriteQuadPolynomial(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key);
    static void ReadQuadStdDev(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key);
    static void WriteQuadStdDev(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key);

    // The time-of-flight blocks of a whole calibration: block 0 in section
    // TOF, or the five blocks in the sections TOF<types[i]>.
    static void ReadTofParameters(const char* file, RawCalibInfo* info);
    static void WriteTofParameters(const char* file, RawCalibInfo* info);
    static void ReadModeDependantTofParameters(const char* file, RawCalibInfo* info, tagHASCALTYPE* types);
    static void WriteModeDependantTofParameters(const char* file, RawCalibInfo* info, tagHASCALTYPE* types);
};

#endif
