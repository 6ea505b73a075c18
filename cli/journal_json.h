#pragma once
// Service-record entries as JSON, the same in a `journal` listing and a past-period report.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "journal/journal_records.h"

// The stored details object; a text that is not JSON as it is.
nlohmann::json DetailsJson(const std::string& details);
nlohmann::json OperationJson(const StoredOperation& operation);
class SplicedJson;

// Readings as a JSON list: a thinned span carries its lowest and highest temperatures
// beside its last reading. The list goes into `document`'s dump as text; `rows` must live
// until then.
nlohmann::json ReadingsJson(SplicedJson& document, const std::vector<StoredReading>& rows);
void AppendReadingsJson(std::string& out, const std::vector<StoredReading>& rows,
                        const std::string& indent);
