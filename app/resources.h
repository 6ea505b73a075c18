#pragma once
// The dialog templates and string table of the program.
#include <string_view>

#include "framework/dialog_template.h"

inline constexpr int kMainDialogResource = 102;
inline constexpr int kAboutDialogResource = 100;
inline constexpr int kAppIconResource = 128;
inline constexpr int kAboutCommandId = 0x0010;

// Strings used by the main window.
inline constexpr std::string_view kStringAboutMenu = "关于 Corvane(&A)...";  // 101
inline constexpr std::string_view kStringInterfaceOverNetwork =
    "Interface setting cannot be modified by network connection.";                      // 102
inline constexpr std::string_view kStringNotConnected = "Laminator is not connected!";  // 111
inline constexpr std::string_view kStringActivatePort = "Please activate the port !";   // 129
inline constexpr std::string_view kStringDisconnectNetwork =
    "Please disconnect the network";  // 130
inline constexpr std::string_view kStringEthernetNotConnected =
    "Ethernet Port is not connected";                                                    // 131
inline constexpr std::string_view kStringSelectFile = "Please select a file";            // 132
inline constexpr std::string_view kStringTurnOffAutoDetect = "Turn off auto-detection";  // 133
inline constexpr std::string_view kFirmwareFilter = "(*.mot)|*.mot||";

DialogTemplate MainDialogTemplate();
DialogTemplate AboutDialogTemplate();
