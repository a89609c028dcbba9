#include "suite/settings/security_light.hpp"

#include <strings.h>

#include "suite/settings/settings.hpp"

int UsesSecurityLight() {
    char text[16];
    GetIniString("FileAccess", "ChecksumTest", "", text, sizeof text);
    for (const char* on : {"1", "TRUE", "YES", "ON"})
        if (strcasecmp(text, on) == 0) return 1;
    return 0;
}
