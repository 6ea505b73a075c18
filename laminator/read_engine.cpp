#include "laminator/read_engine.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "laminator/encodings.h"
#include "laminator/information_reply.h"
#include "laminator/link_exchange.h"
#include "laminator/param_store.h"
#include "laminator/reply_decoders.h"
#include "link/ethernet_link.h"
#include "link/reply_wait.h"
#include "link/usb_link.h"

std::mutex ReadLock;

namespace {

constexpr std::string_view kIncompleteReply = "The laminator's reply is incomplete!";
constexpr std::string_view kInformationQuery = "1D 52 09 0";
constexpr std::size_t kInformationBytes = 62;

struct PageRead {
    std::string_view command;
    std::vector<PageField> fields;
    // Over USB a failed write or an empty read here ends the run.
    bool endsRunOnUsbFailure = false;
    bool motorType = false;
};

class ReadRun {
  public:
    ReadRun(LaminatorView& view, LinkKind link) : m_view(view), m_link(link) {}

    void Run() {
        using Block = bool (ReadRun::*)();
        const std::pair<std::string_view, Block> blocks[] = {
            {kGroupLaminatorInfo, &ReadRun::LaminatorInfo},
            {kGroupVersionInfo, &ReadRun::VersionInfo},
            {kGroupParameterSetup, &ReadRun::ParameterSetup},
            {kGroupLaminatorSetup, &ReadRun::LaminatorSetup},
            {kGroupInterfaceSetup, &ReadRun::InterfaceSetup},
        };
        for (const auto& [group, block] : blocks) {
            if (CurrentGroup() == group && !(this->*block)())
                return;
        }
    }

  private:
    // Shows a value: the store always, the cell only while its group is on screen. Only a
    // decoded one counts as read; an undecodable field shows what the store had.
    void Show(ParamKey key, const std::string& text, bool decoded = true) {
        if (decoded)
            Store().SetRead(key, text);
        else
            Store().Set(key, text);
        const ParameterInfo& p = Parameter(key);
        m_view.SetParamCell(std::string(p.group), p.row, text);
    }

    // Encode, send and receive under the link lock; `continues` tells from the first frame
    // whether a second USB frame of the same reply must be read (and discarded) too.
    template <typename Continues>
    Reply Exchange(std::string_view command, std::size_t expected, bool readAfterFailedWrite,
                   Continues continues) {
        // A front end that stops at the first exchange without a reply sends nothing more.
        if (m_view.StopRequested())
            return Reply{};
        LinkTransaction transaction;
        EncodeFrame(m_link, command);
        const bool sent = SendFrame(m_link);
        if (!sent && !readAfterFailedWrite)
            return Reply{};
        Reply reply = ReceiveReply(m_link, expected);
        reply.sent = sent;
        if (m_link == LinkKind::Usb && reply.received && continues(reply)) {
            RxBuffer.fill(0);
            if (UsbRead() <= 0) {
                NoteLinkFailure(LinkFailure::NoReply);
                ReportLinkMessage("Failed to receive data!");
            }
        }
        return reply;
    }

    Reply Exchange(std::string_view command, std::size_t expected, bool readAfterFailedWrite) {
        return Exchange(command, expected, readAfterFailedWrite,
                        [](const Reply&) { return false; });
    }

    // False when the run ends here.
    bool ReadPage(const PageRead& page) {
        const bool endsRun = page.endsRunOnUsbFailure && m_link == LinkKind::Usb;
        const Reply reply =
            Exchange(page.command, PageBytes(page.fields, page.motorType), !endsRun);
        if (!reply.received)
            return !endsRun && !m_view.StopRequested();  // unsent values stay as they were
        const DecodedPage decoded = DecodePage(page.fields, page.motorType, reply);
        for (const auto& [key, text] : decoded.values)
            Show(key, text ? *text : Store().Get(key), text.has_value());
        if (decoded.motorType)
            MotorType = *decoded.motorType;
        const bool incomplete = decoded.incomplete;
        if (incomplete)
            ReportLinkMessage(std::string(kIncompleteReply));
        return true;
    }

    bool LaminatorInfo() {
        using K = ParamKey;
        ReadPage({"1c72490100000000", {{K::TotalCardAmount, 9}, {K::TotalLaminateAmount, 13}}});

        const Reply info = Exchange(kInformationQuery, kInformationBytes, true, [](const Reply& r) {
            return static_cast<std::int8_t>(r.bytes[1]) >= 62;
        });
        if (info.received) {
            const std::size_t start = m_link == LinkKind::Usb ? 8 : 6;
            Show(K::LaminatorSn, ScanSerialNumber(info.bytes.data(), info.length, start));
        }
        return ReadModelId();
    }

