#pragma once
// One network search, waited for until the laminators stop answering.
#include <vector>

#include "netsetup/net_protocol.h"
#include "netsetup/net_settings_json.h"

class CNetDiscovery;

// Every laminator the search listed, once per MAC and address; empty when the search could
// not be sent (the result in `result`). Those beyond the list are counted by the discovery.
std::vector<FoundLaminator> SearchNetwork(CNetDiscovery& discovery, NetResult& result);
