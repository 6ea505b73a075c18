#pragma once
// The status reply's fields as numbers, for the history (defined with the other decoders).
#include <cstdint>
#include <optional>

#include "laminator/link_exchange.h"

struct StatusFields {
    std::uint16_t rollerCenti = 0;
    std::uint16_t environmentCenti = 0;
    std::uint32_t state = 0;
    std::uint32_t error = 0;
};
// nullopt when the reply lacks the fields.
std::optional<StatusFields> DecodeStatusFields(const Reply& reply);
// The card-channel sensor byte; nullopt without it.
std::optional<std::uint8_t> DecodeCardSensors(const Reply& reply);
