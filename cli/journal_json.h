#pragma once
// Service-record entries as JSON, the same in a `journal` listing and a past-period report.
#include <nlohmann/json.hpp>
#include <string>

#include "journal/journal_records.h"

// The stored details object; a text that is not JSON as it is.
nlohmann::json DetailsJson(const std::string& details);
nlohmann::json OperationJson(const StoredOperation& operation);
// A thinned span carries its lowest and highest temperatures beside its last reading.
nlohmann::json ReadingJson(const StoredReading& reading);
