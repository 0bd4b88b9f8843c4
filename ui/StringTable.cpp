#include "StringTable.h"

#include "ResourceIds.h"

namespace {

struct StringEntry {
    int id;
    const char* text;  // UTF-8
};

constexpr StringEntry kStrings[] = {
    {ID_TOOLS_INITIALIZE, "Tarnik装置の設定を初期化し、工場出荷時の状態に戻します。"},
    {ID_MODE_TRANSPARENT_MASTER, "Tarnik装置を透過モード（マスター）に切り替えます。"},
    {ID_MODE_TRANSPARENT_SLAVE, "Tarnik装置を透過モード（スレーブ）に切り替えます。"},
    {ID_MODE_CANCEL_TRANSPARENT,
     "透過モードの設定を取り消します。「透過モード（マスター／スレーブ）に設定...」コマンドの実行後、"
     "装置の電源再投入前でのみ機能します。"},
    {ID_MODE_ESCAPE_TRANSPARENT, "すでに透過モードで動作しているTarnik装置を標準モードに戻します。"},
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

}  // namespace

QString LoadKvString(int id)
{
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) return QString::fromUtf8(entry.text);
    }
    return QString();
}
