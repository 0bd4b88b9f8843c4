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
    {AFX_IDS_APP_TITLE, "Tarnik設定ユーティリティ"},
    {AFX_IDS_IDLEMESSAGE, "「スキャン」をクリックしてTarnik装置を検出してください。"},
};

// Lines shared by several dialogs.
const char kCheckTheFollowing[] = "以下を確認してください";
const char kPowerOn[] = "・Tarnik装置の電源は投入されていますか?";
const char kCable[] = "・通信ケーブルは確実に接続されていますか?";
const char kCrossCable[] = "【PX-300、評価キットの場合】接続にはクロスケーブルを使用してください。";

// Dialogs 142 and 143 differ only in their headline and their last line.
std::vector<const char*> TransparentModeLines(const char* headline, const char* addressLine) {
    return {
        headline,
        "・周波数とシリアル通信設定が完了していることを確認してください。",
        "これらの設定は、マスターとスレーブで同一にする必要があります。",
        "・透過モードには、Tarnik装置の電源再投入時に切り替わります。",
        "電源再投入前なら、｢ツール」メニューの「動作モード」→「標準モードに戻す...」コマンド、または「ツール」メニューの「初期化...」コマンドで取り消すことができます。",
        "・すでに透過モードに移行したTarnik装置を通常動作に戻したい場合は、「ツール」メニューの「動作モード」→「透過モード脱出」を実行してください。",
        addressLine,
    };
}

}  // namespace

