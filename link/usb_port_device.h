#pragma once
// A USB interface the system opened, as the link uses it.
#include <memory>

#include "link/usb_backend.h"
#include "platform/usb/usb_port.h"

std::unique_ptr<UsbDevice> MakePortDevice(std::unique_ptr<UsbPort> port);
