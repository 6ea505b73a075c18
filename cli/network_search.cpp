#include "cli/network_search.h"

#include <chrono>

#include "netsetup/net_discovery.h"

std::vector<SearchReply> SearchNetwork(CNetDiscovery& discovery, NetResult& result) {
    std::vector<SearchReply> found;
    result = discovery.Search();
    if (result != kNetSuccess)
        return found;
    // The collection ends by itself 500 ms after the last datagram.
    for (;;) {
        discovery.WaitForReplyOrIdle(std::chrono::milliseconds(1000));
        SearchReply reply{};
        while (discovery.PopReply(reply))
            found.push_back(reply);
        if (discovery.IsIdle() && discovery.QueueSize() == 0)
            break;
    }
    return found;
}
