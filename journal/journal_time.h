#pragma once
// The times a service-record listing is asked for: an age ("30d", "12h", "15m", "90s") back
// from now, or an ISO 8601 UTC time or date ("2026-12-01", "2026-12-01T08:00:00Z").
#include <cstdint>
#include <optional>
#include <string>

std::optional<std::int64_t> ParseJournalTime(const std::string& text, std::int64_t nowMs);
