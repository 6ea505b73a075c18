#pragma once
// The laminator's replies taken apart, with no link and no view: the read engine, the model
// workers and the status poller decode through these, and so do the fuzzers.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "laminator/catalogue.h"
#include "laminator/link_exchange.h"

struct PageField {
    ParamKey key;
    std::size_t offset;  // in the reply block
};

// Bytes a field of the encoding takes.
std::size_t FieldWidth(Encoding encoding);
// Text of a field at `p`; nullopt for a choice byte the table does not know.
std::optional<std::string> DecodeField(ParamKey key, const std::uint8_t* p);

struct DecodedPage {
    // Only the fields wholly inside the received bytes; a nullopt text keeps the old value.
    std::vector<std::pair<ParamKey, std::optional<std::string>>> values;
    std::optional<std::uint8_t> motorType;
    bool incomplete = false;  // a field (or the motor type) lay past the received bytes
};

inline constexpr std::size_t kMotorTypeOffset = 28;

DecodedPage DecodePage(const std::vector<PageField>& fields, bool motorType, const Reply& reply);
// Bytes the page decoder reads of a reply block.
std::size_t PageBytes(const std::vector<PageField>& fields, bool motorType);

// The model ID: the length at block offsets 4-5, the text from offset 6, cut to what came.
// nullopt when the length itself did not come.
std::optional<std::string> DecodeModelId(const Reply& reply);
inline constexpr std::size_t kModelIdLength = 4;
inline constexpr std::size_t kModelIdText = 6;

// The model name: bytes 0 to 61 of the received ones, from the block start.
std::string DecodeModelName(const Reply& reply);

// Roller temperature, state, error or warning, environment temperature; nullopt when the
// reply lacks its fields.
std::optional<std::array<std::string, 4>> DecodeStatus(const Reply& reply);
inline constexpr std::size_t kStatusErrorCode = 28;

// The card-channel box from the sensor byte at USB frame offset 34; nullopt without it.
std::optional<std::string> DecodeCardChannel(const Reply& reply);
