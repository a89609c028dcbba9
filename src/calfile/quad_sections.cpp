// The quadrupole sections: static, dynamic and fast calibrations of each
// analyser, with the settings under which they were made.
#include <cstddef>
#include <cstdio>

#include "suite/utility/packed_fields.hpp"
#include "calfile/profile_keys.hpp"
#include "masscal/calfile.hpp"
#include "suite/fileaccess/profile.hpp"
#include "platform/c_locale.hpp"

using masscal::suite::load_field;
using masscal::suite::store_field;

using masscal::platform::c_atof;
using namespace masscal::calfile;

namespace {

const char kReal[] = "%f";

void section_name(char* out, std::size_t size, const char* analyser, const char* kind) {
    std::snprintf(out, size, "%s (%s)", analyser, kind);
}

}  // namespace

void CCalFile::WriteQuadPolynomial(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key) {
    write_polynomial(file, section, key, coeffs);
}

void CCalFile::ReadQuadPolynomial(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key) {
    read_polynomial(file, section, key, coeffs);
}

void CCalFile::WriteQuadStdDev(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key) {
    write_real(file, section, key, "%.2f", coeffs->dStdDev);
}

void CCalFile::ReadQuadStdDev(const char* file, RawCalibCoEffs* coeffs, const char* section, const char* key) {
    char buf[kValueBufferSize];
    read_text(file, section, key, buf, sizeof buf);
    coeffs->dStdDev = c_atof(buf);
}

void CCalFile::WriteQuadStaticParams(const char* file, RawStaticParams* p, const char* section) {
    write_real(file, section, "DwellTime", kReal, p->fDwellTime);
    write_real(file, section, "Span", kReal, p->fSpan);
    write_real(file, section, "LowMass", kReal, p->fLowMass);
    write_real(file, section, "HighMass", kReal, p->fHighMass);
    write_real(file, section, "LMRes", kReal, p->fLMRes);
    write_real(file, section, "HMRes", kReal, p->fHMRes);
    write_real(file, section, "IonEnergy", kReal, p->fIonEnergy);
    write_field(file, section, "ReferenceFile", p->szReferenceFile, sizeof p->szReferenceFile);
    write_field(file, section, "AcquisitionFile", p->szAcquisitionFile, sizeof p->szAcquisitionFile);
}

void CCalFile::ReadQuadStaticParams(const char* file, RawStaticParams* p, const char* section) {
    p->fDwellTime = read_float(file, section, "DwellTime");
    p->fSpan = read_float(file, section, "Span");
    p->fLowMass = read_float(file, section, "LowMass");
    p->fHighMass = read_float(file, section, "HighMass");
    p->fLMRes = read_float(file, section, "LMRes");
    p->fHMRes = read_float(file, section, "HMRes");
    p->fIonEnergy = read_float(file, section, "IonEnergy");
    read_text(file, section, "ReferenceFile", p->szReferenceFile, sizeof p->szReferenceFile);
    read_text(file, section, "AcquisitionFile", p->szAcquisitionFile, sizeof p->szAcquisitionFile);
}

void CCalFile::WriteQuadDynamicParams(const char* file, RawDynamicParams* p, const char* section) {
    write_real(file, section, "LowMass", kReal, p->fLowMass);
    write_real(file, section, "HighMass", kReal, p->fHighMass);
    write_real(file, section, "ScanTime", kReal, p->fScanTime);
    write_real(file, section, "InterScanDelay", kReal, p->fInterScanDelay);
    write_real(file, section, "LMRes", kReal, p->fLMRes);
    write_real(file, section, "HMRes", kReal, p->fHMRes);
    write_real(file, section, "IonEnergy", kReal, p->fIonEnergy);
    write_field(file, section, "ReferenceFile", p->szReferenceFile, sizeof p->szReferenceFile);
    write_field(file, section, "AcquisitionFile", p->szAcquisitionFile, sizeof p->szAcquisitionFile);
}

