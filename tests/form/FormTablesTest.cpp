// The tables and rules of the form that need no document: the lists' items and
// the integers behind them, the address check, the escape dialog's selection
// rules and the menu's enabling rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EscapeForm.h"
#include "FormLists.h"
#include "MenuRules.h"
#include "ResourceIds.h"
#include "Texts.h"

namespace {

std::vector<int> Values(int listId) {
    std::vector<int> values;
    for (const CListItem& item : FormListItems(listId)) values.push_back(item.value);
    return values;
}

}  // namespace

TEST(FormLists, ItemsCarryTheirIntegersInScreenOrder) {
    struct Row {
        int id;
        std::vector<std::string> texts;
        std::vector<int> values;
    };
    const std::vector<Row> rows = {
        {IDC_BAUD_RATE,
         {"1200", "2400", "4800", "9600", "19200", "38400", "57600"},
         {1200, 2400, 4800, 9600, 19200, 38400, 57600}},
        {IDC_DATA_BITS, {"7", "8"}, {'7', '8'}},
        {IDC_PARITY, {"なし", "偶数", "奇数"}, {'N', 'E', 'O'}},
        {IDC_STOP_BITS, {"1", "2"}, {'1', '2'}},
        {IDC_PIN_12, {"デジタル入力", "デジタル出力", "アナログ入力"}, {'0', '1', '2'}},
        {IDC_PIN_34, {"デジタル入力", "デジタル出力", "アナログ入力"}, {'0', '1', '2'}},
        {IDC_PIN_56, {"デジタル入力", "デジタル出力"}, {'0', '1'}},
        {IDC_PIN_78, {"デジタル入力", "デジタル出力"}, {'0', '1'}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(FormListTexts(row.id), row.texts);
        EXPECT_EQ(Values(row.id), row.values);
    }
    // The 76 channels, "%4d", each carrying its index.
    const std::vector<CListItem>& channels = FormListItems(IDC_FREQUENCY);
    ASSERT_EQ(channels.size(), 76u);
    for (int i = 0; i < 76; ++i) {
        EXPECT_EQ(channels[i].text, std::to_string(2405 + i));
        EXPECT_EQ(channels[i].value, i);
    }
    EXPECT_TRUE(FormListItems(IDC_COM_PORT).empty());
    EXPECT_TRUE(FormListItems(IDC_ADDRESS).empty());

    EXPECT_EQ(FindItemByData(IDC_BAUD_RATE, 57600), 6);
    EXPECT_EQ(FindItemByData(IDC_BAUD_RATE, 600), -1);
    EXPECT_EQ(FindItemByData(IDC_PIN_34, '2'), 2);
    EXPECT_EQ(FindItemByData(IDC_PIN_78, '2'), -1);  // analog input only on the first two pairs
    EXPECT_EQ(FindItemByData(IDC_PARITY, 2), -1);    // tokens are character codes, not positions
    EXPECT_EQ(ItemData(IDC_PARITY, 1), 'E');
    EXPECT_EQ(ItemData(IDC_PARITY, -1), -1);
    EXPECT_EQ(ItemData(IDC_PARITY, 3), -1);
}

TEST(FormLists, AddressTextReadLikeTheSetButton) {
    struct Row {
        const char* text;
        bool accepted;
        int address;
    };
    const Row rows[] = {
        {"0", true, 0},     {"9999", true, 9999}, {"  12x", true, 12},       {"\t7", true, 7},
        {"0042", true, 42}, {"", false, 0},       {"   ", false, 0},         {"10000", false, 0},
        {"-1", false, 0},   {"x12", false, 0},    {"42949672960", false, 0}, {"00000000000000000009999", true, 9999},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        int address = -5;
        EXPECT_EQ(ParseAddressText(row.text, address), row.accepted);
        if (row.accepted) {
            EXPECT_EQ(address, row.address);
        }
    }
    EXPECT_EQ(FormatSerialNumber(4567), "000004567");
    EXPECT_EQ(FormatSerialNumber(987654321), "987654321");
}

TEST(EscapeForm, ListsShowTheRememberedValuesAndStoreTheChoice) {
    // The first opening: 9600 bps, 8 bits, なし, 1 stop bit.
    const int lists[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS};
    const int firstSelections[] = {3, 1, 0, 0};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(EscapeListSelection(kEscapeStartSettings, lists[i]), firstSelections[i]);

    // A value no item carries leaves its list without a selection, and closing
    // then keeps the value instead of storing garbage.
    SerialSettings settings{600, '8', 'X', '1'};
    EXPECT_EQ(EscapeListSelection(settings, IDC_BAUD_RATE), -1);
    EXPECT_EQ(EscapeListSelection(settings, IDC_PARITY), -1);
    StoreEscapeSelection(settings, IDC_BAUD_RATE, -1);
    StoreEscapeSelection(settings, IDC_PARITY, -1);
    StoreEscapeSelection(settings, IDC_STOP_BITS, 1);
    EXPECT_EQ(settings, (SerialSettings{600, '8', 'X', '2'}));

    // Each list stores into its own field, by the item's integer.
    StoreEscapeSelection(settings, IDC_BAUD_RATE, 4);
    StoreEscapeSelection(settings, IDC_DATA_BITS, 0);
    StoreEscapeSelection(settings, IDC_PARITY, 1);
    EXPECT_EQ(settings, (SerialSettings{19200, '7', 'E', '2'}));
    const int chosen[] = {4, 0, 1, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(EscapeListSelection(settings, lists[i]), chosen[i]);
}

TEST(MenuRules, DeviceCommandsFollowTheDeviceTheRestAreFixed) {
    struct Row {
        int id;
        bool withoutDevice;
        bool withDevice;
    };
    const Row rows[] = {
        {ID_TOOLS_INITIALIZE, false, true},
        {ID_MODE_TRANSPARENT_MASTER, false, true},
        {ID_MODE_TRANSPARENT_SLAVE, false, true},
        {ID_MODE_CANCEL_TRANSPARENT, false, true},
        {ID_MODE_ESCAPE_TRANSPARENT, true, true},
        {ID_APP_ABOUT, true, true},
        {ID_APP_EXIT, true, true},
        {ID_FILE_NEW_, false, false},
        {ID_FILE_OPEN_, false, true},
        {ID_FILE_SAVE_, false, true},
        {ID_FILE_SAVE_AS_, false, true},
        {ID_FILE_PRINT_, false, false},
        {ID_FILE_PRINT_PREVIEW_, false, false},
        {ID_FILE_PRINT_SETUP_, false, false},
        {ID_FILE_MRU_FILE1, false, false},
        {ID_EDIT_UNDO, false, false},
        {ID_EDIT_CUT, false, false},
        {ID_EDIT_COPY, false, false},
        {ID_EDIT_PASTE, false, false},
        {32775, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(IsMenuCommandEnabled(row.id, false), row.withoutDevice);
        EXPECT_EQ(IsMenuCommandEnabled(row.id, true), row.withDevice);
    }
}

// The texts both front-ends build the form and the menu bar from: every caption
// and label of form 101 in table order, and every item of the menu bar.
TEST(FormTexts, FormCaptionsAndMenuBarAsDocumented) {
    std::vector<std::string> captions;
    for (const KvFormControl& c : KvFormControls()) {
        if (c.id == -1 || c.kind == KvFormKind::Button || c.id == IDC_GUIDE || c.id == IDC_SERIAL_NUMBER ||
            c.id == IDC_VERSION)
            captions.push_back(c.text);
    }
    const std::vector<std::string> form = {"操作ガイド",
                                           "基本設定",
                                           "シリアル通信設定",
                                           "I/Oピン機能設定",
                                           "使用COMポート：",
                                           "ヘルプメッセージ",
                                           "製造番号：",
                                           "000000000",
                                           "バージョン：",
                                           "0.00.000",
                                           "周波数：",
                                           "MHｚ",
                                           "アドレス：",
                                           "(0～9999)",
                                           "通信速度：",
                                           "bps",
                                           "データ長：",
                                           "ビット",
                                           "パリティ：",
                                           "ストップビット：",
                                           "ビット",
                                           "I/O 1-2",
                                           "I/O 3-4",
                                           "I/O 5-6",
                                           "I/O 7-8",
                                           "スキャン",
                                           "設定"};
    EXPECT_EQ(captions, form);

    std::vector<std::string> menu;
    for (const KvMenuEntry& e : KvMenuBar()) {
        std::string item = std::string(static_cast<std::size_t>(e.level), '>') + (e.text ? e.text : "----");
        if (e.shortcut) item += std::string("\t") + e.shortcut;
        // Appended in two steps: mingw's GCC 12 warns of a false overlap in " " + string.
        if (e.command != 0) item.append(" ").append(std::to_string(e.command));
        menu.push_back(item);
    }
    const std::vector<std::string> bar = {"ファイル(&F)",
                                          ">新規作成(&N)\tCtrl+N 32780",
                                          ">開く(&O)...\tCtrl+O 32781",
                                          ">上書き保存(&S)\tCtrl+S 32782",
                                          ">名前を付けて保存(&A)... 32783",
                                          ">----",
                                          ">印刷(&P)...\tCtrl+P 32784",
                                          ">印刷ﾌﾟﾚﾋﾞｭｰ(&V) 32785",
                                          ">ﾌﾟﾘﾝﾀの設定(&R)... 32786",
                                          ">----",
                                          ">最近使ったﾌｧｲﾙ 57616",
                                          ">----",
                                          ">Tarnik設定ユーティリティの終了(&X) 57665",
                                          "編集(&E)",
                                          ">元に戻す(&U)\tCtrl+Z 57643",
                                          ">----",
                                          ">切り取り(&T)\tCtrl+X 57635",
                                          ">ｺﾋﾟｰ(&C)\tCtrl+C 57634",
                                          ">貼り付け(&P)\tCtrl+V 57637",
                                          "ツール(&T)",
                                          ">初期化... 32774",
                                          ">動作モード",
                                          ">>透過モード（マスター）に設定... 32776",
                                          ">>透過モード（スレーブ）に設定... 32777",
                                          ">>透過モード設定を取り消す... 32778",
                                          ">>----",
                                          ">>透過モード脱出 32787",
                                          "ヘルプ(&H)",
                                          ">Tarnik設定ユーティリティのバージョン情報(&A)... 57664"};
    EXPECT_EQ(menu, bar);
}
