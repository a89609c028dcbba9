#include "suite/fileaccess/file_dialog_s.hpp"

namespace {

std::string text_or_empty(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

CFileDialogS::CFileDialogS(int bOpen, const char* defExt, const char* initialPath, std::uint32_t flags,
                           const char* filter, CalWnd parent)
    : parent_(parent) {
    choice_.save = bOpen == 0;
    choice_.default_extension = text_or_empty(defExt);
    choice_.flags = flags;
    choice_.filter = text_or_empty(filter);
    choice_.set_path(text_or_empty(initialPath));
}

int CFileDialogS::DoModal() {
    masscal::platform::FileDialogRequest r = choice_;
    if (!masscal::platform::FileDialog(parent_, r)) return 2;
    choice_.directory = r.directory;
    choice_.name = r.name;
    choice_.extension = r.extension.empty() ? choice_.default_extension : r.extension;
    return 1;
}

std::string CFileDialogS::GetFileName() const {
    return choice_.extension.empty() ? choice_.name : choice_.name + "." + choice_.extension;
}

std::string CFileDialogS::GetPathName() const { return choice_.path(); }
