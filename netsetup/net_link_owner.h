#pragma once
// What the device list dialog needs of the main window when it connects: its USB port, its
// Auto detect setting and the start of the Ethernet status poller.
class NetLinkOwner {
  public:
    virtual ~NetLinkOwner() = default;
    // A USB port is open (the Activate Port button is disabled).
    virtual bool UsbPortOpen() = 0;
    // Closes the USB link, enables Activate Port and clears UsbLinkActive.
    virtual void CloseUsbPort() = 0;
    virtual bool AutoDetectOn() = 0;
    // Asks the window thread to start the Ethernet status poller.
    virtual void StartNetPoller() = 0;
};
