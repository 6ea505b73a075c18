// The network dialogs in real Qt widgets: every control a widget at its converted position,
// the list filled by a search of three simulated laminators, a row chosen with the mouse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "framework/message_box.h"
#include "link/ethernet_link.h"
#include "netsetup/found_devices.h"
#include "netsetup/net_config.h"
#include "netsetup/net_resources.h"
#include "netsetup/net_work.h"
#include "qt/ip_address_edit.h"
#include "qt/qt_dialog_host.h"
#include "sim/simulator.h"
#include "tests/qt/qt_test_support.h"

namespace {
using qthost_test::App;
using qthost_test::Click;
using qthost_test::PumpUntil;

class NoMainWindow : public NetLinkOwner {
  public:
    bool UsbPortOpen() override { return false; }
    void CloseUsbPort() override {}
    bool AutoDetectOn() override { return false; }
    void StartNetPoller() override {}
};

// Every template control is a widget of the right kind exactly at its converted rectangle.
void ExpectAtTheirPositions(QtDialogHost& host, Dialog& dialog) {
    const BaseUnits units = host.Units(dialog);
    const DialogTemplate& t = dialog.Template();
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        QWidget* w = host.Widget(dialog, static_cast<int>(i));
        ASSERT_NE(w, nullptr) << i;
        EXPECT_TRUE(w->isVisible()) << i;
        const QRect expected = units.ToPixels(t.controls[i].rect);
        if (t.controls[i].kind == ControlKind::ComboBox) {
            EXPECT_EQ(w->pos(), expected.topLeft());  // the closed box is one line high
            EXPECT_EQ(w->width(), expected.width());
        } else {
            EXPECT_EQ(w->geometry(), expected) << t.controls[i].id;
        }
    }
    QWidget* window = host.Window(dialog);
    EXPECT_EQ(window->width(), units.X(t.width));
    EXPECT_EQ(window->height(), units.Y(t.height));
}

class NetDialogsQtTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        DefaultMessageBoxRecorder().Clear();
        EthernetSocket.store(0);
        pellacor::sim::SimOptions o;
        o.count = 3;
        o.tcp = false;
        o.udpPort = 0;
        sim = std::make_unique<pellacor::sim::Simulator>(o);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        target.address = 0x7F000001;
        target.port = sim->UdpPort();
        host = std::make_unique<QtDialogHost>();
    }
    void TearDown() override {
        if (list) {
            host->Close(*list);
            list.reset();
        }
        host.reset();
        CurrentDiscovery.store(nullptr);
        sim.reset();
    }
    SearchTarget target;
    NoMainWindow owner;
    std::unique_ptr<pellacor::sim::Simulator> sim;
    std::unique_ptr<QtDialogHost> host;
    std::unique_ptr<CNetWork> list;
};
}  // namespace

TEST_F(NetDialogsQtTest, DeviceListIsARealWindowAndARowIsChosenWithTheMouse) {
    list = std::make_unique<CNetWork>(&owner, host.get(), target);
    QWidget* window = host->Show(*list);
    EXPECT_EQ(window->windowTitle(), "Ethernet Port Configuration");
    ExpectAtTheirPositions(*host, *list);
    auto* table = qobject_cast<QTableWidget*>(host->WidgetById(*list, kIdDeviceList));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->columnCount(), 5);
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), "Device Name");
    EXPECT_TRUE(table->horizontalHeaderItem(0)->textAlignment() & Qt::AlignHCenter);
    EXPECT_EQ(qobject_cast<QLabel*>(host->WidgetById(*list, kIdNetStatus))->text(),
              "Device is not connected!");

    qobject_cast<QPushButton*>(host->WidgetById(*list, kIdSearch))->click();
    ASSERT_TRUE(PumpUntil([&] { return !list->IsCollecting() && table->rowCount() == 3; },
                          std::chrono::seconds(10)));
    EXPECT_TRUE(table->item(1, 2)->textAlignment() & Qt::AlignHCenter);
    Click(table->viewport(), table->visualItemRect(table->item(2, 1)).center());
    ASSERT_TRUE(PumpUntil([&] { return list->m_deviceList->GetSelection() == 2; }));
    EXPECT_EQ(table->item(2, 4)->text().toStdString(), ReplyIpText(*FoundDevices.Get(2)));
}

TEST_F(NetDialogsQtTest, SettingsDialogHasThreeAddressControlsAndTheSortedCombo) {
    CNetDiscovery discovery(target);
    discovery.m_settings[0] = 0x80;
    discovery.m_settings[3] = 100;
    discovery.m_settings[4] = 0;
    discovery.m_settings[5] = 168;
    discovery.m_settings[6] = 192;
    const char name[] = "Front desk";
    std::copy(name, name + 10, discovery.m_settings.begin() + 15);
    CurrentDiscovery.store(&discovery);
    CNetConfig cfg(host.get());
    QWidget* window = host->Show(cfg);
    EXPECT_EQ(window->windowTitle(), "Laminator Ethernet Port setup");
    ExpectAtTheirPositions(*host, cfg);
    for (int id : {kIdStaticIp, kIdSubnetMask, kIdGateway})
        EXPECT_NE(dynamic_cast<IpAddressEdit*>(host->WidgetById(cfg, id)), nullptr) << id;
    auto* ip = dynamic_cast<IpAddressEdit*>(host->WidgetById(cfg, kIdStaticIp));
    EXPECT_EQ(ip->Fields(), (std::array<int, 4>{192, 168, 0, 100}));
    auto* combo = qobject_cast<QComboBox*>(host->WidgetById(cfg, kIdIpMethod));
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "Dynamic");
    EXPECT_EQ(combo->itemText(1), "Static");
    EXPECT_EQ(combo->currentText(), "Static");
    EXPECT_EQ(qobject_cast<QLineEdit*>(host->WidgetById(cfg, kIdDeviceName))->text(), "Front desk");
    host->Close(cfg);
}
