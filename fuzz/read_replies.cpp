// The read engine's reply decoders: any page layout over any reply, the information reply's
// scans, the model ID and name, the status and card-channel replies. The first byte picks
// the decoder and the link; the rest is the reply as RxBuffer would hold it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "laminator/encodings.h"
#include "laminator/information_reply.h"
#include "laminator/reply_decoders.h"

namespace {
Reply MakeReply(const std::uint8_t* data, std::size_t size, bool usb) {
    Reply reply;
    reply.length = std::min(size, reply.bytes.size());
    std::memcpy(reply.bytes.data(), data, reply.length);
    reply.base = usb ? 2 : 0;
    reply.received = true;
    reply.sent = true;
    return reply;
}

// A decoded value written back gives the bytes it came from, where the encoding is one to one.
void CheckRoundTrip(ParamKey key, const std::uint8_t* p, const std::string& text) {
    switch (Parameter(key).encoding) {
        case Encoding::U24: {
            const auto back = EncodeU24(text);
            FUZZ_CHECK(std::equal(back.begin(), back.end(), p));
            break;
        }
        case Encoding::U32: {
            const auto back = EncodeU32(text);
            FUZZ_CHECK(std::equal(back.begin(), back.end(), p));
            break;
        }
        case Encoding::IP4: {
            const auto back = EncodeIp4(text);
            FUZZ_CHECK(std::equal(back.begin(), back.end(), p));
            FUZZ_CHECK(IsDottedQuad(text));
            break;
        }
        case Encoding::MAC6: {
            const auto back = EncodeMac6(text);
            FUZZ_CHECK(std::equal(back.begin(), back.end(), p));
            FUZZ_CHECK(IsMacText(text));
            break;
        }
        case Encoding::U8:
            FUZZ_CHECK(EncodeU8(text) == p[0]);
            break;
        case Encoding::TEMP:
            FUZZ_CHECK(EncodeTemp(text) == p[0]);
            break;
        case Encoding::S16T:
        case Encoding::U16T: {
            const auto back = EncodeTenths(text);
            FUZZ_CHECK(std::equal(back.begin(), back.end(), p));
            break;
        }
        case Encoding::ENUM: {
            const std::optional<std::uint8_t> b = EncodeChoice(key, text);
            FUZZ_CHECK(!b || DecodeChoice(key, *b) == text);
            break;
        }
        default:
            break;
    }
}

void FuzzPage(const std::uint8_t* data, std::size_t size, bool usb) {
    // A layout from the input: up to eight fields, any parameter at any offset below 64.
    const std::size_t count = std::min<std::size_t>(size / 2, 8);
    std::vector<PageField> fields;
    for (std::size_t i = 0; i < count; ++i)
        fields.push_back({static_cast<ParamKey>(data[2 * i] % kParamCount),
                          static_cast<std::size_t>(data[2 * i + 1] % 64)});
    const bool motorType = count > 0 && (data[0] & 0x80);
    const Reply reply = MakeReply(data + 2 * count, size - 2 * count, usb);
    const DecodedPage page = DecodePage(fields, motorType, reply);
    FUZZ_CHECK(page.values.size() <= fields.size());
    FUZZ_CHECK(page.incomplete ==
               (page.values.size() < fields.size() || (motorType && !page.motorType)));
    FUZZ_CHECK(PageBytes(fields, motorType) <= 64 + 6);
    std::size_t next = 0;
    for (const auto& [key, text] : page.values) {
        // The decoded fields are the ones that fit, in layout order.
        while (fields[next].key != key ||
               !reply.Has(fields[next].offset, FieldWidth(Parameter(key).encoding)))
            ++next;
        FUZZ_CHECK(next < fields.size());
        const PageField& f = fields[next++];
        if (text) {
            FUZZ_CHECK(text->size() <= 24);
            CheckRoundTrip(key, reply.Field(f.offset), *text);
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t pick = data[0];
    const bool usb = pick & 1;
    ++data;
    --size;
    const Reply reply = MakeReply(data, size, usb);
    switch ((pick >> 1) % 6) {
        case 0:
            FuzzPage(data, size, usb);
            break;
        case 1: {
            const std::string sn = ScanSerialNumber(reply.bytes.data(), reply.length, usb ? 8 : 6);
            const std::string version = ScanMainVersion(reply.bytes.data(), reply.length);
            // The serial number stops below offset 62, the version below the signed byte 1
            // (at most 127); neither reaches past the bytes received.
            FUZZ_CHECK(sn.size() <= 62 && version.size() <= 127);
            FUZZ_CHECK(sn.size() <= reply.length && version.size() <= reply.length);
            break;
        }
        case 2: {
            const std::optional<std::string> id = DecodeModelId(reply);
            FUZZ_CHECK(id.has_value() == reply.Has(kModelIdLength, 2));
            // Never more text than the bytes that came after the length.
            FUZZ_CHECK(!id || reply.base + kModelIdText + id->size() <=
                                  std::max(reply.length, reply.base + kModelIdText));
            break;
        }
        case 3: {
            const std::string name = DecodeModelName(reply);
            FUZZ_CHECK(name.size() <= 62 && name.find('\0') == std::string::npos);
            break;
        }
        case 4: {
            const auto texts = DecodeStatus(reply);
            FUZZ_CHECK(texts.has_value() == reply.Has(kStatusErrorCode, 4));
            if (texts)
                for (const std::string& t : *texts)
                    FUZZ_CHECK(t.size() <= 64);
            break;
        }
        case 5: {
            const std::optional<std::string> cards = DecodeCardChannel(reply);
            FUZZ_CHECK(cards.has_value() == (reply.length > 34));
            FUZZ_CHECK(!cards || cards->size() <= 64);
            break;
        }
    }
    return 0;
}
