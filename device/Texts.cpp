#include "Texts.h"

#include "ResourceIds.h"

namespace {

struct StringEntry {
    int id;
    const char* text;
};

const StringEntry kStrings[] = {
    {IDS_GUIDE_SCAN, "「スキャン」をクリックしてTarnik装置を検出してください。"},
    {IDS_GUIDE_EDIT, "必要な項目を変更して「設定」ボタンをクリックしてください。"},
    {IDS_BAD_ADDRESS, "アドレスの値が正しくありません。0～9999の範囲を値を入力してください。"},
    {IDS_SET_DONE, "設定完了しました。"},
    {IDS_DEVICE_NOT_FOUND, "Tarnik装置が見つかりません。"},
    {IDS_MODE_MASTER, "透過モード（マスター）に設定されています。"},
    {IDS_MODE_SLAVE, "透過モード（スレーブ）に設定されています。"},
    {IDS_PINS_LOCKED_TRANSPARENT, "透過モードに設定されたTarnik装置のピン機能は変更できません。"},
    {IDS_PINS_FIXED_MODEL, "このTarnik装置はI／Oピン機能が固定されているモデルです。"},
    {IDS_PORT_OTHER, "その他..."},
    {IDS_PORT_PROMPT, "ポート名（COM3 など）またはデバイスのパス（/dev/ttyUSB0 など）を入力してください。"},
    {IDS_BAD_PORT, "ポート名が正しくありません。COM3 のような名前か、/ で始まるデバイスのパスを入力してください。"},
    {AFX_IDS_APP_TITLE, "Tarnik設定ユーティリティ"},
    {AFX_IDS_IDLEMESSAGE, "「スキャン」をクリックしてTarnik装置を検出してください。"},
    {ID_TOOLS_INITIALIZE, "Tarnik装置の設定を初期化し、工場出荷時の状態に戻します。"},
    {ID_MODE_TRANSPARENT_MASTER, "Tarnik装置を透過モード（マスター）に切り替えます。"},
    {ID_MODE_TRANSPARENT_SLAVE, "Tarnik装置を透過モード（スレーブ）に切り替えます。"},
    {ID_MODE_CANCEL_TRANSPARENT,
     "透過モードの設定を取り消します。「透過モード（マスター／スレーブ）に設定...」コマンドの実行後、"
     "装置の電源再投入前でのみ機能します。"},
    {ID_MODE_ESCAPE_TRANSPARENT, "すでに透過モードで動作しているTarnik装置を標準モードに戻します。"},
};

// Lines shared by several dialogs.
const char kCheckTheFollowing[] = "以下を確認してください";
const char kPowerOn[] = "・Tarnik装置の電源は投入されていますか?";
const char kCable[] = "・通信ケーブルは確実に接続されていますか?";
const char kCrossCable[] = "【PX-300、評価キットの場合】接続にはクロスケーブルを使用してください。";
const char kCancel[] = "キャンセル";

// Dialogs 142 and 143 differ only in their headline, their last line and their button.
KvDialogText TransparentModeDialog(int id, const char* title, const char* headline, const char* addressLine,
                                   const char* button) {
    return {id,
            title,
            {headline},
            "",
            {
                "・周波数とシリアル通信設定が完了していることを確認してください。",
                "これらの設定は、マスターとスレーブで同一にする必要があります。",
                "・透過モードには、Tarnik装置の電源再投入時に切り替わります。",
                "電源再投入前なら、｢ツール」メニューの「動作モード」→「標準モードに戻す..."
                "」コマンド、または「ツール」メニューの「初期化...」コマンドで取り消すことができます。",
                "・すでに透過モードに移行したTarnik装置を通常動作に戻したい場合は、「ツール」メニューの「動作モード」→"
                "「透過モード脱出」を実行してください。",
                addressLine,
            },
            {},
            {{IDOK, button}, {IDCANCEL, kCancel}},
            {0, 0, 290, 177}};
}

const std::vector<KvDialogText>& Dialogs() {
    static const std::vector<KvDialogText> dialogs = {
        {IDD_ABOUTBOX,
         "Tarnik設定ユーティリティのバージョン情報",
         {"Tarnik設定ユーティリティ Version 1.00.03"},
         nullptr,
         {},
         {},
         {{IDOK, "OK"}},
         {0, 0, 235, 55}},
        {IDD_SCAN,
         "Tarnikデバイス検索",
         {"Tarnikデバイスのシリアル通信設定を検出しています..."},
         nullptr,
         {},
         {},
         {{IDCANCEL, kCancel}},
         {42, 73, 187, 85}},
        {IDD_OPEN_ERROR,
         "シリアル通信エラー",
         {"シリアルポートを開けません。"},
         kCheckTheFollowing,
         {
             "・Tarnik装置が接続されているCOMポートを正しく選択していますか?",
             "【USB接続のTarnik製品の場合】　割り当てられているCOMポート番号を「デバイスマネージャ」で確認してください"
             "。",
             "・ほかのアプリケーションが同じCOMポートをすでに使用していませんか?",
         },
         {},
         {{IDOK, "OK"}},
         {0, 0, 247, 135}},
        {IDD_COMM_ERROR,
         "シリアル通信エラー",
         {"Tarnik装置との通信でエラーが発生しました。"},
         kCheckTheFollowing,
         {
             kPowerOn,
             kCable,
             kCrossCable,
             "・別のTarnik装置につなぎ変えていませんか?",
             "このユーティリティを起動したまま別のTarnik装置につなぎ変えた場合は「スキャン」を実行してください。",
         },
         {},
         {{IDOK, "OK"}},
         {0, 0, 259, 175}},
        {IDD_SET_CONFIRM,
         "設定の確認",
         {"Tarnik装置の設定を変更します。", "変更内容は設定操作後にすぐに反映されます。"},
         nullptr,
         {},
         {},
         {{IDOK, "設定"}, {IDCANCEL, kCancel}},
         {0, 0, 191, 77}},
        {IDD_SET_ERROR,
         "設定エラー",
         {"設定中にTarnik装置との通信でエラーが発生しました。"},
         kCheckTheFollowing,
         {kPowerOn, kCable, kCrossCable},
         {
             "設定が不完全な状態になっている可能性があります。",
             "Tarnik装置との接続を確認後、再度設定操作してうまくいかない場合は「スキャン」を実行してください。",
         },
         {{IDOK, "OK"}},
         {0, 0, 258, 179}},
        {IDD_SET_DONE,
         "設定完了",
         {"設定を変更しました。"},
         "",
         {
             "・「再読み込み」をクリックすると、設定ウィンドウの内容はTarnik装置から読み出した値に更新されます。",
             "・「閉じる」をクリックすると、そのまま設定ウィンドウに戻ります。",
             "このまま別のTarnik装置の設定を変更したい場合は「閉じる」をクリックし、Tarnik装置をつなぎ変えたあと設定ウ"
             "ィンドウで「スキャン」を実行してください。",
         },
         {},
         {{IDOK, "再読み込み"}, {IDCANCEL, "閉じる"}},
         {0, 0, 209, 147}},
        {IDD_INIT_CONFIRM,
         "設定初期化の確認",
         {"Tarnik装置の設定を工場出荷時の状態に戻します。"},
         "",
         {
             "・「初期化」をクリックするとすべての設定が工場出荷時の状態に戻ります。",
             "・初期化完了後、自動的に設定を再読み込みします。",
         },
         {},
         {{IDOK, "初期化"}, {IDCANCEL, kCancel}},
         {0, 0, 239, 113}},
        TransparentModeDialog(IDD_MASTER_MODE, "透過モード（マスター）への移行",
                              "このTarnik装置を透過モードのマスター機として設定します。",
                              "・このTarnik装置のアドレスは強制的に0に設定されます。", "マスター機として設定"),
        TransparentModeDialog(IDD_SLAVE_MODE, "透過モード（スレーブ）への移行",
                              "このTarnik装置を透過モードのスレーブ機として設定します。",
                              "・このTarnik装置のアドレスは強制的に1に設定されます。", "スレーブ機として設定"),
        {IDD_STANDARD_MODE,
         "標準モードへ移行",
         {"このTarnik装置の動作モードを標準（パケットモード）に戻します。"},
         "",
         {
             "・すでに透過モードで動作しているTarnik装置を、ここで標準モードに戻すことはできません。",
             "「キャンセル」をクリックし、「ツール」メニューから「動作モード」→「透過モード脱出.."
             "」を実行してください。",
             "・透過モードに設定されたTarnik装置は、アドレスが強制的に0または1に設定されています。正しい値に再設定して"
             "ください。",
         },
         {},
         {{IDOK, "標準モードに戻す"}, {IDCANCEL, kCancel}},
         {0, 0, 275, 145}},
        {IDD_LOADING, "", {"設定を読み込んでいます..."}, nullptr, {}, {}, {}, {55, 85, 159, 61}},
        {IDD_SETTING, "", {"設定中..."}, nullptr, {}, {}, {}, {68, 85, 135, 61}},
        {IDD_INITIALIZING, "", {"初期化中..."}, nullptr, {}, {}, {}, {68, 85, 135, 61}},
        {IDD_ESCAPE,
         "透過モード脱出",
         {"透過モード脱出文字列を送信します。"},
         "",
         {
             "・下の「シリアル通信設定」欄にある各項目を、透過モードを脱出させたいTarnik装置と同じにして下さい。",
             "設定が不明な場合は、装置のハードリセットをお勧めします。",
             "・Tarnik装置の電源を再投入し、30秒以内に「透過モード脱出」ボタンをクリックしてください。",
             "透過モードで動作しているTarnik装置は、電源投入直後の30秒間のみ透過モード脱出文字列を受け付けます。",
         },
         {},
         {{IDOK, "透過モード脱出"}, {IDCANCEL, kCancel}},
         {0, 0, 246, 233}},
        {IDD_ESCAPE_DONE,
         "透過モード脱出完了",
         {"透過モードから脱出しました。"},
         "",
         {
             "・「閉じる」をクリックすると、設定ウィンドウの内容はTarnik装置から読み出した値に更新されます。",
             "・再び透過モードで動作させたい場合は、このダイアログを閉じてから、「ツール」メニューの「動作モード」で、"
             "透過モードに設定してください。",
             "・標準モードで使用する場合は、アドレスの設定を確認してください。",
         },
         {},
         {{IDOK, "閉じる"}},
         {0, 0, 257, 149}},
        {IDD_ESCAPE_FAILED,
         "透過モード脱出失敗",
         {"透過モードからの脱出に失敗しました。"},
         kCheckTheFollowing,
         {
             "・Tarnik装置の電源を再投入し、30秒以内に「透過モード脱出」を実行しましたか?",
             "・シリアル通信設定に誤りがありませんか?",
             "Tarnik装置のシリアル通信設定が不明の場合は、装置のハードリセットをお勧めします。",
         },
         {},
         {{IDOK, "再試行"}, {IDCANCEL, "閉じる"}},
         {0, 0, 226, 131}},
        {IDD_ESCAPING, "", {"透過モード脱出処理中..."}, nullptr, {}, {}, {}, {68, 85, 135, 61}},
    };
    return dialogs;
}

}  // namespace

