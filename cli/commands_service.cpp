// status, reset, mode, send and firmware: the window's service buttons.

#include <array>
#include <charconv>
#include <thread>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/hex_input.h"
#include "cli/progress_display.h"
#include "cli/text_table.h"
#include "framework/json_text.h"
#include "framework/message_box.h"
#include "laminator/firmware_download.h"
#include "laminator/firmware_image.h"
#include "laminator/group_transfer.h"
#include "laminator/link_exchange.h"
#include "laminator/mode_commands.h"
#include "laminator/param_store.h"
#include "laminator/reset_default.h"
#include "laminator/status_events.h"
#include "laminator/status_history.h"
#include "laminator/status_poller.h"
#include "link/command_text.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"
#include "platform/process.h"

namespace {
struct Reading {
    const char* key;
    const char* label;
    int id;
};
constexpr Reading kReadings[] = {
    {"roller-temperature", "Heating roller temperature", kIdRollerTemperature},
    {"environment-temperature", "Environment temperature", kIdEnvironmentTemperature},
    {"state", "Machine state", kIdStateBox},
    {"error", "Error or warning", kIdErrorBox},
    {"card-channel", "Card channel", kIdCardChannelBox},
};

// Temperatures as JSON numbers when the box holds a whole number; an empty box was not read.
nlohmann::json ReadingJson(const Reading& r, const std::string& text) {
    if (text.empty())
        return nullptr;
    if (r.id == kIdRollerTemperature || r.id == kIdEnvironmentTemperature) {
        int degrees = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), degrees);
        if (ec == std::errc() && end == text.data() + text.size())
            return degrees;
    }
    return BytesToJsonText(text);
}

}  // namespace

std::vector<std::string> StatusReadingKeys() {
    std::vector<std::string> keys;
    for (const Reading& r : kReadings)
        keys.push_back(r.key);
    return keys;
}

TargetResult StatusReading(CliView& view, const Target& target) {
    TargetResult result;
    const std::optional<LinkKind> link = LinkInUse();
    StatusHistory* history = CurrentStatusHistory();
    const std::uint64_t before = history ? history->Revision() : 0;
    if (!link || !ReadStatusOnce(view, *link))
        result.exit = kExitFailure;
    nlohmann::json status = nlohmann::json::object();
    // The codes as sent, so a state or error no table names is still told.
    const std::optional<StatusSample> latest =
        history && history->Revision() != before ? history->Latest() : std::nullopt;
    status["state-code"] = latest && !latest->gap ? nlohmann::json(StatusCodeHex(latest->state))
                                                  : nlohmann::json(nullptr);
    status["error-code"] = latest && !latest->gap ? nlohmann::json(StatusCodeHex(latest->error))
                                                  : nlohmann::json(nullptr);
    TextTable table({"READING", "VALUE"});
    for (const Reading& r : kReadings) {
        // The card channel is asked over USB only: over TCP it is null, and not in the table.
        if (r.id == kIdCardChannelBox && target.kind == Target::Kind::Tcp) {
            status[r.key] = nullptr;
            continue;
        }
        const std::string value = view.ControlText(r.id);
        status[r.key] = ReadingJson(r, value);
        table.Add({r.label, value});
    }
    result.data["status"] = status;
    result.text = table.Render();
    return result;
}

namespace {

constexpr const char* kNoReply = "The command was sent, but no reply came.";
constexpr const char* kResetNotSent = "The reset could not be sent.";
constexpr const char* kResetNotConfirmed =
    "The reset was sent but not confirmed: the laminator did not answer afterwards.";

std::string HexText(const std::uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}
}  // namespace

int RunReset(const CommandContext& context, bool confirmed, bool verify) {
    if (!confirmed)
        return UsageError(
            "reset restores the factory parameters of every target; confirm with --yes.");
    return RunOnTargets(context, [&](CliView& view, const Target& target) {
        TargetResult result;
        const LinkKind link = target.kind == Target::Kind::Tcp ? LinkKind::Ethernet : LinkKind::Usb;
        const ResetOutcome outcome = ResetLaminator(link, nullptr);
        result.data["reset"] = outcome.sent;
        result.data["confirmed"] = false;
        if (!outcome.sent) {
            ReportLinkMessage(kResetNotSent);
            result.exit = kExitFailure;
            return result;
        }
        result.text = "Reset sent.\n";
        if (target.IsPrinterClass()) {
            // The window then looks for the HID laminator; that it is not there says nothing
            // about the reset, and this path has no read to confirm it with.
            context.messages->Take();
            result.text = "Reset sent; the printing-class path reads nothing back to confirm it.\n";
            return result;
        }
        if (!verify)
            return result;
        const std::size_t before = context.messages->Count();
        const bool answered = outcome.reopened || link == LinkKind::Ethernet
                                  ? ReadGroup(view, kGroupParameterSetup) &&
                                        !context.messages->AnyFailureSince(before)
                                  : false;
        result.data["confirmed"] = answered;
        if (!answered) {
            ReportLinkMessage(kResetNotConfirmed);
            result.exit = kExitFailure;
            return result;
        }
        result.text += "The laminator answered with its parameters afterwards.\n";
        return result;
    });
}

