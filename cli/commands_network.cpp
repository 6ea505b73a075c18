// discover, list and netconfig: laminators found on USB and by the network search, and a
// laminator's network settings changed over the UDP protocol.
#include <algorithm>
#include <cctype>

#include "cli/cli_journal.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/network_search.h"
#include "cli/text_table.h"
#include "framework/json_text.h"
#include "framework/message_box.h"
#include "laminator/encodings.h"
#include "link/ipv4_text.h"
#include "link/usb_backend.h"
#include "link/usb_link.h"
#include "netsetup/address_checks.h"
#include "netsetup/net_discovery.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_result_text.h"
#include "netsetup/net_settings.h"

namespace {
nlohmann::json SearchReplyJson(const SearchReply& r) {
    return {{"device-id", CAtoi(ReplyDeviceId(r))},
            {"mac-address", ReplyMacText(r)},
            {"name", BytesToJsonText(ReplyName(r))},
            {"fw-boot", ReplyFwBoot(r)},
            {"ip-address", ReplyIpText(r)}};
}

TextTable SearchTable() {
    return TextTable({std::string(kStringDeviceId), std::string(kStringMacAddress),
                      std::string(kStringDeviceName), std::string(kStringFwBoot),
                      std::string(kStringIpAddress)});
}

void AddSearchRow(TextTable& table, const SearchReply& r) {
    table.Add({ReplyDeviceId(r), ReplyMacText(r), ReplyName(r), ReplyFwBoot(r), ReplyIpText(r)});
}

// The laminators a search listed, as a table and as JSON; those beyond the list are said as a
// message and counted in "not-listed".
nlohmann::json ListFound(const CNetDiscovery& discovery, const std::vector<FoundLaminator>& found,
                         TextTable& table) {
    nlohmann::json list = nlohmann::json::array();
    for (const FoundLaminator& f : found) {
        list.push_back(SearchReplyJson(f.reply));
        AddSearchRow(table, f.reply);
    }
    if (discovery.NotShown())
        MessageBox(NotListedText(discovery.NotShown()));
    return list;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<std::array<int, 4>> AddressFields(const std::string& text) {
    const std::optional<Ipv4Octets> octets = ParseIpv4(text);
    if (!octets)
        return std::nullopt;
    return std::array<int, 4>{(*octets)[0], (*octets)[1], (*octets)[2], (*octets)[3]};
}

}  // namespace

int RunDiscover(const CommandContext& context) {
    CNetDiscovery discovery;
    NetResult searched = kNetSuccess;
    const std::vector<FoundLaminator> found = SearchNetwork(discovery, searched);
    if (searched != kNetSuccess) {
        MessageBox("The network search failed: " + NetResultText(searched) + ".");
        return kExitFailure;
    }
    TextTable table = SearchTable();
    const nlohmann::json list = ListFound(discovery, found, table);
    const nlohmann::json doc = {{"command", "discover"},
                                {"exit", 0},
                                {"laminators", list},
                                {"not-listed", discovery.NotShown()},
                                {"messages", context.messages->Take()}};
    PrintResult(context, doc, table.Render());
    return kExitOk;
}

int RunList(const CommandContext& context, bool network) {
    nlohmann::json usb = nlohmann::json::array();
    TextTable table({"KIND", "NODE", "VENDOR", "PRODUCT"});
    for (const auto& backend : GetUsbBackends()) {
        for (UsbClass cls : {UsbClass::Hid, UsbClass::Printer}) {
            const auto paths = backend->Enumerate(cls);
            if (!paths)
                continue;
            for (const std::string& path : *paths) {
                std::string vid;
                std::string pid;
                if (!ParseVidPid(path, vid, pid) || vid != kLaminatorVidText)
                    continue;
                const std::string kind = cls == UsbClass::Hid ? "hid" : "printer";
                const std::size_t hash = path.rfind('#');
                const std::string node = hash == std::string::npos ? path : path.substr(hash + 1);
                usb.push_back({{"kind", kind},
                               {"node", BytesToJsonText(node)},
                               {"vendor-id", vid},
                               {"product-id", pid}});
                table.Add({kind, node, vid, pid});
            }
        }
    }
    nlohmann::json doc = {{"command", "list"}, {"exit", 0}, {"usb", usb}};
    std::string text = table.Render();
    if (network) {
        CNetDiscovery discovery;
        NetResult searched = kNetSuccess;
        const std::vector<FoundLaminator> found = SearchNetwork(discovery, searched);
        TextTable found_table = SearchTable();
        doc["network"] = ListFound(discovery, found, found_table);
        doc["not-listed"] = discovery.NotShown();
        text += "\n" + found_table.Render();
        if (searched != kNetSuccess) {
            MessageBox("The network search failed: " + NetResultText(searched) + ".");
            doc["exit"] = kExitFailure;
        }
    }
    doc["messages"] = context.messages->Take();
    PrintResult(context, doc, text);
    return doc["exit"].get<int>();
}

int RunNetconfig(const CommandContext& context, const NetconfigOptions& options) {
    if (!options.setStatic && !options.setDynamic && !options.name)
        return UsageError("netconfig needs a change: --static, --dynamic or --name.");
    if (!IsMacText(options.mac))
        return UsageError(
            "The MAC address must be six hexadecimal pairs separated by colons, "
            "not \"" +
            options.mac + "\".");
    if (options.setStatic && options.setDynamic)
        return UsageError("netconfig takes --static or --dynamic, not both.");
    if (!options.setStatic &&
        (!options.ip.empty() || !options.mask.empty() || !options.gateway.empty()))
        return UsageError("--ip, --mask and --gateway go with --static.");
    std::optional<std::array<int, 4>> ip, mask, gateway;
    if (options.setStatic) {
        ip = AddressFields(options.ip);
        mask = AddressFields(options.mask);
        gateway = AddressFields(options.gateway);
        if (!ip || !mask || !gateway)
            return UsageError(
                "--static needs --ip, --mask and --gateway, each four numbers from 0 to 255 "
                "separated by dots.");
    }
    if (options.setStatic && !IsContiguousMask(*mask))
        return UsageError("The subnet mask " + options.mask +
                          " is not a mask: its ones must come first, then only zeros.");
    if (options.setStatic && !GatewayFitsSubnet(*ip, *mask, *gateway))
        return UsageError("The gateway " + options.gateway + " is not in the subnet of " +
                          options.ip + " with mask " + options.mask + " (or 0.0.0.0 for none).");
    if (options.name && options.name->empty())
        return UsageError("The device name must not be empty.");
    if (options.name && options.name->size() > kMaxDeviceNameLength)
        return UsageError(std::string(kMsgNameTooLong));

    std::optional<Ipv4Octets> pickedAddress;
    if (!options.address.empty() && !(pickedAddress = ParseIpv4(options.address)))
        return UsageError("--address takes the laminator's IPv4 address, not \"" + options.address +
                          "\".");

    const JournalOperation operation = {
        "netconfig", {}, true, NowMs(), std::chrono::steady_clock::now()};
    CNetDiscovery discovery;
    NetResult result = kNetSuccess;
    const std::vector<FoundLaminator> found = SearchNetwork(discovery, result);
    std::vector<FoundLaminator> matches;
    for (const FoundLaminator& f : found) {
        if (ReplyMacText(f.reply) == Lower(options.mac) &&
            (!pickedAddress || f.address == Ipv4Number(*pickedAddress)))
            matches.push_back(f);
    }
    if (matches.empty()) {
        MessageBox("No laminator with MAC address " + options.mac + " answered the search" +
                   (pickedAddress ? " from " + options.address : std::string()) + ".");
        return kExitUnreachable;
    }
    // Two answers for one MAC: a clone or a stale entry; which to change is the user's call.
    if (matches.size() > 1) {
        std::string addresses;
        for (const FoundLaminator& f : matches)
            addresses += (addresses.empty() ? "" : ", ") + Ipv4Text(f.address);
        return UsageError("The MAC address " + options.mac + " answered from " + addresses +
                          "; --address ADDR picks one.");
    }
    const FoundLaminator& match = matches.front();
    if ((result = discovery.ReadConfig(match)) != kNetSuccess) {
        MessageBox(NetReadFailedText(result));
        return kExitFailure;
    }
    const NetSettings before = discovery.m_settings;
    NetSettings settings = before;
    if (options.name && !StoreSettingsName(settings, *options.name))
        return UsageError(std::string(kMsgNameTooLong));
    if (options.setStatic) {
        StoreMethod(settings, "Static");
        StoreSettingsAddress(settings, kSettingsIpOffset, *ip);
        StoreSettingsAddress(settings, kSettingsMaskOffset, *mask);
        StoreSettingsAddress(settings, kSettingsGatewayOffset, *gateway);
    } else if (options.setDynamic) {
        StoreMethod(settings, "DHCP");
    }
    discovery.m_settings = settings;
    // The laminator is named by the MAC its settings carry, as the settings dialog does.
    SearchReply target{};
    std::copy_n(settings.begin() + kSettingsMacOffset, 6, target.begin() + kReplyMacOffset);
    if ((result = discovery.WriteConfig(target)) != kNetSuccess ||
        (result = discovery.FinishWrite(target)) != kNetSuccess) {
        MessageBox(NetWriteFailedText(result));
        JournalNetworkChange(Lower(options.mac), operation, false, false,
                             {{"before", SettingsJson(before)},
                              {"sent", SettingsJson(settings)},
                              {"message", NetWriteFailedText(result)}});
        return kExitFailure;
    }
    // A new static address is where the laminator answers from now on.
    FoundLaminator readBack = match;
    if (options.setStatic)
        readBack.address =
            Ipv4Number({static_cast<std::uint8_t>((*ip)[0]), static_cast<std::uint8_t>((*ip)[1]),
                        static_cast<std::uint8_t>((*ip)[2]), static_cast<std::uint8_t>((*ip)[3])});
    const bool confirmed = discovery.ReadConfig(readBack) == kNetSuccess;
    const NetSettings after = discovery.m_settings;
    const bool asAsked = confirmed && SettingsJson(after) == SettingsJson(settings);
    const int exit = asAsked ? kExitOk : kExitFailure;
    if (!confirmed)
        MessageBox("The settings were written but not confirmed: no read-back came from " +
                   Ipv4Text(readBack.address) + ".");
    else if (!asAsked)
        MessageBox("The settings were written, but " + Ipv4Text(readBack.address) +
                   " reports other values.");
    nlohmann::json journalDetails = {{"before", SettingsJson(before)},
                                     {"sent", SettingsJson(settings)}};
    if (confirmed)
        journalDetails["after"] = SettingsJson(after);
    if (!asAsked)
        journalDetails["message"] = confirmed ? "the read-back reports other values"
                                              : "written but not confirmed: no read-back";
    JournalNetworkChange(Lower(options.mac), operation, true, asAsked, journalDetails);
    TextTable table({"", "NAME", "METHOD", "IP ADDRESS", "SUBNET MASK", "GATEWAY"});
    std::vector<std::pair<const char*, const NetSettings*>> rows = {{"before", &before}};
    if (confirmed)
        rows.push_back({"after", &after});
    if (!asAsked)
        rows.push_back({"asked", &settings});
    for (const auto& [label, s] : rows) {
        const nlohmann::json j = SettingsJson(*s);
        table.Add({label, SettingsName(*s), j["method"].get<std::string>(),
                   j["ip-address"].get<std::string>(), j["subnet-mask"].get<std::string>(),
                   j["gateway"].get<std::string>()});
    }
    nlohmann::json doc = {{"command", "netconfig"},
                          {"exit", exit},
                          {"mac-address", Lower(options.mac)},
                          {"address", Ipv4Text(match.address)},
                          {"before", SettingsJson(before)},
                          {"after", confirmed ? SettingsJson(after) : nlohmann::json()},
                          {"confirmed", asAsked}};
    if (!asAsked)
        doc["asked"] = SettingsJson(settings);
    doc["messages"] = context.messages->Take();
    PrintResult(context, doc, table.Render());
    return exit;
}