    bool ReadModelId() {
        if (m_view.StopRequested())
            return false;
        Reply reply;
        if (m_link == LinkKind::Usb) {
            LinkTransaction transaction;
            EncodeCommand("a5 08 1C 72 81 00 00 00 00 00");
            TxLength = 64;
            if (UsbWrite() <= 0)
                return false;
            reply = ReceiveReply(m_link, 0);
            if (!reply.received)
                return false;
        } else {
            reply = ReceiveNetModelId();
            if (!reply.received)
                return true;
        }
        const std::optional<std::string> id = DecodeModelId(reply);
        if (!id) {
            ReportLinkMessage(std::string(kIncompleteReply));
            return true;
        }
        Show(ParamKey::ModelId, *id);
        return true;
    }

    // The model-ID reply says its own length: a reply split over several receives is taken
    // up to that length.
    Reply ReceiveNetModelId() {
        LinkTransaction transaction;
        EncodeFrame(m_link, "1C 72 81 00 00 00 00 00");
        const bool sent = SendFrame(m_link);
        Reply reply = ReceiveReply(m_link, kModelIdText);
        reply.sent = sent;
        if (reply.received && reply.Has(kModelIdLength, 2)) {
            const std::size_t claimed = static_cast<std::size_t>(
                reply.bytes[kModelIdLength] | (reply.bytes[kModelIdLength + 1] << 8));
            if (!ReceiveMore(reply, kModelIdText + claimed))
                reply.received = reply.length > kModelIdText;
        }
        return reply;
    }

    bool VersionInfo() {
        const Reply info = Exchange(kInformationQuery, kInformationBytes, true,
                                    [](const Reply& r) { return r.bytes[1] == 62; });
        if (info.received)
            Show(ParamKey::MainVersion, ScanMainVersion(info.bytes.data(), info.length));
        ReadPage({"1c72490200000000", {{ParamKey::MainBoot, 12}}});
        return true;
    }

    bool ParameterSetup() {
        using K = ParamKey;
        ReadPage({"1c72500200000000", {{K::LaminateMenu, 25}}, false, true});
        ReadPage({"1c724d1000000000",
                  {{K::AutoCardReleaseTime, 11},
                   {K::LaminateFilmPosition, 16},
                   {K::BlackMarkDetectSpeed, 18},
                   {K::LaminateFeedSpeed, 22},
                   {K::LaminateEndPosition, 20}}});
        ReadPage({"1c72480100000000",
                  {{K::HeatingRollerTemperature, 11}, {K::CardSpeedAtHeaterRoller, 10}}});
        ReadPage({"1c72500100000000", {{K::LaminateToCardPosition, 18}}});
        ReadPage({"1c72500200000000", {{K::BlackMarkDetect, 19}}});
        return true;
    }

    bool LaminatorSetup() {
        using K = ParamKey;
        if (!ReadPage({"1c72500100000000",
                       {{K::Buzzer, 9}, {K::PowerSaveMenu1, 14}, {K::PowerSaveMenu2, 11}},
                       true}))
            return false;
        ReadPage({"1c72500200000000",
                  {{K::LanguageSetup, 10}, {K::LcdContrast, 13}, {K::LcdBacklight, 16}}});
        return true;
    }

    bool InterfaceSetup() {
        using K = ParamKey;
        if (!ReadPage({"1c72450000000000",
                       {{K::LaminatorId, 9},
                        {K::IpGetMethod, 11},
                        {K::IpAddress, 13},
                        {K::SubnetMask, 23},
                        {K::Gateway, 18}},
                       true}))
            return false;
        ReadPage({"1c72450100000000", {{K::MacAddress, 9}, {K::TimeOut, 23}}});
        return true;
    }

    LaminatorView& m_view;
    LinkKind m_link;
};

int RunReader(LaminatorView* view, LinkKind link) {
    SetOperationButtons(*view, false);
    {
        std::lock_guard lock(ReadLock);
        ReadRun(*view, link).Run();
    }
    SetOperationButtons(*view, true);
    return 1;
}

}  // namespace

int UsbParameterReader(LaminatorView* view) {
    return RunReader(view, LinkKind::Usb);
}

int NetParameterReader(LaminatorView* view) {
    return RunReader(view, LinkKind::Ethernet);
}

int GroupPing(LaminatorView*) {
    const std::string group = CurrentGroup();
    std::string_view command;
    if (group == kGroupLaminatorInfo || group == kGroupVersionInfo)
        command = "1c72490100000000";
    else if (group == kGroupParameterSetup)
        command = "1c724d1000000000";
    else if (group == kGroupLaminatorSetup)
        command = "1c72500100000000";
    else if (group == kGroupInterfaceSetup)
        command = "1c72450000000000";
    else
        return 1;
    LinkTransaction transaction;
    EncodeCommand(command);  // unframed: the codec's count is the length sent
    if (UsbWrite() > 0)
        ReceiveReply(LinkKind::Usb, 0);
    return 1;
}
