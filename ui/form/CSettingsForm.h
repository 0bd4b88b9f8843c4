#pragma once
#include <optional>
#include <string>
#include <vector>

#include "KvProfile.h"
#include "SerialSettings.h"

class CFormView;
class CVelmoraDoc;
class WorkflowHost;

// The settings window (form 101) without its toolkit: what each control shows,
// which controls are enabled, the guide line, the checks and record updates of
// 設定, the order of dialogs in every command and the escape loop with its
// remembered choice. A front-end creates the widgets, implements CFormView on
// them, and hands every button and Tools command to the On... handlers here.
//
// The form keeps no settings of its own: it pulls every value through the
// document's getters and pushes the controls into the document's settings
// record just before a workflow runs. Modal dialogs and messages go through
// the same WorkflowHost the document uses.
//
// No exception of the program's own families leaves a handler or a refresh:
// the workflows report their failures themselves, and a refresh whose live
// serial-number query fails shows the communication-error dialog (137) and
// leaves the window as it was.
class CSettingsForm {
public:
    CSettingsForm(CVelmoraDoc& document, WorkflowHost& host, CFormView& view);
    CSettingsForm(const CSettingsForm&) = delete;
    CSettingsForm& operator=(const CSettingsForm&) = delete;

    CVelmoraDoc& GetDocument() const { return doc_; }

    // The form is created: the lists get their texts (the COM port list the
    // names the front-end offers, "COM1" first and selected; the fixed lists
    // from FormLists.h, nothing selected). The frequency list stays empty until
    // the initial update.
    void CreateControls(const std::vector<std::string>& portNames);

    // The initial update: refresh once (no device yet), fit the frame to the
    // form, fill the frequency list with its 76 channels, limit the address
    // edit to 4 characters.
    void FillControlLists();

    // Run on every update notification of the document. Without a device: the
    // scan guide and the setting controls disabled; values and notes stay.
    // With one: every value from the document, the notes, the controls enabled
    // as EnableSettingControls decides. In both cases the port list selects the
    // document's port name (letter case ignored) when it offers it.
    void RefreshFromDocument();

    // Set button, serial number, frequency and line lists follow `enable`; the
    // address edit also needs the address unlocked; the pin lists also need
    // pin functions that are not fixed and the stored operating mode standard.
    // Scan, the port list, the version, the guide and the notes are never
    // touched.
    void EnableSettingControls(bool enable);

    // The controls into the document's settings record (not the address, see
    // OnSet): frequency by index, the others by their items' integers, -1 for a
    // list without a selection. Nothing is sent.
    void StoreControlsToDocument();

    // The text of the selected item of the COM port list ("" when none).
    std::string SelectedPortName() const;
    // The names the port list offers, in order (typed ones included).
    const std::vector<std::string>& PortNames() const { return portNames_; }
    // The COM port list offers other names (the devices present have changed):
    // the selected name stays selected when it is still offered, else the
    // first name is.
    void UpdatePortNames(const std::vector<std::string>& portNames);

    // A front-end that can ask for a typed name offers it: the port list
    // then ends with a その他... row after the names.
    void OfferTypedPort() { offerTypedPort_ = true; }
    bool IsTypedPortRow(int index) const { return offerTypedPort_ && index == static_cast<int>(portNames_.size()); }
    // After the その他... row was chosen: a typed name that opens a port joins
    // the list for the rest of the run and is selected. A name that opens no
    // port says so (message 41462); then, as after a cancelled prompt (no
    // name), `previous` is selected again.
    void ChooseTypedPort(const std::optional<std::string>& typed, const std::string& previous);

    // スキャン: the selected port to the document, the window disabled and the
    // wait cursor shown while the search runs; a found device is read at once.
    // A search that ends without a device (nothing found, or the port failed
    // with its error dialog) leaves the form in its no-device state: scan
    // guide, setting controls disabled, last values still shown.
    void OnScan();
    // 設定: without a device nothing is asked or sent and the form shows its
    // no-device state. Otherwise the address is checked (message 41448 and
    // stop when it is not 0 to 9999), dialog 138 confirms, the controls and
    // the address go into the record and WriteSettings runs with the re-read
    // offer (140); "再読み込み" reads the settings again. The guide says
    // 設定完了しました。 only when the write went through and the document still
    // has its device (a failed re-read leaves the scan guide its refresh set).
    void OnSet();
    // Tools commands. Master and slave store the controls into the record
    // first; the workflows ask for their own confirmation. Initialisation
    // asks with dialog 141 and re-reads after a successful INI.
    void OnTransparentMaster();
    void OnTransparentSlave();
    void OnCancelTransparent();
    void OnInitializeDevice();
    // The escape loop: the port is taken once; dialog 148 (OK goes on), the
    // escape with the chosen line settings; success: dialog 151 and a re-read;
    // failure: dialog 152, whose 再試行 opens 148 again (OK: another attempt,
    // Cancel: end) and whose 閉じる ends.
    void OnEscapeTransparent();

    // Profiles, the JSON file of `tarnik read --json` and `write --from`; the
    // three commands do nothing without a device (their menu items are grey).
    //
    // 開く...: the chosen profile fills the controls the window lets the user
    // change; the module is not touched until 設定. A field the profile leaves
    // out keeps what the control shows, and so does a field whose control is
    // disabled (the address while it is locked, the pin functions while they
    // are fixed or locked by a transparent mode). The guide then asks for
    // 設定. A file that cannot be read or fails the profile checks changes
    // nothing in the form and is reported in a message box: a Japanese line,
    // then the problem as the command line reports it.
    void OnFileOpen();
    // 上書き保存: the form's values into the current profile (the one last
    // opened or saved in this run), as 名前を付けて保存... when there is none.
    void OnFileSave();
    // 名前を付けて保存...: the form's values (a list without a selection is
    // left out) into the chosen file, which replaces a file of that name only
    // once it is whole on the disk. An address that is not 0 to 9999 is
    // refused as 設定 refuses it (message 41448), before any dialog.
    void OnFileSaveAs();
    // Opens the profile `path` as 開く... does with a chosen file.
    void OpenProfile(const std::string& path);
    // Writes the form's values as the profile `path`; true when written.
    bool SaveProfile(const std::string& path);
    // The form's values as a profile holds them.
    SettingValues ProfileFromControls() const;
    // The profile last opened or saved ("" none); the run keeps it in memory only.
    const std::string& ProfilePath() const { return profilePath_; }

    // The escape dialog's remembered line settings (start 9600 8N1).
    const SerialSettings& EscapeSettings() const { return escapeSettings_; }

private:
    void ShowGuide(int stringId);
    // 上書き保存 and 名前を付けて保存...; `askForName`: the save dialog chooses the file.
    void SaveCommand(bool askForName);

    CVelmoraDoc& doc_;
    WorkflowHost& host_;
    CFormView& view_;
    void ShowPortNames(const std::string& selected);

    std::vector<std::string> portNames_;
    std::vector<std::string> typedPorts_;
    bool offerTypedPort_ = false;
    SerialSettings escapeSettings_;  // starts at kEscapeStartSettings
    std::string profilePath_;
};
