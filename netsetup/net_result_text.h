#pragma once
// What a failed discovery-protocol operation tells the user, in the window and on the
// command line alike.
#include <string>

#include "netsetup/net_protocol.h"

// "the laminator did not answer", "the request could not be sent", ...
std::string NetResultText(NetResult result);
// "Reading the network settings failed: the laminator did not answer."
std::string NetReadFailedText(NetResult result);
// "Writing the network settings failed: the laminator's acknowledgement was wrong."
std::string NetWriteFailedText(NetResult result);
