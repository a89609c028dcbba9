// Opens a reference file in the user's editor: $VISUAL, else $EDITOR, else
// the desktop's handler (xdg-open). The editor runs on its own; the command
// is left in the message buffer for the caller to show.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "core/cal_error.hpp"
#include "masscal/input.h"
#include "suite/utility/file_ref_path.hpp"

extern char** environ;

namespace {

std::string editor_command() {
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return "xdg-open";
}

// Runs "command path" through the shell in the background: the path is a
// positional argument, never part of the command text, so no file name is
// ever interpreted by the shell. The short-lived shell is reaped here and
// the editor is left to the system.
bool start_detached(const std::string& command, const char* path) {
    const std::string script = command + " \"$1\" </dev/null >/dev/null 2>&1 &";
    char sh[] = "/bin/sh", dash_c[] = "-c", name[] = "masscal-editor";
    std::string script_arg = script, path_arg = path;
    char* argv[] = {sh, dash_c, script_arg.data(), name, path_arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    pid_t done;
    do done = waitpid(pid, &status, 0);
    while (done < 0 && errno == EINTR);
    // A host that ignores SIGCHLD has the shell reaped for it.
    if (done < 0) return true;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

extern "C" MASSCAL_API int32_t CalEditRefFile(CalWnd, RawFileRef* pRef) {
    if (!pRef) return 0;
    char path[1024] = "";
    if (!ConvertQBFileToPath(path, sizeof path, pRef)) return 0;
    const std::string command = editor_command();
    masscal::core::set_error_text((command + " " + path).c_str());
    return start_detached(command, path) ? 1 : 0;
}
