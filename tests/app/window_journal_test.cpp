// The window's operations in the service record, against the simulator: what each one did,
// with "done" only where the laminator confirmed and the message the window showed.
#include "app/window_journal.h"

#include <nlohmann/json.hpp>

#include "app_fixture.h"
#include "journal/journal_db.h"
#include "journal/sha256.h"
#include "laminator/firmware_download.h"
#include "netsetup/net_settings.h"
#include "netsetup/net_settings_record.h"
#include "tests/support/srecord_file.h"

namespace {
constexpr int kLaminatorInfo = 1;
constexpr int kParameterSetup = 2;
constexpr int kTemperatureRow = 1;
}  // namespace

class WindowJournalTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        m_journal = (m_dir / "journal.sqlite").string();
    }
    void BeforeTheFolderGoes() override { StopJournal(); }

    void ActivateHid() {
        AttachLaminator();
        OpenWindow();
        dlg->Item(kIdAutoDetect).SetCheck(0);
        Click(kIdActivatePort);
        ASSERT_FALSE(dlg->Item(kIdActivatePort).IsEnabled());
    }

    std::vector<StoredOperation> Operations(const std::string& kind = {}) {
        EXPECT_TRUE(FlushJournal(std::chrono::seconds(10)));
        std::string error;
        std::unique_ptr<JournalDb> db = JournalDb::Open(m_journal, error);
        EXPECT_NE(db, nullptr) << error;
        JournalQuery query;
        query.kind = kind;
        return db ? db->Operations(query) : std::vector<StoredOperation>{};
    }

    std::string m_journal;
};

TEST_F(WindowJournalTest, ReadWriteAndDownloadAreRecordedWithTheirDetailsUnderTheSerial) {
    StartWindowJournal({m_journal, false, {}}, "test");
    ActivateHid();
    ChooseGroup(kLaminatorInfo);  // reads the serial: the connect joins it
    Settle();
    const std::string serial = Store().Get(ParamKey::LaminatorSn);
    ASSERT_FALSE(serial.empty());
    ChooseGroup(kParameterSetup);
    Settle();
    const std::string before = dlg->Item(kIdParamList).GetCell(kTemperatureRow, 1);
    dlg->Item(kIdParamList).SetCell(kTemperatureRow, 1, "170");
    Click(kIdWrite);
    Settle();

    const std::vector<std::uint8_t> file = testsupport::SRecordFile(4000);
    const std::string path = (m_dir / "fw.mot").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    host.nextFileChoice = path;
    Click(kIdBrowse);
    Settle();
    Click(kIdDownload);
    Settle();
    ASSERT_TRUE(Messages().empty()) << Messages().front();

    const std::vector<StoredOperation> all = Operations();
    ASSERT_FALSE(all.empty());
    for (const StoredOperation& o : all)
        EXPECT_EQ(o.serial, serial) << o.record.kind;  // the connect too, read before it
    EXPECT_EQ(all.front().record.kind, "connect");
    EXPECT_EQ(all.front().record.result, "done");

    const std::vector<StoredOperation> reads = Operations("get");
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].record.result, "done");
    const nlohmann::json info = nlohmann::json::parse(reads[0].record.details);
    EXPECT_EQ(info["values"]["LaminatorSn"], serial);

    const std::vector<StoredOperation> writes = Operations("set");
    ASSERT_EQ(writes.size(), 1u);
    // Nothing is read back after a write: sent, not done.
    EXPECT_EQ(writes[0].record.result, "sent");
    const nlohmann::json changes = nlohmann::json::parse(writes[0].record.details)["changes"];
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0]["old"], before);
    EXPECT_EQ(changes[0]["new"], "170");

    const std::vector<StoredOperation> downloads = Operations("firmware");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].record.result, "done");
    const nlohmann::json d = nlohmann::json::parse(downloads[0].record.details);
    const int frames = FirmwareFrameCount(FirmwareRoute::Hid, file.size());
    EXPECT_EQ(d["frames"], frames);
    EXPECT_EQ(d["acknowledged"], frames);
    EXPECT_EQ(d["file"]["name"], path);
    EXPECT_EQ(d["file"]["size"], file.size());
    EXPECT_EQ(d["file"]["sha256"],
              Sha256Hex(std::string_view(reinterpret_cast<const char*>(file.data()), file.size())));
}

