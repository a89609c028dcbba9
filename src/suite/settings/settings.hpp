// The settings store: one INI file of the user's, $MASSCAL_SETTINGS, or else
// $XDG_CONFIG_HOME/masscal/settings.ini ($HOME/.config/... without it).
//
// InitIni loads it into memory (calls nest); while loaded, reads and writes
// use the loaded copy and FreeIni(..., 1) writes the changes to the file,
// applied to the file as it is then (so another program's changes to other
// keys stay), in one atomic replacement. Not loaded, reads and writes go to
// the file directly. Thread-safe.
#pragma once

#include <string>

// Non-zero while the settings are loaded.
int IsIniLoaded();
// Loads the settings (flags: reserved, 0). A missing file loads as empty;
// 0 when no location can be found or the file cannot be read.
int InitIni(int flags);
// The value of key in section, or def; cut to size - 1 characters and
// terminated. Returns the characters copied.
int GetIniString(const char* section, const char* key, const char* def, char* buf, int size);
// Sets the value of key in section (a null value deletes the key, a null key
// the section). With create 0 only an existing key is changed. Non-zero on
// success.
int SetIniString(const char* section, const char* key, const char* value, int create);
// Ends one InitIni (flags: reserved, 0). With save non-zero the changes made
// while loaded are written to the file now; the last FreeIni drops unsaved
// ones. Non-zero on success, 0 when not loaded or when the file could not
// be written (an inner FreeIni keeps the changes for a later save; the last
// one drops them).
int FreeIni(int flags, int save);

// The settings file's location as the environment gives it now; empty when
// none can be found.
std::string SettingsFilePath();

// Whether files must pass the checksum test before they are used: the
// settings' switch ChecksumTest in section FileAccess ("1", "TRUE", "YES" or
// "ON", in any case, switches it on). Off by default.
int UsesSecurityLight();
