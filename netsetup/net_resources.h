#pragma once
// The templates and strings of the two network set-up dialogs.
#include <cstddef>
#include <string>
#include <string_view>

#include "framework/dialog_template.h"

inline constexpr int kNetWorkDialogResource = 130;
inline constexpr int kNetConfigDialogResource = 131;

// Device list dialog (130).
inline constexpr int kIdDeviceList = 1000;
inline constexpr int kIdSearch = 1020;
inline constexpr int kIdReadConfig = 1021;
inline constexpr int kIdConnect = 1022;
inline constexpr int kIdDisconnect = 1023;
inline constexpr int kIdNetStatus = 1024;

// Network settings dialog (131).
inline constexpr int kIdDeviceName = 1009;
inline constexpr int kIdStaticIp = 1021;
inline constexpr int kIdSubnetMask = 1022;
inline constexpr int kIdIpMethod = 1023;
inline constexpr int kIdGateway = 1024;

// String table.
inline constexpr std::string_view kStringDeviceName = "Device Name";  // 103
inline constexpr std::string_view kStringIpAddress = "IP Address";    // 104
inline constexpr std::string_view kStringMacAddress = "MAC Address";  // 105
inline constexpr std::string_view kStringFwBoot = "FW Boot";          // 106
inline constexpr std::string_view kStringDeviceId = "Device id";      // 107

inline constexpr std::string_view kMsgSelectDevice = "Please select the device!";
inline constexpr std::string_view kMsgConnectFailed = "Connnection has failed!";
inline constexpr std::string_view kMsgConnected = "Connection is successful!";
inline constexpr std::string_view kMsgNotConnected = "Ethernet Port is not connected!";
inline constexpr std::string_view kMsgDisconnectFirst = "Disconnect before modification";
inline constexpr std::string_view kMsgNameTooLong =
    "The device name is too long! (29 characters at most)";
inline constexpr std::string_view kStatusNotConnected = "Device is not connected!";

// How many laminators a search heard beyond the list (shown when not zero).
std::string NotListedText(std::size_t notListed);

inline constexpr std::string_view kMethodStatic = "Static";
inline constexpr std::string_view kMethodDynamic = "Dynamic";

// The network settings dialog's field labels (without their colon), also used wherever
// those settings are shown outside the window.
inline constexpr std::string_view kLabelIpMethod = "IP Get Method";
inline constexpr std::string_view kLabelStaticIp = "Static IP Address";
inline constexpr std::string_view kLabelSubnetMask = "Static Subnet Mask";
inline constexpr std::string_view kLabelGateway = "Static Gateway";

DialogTemplate NetWorkDialogTemplate();
DialogTemplate NetConfigDialogTemplate();
