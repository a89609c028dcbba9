#include "platform/ui.hpp"

#include <atomic>
#include <cstdio>

#include "masscal/ui_provider.h"

namespace masscal::platform {
namespace {

StderrUiProvider g_stderr_provider;
std::atomic<UiProvider*> g_default{nullptr};
std::atomic<UiProvider*> g_provider{nullptr};

// Adapts the C interfaces of a host: a message-box handler alone, or a whole
// provider. What the host leaves out goes to the default provider.
class HostUiProvider final : public UiProvider {
public:
    CalUiProvider host{};
    CalMessageBoxHandler handler = nullptr;
    void* handler_user = nullptr;

    int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) override {
        if (handler) return handler(handler_user, owner, text, caption, type);
        if (host.pfnMessageBox) return host.pfnMessageBox(host.pUser, owner, text, caption, type);
        return default_ui_provider().message_box(owner, text, caption, type);
    }
    int file_dialog(CalWnd owner, FileDialogRequest& request) override {
        if (!host.pfnChooseFile) return default_ui_provider().file_dialog(owner, request);
        CalFileChoice choice{};
        choice.bSave = request.save ? 1 : 0;
        choice.pszTitle = request.title.c_str();
        choice.pszFilter = request.filter.c_str();
        choice.pszDefaultExt = request.default_extension.c_str();
        choice.nFlags = request.flags;
        std::snprintf(choice.szPath, sizeof choice.szPath, "%s", request.path().c_str());
        if (!host.pfnChooseFile(host.pUser, owner, &choice)) return 0;
        choice.szPath[sizeof choice.szPath - 1] = '\0';
        if (!choice.szPath[0]) return 0;
        request.set_path(choice.szPath);
        return 1;
    }
    void run_modal(CalWnd dialog) override {
        if (host.pfnRunDialog)
            host.pfnRunDialog(host.pUser, dialog);
        else
            default_ui_provider().run_modal(dialog);
    }
};

HostUiProvider g_host_provider;

}  // namespace

std::string FileDialogRequest::path() const {
    std::string p = directory;
    if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
    p += name;
    if (!extension.empty()) p += "." + extension;
    return p;
}

void FileDialogRequest::set_path(const std::string& p) {
    const auto slash = p.find_last_of("/\\");
    const std::string file = slash == std::string::npos ? p : p.substr(slash + 1);
    directory = slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
    const auto dot = file.rfind('.');
    name = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    extension = dot == std::string::npos || dot == 0 ? std::string() : file.substr(dot + 1);
}

int UiProvider::file_dialog(CalWnd, FileDialogRequest&) { return 0; }
void UiProvider::run_modal(CalWnd) {}

int default_answer(std::uint32_t type) {
    switch (type & CAL_MB_TYPEMASK) {
        case CAL_MB_YESNO:
        case CAL_MB_YESNOCANCEL: return CAL_IDNO;
        case CAL_MB_RETRYCANCEL: return CAL_IDCANCEL;
        case CAL_MB_ABORTRETRYIGNORE: return CAL_IDABORT;
        default: return CAL_IDOK;
    }
}

int StderrUiProvider::message_box(CalWnd, const char* text, const char* caption, std::uint32_t type) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return default_answer(type);
}

UiProvider* set_ui_provider(UiProvider* p) { return g_provider.exchange(p); }

UiProvider& ui_provider() {
    UiProvider* p = g_provider.load();
    return p ? *p : default_ui_provider();
}

UiProvider* set_default_ui_provider(UiProvider* p) { return g_default.exchange(p); }

UiProvider& default_ui_provider() {
    UiProvider* p = g_default.load();
    return p ? *p : g_stderr_provider;
}

int MessageBox(CalWnd owner, const char* text, const char* caption, std::uint32_t type) {
    return ui_provider().message_box(owner, text, caption, type);
}

int FileDialog(CalWnd owner, FileDialogRequest& request) { return ui_provider().file_dialog(owner, request); }

}  // namespace masscal::platform

using masscal::platform::g_host_provider;

extern "C" MASSCAL_API void CalSetMessageBoxHandler(CalMessageBoxHandler handler, void* user) {
    masscal::platform::set_ui_provider(nullptr);
    g_host_provider.host = CalUiProvider{};
    g_host_provider.handler = handler;
    g_host_provider.handler_user = user;
    if (handler) masscal::platform::set_ui_provider(&g_host_provider);
}

extern "C" MASSCAL_API void CalSetUiProvider(const CalUiProvider* provider) {
    masscal::platform::set_ui_provider(nullptr);
    g_host_provider.handler = nullptr;
    g_host_provider.host = provider ? *provider : CalUiProvider{};
    if (provider) masscal::platform::set_ui_provider(&g_host_provider);
}
