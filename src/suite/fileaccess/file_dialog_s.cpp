#include "suite/fileaccess/file_dialog_s.hpp"

#include "platform/ui.hpp"

namespace {

std::string text_or_empty(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

CFileDialogS::CFileDialogS(int bOpen, const char* defExt, const char* initialPath, std::uint32_t flags,
                           const char* filter, CalWnd parent)
    : open_(bOpen != 0),
      default_extension_(text_or_empty(defExt)),
      flags_(flags),
      filter_(text_or_empty(filter)),
      parent_(parent) {
    const std::string path = text_or_empty(initialPath);
    const auto slash = path.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    directory_ = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const auto dot = file.rfind('.');
    name_ = dot == std::string::npos ? file : file.substr(0, dot);
    extension_ = dot == std::string::npos ? std::string() : file.substr(dot + 1);
}

int CFileDialogS::DoModal() {
    masscal::platform::FileDialogRequest r;
    r.save = !open_;
    r.filter = filter_;
    r.default_extension = default_extension_;
    r.flags = flags_;
    r.directory = directory_;
    r.name = name_;
    r.extension = extension_;
    if (!masscal::platform::FileDialog(parent_, r)) return 2;
    directory_ = r.directory;
    name_ = r.name;
    extension_ = r.extension.empty() ? default_extension_ : r.extension;
    return 1;
}

std::string CFileDialogS::GetFileName() const {
    return extension_.empty() ? name_ : name_ + "." + extension_;
}

std::string CFileDialogS::GetPathName() const {
    std::string dir = directory_;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir + GetFileName();
}
