#include "MessageDialogs.h"

#include "ResourceIds.h"

namespace {

const QString kCheckCaption = QStringLiteral("以下を確認してください");

// Dialogs 142 and 143 differ only in their headline and the forced address.
QStringList TransparentModeLines(const QString& addressLine)
{
    return {QStringLiteral("・周波数とシリアル通信設定が完了していることを確認してください。"),
            QStringLiteral("これらの設定は、マスターとスレーブで同一にする必要があります。"),
            QStringLiteral("・透過モードには、Tarnik装置の電源再投入時に切り替わります。"),
            QStringLiteral("電源再投入前なら、｢ツール」メニューの「動作モード」→「標準モードに戻す...」コマンド、または「ツール」メニューの「初期化...」コマンドで取り消すことができます。"),
            QStringLiteral("・すでに透過モードに移行したTarnik装置を通常動作に戻したい場合は、「ツール」メニューの「動作モード」→「透過モード脱出」を実行してください。"),
            addressLine};
}

}  // namespace

COpenErrorDlg::COpenErrorDlg(QWidget* owner) : CLayoutDlg(IDD_OPEN_ERROR, owner)
{
    setWindowTitle(QStringLiteral("シリアル通信エラー"));
    AddHeadline({QStringLiteral("シリアルポートを開けません。")});
    AddGroup(kCheckCaption, {QStringLiteral("・Tarnik装置が接続されているCOMポートを正しく選択していますか?"),
                             QStringLiteral("【USB接続のTarnik製品の場合】　割り当てられているCOMポート番号を「デバイスマネージャ」で確認してください。"),
                             QStringLiteral("・ほかのアプリケーションが同じCOMポートをすでに使用していませんか?")});
    AddButton(IDOK, QStringLiteral("OK"));
    FinishLayout(247, 135);
}

CCommErrorDlg::CCommErrorDlg(QWidget* owner) : CLayoutDlg(IDD_COMM_ERROR, owner)
{
    setWindowTitle(QStringLiteral("シリアル通信エラー"));
    AddHeadline({QStringLiteral("Tarnik装置との通信でエラーが発生しました。")});
    AddGroup(kCheckCaption, {QStringLiteral("・Tarnik装置の電源は投入されていますか?"),
                             QStringLiteral("・通信ケーブルは確実に接続されていますか?"),
                             QStringLiteral("【PX-300、評価キットの場合】接続にはクロスケーブルを使用してください。"),
                             QStringLiteral("・別のTarnik装置につなぎ変えていませんか?"),
                             QStringLiteral("このユーティリティを起動したまま別のTarnik装置につなぎ変えた場合は「スキャン」を実行してください。")});
    AddButton(IDOK, QStringLiteral("OK"));
    FinishLayout(259, 175);
}

CSetConfirmDlg::CSetConfirmDlg(QWidget* owner) : CLayoutDlg(IDD_SET_CONFIRM, owner)
{
    setWindowTitle(QStringLiteral("設定の確認"));
    AddHeadline({QStringLiteral("Tarnik装置の設定を変更します。"),
                 QStringLiteral("変更内容は設定操作後にすぐに反映されます。")});
    AddButton(IDOK, QStringLiteral("設定"));
    AddButton(IDCANCEL, QStringLiteral("キャンセル"));
    FinishLayout(191, 77);
}

CSetErrorDlg::CSetErrorDlg(QWidget* owner) : CLayoutDlg(IDD_SET_ERROR, owner)
{
    setWindowTitle(QStringLiteral("設定エラー"));
    AddHeadline({QStringLiteral("設定中にTarnik装置との通信でエラーが発生しました。")});
    AddGroup(kCheckCaption, {QStringLiteral("・Tarnik装置の電源は投入されていますか?"),
                             QStringLiteral("・通信ケーブルは確実に接続されていますか?"),
                             QStringLiteral("【PX-300、評価キットの場合】接続にはクロスケーブルを使用してください。")});
    AddLines({QStringLiteral("設定が不完全な状態になっている可能性があります。"),
              QStringLiteral("Tarnik装置との接続を確認後、再度設定操作してうまくいかない場合は「スキャン」を実行してください。")});
    AddButton(IDOK, QStringLiteral("OK"));
    FinishLayout(258, 179);
}

CSetDoneDlg::CSetDoneDlg(QWidget* owner) : CLayoutDlg(IDD_SET_DONE, owner)
{
    setWindowTitle(QStringLiteral("設定完了"));
    AddHeadline({QStringLiteral("設定を変更しました。")});
    AddGroup(QString(), {QStringLiteral("・「再読み込み」をクリックすると、設定ウィンドウの内容はTarnik装置から読み出した値に更新されます。"),
                         QStringLiteral("・「閉じる」をクリックすると、そのまま設定ウィンドウに戻ります。"),
                         QStringLiteral("このまま別のTarnik装置の設定を変更したい場合は「閉じる」をクリックし、Tarnik装置をつなぎ変えたあと設定ウィンドウで「スキャン」を実行してください。")});
    AddButton(IDOK, QStringLiteral("再読み込み"));
    AddButton(IDCANCEL, QStringLiteral("閉じる"));
    FinishLayout(209, 147);
}

