#include "netsetup/net_resources.h"

#include "netsetup/search_collection.h"

namespace {
using K = ControlKind;
}  // namespace

DialogTemplate NetWorkDialogTemplate() {
    DialogTemplate t;
    t.resourceId = kNetWorkDialogResource;
    t.title = "Ethernet Port Configuration";
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.width = 444;
    t.height = 288;
    t.minimizeBox = false;
    t.controls = {
        Ctl(kIdDeviceList, K::ListView, "", {7, 7, 429, 152},
            kStyleReport | kStyleBorder | kStyleTabStop),
        Ctl(kIdSearch, K::PushButton, "Search for Device", {39, 180, 72, 22}),
        Ctl(kIdReadConfig, K::PushButton, "Read the Configuration", {129, 180, 81, 22}),
        Ctl(kIdConnect, K::PushButton, "Connect to the Device", {231, 180, 72, 22}),
        Ctl(kIdDisconnect, K::PushButton, "Disconnect", {324, 180, 72, 22}),
        Ctl(kStaticId, K::GroupBox, "Ethernet Port setup", {9, 163, 423, 49}),
        Ctl(kIdNetStatus, K::StaticText, "Static", {11, 228, 159, 16}),
    };
    return t;
}

DialogTemplate NetConfigDialogTemplate() {
    DialogTemplate t;
    t.resourceId = kNetConfigDialogResource;
    t.title = "Laminator Ethernet Port setup";
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.width = 316;
    t.height = 221;
    t.minimizeBox = false;
    t.controls = {
        Ctl(IDOK, K::DefaultPushButton, "OK", {90, 179, 50, 14}),
        Ctl(IDCANCEL, K::PushButton, "Cancel", {172, 179, 50, 14}),
        Ctl(kStaticId, K::StaticText, (std::string(kStringDeviceName) + "：").c_str(),
            {36, 16, 51, 13}),
        Ctl(kIdDeviceName, K::Edit, "", {104, 16, 85, 15}, kStyleBorder | kStyleAutoHScroll),
        Ctl(kStaticId, K::StaticText, (std::string(kLabelIpMethod) + "：").c_str(),
            {53, 46, 37, 13}),
        Ctl(kIdIpMethod, K::ComboBox, "", {104, 47, 69, 53},
            kStyleDropDown | kStyleSort | kStyleVScroll),
        Ctl(kStaticId, K::StaticText, (std::string(kLabelStaticIp) + "：").c_str(),
            {22, 82, 64, 13}),
        Ctl(kIdStaticIp, K::IpAddress, "", {103, 79, 75, 14}),
        Ctl(kStaticId, K::StaticText, (std::string(kLabelSubnetMask) + "：").c_str(),
            {19, 111, 73, 13}),
        Ctl(kIdSubnetMask, K::IpAddress, "", {103, 110, 75, 14}),
        Ctl(kStaticId, K::StaticText, (std::string(kLabelGateway) + "：").c_str(),
            {28, 142, 60, 13}),
        Ctl(kIdGateway, K::IpAddress, "", {103, 143, 75, 14}),
    };
    t.comboItems = {{kIdIpMethod, {std::string(kMethodStatic), std::string(kMethodDynamic)}}};
    return t;
}

std::string NotListedText(std::size_t notListed) {
    return std::to_string(notListed) + " more laminators answered but are not listed (at most " +
           std::to_string(SearchCollection::kMaxListed) + " are).";
}
