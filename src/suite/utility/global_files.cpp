#include "suite/utility/global_files.hpp"

#include "suite/settings/settings.hpp"
#include "suite/utility/file_ref_path.hpp"

namespace {

// Room for the longest path a file reference can hold.
constexpr int kPathRoom = 1024;

}  // namespace

int GetGlobalFile(const char* list, const char* name, const RawFileRef* def, RawFileRef* out) {
    RawFileRef result{};
    if (def)
        result = *def;
    else if (out)
        result = *out;
    char path[kPathRoom];
    bool found = false;
    if (list && name && GetIniString(list, name, "", path, sizeof path) > 0)
        found = ConvertPathToQBFile(&result, path) != 0;
    if (out) *out = result;
    return found ? 1 : 0;
}

int SetGlobalFile(const char* list, const char* name, const RawFileRef* ref) {
    if (!list || !name || !ref) return 0;
    char path[kPathRoom];
    if (!ConvertQBFileToPath(path, sizeof path, ref) || !path[0]) return 0;
    return SetIniString(list, name, path, 1);
}
