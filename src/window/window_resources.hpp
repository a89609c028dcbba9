// The calibration window's resources: its three dialog templates, the menus
// of its three window classes, and the command numbers of both.
#pragma once

#include "platform/win/dialog.hpp"
#include "platform/win/menu.hpp"

namespace masscal::window {

enum Command : int {
    kCmdOk = 1,
    kCmdCancel = 2,
    kCmdDefaultButton = 103,
    kCmdPrint = 1701,
    kCmdPrinterSetup = 1702,
    kCmdExit = 1703,
    kCmdDefault = 1706,
    kCmdParameters = 1707,
    kCmdOpen = 1708,
    kCmdSaveAs = 1709,
    kCmdNew = 1710,
    kCmdAccept = 1711,
    kCmdReject = 1712,
    kCmdSwitchAxis = 1713,
    kCmdUndoPairing = 1714
};

enum : int { kGraphArea = 300, kGraphFrame = 301 };

enum class Variant { quadrupole, tof, tof2 };

struct VariantResources {
    const platform::DialogTemplate* dialog;
    const char* class_name;
    const platform::MenuTemplate* menu;
};

const VariantResources& resources(Variant v);

}  // namespace masscal::window