const char* KvText(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

const KvDialogText* KvDialog(int dialogId) {
    for (const KvDialogText& dialog : Dialogs()) {
        if (dialog.id == dialogId) return &dialog;
    }
    return nullptr;
}

std::vector<int> KvDialogIds() {
    std::vector<int> ids;
    for (const KvDialogText& dialog : Dialogs()) ids.push_back(dialog.id);
    return ids;
}

const char* KvDialogTitle(int dialogId) {
    const KvDialogText* dialog = KvDialog(dialogId);
    return dialog ? dialog->title : nullptr;
}

std::vector<const char*> KvDialogLines(int dialogId) {
    const KvDialogText* dialog = KvDialog(dialogId);
    if (!dialog) return {};
    std::vector<const char*> lines(dialog->headline);
    // A box's caption comes before its lines; a box without caption adds none.
    if (dialog->groupCaption && *dialog->groupCaption) lines.push_back(dialog->groupCaption);
    lines.insert(lines.end(), dialog->groupLines.begin(), dialog->groupLines.end());
    lines.insert(lines.end(), dialog->trailingLines.begin(), dialog->trailingLines.end());
    return lines;
}

std::vector<const char*> KvListTexts(int controlId) {
    static const char* const kPinTexts[] = {"デジタル入力", "デジタル出力", "アナログ入力"};
    switch (controlId) {
    case IDC_BAUD_RATE: return {"1200", "2400", "4800", "9600", "19200", "38400", "57600"};
    case IDC_DATA_BITS: return {"7", "8"};
    case IDC_PARITY: return {"なし", "偶数", "奇数"};
    case IDC_STOP_BITS: return {"1", "2"};
    case IDC_PIN_12:
    case IDC_PIN_34: return {kPinTexts[0], kPinTexts[1], kPinTexts[2]};
    case IDC_PIN_56:
    case IDC_PIN_78: return {kPinTexts[0], kPinTexts[1]};
    default: return {};
    }
}
std::vector<int> KvTextIds() {
    std::vector<int> ids;
    for (const StringEntry& entry : kStrings) ids.push_back(entry.id);
    return ids;
}

const std::vector<KvFormControl>& KvFormControls() {
    using K = KvFormKind;
    using A = KvAlign;
    static const std::vector<KvFormControl> controls = {
        // Boxes first, so that they lie beneath the controls they frame.
        {K::Group, -1, "操作ガイド", 6, 21, 256, 30, A::Left},
        {K::Group, -1, "基本設定", 6, 58, 108, 92, A::Left},
        {K::Group, -1, "シリアル通信設定", kKvLineBoxX, kKvLineBoxY, kKvLineBoxWidth, kKvLineBoxHeight, A::Left},
        {K::Group, -1, "I/Oピン機能設定", 6, 158, 256, 46, A::Left},
        {K::Label, IDC_MODE_NOTE, "", 13, 8, 154, 8, A::Left},
        {K::Label, -1, "使用COMポート：", 171, 8, 50, 8, A::Right},
        {K::List, IDC_COM_PORT, "", 224, 6, 38, 0, A::Left},
        {K::Label, IDC_GUIDE, "ヘルプメッセージ", 13, 34, 241, 8, A::Left},
        {K::Label, -1, "製造番号：", 16, 77, 32, 8, A::Right},
        {K::Label, IDC_SERIAL_NUMBER, "000000000", 51, 77, 32, 8, A::Centre, true},
        {K::Label, -1, "バージョン：", 13, 94, 35, 8, A::Right},
        {K::Label, IDC_VERSION, "0.00.000", 51, 94, 24, 8, A::Centre},
        {K::Label, -1, "周波数：", 23, 112, 25, 8, A::Right},
        {K::List, IDC_FREQUENCY, "", 51, 110, 31, 0, A::Left, true},
        {K::Label, -1, "MHｚ", 85, 112, 14, 8, A::Left},
        {K::Label, -1, "アドレス：", 21, 130, 27, 8, A::Right},
        {K::Edit, IDC_ADDRESS, "", 51, 127, 31, 14, A::Right, true},
        {K::Label, -1, "(0～9999)", 83, 130, 30, 8, A::Left},
        {K::Label, -1, "通信速度：", 149, 77, 36, 8, A::Right},
        {K::List, IDC_BAUD_RATE, "", 189, 74, 34, 0, A::Left, true},
        {K::Label, -1, "bps", 226, 77, 11, 8, A::Left},
        {K::Label, -1, "データ長：", 150, 95, 35, 8, A::Right},
        {K::List, IDC_DATA_BITS, "", 189, 92, 34, 0, A::Left, true},
        {K::Label, -1, "ビット", 226, 95, 16, 8, A::Left},
        {K::Label, -1, "パリティ：", 158, 113, 27, 8, A::Right},
        {K::List, IDC_PARITY, "", 189, 110, 34, 0, A::Left, true},
        {K::Label, -1, "ストップビット：", 141, 130, 44, 8, A::Right},
        {K::List, IDC_STOP_BITS, "", 189, 128, 34, 0, A::Left, true},
        {K::Label, -1, "ビット", 226, 130, 16, 8, A::Left},
        {K::Label, -1, "I/O 1-2", 33, 168, 30, 8, A::Left},
        {K::Label, -1, "I/O 3-4", 93, 168, 30, 8, A::Left},
        {K::Label, -1, "I/O 5-6", 153, 168, 30, 8, A::Left},
        {K::Label, -1, "I/O 7-8", 213, 168, 30, 8, A::Left},
        {K::List, IDC_PIN_12, "", 17, 180, 55, 0, A::Left, true},
        {K::List, IDC_PIN_34, "", 77, 180, 55, 0, A::Left, true},
        {K::List, IDC_PIN_56, "", 137, 180, 55, 0, A::Left, true},
        {K::List, IDC_PIN_78, "", 197, 180, 55, 0, A::Left, true},
        {K::Label, IDC_PIN_NOTE, "", 13, 208, 247, 8, A::Left},
        {K::Button, IDC_SCAN, "スキャン", 6, 224, 49, 14, A::Centre},
        {K::Button, IDC_SET, "設定", 213, 224, 49, 14, A::Centre, true},
    };
    return controls;
}

const std::vector<KvMenuEntry>& KvMenuBar() {
    static const std::vector<KvMenuEntry> menu = {
        {0, 0, "ファイル(&F)", nullptr},
        {1, ID_FILE_NEW_, "新規作成(&N)", "Ctrl+N"},
        {1, ID_FILE_OPEN_, "開く(&O)...", "Ctrl+O"},
        {1, ID_FILE_SAVE_, "上書き保存(&S)", "Ctrl+S"},
        {1, ID_FILE_SAVE_AS_, "名前を付けて保存(&A)...", nullptr},
        {1, 0, nullptr, nullptr},
        {1, ID_FILE_PRINT_, "印刷(&P)...", "Ctrl+P"},
        {1, ID_FILE_PRINT_PREVIEW_, "印刷ﾌﾟﾚﾋﾞｭｰ(&V)", nullptr},
        {1, ID_FILE_PRINT_SETUP_, "ﾌﾟﾘﾝﾀの設定(&R)...", nullptr},
        {1, 0, nullptr, nullptr},
        {1, ID_FILE_MRU_FILE1, "最近使ったﾌｧｲﾙ", nullptr},
        {1, 0, nullptr, nullptr},
        {1, ID_APP_EXIT, "Tarnik設定ユーティリティの終了(&X)", nullptr},
        {0, 0, "編集(&E)", nullptr},
        {1, ID_EDIT_UNDO, "元に戻す(&U)", "Ctrl+Z"},
        {1, 0, nullptr, nullptr},
        {1, ID_EDIT_CUT, "切り取り(&T)", "Ctrl+X"},
        {1, ID_EDIT_COPY, "ｺﾋﾟｰ(&C)", "Ctrl+C"},
        {1, ID_EDIT_PASTE, "貼り付け(&P)", "Ctrl+V"},
        {0, 0, "ツール(&T)", nullptr},
        {1, ID_TOOLS_INITIALIZE, "初期化...", nullptr},
        {1, 0, "動作モード", nullptr},
        {2, ID_MODE_TRANSPARENT_MASTER, "透過モード（マスター）に設定...", nullptr},
        {2, ID_MODE_TRANSPARENT_SLAVE, "透過モード（スレーブ）に設定...", nullptr},
        {2, ID_MODE_CANCEL_TRANSPARENT, "透過モード設定を取り消す...", nullptr},
        {2, 0, nullptr, nullptr},
        {2, ID_MODE_ESCAPE_TRANSPARENT, "透過モード脱出", nullptr},
        {0, 0, "ヘルプ(&H)", nullptr},
        {1, ID_APP_ABOUT, "Tarnik設定ユーティリティのバージョン情報(&A)...", nullptr},
    };
    return menu;
}

const KvDemoMenuText& KvDemoMenu() {
    static const KvDemoMenuText demo = {"デモ", "モジュールの電源を入れ直す"};
    return demo;
}

const char* KvPublisherNotice() { return "Copyright (C) 2026 Tarnik developers"; }

const KvPortFailureWords& KvPortFailureTexts() {
    static const KvPortFailureWords words{"開けません", "装置が取り外されました", "使用中のプログラム："};
    return words;
}