void CCalFile::ReadQuadDynamicParams(const char* file, RawDynamicParams* p, const char* section) {
    p->fLowMass = read_float(file, section, "LowMass");
    p->fHighMass = read_float(file, section, "HighMass");
    p->fScanTime = read_float(file, section, "ScanTime");
    p->fInterScanDelay = read_float(file, section, "InterScanDelay");
    p->fLMRes = read_float(file, section, "LMRes");
    p->fHMRes = read_float(file, section, "HMRes");
    p->fIonEnergy = read_float(file, section, "IonEnergy");
    read_text(file, section, "ReferenceFile", p->szReferenceFile, sizeof p->szReferenceFile);
    read_text(file, section, "AcquisitionFile", p->szAcquisitionFile, sizeof p->szAcquisitionFile);
}

void CCalFile::WriteQuadParameters(const char* file, RawCalibQuad* quad, const char* analyser) {
    CProfileWriteBatch batch(file);
    char section[kValueBufferSize];

    section_name(section, sizeof section, analyser, "Static");
    WriteQuadPolynomial(file, &quad->Static, section, "Polynomial");
    WriteQuadStdDev(file, &quad->Static, section, "StdDev");
    WriteQuadStaticParams(file, &quad->StaticParams, section);

    section_name(section, sizeof section, analyser, "Dynamic");
    WriteQuadPolynomial(file, &quad->Dynamic, section, "Polynomial");
    WriteQuadStdDev(file, &quad->Dynamic, section, "StdDev");
    WriteQuadDynamicParams(file, &quad->DynamicParams, section);

    section_name(section, sizeof section, analyser, "Fast");
    WriteQuadPolynomial(file, &quad->Fast, section, "Polynomial");
    WriteQuadStdDev(file, &quad->Fast, section, "StdDev");
    WriteQuadDynamicParams(file, &quad->FastParams, section);

    write_real(file, analyser, "DACSeparation", kReal, quad->fDACSeparation);
    write_int(file, analyser, "LagTime", quad->nLagTime);
}

void CCalFile::ReadQuadParameters(const char* file, RawCalibQuad* quad, const char* analyser) {
    char section[kValueBufferSize];

    section_name(section, sizeof section, analyser, "Static");
    ReadQuadPolynomial(file, &quad->Static, section, "Polynomial");
    ReadQuadStdDev(file, &quad->Static, section, "StdDev");
    ReadQuadStaticParams(file, &quad->StaticParams, section);

    section_name(section, sizeof section, analyser, "Dynamic");
    ReadQuadPolynomial(file, &quad->Dynamic, section, "Polynomial");
    ReadQuadStdDev(file, &quad->Dynamic, section, "StdDev");
    ReadQuadDynamicParams(file, &quad->DynamicParams, section);

    section_name(section, sizeof section, analyser, "Fast");
    ReadQuadPolynomial(file, &quad->Fast, section, "Polynomial");
    ReadQuadStdDev(file, &quad->Fast, section, "StdDev");
    ReadQuadDynamicParams(file, &quad->FastParams, section);

    quad->fDACSeparation = read_float(file, analyser, "DACSeparation");
    quad->nLagTime = read_int(file, analyser, "LagTime");
}

void CCalFile::WriteQuad1Parameters(const char* file, RawCalibInfo* info) {
    auto quad = load_field<RawCalibQuad>(info, offsetof(RawCalibInfo, Quad1));
    WriteQuadParameters(file, &quad, "QUAD1");
}

void CCalFile::WriteQuad2Parameters(const char* file, RawCalibInfo* info) {
    auto quad = load_field<RawCalibQuad>(info, offsetof(RawCalibInfo, Quad2));
    WriteQuadParameters(file, &quad, "QUAD2");
}

void CCalFile::ReadQuad1Parameters(const char* file, RawCalibInfo* info) {
    auto quad = load_field<RawCalibQuad>(info, offsetof(RawCalibInfo, Quad1));
    ReadQuadParameters(file, &quad, "QUAD1");
    store_field(info, offsetof(RawCalibInfo, Quad1), quad);
}

void CCalFile::ReadQuad2Parameters(const char* file, RawCalibInfo* info) {
    auto quad = load_field<RawCalibQuad>(info, offsetof(RawCalibInfo, Quad2));
    ReadQuadParameters(file, &quad, "QUAD2");
    store_field(info, offsetof(RawCalibInfo, Quad2), quad);
}
