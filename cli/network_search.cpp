#include "cli/network_search.h"

#include <chrono>
#include <string>

#include "netsetup/net_discovery.h"
#include "netsetup/net_settings.h"

std::vector<FoundLaminator> SearchNetwork(CNetDiscovery& discovery, NetResult& result) {
    std::vector<FoundLaminator> found;
    result = discovery.Search();
    if (result != kNetSuccess)
        return found;
    // The collection ends by itself 500 ms after the last datagram.
    for (;;) {
        discovery.WaitForReplyOrIdle(std::chrono::milliseconds(1000));
        FoundLaminator laminator;
        while (discovery.PopReply(laminator))
            found.push_back(laminator);
        if (discovery.IsIdle() && discovery.QueueSize() == 0)
            break;
    }
    return found;
}
