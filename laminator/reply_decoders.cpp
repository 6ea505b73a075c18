#include "laminator/reply_decoders.h"

#include <algorithm>

#include "laminator/encodings.h"
#include "laminator/status_fields.h"
#include "laminator/status_text.h"

namespace {
constexpr std::size_t kEnvTemperature = 10;
constexpr std::size_t kRollerTemperature = 18;
constexpr std::size_t kStateCode = 20;
constexpr std::size_t kNameEnd = 62;
constexpr std::size_t kCardSensorByte = 34;
}  // namespace

std::size_t FieldWidth(Encoding encoding) {
    switch (encoding) {
        case Encoding::U24:
            return 3;
        case Encoding::U32:
        case Encoding::IP4:
        case Encoding::VER4:
            return 4;
        case Encoding::S16T:
        case Encoding::U16T:
            return 2;
        case Encoding::MAC6:
            return 6;
        default:
            return 1;
    }
}

std::optional<std::string> DecodeField(ParamKey key, const std::uint8_t* p) {
    switch (Parameter(key).encoding) {
        case Encoding::U8:
            return DecodeU8(p[0]);
        case Encoding::TEMP:
            return DecodeTemp(p[0]);
        case Encoding::U24:
            return DecodeU24(p);
        case Encoding::U32:
            return DecodeU32(p);
        case Encoding::S16T:
            return DecodeS16T(p);
        case Encoding::U16T:
            return DecodeU16T(p);
        case Encoding::IP4:
            return DecodeIp4(p);
        case Encoding::MAC6:
            return DecodeMac6(p);
        case Encoding::VER4:
            return DecodeVer4(p);
        case Encoding::ENUM:
            return DecodeChoice(key, p[0]);
        default:
            return std::nullopt;
    }
}

std::size_t PageBytes(const std::vector<PageField>& fields, bool motorType) {
    std::size_t end = motorType ? kMotorTypeOffset + 1 : 0;
    for (const PageField& f : fields)
        end = std::max(end, f.offset + FieldWidth(Parameter(f.key).encoding));
    return end;
}

DecodedPage DecodePage(const std::vector<PageField>& fields, bool motorType, const Reply& reply) {
    DecodedPage page;
    for (const PageField& f : fields) {
        if (!reply.Has(f.offset, FieldWidth(Parameter(f.key).encoding))) {
            page.incomplete = true;
            continue;
        }
        page.values.emplace_back(f.key, DecodeField(f.key, reply.Field(f.offset)));
    }
    if (motorType) {
        if (reply.Has(kMotorTypeOffset, 1))
            page.motorType = *reply.Field(kMotorTypeOffset);
        else
            page.incomplete = true;
    }
    return page;
}

std::optional<std::string> DecodeModelId(const Reply& reply) {
    if (!reply.Has(kModelIdLength, 2))
        return std::nullopt;
    const std::uint8_t* p = reply.Field(kModelIdLength);
    const std::size_t claimed = static_cast<std::size_t>(p[0] | (p[1] << 8));
    const std::size_t textAt = reply.base + kModelIdText;
    const std::size_t available = reply.length > textAt ? reply.length - textAt : 0;
    return BytesToText(reply.bytes.data() + textAt, std::min(claimed, available));
}

std::string DecodeModelName(const Reply& reply) {
    const std::size_t end = std::min(kNameEnd, reply.length);
    return BytesToText(reply.bytes.data() + reply.base, end > reply.base ? end - reply.base : 0);
}

std::optional<std::array<std::string, 4>> DecodeStatus(const Reply& reply) {
    if (!reply.received || !reply.Has(kStatusErrorCode, 4))
        return std::nullopt;
    const std::uint8_t* b = reply.Field(0);
    return std::array<std::string, 4>{
        TemperatureText(b[kRollerTemperature], b[kRollerTemperature + 1]),
        StateText(b + kStateCode), ErrorText(b + kStatusErrorCode),
        TemperatureText(b[kEnvTemperature], b[kEnvTemperature + 1])};
}

std::optional<StatusFields> DecodeStatusFields(const Reply& reply) {
    if (!reply.received || !reply.Has(kStatusErrorCode, 4))
        return std::nullopt;
    const std::uint8_t* b = reply.Field(0);
    const auto u16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
    };
    const auto u32be = [&](std::size_t at) {
        return static_cast<std::uint32_t>(b[at]) << 24 |
               static_cast<std::uint32_t>(b[at + 1]) << 16 |
               static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
    };
    return StatusFields{u16(kRollerTemperature), u16(kEnvTemperature), u32be(kStateCode),
                        u32be(kStatusErrorCode)};
}

std::optional<std::uint8_t> DecodeCardSensors(const Reply& reply) {
    if (!reply.received || reply.length <= kCardSensorByte)
        return std::nullopt;
    return reply.bytes[kCardSensorByte];
}

std::optional<std::string> DecodeCardChannel(const Reply& reply) {
    const std::optional<std::uint8_t> sensors = DecodeCardSensors(reply);
    if (!sensors)
        return std::nullopt;
    return CardChannelText(*sensors);
}
