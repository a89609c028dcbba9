// Whether files must pass the checksum test before they are used: the
// settings' switch ChecksumTest in section FileAccess ("1", "TRUE", "YES" or
// "ON", in any case, switches it on). Off by default.
#pragma once

int UsesSecurityLight();
