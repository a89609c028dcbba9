#include "platform/ui.hpp"

#include <atomic>
#include <cstdio>

namespace masscal::platform {
namespace {

StderrUiProvider g_default_provider;
std::atomic<UiProvider*> g_provider{nullptr};

// Adapts the C handler of the public interface.
class CallbackUiProvider final : public UiProvider {
public:
    CalMessageBoxHandler handler = nullptr;
    void* user = nullptr;
    int message_box(CalWnd owner, const char* text, const char* caption, std::uint32_t type) override {
        return handler(user, owner, text, caption, type);
    }
};

CallbackUiProvider g_callback_provider;

}  // namespace

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
    return p ? *p : g_default_provider;
}

int MessageBox(CalWnd owner, const char* text, const char* caption, std::uint32_t type) {
    return ui_provider().message_box(owner, text, caption, type);
}

int FileDialog(CalWnd owner, FileDialogRequest& request) { return ui_provider().file_dialog(owner, request); }

}  // namespace masscal::platform

extern "C" MASSCAL_API void CalSetMessageBoxHandler(CalMessageBoxHandler handler, void* user) {
    using namespace masscal::platform;
    if (!handler) {
        set_ui_provider(nullptr);
        return;
    }
    g_callback_provider.handler = handler;
    g_callback_provider.user = user;
    set_ui_provider(&g_callback_provider);
}
