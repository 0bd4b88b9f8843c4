// The lines of the COM port list, from the devices found and the names known.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PortList.h"

TEST(PortList, NamedPortsFirstThenTheDevicesFoundWithWhatTheyAre) {
    KvPortInfo usb;
    usb.name = usb.path = "/dev/ttyUSB0";
    usb.vendor = "FTDI";
    usb.product = "FT232R USB UART";
    usb.driver = "ftdi_sio";
    KvPortInfo com;  // as Windows names them
    com.name = "COM3";
    com.product = "USB Serial Device";
    com.driver = "usbser";
    const std::vector<CPortListEntry> entries =
        PortListEntries({usb, com}, {"COM1", "/dev/ttyUSB0", "/dev/rfcomm0", "com4"});
    std::vector<std::string> names, texts;
    for (const CPortListEntry& e : entries) {
        names.push_back(e.name);
        texts.push_back(e.text);
    }
    EXPECT_EQ(names, PortListNames(entries));
    ASSERT_EQ(names.size(), 22u);
    EXPECT_EQ(names.front(), "COM1");
    EXPECT_EQ(names[19], "COM20");
    EXPECT_EQ(texts[2], "COM3  USB Serial Device (usbser)");
    EXPECT_EQ(texts[3], "COM4");
    EXPECT_EQ(names[20], "/dev/ttyUSB0");
    EXPECT_EQ(texts[20], "/dev/ttyUSB0  FTDI FT232R USB UART (ftdi_sio)");
    EXPECT_EQ(names[21], "/dev/rfcomm0");  // found by name only
    EXPECT_EQ(texts[21], names[21]);
    EXPECT_EQ(entries[20].shortName, "ttyUSB0");  // two adapters stay apart in the closed box
    EXPECT_EQ(entries[0].shortName, "COM1");
}

#ifndef _WIN32
TEST(PortList, ABuiltInPortFoundStandsOnceUnderItsComName) {
    KvPortInfo builtIn;
    builtIn.name = builtIn.path = "/dev/ttyS1";
    builtIn.driver = "serial";
    const std::vector<CPortListEntry> entries = PortListEntries({builtIn}, {"/dev/ttyS0", "/dev/ttyS1"});
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries[0].text, "COM1  /dev/ttyS0");
    EXPECT_EQ(entries[1].text, "COM2  /dev/ttyS1  " + KvDescribePort(builtIn));
    EXPECT_EQ(entries[2].text, "COM3");
}
#endif
