// The File menu's profile commands of the settings form: 開く..., 上書き保存 and
// 名前を付けて保存.... The file and its checks are the command line's own
// (kv_profile); this decides what they do to the window.
#include <string>

#include "CFormView.h"
#include "CSettingsForm.h"
#include "CVelmoraDoc.h"
#include "FormLists.h"
#include "ProfileFile.h"
#include "ResourceIds.h"
#include "WorkflowHost.h"

namespace {

// The first lines of the message boxes; the problem follows on the next line.
constexpr char kOpenFailed[] = "プロファイルを読み込めませんでした。";
constexpr char kSaveFailed[] = "プロファイルを保存できませんでした。";

}  // namespace

void CSettingsForm::OnFileOpen() {
    if (!doc_.HasDevice()) return;
    const std::optional<std::string> path = view_.AskProfileToOpen();
    if (path) OpenProfile(*path);
}

void CSettingsForm::OpenProfile(const std::string& path) {
    if (!doc_.HasDevice()) return;
    std::string text;
    std::string problem = ReadSmallFile(path, kProfileMaxBytes, "a profile is a small JSON file", text);
    SettingValues values;
    if (problem.empty()) {
        problem = ParseProfile(text, values);
        if (!problem.empty()) problem = path + ": " + problem;
    }
    if (!problem.empty()) {
        view_.ShowProblem(std::string(kOpenFailed) + "\n" + problem);
        return;
    }

    // The values are checked: every one has its item in its list.
    auto select = [this](int listId, const std::optional<int>& value) {
        if (value) view_.SetListSelection(listId, FindItemByData(listId, *value));
    };
    if (values.address && !doc_.addressLocked) view_.SetControlText(IDC_ADDRESS, std::to_string(*values.address));
    if (values.channel) view_.SetListSelection(IDC_FREQUENCY, *values.channel);
    select(IDC_BAUD_RATE, values.baudRate);
    select(IDC_DATA_BITS, values.dataBits);
    select(IDC_PARITY, values.parity);
    select(IDC_STOP_BITS, values.stopBits);
    if (values.pins && !doc_.pinFunctionsFixed && doc_.GetOperatingMode(true) == 0) {
        for (std::size_t i = 0; i < 4; ++i) select(kPinListIds[i], static_cast<unsigned char>((*values.pins)[i]));
    }
    profilePath_ = path;
    // As after the user's own changes: nothing is written until 設定.
    ShowGuide(IDS_GUIDE_EDIT);
}

SettingValues CSettingsForm::ProfileFromControls() const {
    SettingValues values;
    int address = 0;
    if (ParseAddressText(view_.GetControlText(IDC_ADDRESS), address)) values.address = address;
    const int frequency = view_.GetListSelection(IDC_FREQUENCY);
    if (frequency >= 0) values.channel = frequency;
    auto selected = [this](int listId, std::optional<int>& out) {
        const int value = ItemData(listId, view_.GetListSelection(listId));
        if (value >= 0) out = value;
    };
    selected(IDC_BAUD_RATE, values.baudRate);
    selected(IDC_DATA_BITS, values.dataBits);
    selected(IDC_PARITY, values.parity);
    selected(IDC_STOP_BITS, values.stopBits);
    std::string pins;
    for (int id : kPinListIds) {
        const int value = ItemData(id, view_.GetListSelection(id));
        if (value >= 0) pins += static_cast<char>(value);
    }
    // The pins go as the four functions together or not at all.
    if (pins.size() == 4) values.pins = pins;
    return values;
}

bool CSettingsForm::SaveProfile(const std::string& path) {
    const std::string problem = WriteFileReplacing(path, ProfileJson(ProfileFromControls()).dump(2) + "\n");
    if (!problem.empty()) {
        view_.ShowProblem(std::string(kSaveFailed) + "\n" + problem);
        return false;
    }
    profilePath_ = path;
    return true;
}

void CSettingsForm::OnFileSave() { SaveCommand(profilePath_.empty()); }

void CSettingsForm::OnFileSaveAs() { SaveCommand(true); }

void CSettingsForm::SaveCommand(bool askForName) {
    if (!doc_.HasDevice()) return;
    int address = 0;
    if (!ParseAddressText(view_.GetControlText(IDC_ADDRESS), address)) {
        host_.ShowMessage(IDS_BAD_ADDRESS);
        return;
    }
    std::string path = profilePath_;
    if (askForName) {
        const std::optional<std::string> chosen = view_.AskProfileToSave(profilePath_);
        if (!chosen) return;
        path = *chosen;
    }
    SaveProfile(path);
}
