#include "netsetup/net_result_text.h"

std::string NetResultText(NetResult result) {
    switch (result) {
        case kNetBusy:
            return "a search is still running";
        case kNetSendFailed:
            return "the request could not be sent";
        case kNetNoReply:
            return "the laminator did not answer";
        case kNetNotRead:
            return "the settings were not read first";
        case kNetBadAck:
            return "the laminator's acknowledgement was wrong";
        default:
            return "result " + std::to_string(result);
    }
}

std::string NetReadFailedText(NetResult result) {
    return "Reading the network settings failed: " + NetResultText(result) + ".";
}

std::string NetWriteFailedText(NetResult result) {
    return "Writing the network settings failed: " + NetResultText(result) + ".";
}
