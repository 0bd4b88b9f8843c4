// The provisioning log and plan: which units count as done, which address
// each unit gets, and what is refused rather than risk an address twice.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ProvisionLog.h"

namespace {

// A file in the test's temporary directory, written with `text`.
std::string FileWith(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + "/provision-" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

std::string Line(unsigned serial, const char* address, const char* result) {
    return std::string("{\"serialNumber\":") + std::to_string(serial) + ",\"address\":" + address + ",\"result\":\"" +
           result + "\",\"time\":\"T" + std::to_string(serial) + "\"}\n";
}

}  // namespace

TEST(ProvisionLog, AddressesFollowTheRecordsAndNeverRepeat) {
    // 1001 done at 10, 1002 failed at 11 (a retry keeps it), 1003 failed before an address, 1004 done at 13.
    // The last line has lost its line end (edited by hand).
    // 1005 was started at 15 and never finished (killed): 15 stays its own.
    std::string text = Line(1001, "10", "done") + Line(1002, "11", "failed") + "\n" + Line(1003, "null", "failed") +
                       Line(1005, "15", "started") + Line(1004, "13", "done");
    text.pop_back();
    const std::string path = FileWith("log.jsonl", text);
    auto log = std::make_unique<ProvisionLog>();
    ASSERT_EQ(log->Open(path), "");
    EXPECT_TRUE(log->Done(1001));
    EXPECT_FALSE(log->Done(1002));
    EXPECT_FALSE(log->Done(1003));
    EXPECT_EQ(log->DoneAt(1004), "T1004");

    const struct {
        unsigned serial;
        std::optional<int> planned, from;
        std::set<int> reserved;
        int address;          // -1: refused
        const char* refusal;  // part of the reason
    } cases[] = {
        {1002, std::nullopt, 10, {}, 11, ""},  // a retry: its own address again
        {1002, 11, std::nullopt, {}, 11, ""},  // the plan agrees
        {1002, 40, std::nullopt, {}, -1, "earlier run gave it address 11"},
        {1003, std::nullopt, 10, {}, 12, ""},    // 10, 11 taken; 12 free
        {2000, std::nullopt, 10, {12}, 14, ""},  // 12 held for a planned unit, 13 taken
        {2000, std::nullopt, 20, {}, 20, ""},
        {1005, std::nullopt, 10, {}, 15, ""},  // a started unit comes back
        {2000, std::nullopt, 15, {}, 16, ""},  // and nobody else gets its address
        {2000, 13, std::nullopt, {}, -1, "already given to 000001004"},
        {2000, 50, 10, {}, 50, ""},  // the plan before the counter
        {2000, std::nullopt, std::nullopt, {}, -1, "not in the plan"},
        {2000, std::nullopt, 9999, {9999}, -1, "every address from 9999"},
    };
    for (const auto& c : cases) {
        int address = -1;
        const std::string refusal = log->AddressFor(c.serial, c.planned, c.from, c.reserved, address).english;
        if (c.address < 0) {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.serial << ": " << refusal;
        } else {
            EXPECT_EQ(refusal, "") << c.serial;
            EXPECT_EQ(address, c.address) << c.serial;
        }
    }

    // One run at a time on a log.
    ProvisionLog rival;
    EXPECT_NE(rival.Open(path).find("in use by another run"), std::string::npos);

    // What is appended counts at once, in this run and the next.
    ASSERT_EQ(log->Append({{"serialNumber", 1003}, {"address", 12}, {"result", "done"}}), "");
    EXPECT_TRUE(log->Done(1003));
    int address = -1;
    EXPECT_EQ(log->AddressFor(3000, std::nullopt, 10, {}, address).english, "");
    EXPECT_EQ(address, 14);
    EXPECT_NE(log->Append({{"serialNumber", 3000}, {"address", 12}, {"result", "done"}}), "");  // 12 is 1003's
    log.reset();  // the run ends, and so does its hold on the log
    ProvisionLog again;
    ASSERT_EQ(again.Open(path), "");
    EXPECT_TRUE(again.Done(1003));
    EXPECT_EQ(again.HolderOf(12), 1003u);
    EXPECT_FALSE(again.HolderOf(14).has_value());
}

TEST(ProvisionLog, ALogOrPlanThatCannotBeTrustedIsRefused) {
    const struct {
        std::string text;
        const char* problem;
    } logs[] = {
        {Line(1, "5", "done") + "{\"serialNumber\": 2, \"address\": 6, \"res", ":2: not a JSON object"},
        {Line(1, "5", "done") + Line(2, "5", "done"), ":2: address 5 is given to two units"},
        {Line(1, "5", "maybe"), ":1: result"},
        {"{\"address\": 5, \"result\": \"done\"}\n", ":1: serialNumber"},
        {Line(1, "10000", "done"), ":1: address"},
    };
    for (const auto& c : logs) {
        ProvisionLog log;
        const std::string problem = log.Open(FileWith("bad.jsonl", c.text));
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << "\n" << problem;
        EXPECT_EQ(log.Descriptor(), -1) << c.text;
    }

    const struct {
        std::string text;
        const char* problem;
    } plans[] = {
        {"address\n10\n", ":1: the first line names the columns"},
        {"serialNumber,address\n1,10\n2,10\n", ":3: address 10 is planned for two units"},
        {"serial,address\n1,10\n000000001,11\n", ":3: serial number 000000001 is planned twice"},
        {"serialNumber,address\n1,10,5\n", ":2: 3 cells"},
        {"serialNumber,address\n1,10000\n", ":2: address:"},
        {"serialNumber,pins\n1,0020\n", ":2: pins:"},
        {"serialNumber,address\nX1,10\n", ":2: serialNumber"},
        {"serialNumber,address,address\n1,10,11\n", ":1: the column address is named twice"},
        {"serialNumber,address\n1,10 \x83\x41\n", "not UTF-8 (saved as Shift_JIS?)"},
    };
    for (const auto& c : plans) {
        ProvisionPlan plan;
        const std::string problem = plan.Load(FileWith("bad.csv", c.text));
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << "\n" << problem;
    }

    ProvisionPlan plan;
    ASSERT_EQ(plan.Load(FileWith("plan.csv",
                                 "# bench 3\nserialNumber, address, channel, parity\n\n"
                                 "000001001, 10, 5, E\n1002, 11, , \n")),
              "");
    ASSERT_NE(plan.Find(1001), nullptr);
    EXPECT_EQ(plan.Find(1001)->channel, 5);
    EXPECT_EQ(plan.Find(1001)->parity, 'E');
    EXPECT_FALSE(plan.Find(1002)->channel.has_value());
    EXPECT_EQ(plan.AddressesBesides(1001), std::set<int>{11});

    // As Excel saves "CSV UTF-8": a byte-order mark, quoted cells, CR LF.
    ProvisionPlan saved;
    ASSERT_EQ(saved.Load(FileWith("excel.csv", "\xEF\xBB\xBF\"serialNumber\",\"channel\"\r\n\"1001\",\"7\"\r\n")), "");
    ASSERT_NE(saved.Find(1001), nullptr);
    EXPECT_EQ(saved.Find(1001)->channel, 7);
}
