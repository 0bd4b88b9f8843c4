// The File menu's profiles in the settings form: what 開く... changes, what a
// profile may leave out, what a bad file does, and that 上書き保存 and
// 名前を付けて保存... write what `tarnik write --from` reads. The file itself is
// the command line's (ReportJson, ReadProfile); its checks are tested there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FormRig.h"
#include "Profile.h"
#include "Texts.h"
#include "Values.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed afterwards.
struct Folder {
    Folder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() / (std::string("velmora-profile-") + test->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    // A file's name as the form takes it (UTF-8).
    std::string Name(const std::string& leaf) const {
        const std::u8string text = (path / fs::path(std::u8string(leaf.begin(), leaf.end()))).u8string();
        return std::string(text.begin(), text.end());
    }
    std::string Write(const std::string& leaf, const std::string& text) const {
        const std::string name = Name(leaf);
        std::ofstream(fs::path(std::u8string(name.begin(), name.end())), std::ios::binary) << text;
        return name;
    }
    fs::path path;
};

std::string ReadAll(const std::string& name) {
    std::ifstream in(fs::path(std::u8string(name.begin(), name.end())), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What the window shows of the values a profile holds: address, frequency,
// baud rate, data bits, parity, stop bits, the four pin pairs.
std::vector<std::string> Shown(FormRig& rig) {
    std::vector<std::string> shown = {rig.Control(IDC_ADDRESS).text};
    for (int id : {IDC_FREQUENCY, IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS, IDC_PIN_12, IDC_PIN_34,
                   IDC_PIN_56, IDC_PIN_78})
        shown.push_back(rig.view.Selected(id));
    return shown;
}

const std::vector<std::string> kFactory = {
    "0", "2405", "9600", "8", "なし", "1", "デジタル入力", "デジタル入力", "デジタル入力", "デジタル入力"};

// What `tarnik read --json` prints for a module unlike the simulated one.
std::string OtherModuleJson() {
    ModuleReport report;
    report.serialNumber = 987654321;
    report.version = "1.02.000";
    report.address = 25;
    report.channel = 10;
    report.baudRate = 19200;
    report.dataBits = '7';
    report.parity = 'E';
    report.stopBits = '2';
    const char pins[] = "2210";
    for (int i = 0; i < 4; ++i) report.pins[i] = pins[i];
    return ReportJson(report).dump(2) + "\n";
}

}  // namespace

TEST(ProfileForm, OpenFillsTheFormFromTheFileOrLeavesItAsItWas) {
    struct Row {
        const char* what;
        int storedMode;
        std::string text;                // the file's text ("" no file at all)
        std::vector<std::string> shown;  // the window afterwards
        std::string problem;             // the message box's second line, "" none
    };
    const std::string other = OtherModuleJson();
    const Row rows[] = {
        {"read --json of another module",
         0,
         other,
         {"25", "2415", "19200", "7", "偶数", "2", "アナログ入力", "アナログ入力", "デジタル出力", "デジタル入力"},
         ""},
        {"fields left out keep the window's values",
         0,
         R"({"channelMHz": 2410, "parity": "o"})",
         {"0", "2410", "9600", "8", "奇数", "1", "デジタル入力", "デジタル入力", "デジタル入力", "デジタル入力"},
         ""},
        {"a locked address and locked pins stay",
         1,
         R"({"address": 25, "baudRate": 19200, "pins": "1111"})",
         {"0", "2405", "19200", "8", "なし", "1", "デジタル入力", "デジタル入力", "デジタル入力", "デジタル入力"},
         ""},
        {"a bad value after a good one changes nothing", 0, R"({"format": 1, "baudRate": 19200, "address": 10000})",
         kFactory, "%s: address: 10000 is out of range (0-9999)"},
        {"no such file", 0, "", kFactory, "cannot read %s"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Folder folder;
        FormRig rig;
        rig.ScanAndRead();
        if (row.storedMode != 0) {
            rig.Module().MutableStored().mode = row.storedMode;
            rig.doc.ReadSettings();
        }
        const std::string name =
            row.text.empty() ? folder.Name("ない.json") : folder.Write("プロファイル.json", row.text);
        rig.Control(IDC_GUIDE).text = "before";
        const std::size_t heard = rig.Heard();

        rig.view.fileAnswers.push_back(name);
        rig.form.OnFileOpen();

        EXPECT_EQ(Shown(rig), row.shown);
        EXPECT_EQ(rig.Heard(), heard);  // the module is not touched
        if (row.problem.empty()) {
            EXPECT_TRUE(rig.view.problems.empty());
            EXPECT_EQ(rig.Guide(), KvText(IDS_GUIDE_EDIT));
            EXPECT_EQ(rig.form.ProfilePath(), name);
        } else {
            std::string problem = row.problem;
            problem.replace(problem.find("%s"), 2, name);
            ASSERT_EQ(rig.view.problems.size(), 1u);
            EXPECT_EQ(rig.view.problems[0], "プロファイルを読み込めませんでした。\n" + problem);
            EXPECT_EQ(rig.Guide(), "before");
            EXPECT_EQ(rig.form.ProfilePath(), "");
        }
    }
}

TEST(ProfileForm, SaveWritesWhatWriteFromTakesAndSaveAgainKeepsTheFile) {
    Folder folder;
    FormRig rig;
    rig.ScanAndRead();
    rig.Control(IDC_ADDRESS).text = "42";
    rig.Control(IDC_BAUD_RATE).selection = 4;  // 19200
    const std::string name = folder.Name("設定 一号機.json");

    // Without a current file, 上書き保存 asks for one.
    rig.view.fileAnswers.push_back(name);
    rig.form.OnFileSave();
    EXPECT_EQ(rig.host.log.back(), "file save ");
    SettingValues read;
    ASSERT_EQ(ReadProfile(name, read), "");
    EXPECT_EQ(read.address, 42);
    EXPECT_EQ(read.channel, 0);
    EXPECT_EQ(read.baudRate, 19200);
    EXPECT_EQ(read.dataBits, '8');
    EXPECT_EQ(read.parity, 'N');
    EXPECT_EQ(read.stopBits, '1');
    EXPECT_EQ(read.pins, "0000");

    // Then it writes there without asking; 名前を付けて保存... asks, starting there.
    rig.host.Clear();
    rig.Control(IDC_PARITY).selection = 2;  // 奇数
    rig.form.OnFileSave();
    EXPECT_TRUE(rig.host.log.empty());
    ASSERT_EQ(ReadProfile(name, read), "");
    EXPECT_EQ(read.parity, 'O');
    EXPECT_FALSE(fs::exists(fs::path(std::u8string(name.begin(), name.end())).concat(".tmp")));
    rig.form.OnFileSaveAs();  // cancelled
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"file save " + name});

    // A file that cannot be written: the message box; the current file stays.
    const std::string unwritable = folder.Name("no-such-folder/x.json");
    rig.view.fileAnswers.push_back(unwritable);
    rig.form.OnFileSaveAs();
    ASSERT_EQ(rig.view.problems.size(), 1u);
    EXPECT_EQ(rig.view.problems[0].rfind("プロファイルを保存できませんでした。\ncannot write " + unwritable + ": ", 0),
              0u)
        << rig.view.problems[0];
    EXPECT_EQ(rig.form.ProfilePath(), name);

    // An address 設定 would refuse is refused before any dialog.
    rig.host.Clear();
    rig.Control(IDC_ADDRESS).text = "10000";
    rig.form.OnFileSaveAs();
    EXPECT_EQ(rig.host.log, std::vector<std::string>{"message " + std::to_string(IDS_BAD_ADDRESS)});
    EXPECT_NE(ReadAll(name).find("\"parity\": \"O\""), std::string::npos);
}