CInitConfirmDlg::CInitConfirmDlg(QWidget* owner) : CLayoutDlg(IDD_INIT_CONFIRM, owner)
{
    setWindowTitle(QStringLiteral("設定初期化の確認"));
    AddHeadline({QStringLiteral("Tarnik装置の設定を工場出荷時の状態に戻します。")});
    AddGroup(QString(), {QStringLiteral("・「初期化」をクリックするとすべての設定が工場出荷時の状態に戻ります。"),
                         QStringLiteral("・初期化完了後、自動的に設定を再読み込みします。")});
    AddButton(IDOK, QStringLiteral("初期化"));
    AddButton(IDCANCEL, QStringLiteral("キャンセル"));
    FinishLayout(239, 113);
}

CMasterModeDlg::CMasterModeDlg(QWidget* owner) : CLayoutDlg(IDD_MASTER_MODE, owner)
{
    setWindowTitle(QStringLiteral("透過モード（マスター）への移行"));
    AddHeadline({QStringLiteral("このTarnik装置を透過モードのマスター機として設定します。")});
    AddGroup(QString(), TransparentModeLines(QStringLiteral("・このTarnik装置のアドレスは強制的に0に設定されます。")));
    AddButton(IDOK, QStringLiteral("マスター機として設定"));
    AddButton(IDCANCEL, QStringLiteral("キャンセル"));
    FinishLayout(290, 177);
}

CSlaveModeDlg::CSlaveModeDlg(QWidget* owner) : CLayoutDlg(IDD_SLAVE_MODE, owner)
{
    setWindowTitle(QStringLiteral("透過モード（スレーブ）への移行"));
    AddHeadline({QStringLiteral("このTarnik装置を透過モードのスレーブ機として設定します。")});
    AddGroup(QString(), TransparentModeLines(QStringLiteral("・このTarnik装置のアドレスは強制的に1に設定されます。")));
    AddButton(IDOK, QStringLiteral("スレーブ機として設定"));
    AddButton(IDCANCEL, QStringLiteral("キャンセル"));
    FinishLayout(290, 177);
}

CStandardModeDlg::CStandardModeDlg(QWidget* owner) : CLayoutDlg(IDD_STANDARD_MODE, owner)
{
    setWindowTitle(QStringLiteral("標準モードへ移行"));
    AddHeadline({QStringLiteral("このTarnik装置の動作モードを標準（パケットモード）に戻します。")});
    AddGroup(QString(), {QStringLiteral("・すでに透過モードで動作しているTarnik装置を、ここで標準モードに戻すことはできません。"),
                         QStringLiteral("「キャンセル」をクリックし、「ツール」メニューから「動作モード」→「透過モード脱出..」を実行してください。"),
                         QStringLiteral("・透過モードに設定されたTarnik装置は、アドレスが強制的に0または1に設定されています。正しい値に再設定してください。")});
    AddButton(IDOK, QStringLiteral("標準モードに戻す"));
    AddButton(IDCANCEL, QStringLiteral("キャンセル"));
    FinishLayout(275, 145);
}

CEscapeDoneDlg::CEscapeDoneDlg(QWidget* owner) : CLayoutDlg(IDD_ESCAPE_DONE, owner)
{
    setWindowTitle(QStringLiteral("透過モード脱出完了"));
    AddHeadline({QStringLiteral("透過モードから脱出しました。")});
    AddGroup(QString(), {QStringLiteral("・「閉じる」をクリックすると、設定ウィンドウの内容はTarnik装置から読み出した値に更新されます。"),
                         QStringLiteral("・再び透過モードで動作させたい場合は、このダイアログを閉じてから、「ツール」メニューの「動作モード」で、透過モードに設定してください。"),
                         QStringLiteral("・標準モードで使用する場合は、アドレスの設定を確認してください。")});
    AddButton(IDOK, QStringLiteral("閉じる"));
    FinishLayout(257, 149);
}

CEscapeFailedDlg::CEscapeFailedDlg(QWidget* owner) : CLayoutDlg(IDD_ESCAPE_FAILED, owner)
{
    setWindowTitle(QStringLiteral("透過モード脱出失敗"));
    AddHeadline({QStringLiteral("透過モードからの脱出に失敗しました。")});
    AddGroup(kCheckCaption, {QStringLiteral("・Tarnik装置の電源を再投入し、30秒以内に「透過モード脱出」を実行しましたか?"),
                             QStringLiteral("・シリアル通信設定に誤りがありませんか?"),
                             QStringLiteral("Tarnik装置のシリアル通信設定が不明の場合は、装置のハードリセットをお勧めします。")});
    AddButton(IDOK, QStringLiteral("再試行"));
    AddButton(IDCANCEL, QStringLiteral("閉じる"));
    FinishLayout(226, 131);
}
