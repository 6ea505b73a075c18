#pragma once
// A first look at a laminator before trusting what the tool assumes of its replies: every
// query the tool reads with is sent once, and what came back is described. Reads only:
// nothing is written, no mode is switched.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "laminator/link_exchange.h"

struct ProbeExchange {
    std::string query;    // what the tool reads with it
    std::string command;  // the command as sent, hexadecimal
    bool sent = false;
    bool received = false;
    std::size_t length = 0;  // reply bytes, the USB frame header included
    double milliseconds = 0;
    // The reply starts with the command's leading bytes (up to four).
    bool echoes = false;
    // USB: the first frame was full, so the tool reads a second one; whether it came.
    bool continues = false;
    bool continuationReceived = false;
    std::vector<std::uint8_t> reply;  // as received, continuation frame appended
};

struct ProbeResult {
    std::vector<ProbeExchange> exchanges;
    // The information reply's ";"-separated fields and the two the tool takes from it.
    std::vector<std::string> informationFields;
    std::string serialNumber;
    std::string mainVersion;
    // The status reply's machine state and error codes, as the tool reads them.
    std::optional<std::uint32_t> stateCode;
    std::optional<std::uint32_t> errorCode;
    bool AllAnswered() const;
};

// Sends each read query of `link` once, under the link lock.
ProbeResult ProbeLaminator(LinkKind link);
