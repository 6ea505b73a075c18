#pragma once
// The message map: a table from (event, control id) to a handler of the dialog.
#include <functional>
#include <vector>

#include "framework/geometry.h"

inline constexpr int WM_USER = 0x0400;

enum class Notify {
    Clicked,      // button or checkbox click
    SelChange,    // list box or combo box selection change
    ItemChanged,  // list view item changed
    Click,        // list view click; item is the hit row or -1
    DblClick,     // double-click; point in the control's client pixels
    EditChange,   // edit text changed by the user
    KillFocus,    // the control lost the keyboard focus
    BeginTrack,   // a list header divider starts being dragged
    Scroll,       // a list was scrolled with its scroll bars
    User,         // a posted user message; id is the message number
    SysCommand,   // a system-menu command; id is the command id
    Command,      // a command id (IDOK, IDCANCEL)
};

struct Event {
    Notify code = Notify::Clicked;
    int id = 0;
    int item = -1;    // list row, or -1
    int source = -1;  // index of the control that sent it; -1: found by id
    PixelPoint point;
    long wParam = 0;
    long lParam = 0;
};

enum class Key { Escape, Return, Other };

struct KeyEvent {
    Key key = Key::Other;
    int focusId = 0;  // id of the control that has the keyboard focus, 0 for none
};

template <class D>
struct MessageMapEntry {
    Notify code;
    int id;
    std::function<long(D&, const Event&)> handler;
};

template <class D>
using MessageMap = std::vector<MessageMapEntry<D>>;

// Entry helpers: a member without arguments, or one that takes the event and returns a result.
template <class D>
MessageMapEntry<D> On(Notify code, int id, void (D::*member)()) {
    return {code, id, [member](D& d, const Event&) {
                (d.*member)();
                return 0L;
            }};
}
template <class D>
MessageMapEntry<D> On(Notify code, int id, long (D::*member)(const Event&)) {
    return {code, id, [member](D& d, const Event& e) { return (d.*member)(e); }};
}
template <class D>
MessageMapEntry<D> OnResult(Notify code, int id, long result) {
    return {code, id, [result](D&, const Event&) { return result; }};
}

// Dispatches `e` through `map`; true when an entry handled it.
template <class D>
bool DispatchThrough(const MessageMap<D>& map, D& dialog, const Event& e, long& result) {
    for (const auto& entry : map) {
        if (entry.code == e.code && entry.id == e.id) {
            result = entry.handler(dialog, e);
            return true;
        }
    }
    return false;
}