TEST_F(WindowJournalTest, AFailedOperationIsRecordedAsFailedWithTheMessageShown) {
    StartWindowJournal({m_journal, false, {}}, "test");
    ActivateHid();
    dlg->Item(kIdCommandText).SetText("not hex");
    Click(kIdSend);
    Settle();
    ASSERT_EQ(Messages().size(), 1u);
    const std::vector<StoredOperation> sends = Operations("send");
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].record.result, "failed");
    EXPECT_EQ(sends[0].record.message, Messages()[0]);
}

TEST_F(WindowJournalTest, ADownloadTheLaminatorDidNotTakeIsNotDone) {
    StartWindowJournal({m_journal, false, {}}, "test");
    ActivateHid();
    const std::vector<std::uint8_t> file = testsupport::SRecordFile(4000);
    const std::string path = (m_dir / "fw.mot").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    host.nextFileChoice = path;
    Click(kIdBrowse);
    Settle();
    sim.reset();  // the laminator is gone before the first frame
    Click(kIdDownload);
    Settle();
    const std::vector<StoredOperation> downloads = Operations("firmware");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].record.result, "failed");
    EXPECT_FALSE(downloads[0].record.message.empty());
    const nlohmann::json d = nlohmann::json::parse(downloads[0].record.details);
    EXPECT_LT(d["acknowledged"].get<int>(), d["frames"].get<int>());
}

TEST_F(WindowJournalTest, AJournalThatCannotBeOpenedIsSaidOnceAndTheWindowGoesOn) {
    std::ofstream(m_journal) << "this is not a database, and the window must not touch it\n";
    StartWindowJournal({m_journal, false, {}}, "test");
    ASSERT_TRUE(DefaultMessageBoxRecorder().WaitForCount(1, std::chrono::seconds(10)));
    ActivateHid();
    ChooseGroup(kParameterSetup);
    Settle();
    EXPECT_FALSE(dlg->Item(kIdParamList).GetCell(kTemperatureRow, 1).empty());
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(m_journal), std::string::npos);
    EXPECT_NE(messages[0].find("not a database"), std::string::npos) << messages[0];
    std::ifstream in(m_journal);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "this is not a database, and the window must not touch it");
}

TEST_F(WindowJournalTest, TheSettingsDialogsReadAndWriteAreKeptUnderTheMac) {
    StartWindowJournal({m_journal, false, {}}, "test");
    NetSettings read{};
    StoreSettingsName(read, "Desk");
    StoreMethod(read, "Static");
    StoreSettingsAddress(read, kSettingsIpOffset, {192, 168, 0, 100});
    NetSettingsDone done;
    done.mac = "00:11:22:33:44:55";
    done.startTime = std::chrono::system_clock::now();
    done.started = std::chrono::steady_clock::now();
    done.settings = read;
    TellNetSettingsDone(done);
    done.kind = NetSettingsDone::Kind::Write;
    done.sent = read;
    StoreSettingsName(done.sent, "Line 7");
    const std::string noAnswer =
        "Writing the network settings failed: the laminator did not answer.";
    done.result = kNetNoReply;
    done.message = noAnswer;
    TellNetSettingsDone(done);
    done.result = kNetSuccess;
    done.message.clear();
    TellNetSettingsDone(done);

    const std::vector<StoredOperation> reads = Operations("network-read");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].record.link, "udp:00:11:22:33:44:55");
    EXPECT_EQ(reads[0].record.result, "done");
    const auto readDetails = nlohmann::json::parse(reads[0].record.details);
    EXPECT_EQ(readDetails["settings"]["ip-address"], "192.168.0.100");
    EXPECT_EQ(readDetails["settings"]["name"], "Desk");

    std::vector<StoredOperation> writes = Operations("netconfig");
    ASSERT_EQ(writes.size(), 2u);
    if (writes[0].record.result != "failed")
        std::swap(writes[0], writes[1]);
    EXPECT_EQ(writes[0].record.result, "failed");
    EXPECT_EQ(writes[0].record.message, noAnswer);
    EXPECT_EQ(writes[1].record.result, "done");
    EXPECT_EQ(writes[1].record.message, "");
    const auto writeDetails = nlohmann::json::parse(writes[1].record.details);
    EXPECT_EQ(writeDetails["before"]["name"], "Desk");
    EXPECT_EQ(writeDetails["sent"]["name"], "Line 7");
    EXPECT_EQ(writeDetails["acknowledged"], true);
}
