// The file access library's standard file dialog, shown through the UI
// provider: an open or save dialog that starts from a path and gives back
// the user's choice.
#pragma once

#include <cstdint>
#include <string>

#include "masscal/ui.h"
#include "platform/ui.hpp"

class CFileDialogS {
public:
    // bOpen: 1 for an open dialog, 0 for a save dialog. defExt (no dot) is
    // added to a name chosen without one. filter: "Text (*.txt)|*.txt||".
    // flags are passed to the provider as they are.
    CFileDialogS(int bOpen, const char* defExt, const char* initialPath, std::uint32_t flags,
                 const char* filter, CalWnd parent);
    // 1 when the user chose a file, 2 when cancelled.
    int DoModal();
    // The chosen file's full path and its name with extension; before a
    // choice, those of the initial path.
    std::string GetPathName() const;
    std::string GetFileName() const;

private:
    masscal::platform::FileDialogRequest choice_;  // the initial path, then the user's choice
    CalWnd parent_;
};
