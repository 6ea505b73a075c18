#include "sim/laminator_engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "sim/roller_warmup.h"

namespace pellacor::sim {

namespace {

constexpr uint8_t kOpen[] = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x01};
constexpr uint8_t kClose[] = {0x1D, 0x1A, 0x1B, 0x1C, 0x1D, 0x4D, 0x4F, 0x44, 0x45, 0x02};
constexpr size_t kBracketLen = sizeof kOpen;
constexpr size_t kBlock = 64;
constexpr size_t kFrameData = 62;
// Replies are kept shorter than a full USB frame so that only the information reply
// carries the length byte 62 that announces a continuation frame.
constexpr size_t kPageReply = 32;
constexpr size_t kMaxModelIdText = 55;
constexpr size_t kMaxModelName = 60;

bool StartsWith(const uint8_t* b, size_t n, const uint8_t* prefix, size_t len) {
    return n >= len && std::memcmp(b, prefix, len) == 0;
}

bool Is(const uint8_t* b, size_t n, std::initializer_list<uint8_t> prefix) {
    if (n < prefix.size()) {
        return false;
    }
    size_t i = 0;
    for (uint8_t p : prefix) {
        if (b[i++] != p) {
            return false;
        }
    }
    return true;
}

// Text that runs from `at` to the first zero byte or the end of the block.
std::string TextAt(const uint8_t* b, size_t n, size_t at, size_t limit) {
    std::string s;
    for (size_t i = at; i < n && b[i] != 0 && s.size() < limit; ++i) {
        s.push_back(static_cast<char>(b[i]));
    }
    return s;
}

void Put16(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    r[at] = static_cast<uint8_t>(v);
    r[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put24(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    Put16(r, at, v);
    r[at + 2] = static_cast<uint8_t>(v >> 16);
}
void Put32(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    Put24(r, at, v);
    r[at + 3] = static_cast<uint8_t>(v >> 24);
}
void Put32Be(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    r[at] = static_cast<uint8_t>(v >> 24);
    r[at + 1] = static_cast<uint8_t>(v >> 16);
    r[at + 2] = static_cast<uint8_t>(v >> 8);
    r[at + 3] = static_cast<uint8_t>(v);
}
void Tag(std::vector<uint8_t>& r, size_t at, const char* letters) {
    for (size_t i = 0; letters[i] != 0; ++i) {
        r[at + i] = static_cast<uint8_t>(letters[i]);
    }
}
uint16_t Get16(const uint8_t* b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// Tag bytes of a write block. A group whose tags are all present is applied; one whose
// tags are all zero is absent; anything between is a malformed block.
struct TagGroup {
    std::vector<std::pair<size_t, uint8_t>> tags;
    std::function<void(const uint8_t*, LaminatorState&)> apply;
};

const std::vector<TagGroup>* WriteGroups(uint16_t page) {
    using S = LaminatorState;
    static const std::vector<TagGroup> k4901 = {
        {{{8, 'L'}},
         [](const uint8_t* b, S& s) {
             s.totalCards = static_cast<uint32_t>(b[9] | (b[10] << 8) | (b[11] << 16));
         }},
    };
    static const std::vector<TagGroup> k5002 = {
        {{{23, 'L'}, {24, 'M'}}, [](const uint8_t* b, S& s) { s.params.laminateMenu = b[25]; }},
        {{{17, 'B'}, {18, 'M'}}, [](const uint8_t* b, S& s) { s.params.blackMark = b[19]; }},
        {{{8, 'L'}, {9, 'A'}}, [](const uint8_t* b, S& s) { s.params.language = b[10]; }},
        {{{11, 'C'}, {12, 'O'}}, [](const uint8_t* b, S& s) { s.params.lcdContrast = b[13]; }},
        {{{14, 'L'}, {15, 'I'}}, [](const uint8_t* b, S& s) { s.params.lcdBacklight = b[16]; }},
        {{{20, 'U'}, {21, 'I'}}, [](const uint8_t*, S&) {}},
    };
    static const std::vector<TagGroup> k4d10 = {
        {{{8, 'C'}, {9, 'I'}}, [](const uint8_t* b, S& s) { s.params.autoReleaseTime = b[11]; }},
        {{{12, 'F'}, {13, 'W'}, {26, 'F'}, {27, 'W'}},
         [](const uint8_t* b, S& s) {
             s.params.filmPosition = static_cast<int16_t>(Get16(b, 16));
             s.params.blackMarkSpeed = b[18];
             s.params.endPosition = Get16(b, 20);
             s.params.feedSpeed = b[22];
         }},
    };
    static const std::vector<TagGroup> k4801 = {
        {{{8, 'N'}, {24, 'N'}, {25, 0x01}},
         [](const uint8_t* b, S& s) {
             s.params.cardSpeed = b[10];
             s.params.temperatureByte = b[11];
         }},
    };
    static const std::vector<TagGroup> k5001 = {
        {{{8, 'B'}}, [](const uint8_t* b, S& s) { s.params.buzzer = b[9]; }},
        {{{10, 'P'}}, [](const uint8_t* b, S& s) { s.params.powerSave2 = b[11]; }},
        {{{12, 'P'}, {13, 'S'}}, [](const uint8_t* b, S& s) { s.params.powerSave1 = b[14]; }},
        {{{16, 'C'}, {17, 'F'}},
         [](const uint8_t* b, S& s) {
             s.params.laminateToCard = static_cast<int16_t>(Get16(b, 18));
         }},
    };
    static const std::vector<TagGroup> k4500 = {
        {{{8, 'I'}, {10, 'F'}, {12, 'S'}, {17, 'G'}, {22, 'M'}},
         [](const uint8_t* b, S& s) {
             s.params.laminatorId = b[9];
             s.network.bytes[0] = b[11];
             // Both layouts store addresses last octet first.
             std::copy(b + 13, b + 17, s.network.bytes.begin() + 3);
             std::copy(b + 18, b + 22, s.network.bytes.begin() + 7);
             std::copy(b + 23, b + 27, s.network.bytes.begin() + 11);
         }},
    };
    static const std::vector<TagGroup> k4501 = {
        {{{8, 'M'}, {15, 'P'}, {22, 'T'}},
         [](const uint8_t* b, S& s) {
             std::copy(b + 9, b + 15, s.network.bytes.begin() + 45);
             s.params.timeOut = static_cast<uint32_t>(b[23] | (b[24] << 8) | (b[25] << 16)) |
                                (static_cast<uint32_t>(b[26]) << 24);
         }},
    };
    switch (page) {
        case 0x4901:
            return &k4901;
        case 0x5002:
            return &k5002;
        case 0x4D10:
            return &k4d10;
        case 0x4801:
            return &k4801;
        case 0x5001:
            return &k5001;
        case 0x4500:
            return &k4500;
        case 0x4501:
            return &k4501;
        default:
            return nullptr;
    }
}

bool IsReadPage(uint16_t page) {
    return WriteGroups(page) != nullptr || page == 0x4902 || page == 0x8100;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

LaminatorEngine::LaminatorEngine(int index, LaminatorState factory)
    : m_index(index),
      m_factory(factory),
      m_state(std::move(factory)),
      m_lastTick(std::chrono::steady_clock::now()) {}

LaminatorState LaminatorEngine::State() {
    std::lock_guard lock(m_mutex);
    AdvanceTemperature();
    return m_state;
}

void LaminatorEngine::Update(const std::function<void(LaminatorState&)>& change) {
    std::lock_guard lock(m_mutex);
    AdvanceTemperature();
    change(m_state);
}

void LaminatorEngine::ResetToFactory() {
    std::lock_guard lock(m_mutex);
    m_state.params = m_factory.params;
}

bool LaminatorEngine::BracketOpen() {
    std::lock_guard lock(m_mutex);
    return m_bracketOpen;
}

FirmwareCapture LaminatorEngine::Firmware() {
    std::lock_guard lock(m_mutex);
    return m_firmware;
}

void LaminatorEngine::SetFirmwareFile(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_firmwareFile = path;
}

void LaminatorEngine::AdvanceTemperature() {
    auto now = std::chrono::steady_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastTick).count();
    if (m_state.heatingRatePerSecond == 0 || m_state.rollerTemp == m_state.SetPoint()) {
        m_lastTick = now;
        return;
    }
    const int step = RollerStep(m_state, ms);
    if (step == 0) {
        return;  // keep the remainder for the next call
    }
    m_lastTick = now;
    m_state.rollerTemp = static_cast<uint16_t>(m_state.rollerTemp + step);
}

LaminatorEngine::LinkId LaminatorEngine::NewLinkId() {
    static std::atomic<LinkId> next{1};
    return next++;
}

LaminatorEngine::Outcome LaminatorEngine::HandleBlock(const uint8_t* data, size_t size,
                                                      LinkId link) {
    std::lock_guard lock(m_mutex);
    m_link = link;
    m_inFirmware = false;
    m_rawPending = false;
    return Dispatch(data, size);
}

LaminatorEngine::Outcome LaminatorEngine::HandleFrame(const uint8_t* frame, size_t size,
                                                      Transport transport, LinkId link) {
    std::lock_guard lock(m_mutex);
    m_link = link;
    if (size < 2) {
        return {false, {}, false, Flag::Incomplete, "frame without header"};
    }
    size_t length = std::min<size_t>(frame[1], kFrameData);
    // Commands put field bytes beyond their length byte (the common form always says 3E,
    // the model frames say 36), so a command is read from the whole frame.
    std::array<uint8_t, kBlock> block{};
    size_t avail = std::min(size - 2, kFrameData);
    std::memcpy(block.data(), frame + 2, avail);
    bool known = false;
    {
        // Classified by first bytes, without side effects.
        const uint8_t* b = block.data();
        known = Is(b, kBlock, {0x1C, 0x41, 0x50, 0x01}) || Is(b, kBlock, {0x1C, 0x72}) ||
                Is(b, kBlock, {0x1C, 0x77}) || Is(b, kBlock, {0x1B, 0x65, 0x00, 0x00, 0x08}) ||
                Is(b, kBlock, {0x1D, 0x52, 0x09}) || StartsWith(b, kBlock, kOpen, kBracketLen) ||
                StartsWith(b, kBlock, kClose, kBracketLen) || Is(b, kBlock, {0x1D, 0x01}) ||
                Is(b, kBlock, {0x1D, 0x02}) || Is(b, kBlock, {0x1D, 0x03, 0x03});
        if (known && Is(b, kBlock, {0x1C, 0x72})) {
            known = IsReadPage(static_cast<uint16_t>(b[2] << 8 | b[3]));
        }
    }
    if (known) {
        m_inFirmware = false;
        m_rawPending = false;
        return Dispatch(block.data(), kBlock);
    }
    bool commandLike = block[0] == 0x1B || block[0] == 0x1C || block[0] == 0x1D;
    if (transport == Transport::UsbHid && m_rawPending) {
        // Continuation of a typed command longer than one frame.
        if (length < kFrameData) {
            m_rawPending = false;
            Outcome o = UnknownReply(block.data(), length);
            o.flag = Flag::None;  // counted once, at its first frame
            o.note = "last frame of an unknown command";
            return o;
        }
        return {false, {}, false, Flag::None, "raw command continuation"};
    }
    if (transport == Transport::UsbHid && commandLike && !m_inFirmware) {
        if (length == kFrameData) {
            m_rawPending = true;
            Outcome o{false,
                      {},
                      false,
                      Flag::UnknownCommand,
                      "unknown command, reply after its last frame"};
            return o;
        }
        return UnknownReply(block.data(), length);
    }
    FirmwareBytes(frame + 2, std::min(length, avail));
    m_inFirmware = length == kFrameData;
    if (!m_inFirmware) {
        FinishFirmware();
        return {false, {}, false, Flag::None, "firmware last frame"};
    }
    return {false, {}, false, Flag::None, "firmware frame"};
}

void LaminatorEngine::PrinterFirmwareBlock(const uint8_t* data, size_t size, LinkId link) {
    std::lock_guard lock(m_mutex);
    m_link = link;
    FirmwareBytes(data, size);
}

void LaminatorEngine::LinkClosed(LinkId link) {
    std::lock_guard lock(m_mutex);
    if (link == m_link) {
        m_rawPending = false;
    }
    // A bracket opened by a host that is gone will never be closed by it; one opened by
    // another link is that link's to close.
    if (m_bracketOpen && link == m_bracketLink) {
        m_bracketOpen = false;
    }
    if (link == m_firmwareLink) {
        m_inFirmware = false;
        if (!m_firmware.complete && m_firmware.frames > 0) {
            FinishFirmware();
        }
    }
}

void LaminatorEngine::FirmwareBytes(const uint8_t* data, size_t n) {
    if (m_firmware.complete || m_firmware.frames == 0) {
        m_firmware = {};  // a new transfer
    }
    m_firmwareLink = m_link;
    m_firmware.data.insert(m_firmware.data.end(), data, data + n);
    m_firmware.bytes += n;
    m_firmware.frames += 1;
    m_firmware.crc32 = Crc32(data, n, m_firmware.crc32);
}

void LaminatorEngine::FinishFirmware() {
    m_firmware.complete = true;
    if (m_firmwareFile.empty()) {
        return;
    }
    if (std::FILE* f = std::fopen(m_firmwareFile.c_str(), "wb")) {
        std::fwrite(m_firmware.data.data(), 1, m_firmware.data.size(), f);
        std::fclose(f);
    } else {
        std::fprintf(stderr, "pellacor-sim: cannot write firmware file %s\n",
                     m_firmwareFile.c_str());
    }
}

// Requests are recognised by their first bytes; every command the tool sends fits in
// 64 bytes, so `n` never exceeds a block.
LaminatorEngine::Outcome LaminatorEngine::Dispatch(const uint8_t* b, size_t n) {
    if (n == 0) {
        return {};
    }
    if (StartsWith(b, n, kOpen, kBracketLen)) {
        bool wasOpen = m_bracketOpen;
        m_bracketOpen = true;
        m_bracketLink = m_link;
        Outcome o = HandleBracketItem(b, n, kBracketLen);
        if (wasOpen && o.flag == Flag::None) {
            o.note = "bracket opened again; " + o.note;
        }
        return o;
    }
    if (StartsWith(b, n, kClose, kBracketLen)) {
        if (!m_bracketOpen) {
            return {false, {}, false, Flag::ProtocolError, "bracket closed without opening"};
        }
        m_bracketOpen = false;
        return {false, {}, false, Flag::None, "bracket close"};
    }
    if (Is(b, n, {0x1D, 0x01}) || Is(b, n, {0x1D, 0x02}) || Is(b, n, {0x1D, 0x03})) {
        Outcome o = HandleBracketItem(b, n, 0);
        if (!m_bracketOpen && o.flag == Flag::None) {
            // Carried out anyway so the tool is not left waiting, but flagged.
            o.flag = Flag::ProtocolError;
            o.note = "outside the bracket: " + o.note;
        }
        return o;
    }
    Outcome o;
    if (Is(b, n, {0x1C, 0x41, 0x50, 0x01})) {
        o = StatusReply();
    } else if (Is(b, n, {0x1B, 0x65, 0x00, 0x00, 0x08})) {
        o = CardChannelReply();
    } else if (Is(b, n, {0x1D, 0x52, 0x09})) {
        o = InformationReply();
    } else if (Is(b, n, {0x1C, 0x77, 0x80, 0x00, 0x08}) && n >= 9) {
        m_state.ejectMode = b[8];
        o.hasReply = true;
        o.reply.assign(16, 0);
        std::memcpy(o.reply.data(), b, 9);
        o.note = "card-eject mode " + std::to_string(b[8]);
        if (b[8] > 2) {
            o.flag = Flag::ProtocolError;
            o.note += " (no such mode)";
        }
    } else if (Is(b, n, {0x1C, 0x72}) && n >= 4 &&
               IsReadPage(static_cast<uint16_t>(b[2] << 8 | b[3]))) {
        o = ReadPage(static_cast<uint16_t>(b[2] << 8 | b[3]), false);
    } else if (Is(b, n, {0x1C, 0x77}) && n >= 28 && b[4] == 0x20 &&
               WriteGroups(static_cast<uint16_t>(b[2] << 8 | b[3])) != nullptr) {
        o = WritePage(static_cast<uint16_t>(b[2] << 8 | b[3]), b, n);
    } else {
        return UnknownReply(b, n);
    }
    if (m_bracketOpen && o.flag == Flag::None) {
        o.flag = Flag::MixedBracket;
        o.note += " inside an open bracket";
    }
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::HandleBracketItem(const uint8_t* b, size_t n, size_t at) {
    const uint8_t* p = b + at;
    size_t left = n - at;
    if (left == 0 || std::all_of(p, p + left, [](uint8_t v) { return v == 0; })) {
        return {false, {}, false, Flag::None, "bracket open"};
    }
    if (Is(p, left, {0x1D, 0x02, 0x40})) {
        m_state.params = m_factory.params;
        std::string note = "reset to defaults";
        if (StartsWith(p + 3, left - 3, kClose, kBracketLen)) {
            m_bracketOpen = false;
            note += ", bracket closed";
        }
        return {false, {}, false, Flag::None, note};
    }
    if (Is(p, left, {0x1D, 0x02, 0x04})) {
        m_state.serial = TextAt(p, left, 3, kBlock);
        return {false, {}, false, Flag::None, "serial number \"" + m_state.serial + "\""};
    }
    if (Is(p, left, {0x1D, 0x02, 0x13})) {
        m_state.modelId = TextAt(p, left, 3, kMaxModelIdText);
        return {false, {}, false, Flag::None, "model ID \"" + m_state.modelId + "\""};
    }
    if (Is(p, left, {0x1D, 0x02, 0x02})) {
        m_state.modelName = TextAt(p, left, 3, kMaxModelName);
        return {false, {}, false, Flag::None, "model name \"" + m_state.modelName + "\""};
    }
    if (Is(p, left, {0x1D, 0x03, 0x03})) {
        return ModelNameReply();
    }
    if (Is(p, left, {0x1D, 0x01})) {
        if (at > 0) {
            // Opening and item in one frame with no closing (the tool's periodic re-send):
            // the laminator takes it as a whole exchange, so nothing after it is inside.
            m_bracketOpen = false;
            return {false, {}, false, Flag::None, "configuration item 01, one-frame exchange"};
        }
        return {false, {}, false, Flag::None, "configuration item 01"};
    }
    return {false, {}, false, Flag::ProtocolError, "unknown bracket item"};
}

LaminatorEngine::Outcome LaminatorEngine::ReadPage(uint16_t page, bool afterWrite) {
    const LaminatorState& s = m_state;
    const Parameters& p = s.params;
    Outcome o;
    o.hasReply = true;
    std::vector<uint8_t>& r = o.reply;
    r.assign(kPageReply, 0);
    r[0] = 0x1C;
    r[1] = afterWrite ? 0x77 : 0x72;
    r[2] = static_cast<uint8_t>(page >> 8);
    r[3] = static_cast<uint8_t>(page);
    r[4] = afterWrite ? 0x20 : 0x00;
    char note[48];
    std::snprintf(note, sizeof note, "%s page %04x", afterWrite ? "write" : "read", page);
    o.note = note;
    switch (page) {
        case 0x4901:
            Tag(r, 8, "L");
            Put24(r, 9, s.totalCards);
            Put24(r, 13, s.totalLaminates);
            break;
        case 0x4902:
            std::copy(s.bootVersion.begin(), s.bootVersion.end(), r.begin() + 12);
            break;
        case 0x8100:
            return ModelIdReply();
        case 0x5002:
            Tag(r, 8, "LA");
            r[10] = p.language;
            Tag(r, 11, "CO");
            r[13] = p.lcdContrast;
            Tag(r, 14, "LI");
            r[16] = p.lcdBacklight;
            Tag(r, 17, "BM");
            r[19] = p.blackMark;
            Tag(r, 20, "UI");
            Tag(r, 23, "LM");
            r[25] = p.laminateMenu;
            r[28] = p.motorType;
            break;
        case 0x4D10:
            Tag(r, 8, "CI");
            r[11] = p.autoReleaseTime;
            Tag(r, 12, "FW");
            Put16(r, 16, static_cast<uint16_t>(p.filmPosition));
            r[18] = p.blackMarkSpeed;
            Put16(r, 20, p.endPosition);
            r[22] = p.feedSpeed;
            Tag(r, 26, "FW");
            break;
        case 0x4801:
            Tag(r, 8, "N");
            r[10] = p.cardSpeed;
            r[11] = p.temperatureByte;
            Tag(r, 24, "N");
            r[25] = 0x01;
            break;
        case 0x5001:
            Tag(r, 8, "B");
            r[9] = p.buzzer;
            Tag(r, 10, "P");
            r[11] = p.powerSave2;
            Tag(r, 12, "PS");
            r[14] = p.powerSave1;
            Tag(r, 16, "CF");
            Put16(r, 18, static_cast<uint16_t>(p.laminateToCard));
            break;
        case 0x4500:
            Tag(r, 8, "I");
            r[9] = p.laminatorId;
            Tag(r, 10, "F");
            r[11] = s.network.bytes[0];
            Tag(r, 12, "S");
            std::copy(s.network.bytes.begin() + 3, s.network.bytes.begin() + 7, r.begin() + 13);
            Tag(r, 17, "G");
            std::copy(s.network.bytes.begin() + 7, s.network.bytes.begin() + 11, r.begin() + 18);
            Tag(r, 22, "M");
            std::copy(s.network.bytes.begin() + 11, s.network.bytes.begin() + 15, r.begin() + 23);
            break;
        case 0x4501:
            Tag(r, 8, "M");
            std::copy(s.network.bytes.begin() + 45, s.network.bytes.begin() + 51, r.begin() + 9);
            Tag(r, 15, "P");
            Tag(r, 22, "T");
            Put32(r, 23, p.timeOut);
            break;
        default:
            break;
    }
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::WritePage(uint16_t page, const uint8_t* b, size_t n) {
    const std::vector<TagGroup>& groups = *WriteGroups(page);
    std::vector<const TagGroup*> present;
    std::string bad;
    for (const TagGroup& g : groups) {
        size_t match = 0;
        size_t zero = 0;
        for (auto [at, letter] : g.tags) {
            match += at < n && b[at] == letter;
            zero += at < n && b[at] == 0;
        }
        if (match == g.tags.size()) {
            present.push_back(&g);
        } else if (zero != g.tags.size()) {
            char where[24];
            std::snprintf(where, sizeof where, " tag at %zu", g.tags.front().first);
            bad += where;
        }
    }
    Outcome o;
    if (!bad.empty() || present.empty()) {
        // Ignored whole: a block with one wrong tag may have every value misplaced.
        o = ReadPage(page, true);
        o.flag = Flag::ProtocolError;
        char note[64];
        std::snprintf(note, sizeof note, "write page %04x ignored:", page);
        o.note = note + (bad.empty() ? std::string(" no tags") : " wrong" + bad);
        return o;
    }
    if (!m_state.keepsParameters) {
        for (const TagGroup* g : present) {
            g->apply(b, m_state);
        }
    }
    return ReadPage(page, true);
}

LaminatorEngine::Outcome LaminatorEngine::StatusReply() {
    AdvanceTemperature();
    Outcome o;
    o.hasReply = true;
    o.note = "status";
    std::vector<uint8_t>& r = o.reply;
    r.assign(kPageReply, 0);
    r[0] = 0x1C;
    r[1] = 0x41;
    r[2] = 0x50;
    r[3] = 0x01;
    o.echoed = 4;
    Put16(r, 10, m_state.environmentTemp);
    Put16(r, 18, m_state.rollerTemp);
    Put32Be(r, 20, m_state.CurrentStateCode());
    Put32Be(r, 28, m_state.CurrentErrorCode());
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::CardChannelReply() {
    Outcome o;
    o.hasReply = true;
    o.note = "card channel";
    // The sensor byte sits at 32 (frame byte 34 over USB).
    o.reply.assign(40, 0);
    o.reply[0] = 0x1B;
    o.reply[1] = 0x65;
    o.reply[4] = 0x08;
    o.echoed = 5;
    o.reply[32] = m_state.cardBits;
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::InformationReply() {
    // Bytes 0 to 5 are a header whose byte 1 tells how far the text runs; the text starts
    // at 6 with the main version third and the serial number fourth. It is long enough to
    // continue in a second USB frame, as a real laminator's does.
    char boot[16];
    std::snprintf(boot, sizeof boot, "%02x.%02x.%02x.%02x", m_state.bootVersion[0],
                  m_state.bootVersion[1], m_state.bootVersion[2], m_state.bootVersion[3]);
    std::string text = "PELLACOR;LAM;" + m_state.mainVersion + ";" + m_state.serial + ";BOOT " +
                       boot + ";MODEL " + m_state.modelId + ";";
    constexpr size_t kMinTotal = 80;  // more than one frame's 62 bytes
    constexpr size_t kMaxTotal = 2 * kFrameData;
    if (text.size() + 6 < kMinTotal) {
        text += "HEAT ROLLER LAMINATION UNIT;";
    }
    Outcome o;
    o.hasReply = true;
    o.continued = true;
    o.note = "information";
    std::vector<uint8_t>& r = o.reply;
    r = {0x1D, 0x00, 0x52, 0x09, 0x00, 0x00};
    r.insert(r.end(), text.begin(), text.end());
    if (r.size() < kMinTotal) {
        r.resize(kMinTotal, 0);
    }
    if (r.size() > kMaxTotal) {
        r.resize(kMaxTotal);
    }
    r[1] = static_cast<uint8_t>(std::min<size_t>(r.size(), 0x7F));
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::ModelIdReply() {
    Outcome o;
    o.hasReply = true;
    o.note = "model ID";
    std::vector<uint8_t>& r = o.reply;
    size_t len = std::min(m_state.modelId.size(), kMaxModelIdText);
    r.assign(6 + len, 0);
    r[0] = 0x1C;
    r[1] = 0x72;
    r[2] = 0x81;
    Put16(r, 4, static_cast<uint32_t>(len));
    std::memcpy(r.data() + 6, m_state.modelId.data(), len);
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::ModelNameReply() {
    Outcome o;
    o.hasReply = true;
    o.note = "model name";
    // The name alone, from the first byte; zeros after it end the text.
    size_t len = std::min(m_state.modelName.size(), kMaxModelName);
    o.reply.assign(kMaxModelName, 0);
    std::memcpy(o.reply.data(), m_state.modelName.data(), len);
    return o;
}

LaminatorEngine::Outcome LaminatorEngine::UnknownReply(const uint8_t* b, size_t n) {
    Outcome o;
    o.hasReply = true;
    o.flag = Flag::UnknownCommand;
    o.note = "unknown command";
    // NAK and the first two bytes of what was not understood.
    o.reply = {0x15, n > 0 ? b[0] : uint8_t{0}, n > 1 ? b[1] : uint8_t{0}, 0x00};
    return o;
}

}  // namespace pellacor::sim
