#pragma once
// A network settings record as the command line shows it and the service record keeps it.
#include <nlohmann/json.hpp>

#include "netsetup/net_protocol.h"

// name, method, ip-address, subnet-mask, gateway.
nlohmann::json SettingsJson(const NetSettings& settings);
