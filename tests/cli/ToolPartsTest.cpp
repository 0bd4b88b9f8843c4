// Parts of tarnik tested in-process: the comparison behind a write's check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Verify.h"

namespace {

DeviceSettings Record() {
    DeviceSettings s;
    s.address = 25;
    s.frequencyIndex = 10;
    s.baudRate = 19200;
    s.dataBits = '8';
    s.parity = 'E';
    s.stopBits = '1';
    s.pinFunctions[0] = '2';
    s.pinFunctions[1] = '1';
    s.pinFunctions[2] = '0';
    s.pinFunctions[3] = '0';
    return s;
}

}  // namespace

TEST(Verify, NamesEachFieldThatDidNotTake) {
    using Change = void (*)(DeviceSettings&);
    const struct {
        Change change;
        std::vector<std::string> names;
    } cases[] = {
        {[](DeviceSettings&) {}, {}},
        {[](DeviceSettings& s) { s.address = 26; }, {"address"}},
        {[](DeviceSettings& s) { s.frequencyIndex = 0; }, {"channel"}},
        {[](DeviceSettings& s) { s.baudRate = 9600; }, {"baudRate"}},
        {[](DeviceSettings& s) { s.dataBits = '7'; }, {"dataBits"}},
        {[](DeviceSettings& s) { s.parity = 'N'; }, {"parity"}},
        {[](DeviceSettings& s) { s.stopBits = '2'; }, {"stopBits"}},
        // The last pair too, not only the first.
        {[](DeviceSettings& s) { s.pinFunctions[3] = '1'; }, {"pins"}},
        {[](DeviceSettings& s) {
             s.address = 0;
             s.parity = 'O';
             s.pinFunctions[0] = '0';
         },
         {"address", "parity", "pins"}},
    };
    for (const auto& c : cases) {
        DeviceSettings read = Record();
        c.change(read);
        EXPECT_EQ(FieldsNotTaken(Record(), read, false), c.names) << JoinFieldNames(c.names);
    }
    // A model whose pins are fixed was sent no pin functions: they are not checked.
    DeviceSettings read = Record();
    read.pinFunctions[1] = '0';
    read.address = 1;
    EXPECT_EQ(FieldsNotTaken(Record(), read, true), std::vector<std::string>{"address"});
    EXPECT_EQ(JoinFieldNames({"address", "pins"}), "address, pins");
}
