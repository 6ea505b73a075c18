#include "link/link_flags.h"

std::atomic<int> EthernetLinkActive{0};
std::atomic<int> UsbLinkActive{0};
