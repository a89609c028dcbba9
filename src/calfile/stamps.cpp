// Version stamp, time stamps and the fluidics reservoir.
#include <cstdint>
#include <cstdio>

#include "calfile/file_kind.hpp"
#include "calfile/profile_keys.hpp"
#include "masscal/calfile.hpp"

using namespace masscal::calfile;

namespace {
const char kVersionSection[] = "VERSION";
const char kVersionKey[] = "VERSION";
// Files written by this library carry this version; files without one are
// in the older time-of-flight text format.
const char kCurrentVersion[] = "2";
const char kDateTime[] = "DateTime";
const char kFluidics[] = "Fluidics";
}  // namespace

int CCalFile::GetVersion(const char* file) { return read_int(file, kVersionSection, kVersionKey); }

void masscal::calfile::stamp_version(const char* file) {
    write_text(file, kVersionSection, kVersionKey, kCurrentVersion);
}

void CCalFile::SetVersion(const char* file) { stamp_version(file); }

void CCalFile::WriteTimeStamps(const char* file, RawCalibInfo* info) {
    write_field(file, kDateTime, "Time", info->szTime, sizeof info->szTime);
    write_field(file, kDateTime, "Date", info->szDate, sizeof info->szDate);
    write_field(file, kDateTime, "CheckTime", info->szCheckTime, sizeof info->szCheckTime);
    write_field(file, kDateTime, "CheckDate", info->szCheckDate, sizeof info->szCheckDate);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u", static_cast<unsigned>(info->wCheckNotOk));
    write_text(file, kDateTime, "CheckNotOk", buf);
}

void CCalFile::ReadTimeStamps(const char* file, RawCalibInfo* info) {
    read_text(file, kDateTime, "Time", info->szTime, sizeof info->szTime);
    read_text(file, kDateTime, "Date", info->szDate, sizeof info->szDate);
    read_text(file, kDateTime, "CheckTime", info->szCheckTime, sizeof info->szCheckTime);
    read_text(file, kDateTime, "CheckDate", info->szCheckDate, sizeof info->szCheckDate);
    // The field has 16 bits; larger values keep their low 16 bits.
    info->wCheckNotOk = static_cast<std::uint16_t>(read_int_text(file, kDateTime, "CheckNotOk"));
}

void CCalFile::WriteReservoir(const char* file, RawCalibInfo* info) {
    write_field(file, kFluidics, "Reservoir", info->szReservoir, sizeof info->szReservoir);
}

void CCalFile::ReadReservoir(const char* file, RawCalibInfo* info) {
    read_text(file, kFluidics, "Reservoir", info->szReservoir, sizeof info->szReservoir);
}
