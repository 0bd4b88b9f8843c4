// Devices reached through other devices, and who owns whom.
#include "DeviceFixture.h"
#include "KvExceptions.h"

namespace {
// Adds a device below `parent`, which owns it.
KvDevice* Below(KvDevice& parent, std::uint16_t address, std::uint32_t serial, int addressMode) {
    auto* child = new KvDevice();
    child->parent = &parent;
    child->running.address = address;
    child->stored.address = static_cast<std::uint16_t>(address + 100);
    child->serialNumber = serial;
    child->addressMode = addressMode;
    parent.children.push_back(child);
    return child;
}
}  // namespace

TEST_F(DeviceOnScriptedPort, OneHopBySerialNumberOrByAddress) {
    EXPECT_STREQ(device.RouteText().CStr(), "");
    KvDevice* hop = Below(device, 7, 12345, 0);
    EXPECT_EQ(hop->Root(), &device);
    EXPECT_EQ(device.Root(), &device);
    EXPECT_STREQ(hop->RouteText().CStr(), "!000012345");

    // The hop's requests travel over the attached device's conduit; only the hop's cache changes.
    Answer({"*SAD:7/8\r\n", "*~\r\n"});
    hop->ReadAddress();
    hop->SetFrequency(4, 1);
    EXPECT_EQ(Sent(), (Lines{"-SAD!000012345\r\n", "@FRQ!000012345:4\r\n"}));
    EXPECT_EQ(hop->GetAddress(true), 8);
    EXPECT_EQ(hop->GetFrequency(true), 4);
    EXPECT_EQ(device.GetAddress(true), 0);
    EXPECT_EQ(device.GetFrequency(true), 0);

    hop->addressMode = 1;
    EXPECT_STREQ(hop->RouteText().CStr(), "!7");
    hop->addressMode = 2;  // anything but 1 names the hop by serial number
    hop->serialNumber = 4000000000u;
    EXPECT_STREQ(hop->RouteText().CStr(), "!4000000000");
}

TEST_F(DeviceOnScriptedPort, ThreeHopChainNamedByTheAddressedDevice) {
    KvDevice* p = Below(device, 5, 11, 0);
    KvDevice* q = Below(*p, 9, 22, 0);
    KvDevice* r = Below(*q, 3, 33, 1);
    device.running.address = 1;  // the attached device is never named
    EXPECT_STREQ(r->RouteText().CStr(), "!5,9,3");
    EXPECT_STREQ(q->RouteText().CStr(), "!000000011,000000022");
    EXPECT_EQ(r->Root(), &device);

    for (int pin = 0; pin < 4; ++pin) r->running.pinFunctions[pin] = r->stored.pinFunctions[pin] = '0';
    Answer({"*~\r\n", "*~\r\n", "*~\r\n"});
    r->SetPinFunction(0, '1', 2);
    r->addressMode = 0;
    r->SendCommand("PAD", "", 0);
    EXPECT_EQ(Sent(), (Lines{"@PFC!5,9,3:1000\r\n", "-PFC!5,9,3:1000\r\n", "-PAD!000000011,000000022,000000033\r\n"}));

    // A rejection on the way is the route's code.
    Answer({"*NAK:02\r\n"});
    EXPECT_THROW(r->ReadMode(), KvNAKRouteException);
}

namespace {
std::vector<std::string> gDestroyed;

class NamedDevice : public KvDevice {
public:
    explicit NamedDevice(std::string name) : name_(std::move(name)) {}
    ~NamedDevice() override { gDestroyed.push_back(name_); }

private:
    std::string name_;
};

class NamedConduit : public KvConduit {
public:
    ~NamedConduit() override { gDestroyed.push_back("conduit"); }
    void Open() override {}
    void Close() override {}
    KvString Read() override { return KvString(); }
    void Write(const KvString&) override {}
};

NamedDevice* Adopt(KvDevice& parent, const char* name) {
    auto* child = new NamedDevice(name);
    child->parent = &parent;
    parent.children.push_back(child);
    return child;
}
}  // namespace

TEST(KvDeviceOwnership, DestroysChildrenInListOrderThenTheConduit) {
    gDestroyed.clear();
    {
        KvDevice top;
        top.conduit = new NamedConduit();
        NamedDevice* first = Adopt(top, "first");
        Adopt(*first, "grandchild");
        Adopt(top, "second");
    }
    EXPECT_EQ(gDestroyed, (std::vector<std::string>{"first", "grandchild", "second", "conduit"}));
}

TEST(KvDeviceOwnership, ResetMembersReleasesWhatTheDeviceOwns) {
    gDestroyed.clear();
    KvDevice top;
    KvDevice device;
    device.parent = &top;
    device.conduit = new NamedConduit();
    Adopt(device, "child");
    device.addressMode = 1;
    device.serialNumber = 99;
    device.version = "1.0";
    Mark(device.running, 3);
    Mark(device.stored, 4);

    device.ResetMembers();
    EXPECT_EQ(gDestroyed, (std::vector<std::string>{"child", "conduit"}));
    EXPECT_EQ(device.conduit, nullptr);
    EXPECT_EQ(device.parent, nullptr);
    EXPECT_TRUE(device.children.empty());
    EXPECT_EQ(device.addressMode, 0);
    EXPECT_EQ(device.serialNumber, 0u);
    EXPECT_STREQ(device.GetVersion().CStr(), "");
    EXPECT_EQ(BankText(device.running), BankText(SettingBank()));
    EXPECT_EQ(BankText(device.stored), BankText(SettingBank()));

    // The base conduit carries no transactions.
    device.conduit = new NamedConduit();
    EXPECT_THROW(device.ReadMode(), KvConduitException);
}
