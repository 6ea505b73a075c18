// status, reset, mode, send and firmware: the window's service buttons.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <thread>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_text.h"
#include "cli/progress_display.h"
#include "cli/text_table.h"
#include "laminator/firmware_download.h"
#include "laminator/firmware_image.h"
#include "laminator/link_exchange.h"
#include "laminator/mode_commands.h"
#include "laminator/reset_default.h"
#include "laminator/status_poller.h"
#include "link/command_text.h"
#include "link/ethernet_link.h"
#include "link/link_buffers.h"

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
    if (!link || !ReadStatusOnce(view, *link))
        result.exit = kExitFailure;
    nlohmann::json status = nlohmann::json::object();
    TextTable table({"READING", "VALUE"});
    for (const Reading& r : kReadings) {
        // The card channel is asked over USB only.
        if (r.id == kIdCardChannelBox && target.kind == Target::Kind::Tcp)
            continue;
        const std::string value = view.ControlText(r.id);
        status[r.key] = BytesToJsonText(value);
        table.Add({r.label, value});
    }
    result.data["status"] = status;
    result.text = table.Render();
    return result;
}

namespace {

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

int RunReset(const CommandContext& context, bool confirmed) {
    if (!confirmed)
        return UsageError(
            "reset restores the factory parameters of every target; confirm with --yes.");
    return RunOnTargets(context, [&](CliView&, const Target& target) {
        TargetResult result;
        const LinkKind link = target.kind == Target::Kind::Tcp ? LinkKind::Ethernet : LinkKind::Usb;
        const bool done = ResetLaminator(link, nullptr);
        // The printing-class path then looks for the HID laminator as the window does; that
        // it is not there says nothing about the reset.
        if (!done && !target.IsPrinterClass())
            result.exit = kExitFailure;
        if (target.IsPrinterClass())
            context.messages->Take();
        result.data["reset"] = done || target.IsPrinterClass();
        result.text = "Factory parameters restored.\n";
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

int RunSend(const CommandContext& context, const std::string& hex) {
    if (RefusePrinterClass(context))
        return kExitUsage;
    // The same checks the engine makes, before any link is opened.
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
        if (!link || !SendRawCommand(*link, hex)) {
            result.exit = kExitFailure;
            return result;
        }
        const std::size_t length =
            *link == LinkKind::Ethernet ? LastReceivedLength() : static_cast<std::size_t>(64);
        const std::string reply = HexText(RxBuffer.data(), std::min(length, RxBuffer.size()));
        result.data["reply"] = reply;
        result.text = reply + "\n";
        return result;
    });
}

int RunFirmware(const CommandContext& context, const std::string& file) {
    FirmwareLoad load = LoadFirmwareFile(file);
    if (!load.bytes) {
        for (const std::string& text : load.messages)
            std::fprintf(stderr, "%s\n", text.c_str());
        return kExitUsage;
    }
    const auto style = context.json              ? ProgressDisplay::Style::Json
                       : ::isatty(STDERR_FILENO) ? ProgressDisplay::Style::Bar
                                                 : ProgressDisplay::Style::Lines;
    return RunOnTargets(context, [&](CliView& view, const Target& target) {
        TargetResult result;
        ProgressDisplay progress(style, load.bytes->size());
        int sent = 0;
        int frames = 0;
        view.onProgress = [&](int position, int high) {
            sent = position;
            frames = high;
            progress.Update(position, high);
        };
        view.SetFirmware(load.bytes);
        if (target.kind == Target::Kind::Tcp)
            NetDownloadWorker(&view);
        else if (target.IsPrinterClass())
            PrinterClassDownloadWorker(&view);
        else
            HidDownloadWorker(&view);
        progress.Finish();
        // The bar moves before each frame goes out: after a failed frame its position counts
        // that frame too; after a stop it counts exactly the frames sent.
        const bool failed = context.messages->AnyFailure();
        const bool stopped = CliView::Interrupted().load() && !failed;
        const int framesSent = failed ? std::max(0, sent - 1) : sent;
        result.data["frames-sent"] = framesSent;
        result.data["frames"] = frames;
        result.data["bytes"] = load.bytes->size();
        result.data["complete"] = !failed && !stopped && sent == frames;
        if (stopped) {
            std::fprintf(stderr, "Download stopped: %d of %d frames sent.\n", framesSent, frames);
            result.exit = kExitFailure;
        }
        result.text = "Sent " + std::to_string(framesSent) + " of " + std::to_string(frames) +
                      " frames (" + std::to_string(load.bytes->size()) + " bytes).\n";
        return result;
    });
}
