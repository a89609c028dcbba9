#include "platform/win/menu.hpp"

#include "platform/win/window_internal.hpp"

namespace masscal::platform {

std::unique_ptr<Menu> Menu::from_template(const MenuTemplate& t) {
    auto bar = std::make_unique<Menu>();
    bar->text = t.name ? t.name : "";
    bool right = false;
    for (int p = 0; p < t.popup_count; ++p) {
        const MenuPopupTemplate& pt = t.popups[p];
        auto popup = std::make_unique<Menu>();
        popup->text = pt.text ? pt.text : "";
        right = right || pt.right_aligned;
        popup->right_aligned = right;
        for (int i = 0; i < pt.item_count; ++i) {
            const MenuItemTemplate& it = pt.items[i];
            popup->items.push_back(Item{it.id, it.text ? it.text : "", it.flags});
        }
        bar->popups.push_back(std::move(popup));
    }
    return bar;
}

Menu::Item* Menu::find(int id, int* popupIndex) {
    for (Item& it : items)
        if (it.id == id && !(it.flags & kMfSeparator)) return &it;
    for (std::size_t p = 0; p < popups.size(); ++p)
        if (Item* it = popups[p]->find(id)) {
            if (popupIndex) *popupIndex = static_cast<int>(p);
            return it;
        }
    return nullptr;
}

HMenu GetMenu(CalWnd wnd) {
    CalWindow* w = detail::live_window(wnd);
    return w ? w->menu.get() : nullptr;
}

HMenu GetSubMenu(HMenu menu, int index) {
    if (!menu || index < 0 || index >= static_cast<int>(menu->popups.size())) return nullptr;
    return menu->popups[static_cast<std::size_t>(index)].get();
}

int GetMenuItemCount(HMenu menu) {
    if (!menu) return -1;
    return static_cast<int>(menu->popups.empty() ? menu->items.size() : menu->popups.size());
}

std::uint32_t EnableMenuItem(HMenu menu, int id, std::uint32_t flags) {
    Menu::Item* it = menu ? menu->find(id) : nullptr;
    if (!it) return kMenuNoItem;
    const std::uint32_t previous = it->flags & (kMfGrayed | kMfDisabled);
    it->flags = (it->flags & ~(kMfGrayed | kMfDisabled)) | (flags & (kMfGrayed | kMfDisabled));
    return previous;
}

bool ModifyMenu(HMenu menu, int id, std::uint32_t flags, int newId, const char* text) {
    Menu::Item* it = menu ? menu->find(id) : nullptr;
    if (!it) return false;
    try {
        it->text = text ? text : "";
    } catch (...) {
        return false;
    }
    it->id = newId;
    it->flags = (it->flags & ~(kMfGrayed | kMfDisabled)) | (flags & (kMfGrayed | kMfDisabled));
    return true;
}

namespace {

Menu::Item* item_at(HMenu menu, int pos) {
    if (!menu || !menu->popups.empty() || pos < 0 || pos >= static_cast<int>(menu->items.size())) return nullptr;
    return &menu->items[static_cast<std::size_t>(pos)];
}

HMenu popup_at(HMenu menu, int pos) { return menu && !menu->popups.empty() ? GetSubMenu(menu, pos) : nullptr; }

}  // namespace

std::uint32_t GetMenuState(HMenu menu, int item, std::uint32_t flags) {
    if (flags & kMfByPosition) {
        if (HMenu popup = popup_at(menu, item)) return kMfPopup | (popup->right_aligned ? kMfRightJustify : 0u);
        Menu::Item* it = item_at(menu, item);
        return it ? it->flags : kMenuNoItem;
    }
    Menu::Item* it = menu ? menu->find(item) : nullptr;
    return it ? it->flags : kMenuNoItem;
}

std::string GetMenuString(HMenu menu, int item, std::uint32_t flags) {
    if (flags & kMfByPosition) {
        if (HMenu popup = popup_at(menu, item)) return popup->text;
        Menu::Item* it = item_at(menu, item);
        return it ? it->text : std::string();
    }
    Menu::Item* it = menu ? menu->find(item) : nullptr;
    return it ? it->text : std::string();
}

int GetMenuItemID(HMenu menu, int pos) {
    Menu::Item* it = item_at(menu, pos);
    return it ? it->id : -1;
}

bool ChooseMenuItem(CalWnd wnd, int id) {
    HMenu menu = GetMenu(wnd);
    int popup = -1;
    if (!menu || !menu->find(id, &popup) || popup < 0 || !IsWindowEnabled(wnd)) return false;
    SendMessage(wnd, kMsgInitMenuPopup, reinterpret_cast<std::uintptr_t>(GetSubMenu(menu, popup)), popup);
    // The popup's handler may have changed or removed the item.
    menu = GetMenu(wnd);
    Menu::Item* it = menu ? menu->find(id) : nullptr;
    if (!it || (it->flags & (kMfGrayed | kMfDisabled))) return false;
    SendMessage(wnd, kMsgCommand, make_wparam(id, 0), 0);
    return true;
}

}  // namespace masscal::platform