int RunMode(const CommandContext& context, const std::string& mode) {
    if (mode != "standard")
        return UsageError("mode takes \"standard\", the one mode the window offers.");
    if (RefusePrinterClass(context))
        return kExitUsage;
    return RunOnTargets(context, [&](CliView&, const Target&) {
        TargetResult result;
        const std::optional<LinkKind> link = LinkInUse();
        if (!link || !SwitchMode(*link, 0))
            result.exit = kExitFailure;
        result.data["mode"] = "standard";
        result.text = result.exit == kExitOk ? "Standard mode set.\n" : "";
        return result;
    });
}

int RunSend(const CommandContext& context, const std::string& typed) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    // The same checks the engine makes, before any link is opened.
    std::string pairingError;
    const std::optional<std::string> paired = PairedHexInput(typed, pairingError);
    if (!paired)
        return UsageError(pairingError);
    const std::string& hex = *paired;
    std::array<std::uint8_t, kRawCommandCapacity> bytes{};
    const int n = HexPairsToBytes(hex, bytes.data(), bytes.size());
    if (n == kBadCommandCharacter)
        return UsageError(kRawCommandBadCharacter);
    if (n < 0)
        return UsageError(kRawCommandTooLong);
    if (n == 0)
        return UsageError("send needs the command as hexadecimal byte pairs.");
    return RunOnTargets(context, [&](CliView&, const Target&) {
        TargetResult result;
        const std::optional<LinkKind> link = LinkInUse();
        std::vector<std::uint8_t> reply;
        if (!link || !SendRawCommand(*link, hex, &reply)) {
            result.exit = kExitFailure;
            return result;
        }
        // No reply is no bytes, never a buffer of zeros; the link has said why.
        if (reply.empty()) {
            ReportLinkMessage(kNoReply);
            result.exit = kExitFailure;
            result.data["reply"] = nullptr;
            return result;
        }
        const std::string text = HexText(reply.data(), reply.size());
        result.data["reply"] = text;
        result.text = text + "\n";
        return result;
    });
}

int RunFirmware(const CommandContext& context, const std::string& file, bool force) {
    FirmwareLoad load = LoadFirmwareFile(file);
    if (!load.bytes) {
        for (const std::string& text : load.messages)
            MessageBox(text);
        return kExitUsage;
    }
    if (const std::optional<std::string> problem = FirmwareFormatProblem(file, *load.bytes)) {
        MessageBox(*problem);
        if (!force)
            return UsageError("Nothing was sent; --force sends the file as it is.");
    }
    const auto style = context.json                          ? ProgressDisplay::Style::Json
                       : platform::StandardErrorIsTerminal() ? ProgressDisplay::Style::Bar
                                                             : ProgressDisplay::Style::Lines;
    return RunOnTargets(context, [&](CliView& view, const Target& target) {
        TargetResult result;
        ProgressDisplay progress(style, load.bytes->size(), target.Label());
        view.onProgress = [&](int position, int high) { progress.Update(position, high); };
        view.SetFirmware(load.bytes);
        const FirmwareRoute route = target.kind == Target::Kind::Tcp ? FirmwareRoute::Ethernet
                                    : target.IsPrinterClass()        ? FirmwareRoute::PrinterClass
                                                                     : FirmwareRoute::Hid;
        const TransferResult transfer = DownloadLoadedFirmware(view, route);
        progress.Finish(transfer.Complete());
        result.data["frames-sent"] = transfer.framesSent;
        result.data["frames-handed-over"] = transfer.framesHandedOver;
        result.data["frames"] = transfer.frames;
        result.data["bytes"] = load.bytes->size();
        const std::size_t bytesSent =
            FirmwareBytesSent(route, load.bytes->size(), transfer.framesSent);
        result.data["bytes-sent"] = bytesSent;
        result.textSurvivesLinkFailure = true;
        result.data["complete"] = transfer.Complete();
        result.data["confirmed"] = !transfer.notConfirmed;
        if (transfer.stopped) {
            result.exit = kExitInterrupted;
        } else if (!transfer.Complete()) {
            result.exit = kExitFailure;
        }
        result.text = "Sent " + std::to_string(transfer.framesSent) + " of " +
                      std::to_string(transfer.frames) + " frames (" + std::to_string(bytesSent) +
                      " of " + std::to_string(load.bytes->size()) + " bytes)" +
                      (transfer.Complete()     ? ".\n"
                       : transfer.notConfirmed ? "; sent, not confirmed by the laminator.\n"
                                               : "; the download is not complete.\n");
        return result;
    });
}
