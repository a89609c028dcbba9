// What a user does to controls, for hosts that drive dialogs and for tests:
// each acts as the click or the typing would, notifications included.
#pragma once

#include "platform/win/dialog.hpp"
#include "platform/win/window.hpp"

namespace masscal::platform {

// A click on a button or check box: a check box toggles first; then the
// parent gets kMsgCommand (id, kBnClicked, control). Nothing for a disabled
// control; false then.
bool ClickControl(CalWnd ctrl);
bool ClickDlgItem(CalWnd dlg, int id);
// Replaces an edit control's text as typed, with kEnChange to the parent.
bool TypeText(CalWnd edit, const char* text);
// Chooses a combo box entry as the user would: selects it and notifies
// kCbnSelChange. False for no such entry.
bool ChooseComboEntry(CalWnd combo, int index);
// The kind of a control made from a dialog template; false for a window
// that is not such a control.
bool GetControlKind(CalWnd ctrl, ControlKind* kind);
// The selection of an edit control (first, last), as kEmSetSel left it.
bool GetEditSelection(CalWnd edit, int* first, int* last);

}  // namespace masscal::platform
