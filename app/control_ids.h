#pragma once
// Control ids of the main window (dialog 102).
#include "laminator/laminator_view.h"

inline constexpr int kIdGroupList = 1000;
inline constexpr int kIdParamList = 1001;
inline constexpr int kIdExit = 1003;
inline constexpr int kIdFirmwarePath = 1009;
inline constexpr int kIdUseHid = 1012;
inline constexpr int kIdAutoDetect = 1017;
inline constexpr int kIdDescription = 1018;
inline constexpr int kIdSpareBox = 1019;
inline constexpr int kIdEthernetConfig = 1020;
inline constexpr int kIdDeactivatePort = 1021;
inline constexpr int kIdEthernetCheck = 1022;
inline constexpr int kIdSwitchMode = 1023;
inline constexpr int kIdSend = 1024;
inline constexpr int kIdResendCheck = 1025;
inline constexpr int kIdModeCombo = 1026;
inline constexpr int kIdCommandText = 1027;
inline constexpr int kIdModelRead = 1028;
inline constexpr int kIdModelWrite = 1029;
inline constexpr int kIdDiagnose = 1030;

// Posted to the main window by the device list dialog after a connection.
inline constexpr int kMsgStartNetPoller = 0x0400 + 101;