const char* KvText(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

const char* KvDialogTitle(int dialogId) {
    switch (dialogId) {
        case IDD_ABOUTBOX: return "Tarnik設定ユーティリティのバージョン情報";
        case IDD_SCAN: return "Tarnikデバイス検索";
        case IDD_OPEN_ERROR: return "シリアル通信エラー";
        case IDD_COMM_ERROR: return "シリアル通信エラー";
        case IDD_SET_CONFIRM: return "設定の確認";
        case IDD_SET_ERROR: return "設定エラー";
        case IDD_SET_DONE: return "設定完了";
        case IDD_INIT_CONFIRM: return "設定初期化の確認";
        case IDD_MASTER_MODE: return "透過モード（マスター）への移行";
        case IDD_SLAVE_MODE: return "透過モード（スレーブ）への移行";
        case IDD_STANDARD_MODE: return "標準モードへ移行";
        case IDD_LOADING:
        case IDD_SETTING:
        case IDD_INITIALIZING:
        case IDD_ESCAPING: return "";
        case IDD_ESCAPE: return "透過モード脱出";
        case IDD_ESCAPE_DONE: return "透過モード脱出完了";
        case IDD_ESCAPE_FAILED: return "透過モード脱出失敗";
        default: return nullptr;
    }
}

std::vector<const char*> KvDialogLines(int dialogId) {
    switch (dialogId) {
        case IDD_ABOUTBOX: return {"Tarnik設定ユーティリティ Version 1.00.03"};
        case IDD_SCAN: return {"Tarnikデバイスのシリアル通信設定を検出しています..."};
        case IDD_OPEN_ERROR:
            return {
                "シリアルポートを開けません。",
                kCheckTheFollowing,
                "・Tarnik装置が接続されているCOMポートを正しく選択していますか?",
                "【USB接続のTarnik製品の場合】　割り当てられているCOMポート番号を「デバイスマネージャ」で確認してください。",
                "・ほかのアプリケーションが同じCOMポートをすでに使用していませんか?",
            };
        case IDD_COMM_ERROR:
            return {
                "Tarnik装置との通信でエラーが発生しました。",
                kCheckTheFollowing,
                kPowerOn,
                kCable,
                kCrossCable,
                "・別のTarnik装置につなぎ変えていませんか?",
                "このユーティリティを起動したまま別のTarnik装置につなぎ変えた場合は「スキャン」を実行してください。",
            };
        case IDD_SET_CONFIRM:
            return {"Tarnik装置の設定を変更します。", "変更内容は設定操作後にすぐに反映されます。"};
        case IDD_SET_ERROR:
            return {
                "設定中にTarnik装置との通信でエラーが発生しました。",
                kCheckTheFollowing,
                kPowerOn,
                kCable,
                kCrossCable,
                "設定が不完全な状態になっている可能性があります。",
                "Tarnik装置との接続を確認後、再度設定操作してうまくいかない場合は「スキャン」を実行してください。",
            };
        case IDD_SET_DONE:
            return {
                "設定を変更しました。",
                "・「再読み込み」をクリックすると、設定ウィンドウの内容はTarnik装置から読み出した値に更新されます。",
                "・「閉じる」をクリックすると、そのまま設定ウィンドウに戻ります。",
                "このまま別のTarnik装置の設定を変更したい場合は「閉じる」をクリックし、Tarnik装置をつなぎ変えたあと設定ウィンドウで「スキャン」を実行してください。",
            };
        case IDD_INIT_CONFIRM:
            return {
                "Tarnik装置の設定を工場出荷時の状態に戻します。",
                "・「初期化」をクリックするとすべての設定が工場出荷時の状態に戻ります。",
                "・初期化完了後、自動的に設定を再読み込みします。",
            };
        case IDD_MASTER_MODE:
            return TransparentModeLines("このTarnik装置を透過モードのマスター機として設定します。",
                                        "・このTarnik装置のアドレスは強制的に0に設定されます。");
        case IDD_SLAVE_MODE:
            return TransparentModeLines("このTarnik装置を透過モードのスレーブ機として設定します。",
                                        "・このTarnik装置のアドレスは強制的に1に設定されます。");
        case IDD_STANDARD_MODE:
            return {
                "このTarnik装置の動作モードを標準（パケットモード）に戻します。",
                "・すでに透過モードで動作しているTarnik装置を、ここで標準モードに戻すことはできません。",
                "「キャンセル」をクリックし、「ツール」メニューから「動作モード」→「透過モード脱出..」を実行してください。",
                "・透過モードに設定されたTarnik装置は、アドレスが強制的に0または1に設定されています。正しい値に再設定してください。",
            };
        case IDD_LOADING: return {"設定を読み込んでいます..."};
        case IDD_SETTING: return {"設定中..."};
        case IDD_INITIALIZING: return {"初期化中..."};
        case IDD_ESCAPE:
            return {
                "透過モード脱出文字列を送信します。",
                "・下の「シリアル通信設定」欄にある各項目を、透過モードを脱出させたいTarnik装置と同じにして下さい。",
                "設定が不明な場合は、装置のハードリセットをお勧めします。",
                "・Tarnik装置の電源を再投入し、30秒以内に「透過モード脱出」ボタンをクリックしてください。",
                "透過モードで動作しているTarnik装置は、電源投入直後の30秒間のみ透過モード脱出文字列を受け付けます。",
            };
        case IDD_ESCAPE_DONE:
            return {
                "透過モードから脱出しました。",
                "・「閉じる」をクリックすると、設定ウィンドウの内容はTarnik装置から読み出した値に更新されます。",
                "・再び透過モードで動作させたい場合は、このダイアログを閉じてから、「ツール」メニューの「動作モード」で、透過モードに設定してください。",
                "・標準モードで使用する場合は、アドレスの設定を確認してください。",
            };
        case IDD_ESCAPE_FAILED:
            return {
                "透過モードからの脱出に失敗しました。",
                kCheckTheFollowing,
                "・Tarnik装置の電源を再投入し、30秒以内に「透過モード脱出」を実行しましたか?",
                "・シリアル通信設定に誤りがありませんか?",
                "Tarnik装置のシリアル通信設定が不明の場合は、装置のハードリセットをお勧めします。",
            };
        case IDD_ESCAPING: return {"透過モード脱出処理中..."};
        default: return {};
    }
}
