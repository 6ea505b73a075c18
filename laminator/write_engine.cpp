#include "laminator/write_engine.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "laminator/encodings.h"
#include "laminator/link_exchange.h"
#include "laminator/param_store.h"
#include "laminator/validation.h"
#include "link/ethernet_link.h"
#include "link/usb_link.h"

namespace {

constexpr std::string_view kInterfaceOverNetwork =
    "Interface setting cannot be modified by network connection.";
constexpr std::size_t kTextItemAt = 13;

template <std::size_t N>
void PutBytes(LinkKind link, std::size_t offset, const std::array<std::uint8_t, N>& bytes) {
    for (std::size_t i = 0; i < N; ++i)
        PutByte(link, offset + i, bytes[i]);
}

class WriteRun {
  public:
    WriteRun(LaminatorView& view, LinkKind link, const std::set<int>* rows = nullptr)
        : m_view(view), m_link(link), m_rows(rows) {}

    void Run() {
        using Block = void (WriteRun::*)();
        const std::pair<std::string_view, Block> groups[] = {
            {kGroupLaminatorInfo, &WriteRun::LaminatorInfo},
            {kGroupParameterSetup, &WriteRun::ParameterSetup},
            {kGroupLaminatorSetup, &WriteRun::LaminatorSetup},
            {kGroupInterfaceSetup, &WriteRun::InterfaceSetup},
        };
        for (const auto& [group, block] : groups) {
            if (CurrentGroup() != group)
                continue;
            if (group == kGroupInterfaceSetup && m_link == LinkKind::Ethernet) {
                ReportLinkMessage(std::string(kInterfaceOverNetwork));
                continue;
            }
            // Validation ran before the worker started; a writer started any other way must
            // still not push values that were never read.
            if (std::optional<std::string> problem = FindUnwritableCell(group, m_view)) {
                ReportLinkMessage(*problem);
                continue;
            }
            (this->*block)();
        }
    }

  private:
    std::string Cell(int row) const { return m_view.GetParamCell(row); }

    // A block is sent when no selection was made, or when it holds a selected row.
    bool Selected(std::initializer_list<int> rows) const {
        if (!m_rows)
            return true;
        for (int r : rows) {
            if (m_rows->count(r))
                return true;
        }
        return false;
    }

    // One block under the link lock: the cells are read, encoded and sent in one go, so a
    // choice made while the write waits for the link is the one sent.
    template <typename Fill>
    void SendBlock(std::initializer_list<int> rows, std::string_view command, Fill fill) {
        if (!Selected(rows) || m_view.StopRequested())
            return;
        LinkTransaction transaction;
        EncodeFrame(m_link, command);
        fill();
        TxLength = 64;
        // The reply is read even after a failed send: a send to no open device is silent,
        // and the empty receive is what tells the user that the write reached nothing.
        SendFrame(m_link);
        if (m_link == LinkKind::Usb) {
            ReceiveReply(m_link, 0);
        } else {
            NetReceive();
        }
    }

    // A MODE-bracket text item: opening with the item, closing, never split. An empty text
    // is left out, so it cannot erase what the laminator holds.
    void SendTextItem(int row, std::string_view usbOpen, std::string_view netOpen,
                      std::string_view usbClose, std::string_view netClose) {
        const std::string text = Cell(row);
        if (text.empty() || !Selected({row}) || m_view.StopRequested())
            return;
        LinkTransaction transaction;
        EncodeCommand(m_link == LinkKind::Usb ? usbOpen : netOpen);
        const std::size_t at = FieldBase(m_link) + kTextItemAt;
        const std::size_t n = std::min(text.size(), TxBuffer.size() - at);
        for (std::size_t i = 0; i < n; ++i)
            TxBuffer[at + i] = static_cast<std::uint8_t>(text[i]);
        TxLength = 64;
        SendFrame(m_link);
        EncodeCommand(m_link == LinkKind::Usb ? usbClose : netClose);
        TxLength = 64;
        SendFrame(m_link);
    }

    void LaminatorInfo() {
        SendBlock({0}, "1c77490120000000", [&] {
            PutTag(m_link, 8, "L");
            PutBytes(m_link, 9, EncodeU24(Cell(0)));
        });
        SendTextItem(2, "a53e1D   1A   1B   1C  1D 4D 4F 44 45 01 1D 02   04",
                     "1D   1A   1B   1C  1D 4D 4F 44 45 01 1D 02   04",
                     "a53e1D   1A   1B   1C  1D 4D 4F 44 45 02",
                     "1D   1A   1B   1C  1D 4D 4F 44 45 02");
        SendTextItem(4, "a5 1e 1d 1a 1b 1c 1d 4d 4f 44 45 01 1D 02 13",
                     "1d 1a 1b 1c 1d 4d 4f 44 45 01 1D 02 13",
                     "a5 0a 1d 1a 1b 1c 1d 4d 4f 44 45 02", "1d 1a 1b 1c 1d 4d 4f 44 45 02");
    }

