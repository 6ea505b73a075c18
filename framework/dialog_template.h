#pragma once
// A dialog as data: every control with its id, kind, caption, rectangle in dialog units,
// styles and visibility, row for row as the window is designed.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/geometry.h"

enum class ControlKind {
    StaticText,
    GroupBox,
    PushButton,
    DefaultPushButton,
    CheckBox,
    Edit,
    ListBox,
    ListView,
    ComboBox,
    ProgressBar,
    IpAddress,
};

// Style bits; only those our dialogs use.
enum ControlStyle : std::uint32_t {
    kStyleNone = 0,
    kStyleNotify = 1u << 0,
    kStyleVScroll = 1u << 1,
    kStyleHScroll = 1u << 2,
    kStyleReadOnly = 1u << 3,
    kStyleMultiLine = 1u << 4,
    kStyleWantReturn = 1u << 5,
    kStyleAutoHScroll = 1u << 6,
    kStyleAutoVScroll = 1u << 7,
    kStyleDropDownList = 1u << 8,  // combo without an edit field
    kStyleDropDown = 1u << 9,      // combo with an edit field
    kStyleSort = 1u << 10,
    kStyleReport = 1u << 11,
    kStyleBorder = 1u << 12,
    kStyleTabStop = 1u << 13,
    kStyleSingleSelection = 1u << 14,
    kStyleShowSelectionAlways = 1u << 15,
    kStyleGridLines = 1u << 16,
    kStyleFullRowSelect = 1u << 17,
};

inline constexpr int kStaticId = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct ControlTemplate {
    int id = kStaticId;
    ControlKind kind = ControlKind::StaticText;
    std::string caption;
    DialogRect rect;
    std::uint32_t styles = kStyleNone;
    bool visible = true;
};

// One control of a dialog template, written as a resource script writes it.
inline ControlTemplate Ctl(int id, ControlKind kind, const char* caption, DialogRect rect,
                           std::uint32_t styles = kStyleNone, bool visible = true) {
    return ControlTemplate{id, kind, caption, rect, styles, visible};
}

struct DialogTemplate {
    int resourceId = 0;
    std::string title;
    std::string fontFace;
    int fontPoints = 9;
    int width = 0;   // dialog units
    int height = 0;  // dialog units
    bool minimizeBox = true;
    std::vector<ControlTemplate> controls;
    // Initialisation data: strings added to combo boxes when the dialog is created.
    std::vector<std::pair<int, std::vector<std::string>>> comboItems;
};
