#include "app/window_journal.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "framework/message_box.h"
#include "journal/journal_session.h"
#include "journal/sha256.h"
#include "laminator/catalogue.h"
#include "laminator/link_exchange.h"
#include "laminator/mode_commands.h"
#include "laminator/model_workers.h"
#include "laminator/param_store.h"
#include "laminator/reset_default.h"
#include "link/ethernet_link.h"
#include "link/link_flags.h"
#include "netsetup/net_settings_json.h"
#include "netsetup/net_settings_record.h"

namespace {
std::string Joined(const std::vector<std::string>& texts) {
    std::string text;
    for (const std::string& t : texts)
        text += (text.empty() ? "" : "\n") + t;
    return text;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

// One operation on this worker thread: its start, the link it used and every box it showed.
class WindowOperation {
  public:
    explicit WindowOperation(std::string kind)
        : m_kind(std::move(kind)), m_link(CurrentWindowLink()), m_start(OperationStart::Now()) {}

    bool ShowedMessage() const { return !m_capture.Texts().empty(); }

    void Finish(const std::string& result, const nlohmann::json& details) {
        if (!JournalKept())
            return;
        // A read of the information group names the laminator: what came before joins it.
        IdentifyFromStore(m_link);
        OperationRecord r = BeginRecord(m_kind, m_link, m_start);
        r.result = result;
        r.message = Joined(m_capture.Texts());
        r.details = DetailsText(details);
        RecordOperation(m_link, std::move(r));
    }

  private:
    std::string m_kind;
    std::string m_link;
    OperationStart m_start;
    MessageCapture m_capture;
};

// The values of the group on screen as the store has them.
nlohmann::json GroupValues(const std::string& group, bool readOnly) {
    nlohmann::json values = nlohmann::json::object();
    for (const ParameterInfo* p : GroupParameters(group)) {
        if (!readOnly || Store().WasRead(p->key))
            values[std::string(p->keyName)] = Store().Get(p->key);
    }
    return values;
}

// The settings dialogs' reads and writes. A write the laminator acknowledged, and its
// finishing command too, closes the dialog as done: the record says the same.
void RecordNetSettings(const NetSettingsDone& done) {
    const OperationStart start{
        std::chrono::duration_cast<std::chrono::milliseconds>(done.startTime.time_since_epoch())
            .count(),
        done.started};
    const bool ok = done.result == kNetSuccess;
    if (done.kind == NetSettingsDone::Kind::Read) {
        RecordNetworkSettings("network-read", done.mac, start, ok ? "done" : "failed", done.message,
                              ok ? nlohmann::json{{"settings", SettingsJson(done.settings)}}
                                 : nlohmann::json::object());
        return;
    }
    RecordNetworkSettings("netconfig", done.mac, start, ok ? "done" : "failed", done.message,
                          {{"before", SettingsJson(done.settings)},
                           {"sent", SettingsJson(done.sent)},
                           {"acknowledged", ok}});
}
}  // namespace

void StartWindowJournal(const JournalSettings& settings, const std::string& version) {
    StartJournal(settings, version, [](const std::string& text) {
        // The box waits for the user: never on the writer, which would lose records meanwhile.
        StartWorkerThread(
            [text] {
                MessageBox(text);
                return 1;
            },
            "service record message");
    });
    SetNetSettingsObserver(&RecordNetSettings);
}

std::string WindowLinkKey(bool ethernet) {
    if (!ethernet)
        return "usb";
    return "tcp:" + Store().Get(ParamKey::IpAddress) + ":" + std::to_string(GetEthernetPort());
}

std::string CurrentWindowLink() {
    const std::string link = JournalLink();
    return link.empty() ? WindowLinkKey(EthernetLinkActive.load() != 0) : link;
}

std::string ServiceRecordSubject() {
    // Keyed as the journal keys it once identified: by serial, else by MAC.
    LaminatorIdentity identity;
    identity.link = CurrentWindowLink();
    if (Store().WasRead(ParamKey::LaminatorSn))
        identity.serial = Store().Get(ParamKey::LaminatorSn);
    if (Store().WasRead(ParamKey::MacAddress))
        identity.mac = Store().Get(ParamKey::MacAddress);
    return identity.Key();
}

void RecordConnect(const std::string& link, bool connected) {
    if (connected)
        SetJournalLink(link);
    if (!JournalKept())
        return;
    OperationRecord r = BeginRecord("connect", link, OperationStart::Now());
    r.result = connected ? "done" : "failed";
    RecordOperation(link, std::move(r));
}

void RecordDisconnect(const std::string& link) {
    if (JournalLink() == link)
        SetJournalLink({});
    if (!JournalKept())
        return;
    OperationRecord r = BeginRecord("disconnect", link, OperationStart::Now());
    r.result = "done";
    RecordOperation(link, std::move(r));
}

int RecordedRead(LaminatorView& view, ViewProc reader) {
    const std::string group = CurrentGroup();
    WindowOperation op("get");
    const int status = reader(&view);
    const nlohmann::json values = GroupValues(group, true);
    // Every failure of a read shows a box.
    const bool confirmed = !op.ShowedMessage() && !values.empty();
    op.Finish(confirmed ? "done" : "failed", {{"group", group}, {"values", values}});
    return status;
}

int RecordedWrite(LaminatorView& view, ViewProc writer) {
    const std::string group = CurrentGroup();
    nlohmann::json changes = nlohmann::json::array();
    for (const ParameterInfo* p : GroupParameters(group)) {
        const std::string old = Store().Get(p->key);
        const std::string now = view.GetParamCell(p->row);
        if (p->readWrite && old != now)
            changes.push_back({{"name", p->keyName}, {"old", old}, {"new", now}});
    }
    WindowOperation op("set");
    const int status = writer(&view);
    // The window reads nothing back: a write the laminator took without complaint is sent,
    // not confirmed.
    op.Finish(op.ShowedMessage() ? "failed" : "sent",
              {{"group", group}, {"changes", changes}, {"read-back", "not read back"}});
    return status;
}

int RecordedModelRead(LaminatorView& view) {
    if (CurrentGroup() != kGroupLaminatorInfo || !LinkInUse())
        return ModelReadWorker(&view);
    WindowOperation op("model-read");
    const int status = ModelReadWorker(&view);
    const bool read = !op.ShowedMessage() && Store().WasRead(ParamKey::LaminatorModel);
    op.Finish(read ? "done" : "failed",
              {{"model", read ? Store().Get(ParamKey::LaminatorModel) : ""}});
    return status;
}

int RecordedModelWrite(LaminatorView& view) {
    const std::string name = view.GetParamCell(Parameter(ParamKey::LaminatorModel).row);
    // What the worker skips is not an operation.
    if (CurrentGroup() != kGroupLaminatorInfo || name.empty() || !LinkInUse())
        return ModelWriteWorker(&view);
    const std::string old = Store().Get(ParamKey::LaminatorModel);
    WindowOperation op("model-name");
    const int status = ModelWriteWorker(&view);
    op.Finish(op.ShowedMessage() ? "failed" : "sent",
              {{"old", old}, {"new", name}, {"read-back", "not read back"}});
    return status;
}

int RecordedModeSwitch(LaminatorView& view) {
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return 1;
    const int index = view.SelectedMode();
    WindowOperation op("mode");
    // The reply to the mode frame is the laminator's confirmation.
    const bool switched = SwitchMode(*link, index);
    const std::optional<std::string_view> command = ModeCommandText(index);
    op.Finish(switched ? "done" : "failed",
              {{"mode", index}, {"command", command ? std::string(*command) : ""}});
    return 1;
}

int RecordedRawSend(LaminatorView& view) {
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return 1;
    const std::string text = view.TypedCommand();
    WindowOperation op("send");
    std::vector<std::uint8_t> reply;
    const bool sent = SendRawCommand(*link, text, &reply);
    op.Finish(!sent           ? "failed"
              : reply.empty() ? "sent"
                              : "done",
              {{"bytes", text}, {"reply", Hex(reply)}});
    return 1;
}

int RecordedReset(LaminatorView& view, LinkKind link, const WorkerHandle& finishingPoller) {
    WindowOperation op("reset");
    const ResetOutcome outcome = ResetLaminator(link, finishingPoller);
    if (link == LinkKind::Usb && outcome.reopened)
        view.EnableButton(kIdActivatePort, true);
    // The reset has no reply: the laminator's taking it is not seen.
    op.Finish(outcome.sent ? "sent" : "failed",
              {{"confirmed", false}, {"reopened", outcome.reopened}});
    return 1;
}

int RecordedDownload(LaminatorView& view, FirmwareRoute route, const std::string& path) {
    const std::shared_ptr<const std::vector<std::uint8_t>> image = view.LoadedFirmware();
    WindowOperation op("firmware");
    const TransferResult result = DownloadLoadedFirmware(view, route);
    nlohmann::json file = {{"name", path}};
    if (image) {
        file["size"] = image->size();
        file["sha256"] = Sha256Hex(
            std::string_view(reinterpret_cast<const char*>(image->data()), image->size()));
    }
    const char* routes[] = {"printer-class", "hid", "ethernet"};
    op.Finish(result.Complete() ? "done"
              : result.stopped  ? "stopped"
                                : "failed",
              {{"file", file},
               {"route", routes[static_cast<int>(route)]},
               {"frames", result.frames},
               {"acknowledged", result.framesSent},
               {"handed-over", result.framesHandedOver}});
    return 1;
}
