#include "window/window_resources.hpp"

using namespace masscal::platform;

namespace masscal::window {
namespace {

constexpr std::uint32_t kWindowStyle =
    kWsPopup | kWsVisible | kWsCaption | kWsSysMenu | kWsThickFrame | kWsMinimizeBox | kWsMaximizeBox;

constexpr ControlTemplate kQuadControls[] = {
    {kCmdOk, ControlKind::push_button, "OK", 4, 6, 53, 15, kWsTabStop},
    {kCmdCancel, ControlKind::push_button, "Cancel", 65, 6, 53, 15, kWsTabStop},
    {kCmdDefaultButton, ControlKind::push_button, "&Default", 127, 6, 53, 15, kWsTabStop},
    {kGraphArea, ControlKind::plain, "", 11, 36, 373, 197, 0},
    {kGraphFrame, ControlKind::black_frame, "", 4, 28, 388, 221, 0},
};

constexpr ControlTemplate kTofControls[] = {
    {kGraphArea, ControlKind::plain, "", 13, 12, 370, 227, 0},
    {kGraphFrame, ControlKind::black_frame, "", 5, 4, 385, 241, 0},
};

constexpr DialogTemplate kCalGraphs{"CAL_GRAPHS", "CalibrationWClass", "Calibration", "MS Sans Serif", 8,
                                    kWindowStyle, 30, 27, 393, 251, kQuadControls,
                                    static_cast<int>(std::size(kQuadControls))};
constexpr DialogTemplate kTofCalGraphs{"TOF_CAL_GRAPHS", "TOFCalibrationWClass", "Calibration", "MS Sans Serif", 8,
                                       kWindowStyle, 30, 27, 393, 249, kTofControls,
                                       static_cast<int>(std::size(kTofControls))};
constexpr DialogTemplate kTof2CalGraphs{"TOF2_CAL_GRAPHS", "TOF2CalibrationWClass", "Calibration", "MS Sans Serif", 8,
                                        kWindowStyle, 30, 27, 393, 249, kTofControls,
                                        static_cast<int>(std::size(kTofControls))};

constexpr MenuItemTemplate kQuadFile[] = {
    {kCmdPrint, "&Print...", 0}, {kCmdPrinterSetup, "Printer &Setup...", 0}, {0, "", kMfSeparator}, {kCmdExit, "E&xit", 0}};
constexpr MenuItemTemplate kTofFile[] = {{kCmdNew, "&New", 0},
                                         {kCmdOpen, "&Open...", 0},
                                         {kCmdSaveAs, "&Save As...", 0},
                                         {0, "", kMfSeparator},
                                         {kCmdExit, "E&xit", 0}};
constexpr MenuItemTemplate kFinished[] = {{kCmdAccept, "&Accept Calibration", 0},
                                          {kCmdReject, "&Reject Calibration", 0}};
constexpr MenuItemTemplate kPrint[] = {{kCmdPrint, "&Print...", 0}, {kCmdPrinterSetup, "Printer &Setup...", 0}};
constexpr MenuItemTemplate kEdit[] = {{kCmdParameters, "&Calibration Parameters...", 0},
                                      {kCmdUndoPairing, "&Undo Pairing", kMfGrayed}};
constexpr MenuItemTemplate kDisplay[] = {{kCmdDefault, "&Default", 0},
                                         {kCmdSwitchAxis, "&Switch Residuals Graph Axis", 0}};

constexpr MenuPopupTemplate kQuadPopups[] = {
    {"&File", kQuadFile, 4, false}, {"&Edit", kEdit, 2, false}, {"&Display", kDisplay, 2, true}};
constexpr MenuPopupTemplate kTofPopups[] = {{"&File", kTofFile, 5, false},
                                            {"&Print", kPrint, 2, false},
                                            {"&Edit", kEdit, 2, false},
                                            {"&Display", kDisplay, 2, true}};
constexpr MenuPopupTemplate kTof2Popups[] = {{"&Finished", kFinished, 2, false},
                                             {"&Print", kPrint, 2, false},
                                             {"&Edit", kEdit, 2, false},
                                             {"&Display", kDisplay, 2, true}};

constexpr MenuTemplate kCalibrationMenu{"CalibrationMenu", kQuadPopups, 3};
constexpr MenuTemplate kTofCalibrationMenu{"TofCalibrationMenu", kTofPopups, 4};
constexpr MenuTemplate kTof2CalibrationMenu{"Tof2CalibrationMenu", kTof2Popups, 4};

const VariantResources kResources[] = {
    {&kCalGraphs, "CalibrationWClass", &kCalibrationMenu},
    {&kTofCalGraphs, "TOFCalibrationWClass", &kTofCalibrationMenu},
    {&kTof2CalGraphs, "TOF2CalibrationWClass", &kTof2CalibrationMenu},
};

}  // namespace

const VariantResources& resources(Variant v) { return kResources[static_cast<int>(v)]; }

}  // namespace masscal::window
