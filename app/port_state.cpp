// The USB port's state as one value on the window thread. Clicks and completions change it;
// the port buttons only ever follow it, so no button can claim a port that is not so.
#include "app/control_ids.h"
#include "app/corvane_dlg.h"
#include "laminator/poll_control.h"
#include "link/link_flags.h"

int CCorvaneDlg::BeginPortChange(PortState state) {
    m_portState.store(state);
    ShowPortState();
    return ++m_portClick;
}

void CCorvaneDlg::FinishPortChange(int click, PortState state) {
    if (click != m_portClick.load())
        return;  // a later click owns the port now
    m_portState.store(state);
    // A USB poller started while the port was open (Auto detect ticked during a download)
    // would otherwise poll the closed port every cycle.
    if (state == PortState::Closed && !EthernetLinkActive.load())
        StopStatusPoller();
    ShowPortState();
}

void CCorvaneDlg::ShowPortState() {
    const PortState state = m_portState.load();
    Item(kIdActivatePort).Enable(state == PortState::Closed);
    Item(kIdDeactivatePort).Enable(state != PortState::Closing);
}

void CCorvaneDlg::NotePortClosedByEngine() {
    const int click = m_portClick.load();
    PostWork([this, click] {
        if (m_portState.load() == PortState::Open)
            FinishPortChange(click, PortState::Closed);
    });
}

void CCorvaneDlg::EnableButton(int id, bool enabled) {
    // Engines enable Activate Port when they closed the USB link; the state decides.
    if (id == kIdActivatePort || id == kIdDeactivatePort) {
        if (id == kIdActivatePort && enabled)
            NotePortClosedByEngine();
        return;
    }
    Item(id).Enable(enabled);
}