    void ParameterSetup() {
        SendBlock({0}, "1c77500220000000", [&] {
            PutTag(m_link, 23, "LM");
            PutByte(m_link, 25, *EncodeChoice(ParamKey::LaminateMenu, Cell(0)));
        });
        SendBlock({3, 4, 6, 8, 9}, "1c774d1020000000", [&] {
            const std::string releaseTime = Cell(9);
            // Over Ethernet an unchanged release time is not sent at all.
            if (m_link == LinkKind::Usb ||
                releaseTime != Store().Get(ParamKey::AutoCardReleaseTime)) {
                PutTag(m_link, 8, "CI");
                PutByte(m_link, 11, EncodeU8(releaseTime));
            }
            PutTag(m_link, 12, "FW");
            PutBytes(m_link, 16, EncodeTenths(Cell(4)));
            PutByte(m_link, 18, EncodeU8(Cell(8)));
            PutBytes(m_link, 20, EncodeTenths(Cell(6)));
            PutByte(m_link, 22, EncodeU8(Cell(3)));
            PutTag(m_link, 26, "FW");
        });
        SendBlock({1, 2}, "1c77480120000000", [&] {
            PutTag(m_link, 8, "N");
            PutByte(m_link, 10, EncodeU8(Cell(2)));
            PutByte(m_link, 11, EncodeTemp(Cell(1)));
            PutTag(m_link, 24, "N");
            PutByte(m_link, 25, 0x01);
        });
        SendBlock({5}, "1c77500120000000", [&] {
            PutTag(m_link, 16, "CF");
            PutBytes(m_link, 18, EncodeTenths(Cell(5)));
        });
        SendBlock({7}, "1c77500220000000", [&] {
            PutTag(m_link, 17, "BM");
            PutByte(m_link, 19, *EncodeChoice(ParamKey::BlackMarkDetect, Cell(7)));
        });
    }

    void LaminatorSetup() {
        SendBlock({0, 1, 2}, "1c77500120000000", [&] {
            PutTag(m_link, 8, "B");
            PutByte(m_link, 9, *EncodeChoice(ParamKey::Buzzer, Cell(0)));
            PutTag(m_link, 10, "P");
            PutByte(m_link, 11, EncodeU8(Cell(2)));
            PutTag(m_link, 12, "PS");
            PutByte(m_link, 14, EncodeU8(Cell(1)));
        });
        SendBlock({3, 4, 5}, "1c77500220000000", [&] {
            // A language text that names none of the three leaves the setting out.
            if (std::optional<std::uint8_t> language =
                    EncodeChoice(ParamKey::LanguageSetup, Cell(3))) {
                PutTag(m_link, 8, "LA");
                PutByte(m_link, 10, *language);
            }
            PutTag(m_link, 11, "CO");
            PutByte(m_link, 13, EncodeU8(Cell(4)));
            PutTag(m_link, 14, "LI");
            PutByte(m_link, 16, *EncodeChoice(ParamKey::LcdBacklight, Cell(5)));
            PutTag(m_link, 20, "UI");
        });
    }

    void InterfaceSetup() {
        SendBlock({0, 1, 2, 3, 4}, "1c77450020000000", [&] {
            PutTag(m_link, 8, "I");
            PutByte(m_link, 9, EncodeU8(Cell(0)));
            PutTag(m_link, 10, "F");
            PutByte(m_link, 11, *EncodeChoice(ParamKey::IpGetMethod, Cell(1)));
            PutTag(m_link, 12, "S");
            PutBytes(m_link, 13, EncodeIp4(Cell(2)));
            PutTag(m_link, 17, "G");
            PutBytes(m_link, 18, EncodeIp4(Cell(4)));
            PutTag(m_link, 22, "M");
            PutBytes(m_link, 23, EncodeIp4(Cell(3)));
        });
        SendBlock({5, 6}, "1c77450120000000", [&] {
            PutTag(m_link, 8, "M");
            PutBytes(m_link, 9, EncodeMac6(Cell(5)));
            PutTag(m_link, 15, "P");
            PutTag(m_link, 22, "T");
            PutBytes(m_link, 23, EncodeU32(Cell(6)));
        });
    }

    LaminatorView& m_view;
    LinkKind m_link;
    const std::set<int>* m_rows;
};

int RunWriter(LaminatorView* view, LinkKind link) {
    SetOperationButtons(*view, false);
    WriteRun(*view, link).Run();
    SetOperationButtons(*view, true);
    return 1;
}

}  // namespace

int UsbParameterWriter(LaminatorView* view) {
    return RunWriter(view, LinkKind::Usb);
}

int NetParameterWriter(LaminatorView* view) {
    return RunWriter(view, LinkKind::Ethernet);
}

void WriteParameterRows(LaminatorView& view, LinkKind link, const std::set<int>& rows) {
    SetOperationButtons(view, false);
    WriteRun(view, link, &rows).Run();
    SetOperationButtons(view, true);
}
