#include "app/resources.h"

#include "app/control_ids.h"

namespace {
using K = ControlKind;
}  // namespace

DialogTemplate MainDialogTemplate() {
    DialogTemplate t;
    t.resourceId = kMainDialogResource;
    t.title = "Pellacor (V1.6.1）";
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 9;
    t.width = 550;
    t.height = 372;
    t.minimizeBox = true;
    const bool hidden = false;
    t.controls = {
        Ctl(kIdGroupList, K::ListBox, "", {17, 17, 122, 79}, kStyleNotify | kStyleVScroll),
        Ctl(kIdParamList, K::ListView, "", {158, 119, 258, 115}, kStyleReport | kStyleBorder),
        Ctl(kIdActivatePort, K::PushButton, "Activate Port", {441, 15, 75, 18}),
        Ctl(kIdExit, K::PushButton, "Exit", {433, 277, 96, 18}),
        Ctl(kIdResetDefault, K::PushButton, "Reset Default", {433, 253, 96, 18}),
        Ctl(kIdRead, K::PushButton, "Read", {441, 129, 75, 18}),
        Ctl(kIdWrite, K::PushButton, "Write", {441, 152, 75, 18}),
        Ctl(kIdDownload, K::PushButton, "Download", {165, 274, 49, 13}),
        Ctl(kIdBrowse, K::PushButton, "Browse", {165, 254, 49, 13}),
        Ctl(kStaticId, K::StaticText, "Path：", {263, 256, 23, 13}),
        Ctl(kIdFirmwarePath, K::Edit, "", {288, 254, 112, 13}, kStyleAutoHScroll | kStyleBorder),
        Ctl(kIdProgress, K::ProgressBar, "", {288, 274, 112, 13}),
        Ctl(kStaticId, K::StaticText, "Download process：", {222, 276, 64, 13}),
        Ctl(kIdPercentText, K::StaticText, "", {472, 299, 18, 10}),
        Ctl(kIdUseHid, K::CheckBox, "HID device", {443, 187, 47, 11}),
        Ctl(kStaticId, K::GroupBox, "Download FW", {154, 242, 265, 51}),
        Ctl(kStaticId, K::GroupBox, "Laminator info", {154, 7, 265, 95}),
        Ctl(kStaticId, K::StaticText, "Heating Roller temperature:", {162, 23, 91, 11}),
        Ctl(kIdRollerTemperature, K::Edit, "", {251, 21, 29, 12}, kStyleReadOnly | kStyleBorder),
        Ctl(kStaticId, K::StaticText, "degrees Celsius", {284, 24, 56, 11}),
        Ctl(kStaticId, K::StaticText, "Laminator status:", {162, 61, 64, 11}),
        Ctl(kIdStateBox, K::Edit, "", {234, 60, 73, 12}, kStyleReadOnly | kStyleBorder),
        Ctl(kIdErrorBox, K::Edit, "", {310, 60, 70, 12}, kStyleReadOnly | kStyleBorder),
        Ctl(kIdAutoDetect, K::CheckBox, "Auto detect", {354, 35, 56, 11}),
        Ctl(kStaticId, K::StaticText, "Environment temperature:", {162, 41, 85, 11}),
        Ctl(kIdEnvironmentTemperature, K::Edit, "", {251, 41, 29, 12},
            kStyleReadOnly | kStyleBorder),
        Ctl(kStaticId, K::StaticText, "degrees Celsius", {284, 43, 51, 11}),
        Ctl(kIdDescription, K::Edit, "", {17, 119, 122, 238},
            kStyleMultiLine | kStyleWantReturn | kStyleBorder),
        Ctl(kIdSpareBox, K::Edit, "", {400, 59, 8, 12}, kStyleBorder, hidden),
        Ctl(kIdEthernetConfig, K::PushButton, "Ethernet Port Configuration", {433, 229, 96, 18}),
        Ctl(kIdEthernetCheck, K::CheckBox, "Ethernet port", {443, 203, 55, 8}, kStyleNone, hidden),
        Ctl(kIdDeactivatePort, K::PushButton, "Deactivate Port", {441, 40, 75, 18}),
        Ctl(kIdResendCheck, K::CheckBox, "自动检测", {496, 298, 18, 12}, kStyleNone, hidden),
        Ctl(kIdSwitchMode, K::PushButton, "Switch Mode", {443, 93, 75, 18}),
        Ctl(kIdModeCombo, K::ComboBox, "", {425, 75, 116, 72}, kStyleDropDownList | kStyleVScroll),
        Ctl(kStaticId, K::GroupBox, "Send command", {154, 299, 327, 66}),
        Ctl(kIdCommandText, K::Edit, "", {158, 310, 261, 46},
            kStyleMultiLine | kStyleAutoVScroll | kStyleWantReturn | kStyleBorder),
        Ctl(kIdSend, K::PushButton, "Send", {434, 314, 40, 37}),
        Ctl(kIdModelRead, K::PushButton, "Model reading", {531, 151, 12, 18}, kStyleNone, hidden),
        Ctl(kIdModelWrite, K::PushButton, "Model modification", {531, 177, 12, 18}, kStyleNone,
            hidden),
        Ctl(kStaticId, K::GroupBox, "", {424, 64, 119, 55}),
        Ctl(kStaticId, K::GroupBox, "", {424, 7, 119, 58}),
        Ctl(kStaticId, K::GroupBox, "Parameter description", {7, 107, 141, 258}),
        Ctl(kStaticId, K::GroupBox, "Parameter setting item", {7, 7, 142, 95}),
        Ctl(kStaticId, K::GroupBox, "Parameter list", {153, 107, 267, 134}),
        Ctl(kIdDiagnose, K::PushButton, "Diagnose", {487, 315, 42, 36}, kStyleNone, hidden),
        Ctl(kStaticId, K::StaticText, "Card channel status:", {162, 81, 64, 8}),
        Ctl(kIdCardChannelBox, K::Edit, "", {234, 79, 146, 14}, kStyleReadOnly | kStyleBorder),
    };
    t.comboItems = {{kIdModeCombo,
                     {"Standard mode", "Card eject via command mode", "Direct card eject mode "}}};
    return t;
}

DialogTemplate AboutDialogTemplate() {
    DialogTemplate t;
    t.resourceId = kAboutDialogResource;
    t.title = "关于 Corvane";
    t.fontFace = "MS Shell Dlg";
    t.fontPoints = 8;
    t.width = 170;
    t.height = 78;
    t.minimizeBox = false;
    t.controls = {
        Ctl(kStaticId, K::StaticText, "Corvane，1.0 版", {42, 14, 114, 8}),
        Ctl(kStaticId, K::StaticText, "Pellacor card laminator service tool", {42, 26, 120, 8}),
        Ctl(kStaticId, K::StaticText, "Copyright (C) 2026 Pellacor", {42, 38, 120, 8}),
        Ctl(IDOK, K::DefaultPushButton, "确定", {113, 57, 50, 14}),
    };
    return t;
}
