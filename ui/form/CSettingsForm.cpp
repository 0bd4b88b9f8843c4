#include "CSettingsForm.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "CFormView.h"
#include "CVelmoraDoc.h"
#include "EscapeForm.h"
#include "FormLists.h"
#include "KvExceptions.h"
#include "KvPortName.h"
#include "ResourceIds.h"
#include "StepFailure.h"
#include "Texts.h"
#include "WorkflowHost.h"

namespace {

constexpr int kAddressDigits = 4;

// The line lists and the frequency list: what EnableSettingControls switches
// along with the Set button and the serial number.
constexpr int kValueControls[] = {IDC_SET,    IDC_SERIAL_NUMBER, IDC_FREQUENCY, IDC_BAUD_RATE,
                                  IDC_PARITY, IDC_STOP_BITS,     IDC_DATA_BITS};

// The fixed lists the form loads when it is created, pin lists in pin-pair order.
constexpr int kFixedLists[] = {IDC_BAUD_RATE, IDC_DATA_BITS, IDC_PARITY, IDC_STOP_BITS,
                               IDC_PIN_12,    IDC_PIN_34,    IDC_PIN_56, IDC_PIN_78};

std::string Text(int stringId) {
    const char* text = KvText(stringId);
    return text ? text : "";
}

// The module's version text is bytes; shown as Latin-1, whatever it holds.
std::string Latin1ToUtf8(const char* bytes) {
    std::string text;
    for (const char* p = bytes; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// Gives the window its input back when a handler leaves, however it leaves.
class EnableWindowOnExit {
public:
    explicit EnableWindowOnExit(CFormView& view) : view_(view) {}
    ~EnableWindowOnExit() { view_.EnableWindow(true); }
    EnableWindowOnExit(const EnableWindowOnExit&) = delete;
    EnableWindowOnExit& operator=(const EnableWindowOnExit&) = delete;

private:
    CFormView& view_;
};

}  // namespace

CSettingsForm::CSettingsForm(CVelmoraDoc& document, WorkflowHost& host, CFormView& view)
    : doc_(document), host_(host), view_(view), escapeSettings_(kEscapeStartSettings) {}

void CSettingsForm::CreateControls(const std::vector<std::string>& portNames) {
    portNames_ = portNames;
    ShowPortNames({});
    for (int id : kFixedLists) view_.SetListItems(id, FormListTexts(id));
}

void CSettingsForm::FillControlLists() {
    RefreshFromDocument();
    view_.FitFrameToForm();
    view_.SetListItems(IDC_FREQUENCY, FormListTexts(IDC_FREQUENCY));
    view_.SetTextLimit(IDC_ADDRESS, kAddressDigits);
}

void CSettingsForm::ShowGuide(int stringId) { view_.SetControlText(IDC_GUIDE, Text(stringId)); }

void CSettingsForm::RefreshFromDocument() {
    if (!doc_.HasDevice()) {
        ShowGuide(IDS_GUIDE_SCAN);
        EnableSettingControls(false);
    } else {
        // Ask for everything first: the serial number is a live query, and when it
        // fails the window keeps what it showed.
        std::uint32_t serial = 0;
        KvString version;
        int mode = 0;
        DeviceSettings record;
        const KvStepFailure failure = KvRunStep([&] {
            serial = doc_.GetSerialNumber();
            version = doc_.GetVersionText();
            mode = doc_.GetOperatingMode(true);
            record = doc_.CacheRunningSettings();
        });
        if (failure) {
            // The module stopped answering between a read and this refresh: say so
            // with the communication-error dialog and leave the window as it was.
            host_.RunDialog(IDD_COMM_ERROR);
            return;
        }

        ShowGuide(IDS_GUIDE_EDIT);
        view_.SetControlText(IDC_MODE_NOTE, mode == 1 ? Text(IDS_MODE_MASTER) : mode == 2 ? Text(IDS_MODE_SLAVE) : "");
        view_.SetControlText(IDC_VERSION, Latin1ToUtf8(version.CStr()));
        view_.SetControlText(IDC_SERIAL_NUMBER, FormatSerialNumber(serial));
        view_.SetControlText(IDC_ADDRESS, std::to_string(record.address));

        const int channels = static_cast<int>(FormListItems(IDC_FREQUENCY).size());
        const int frequency = record.frequencyIndex;
        view_.SetListSelection(IDC_FREQUENCY, frequency < channels ? frequency : -1);
        // A value no item carries keeps the list's previous selection.
        auto select = [this](int listId, int value) {
            const int index = FindItemByData(listId, value);
            if (index >= 0) view_.SetListSelection(listId, index);
        };
        select(IDC_BAUD_RATE, record.baudRate);
        select(IDC_DATA_BITS, record.dataBits);
        select(IDC_STOP_BITS, record.stopBits);
        select(IDC_PARITY, record.parity);
        for (int i = 0; i < 4; ++i) select(kPinListIds[i], record.pinFunctions[i]);

        if (doc_.pinFunctionsFixed)
            view_.SetControlText(IDC_PIN_NOTE, Text(IDS_PINS_FIXED_MODEL));
        else if (mode == 1 || mode == 2)
            view_.SetControlText(IDC_PIN_NOTE, Text(IDS_PINS_LOCKED_TRANSPARENT));
        else
            view_.SetControlText(IDC_PIN_NOTE, "");

        EnableSettingControls(true);
    }

    const std::string port = doc_.GetPortName().CStr();
    for (std::size_t i = 0; i < portNames_.size(); ++i) {
        if (KvSamePortName(portNames_[i], port)) {
            view_.SetListSelection(IDC_COM_PORT, static_cast<int>(i));
            break;
        }
    }
}

void CSettingsForm::EnableSettingControls(bool enable) {
    for (int id : kValueControls) view_.EnableControl(id, enable);
    view_.EnableControl(IDC_ADDRESS, enable && !doc_.addressLocked);
    const bool pins = enable && !doc_.pinFunctionsFixed && doc_.GetOperatingMode(true) == 0;
    for (int id : kPinListIds) view_.EnableControl(id, pins);
}

void CSettingsForm::StoreControlsToDocument() {
    auto selected = [this](int listId) { return ItemData(listId, view_.GetListSelection(listId)); };
    DeviceSettings& record = doc_.settings;
    record.frequencyIndex = static_cast<std::uint8_t>(view_.GetListSelection(IDC_FREQUENCY));
    record.baudRate = selected(IDC_BAUD_RATE);
    record.stopBits = selected(IDC_STOP_BITS);
    record.parity = selected(IDC_PARITY);
    record.dataBits = selected(IDC_DATA_BITS);
    for (int i = 0; i < 4; ++i) record.pinFunctions[i] = selected(kPinListIds[i]);
}

std::string CSettingsForm::SelectedPortName() const {
    const int index = view_.GetListSelection(IDC_COM_PORT);
    if (index < 0 || static_cast<std::size_t>(index) >= portNames_.size()) return {};
    return portNames_[static_cast<std::size_t>(index)];
}

void CSettingsForm::UpdatePortNames(const std::vector<std::string>& portNames) {
    const std::string selected = SelectedPortName();
    portNames_ = portNames;
    for (const std::string& typed : typedPorts_) {
        const bool listed = std::any_of(portNames_.begin(), portNames_.end(),
                                        [&typed](const std::string& name) { return KvSamePortName(name, typed); });
        if (!listed) portNames_.push_back(typed);
    }
    ShowPortNames(selected);
}

void CSettingsForm::ShowPortNames(const std::string& selected) {
    std::vector<std::string> items = portNames_;
    if (offerTypedPort_) items.push_back(Text(IDS_PORT_OTHER));
    view_.SetListItems(IDC_COM_PORT, items);
    int index = portNames_.empty() ? -1 : 0;
    for (std::size_t i = 0; i < portNames_.size(); ++i) {
        if (portNames_[i] == selected) index = static_cast<int>(i);
    }
    if (index >= 0) view_.SetListSelection(IDC_COM_PORT, index);
}

void CSettingsForm::ChooseTypedPort(const std::optional<std::string>& typed, const std::string& previous) {
    if (!typed || typed->empty()) {
        ShowPortNames(previous);
        return;
    }
    if (!KvIsPortName(*typed)) {
        host_.ShowMessage(IDS_BAD_PORT);
        ShowPortNames(previous);
        return;
    }
    const auto listed = std::find_if(portNames_.begin(), portNames_.end(),
                                     [&typed](const std::string& name) { return KvSamePortName(name, *typed); });
    if (listed != portNames_.end()) {
        ShowPortNames(*listed);
        return;
    }
    typedPorts_.push_back(*typed);
    portNames_.push_back(*typed);
    ShowPortNames(*typed);
}

void CSettingsForm::OnScan() {
    WaitCursor wait(host_);
    doc_.SetPortName(KvString(SelectedPortName().c_str()));
    view_.EnableWindow(false);
    EnableWindowOnExit enableAgain(view_);
    if (doc_.Scan()) {
        view_.RepaintNow();
        doc_.ReadSettings();
    } else {
        // A search that found nothing has had the views updated; one that ended
        // in a port failure has not, and would leave 設定 enabled on a document
        // without a device. Either way the form shows the no-device state.
        RefreshFromDocument();
    }
}

void CSettingsForm::OnSet() {
    if (!doc_.HasDevice()) {
        // Nothing to write to: no confirmation for a write that cannot happen;
        // the guide asks for a scan and the setting controls go grey.
        RefreshFromDocument();
        return;
    }
    int address = 0;
    if (!ParseAddressText(view_.GetControlText(IDC_ADDRESS), address)) {
        host_.ShowMessage(IDS_BAD_ADDRESS);
        return;
    }
    // The module's running values, then the controls over them.
    const DeviceSettings running = doc_.CacheRunningSettings();
    StoreControlsToDocument();
    doc_.settings.address = static_cast<std::uint16_t>(address);
    host_.ReportChanges(DescribeChanges(running, doc_.settings, doc_.pinFunctionsFixed));
    if (host_.RunDialog(IDD_SET_CONFIRM) == IDCANCEL) return;
    view_.RepaintNow();
    bool written = false;
    if (doc_.WriteSettings(true, &written)) doc_.ReadSettings();
    // Only a write that went through is reported as done, and only while the
    // form still shows a device: after a failed write (its error dialog shown)
    // the editing guide stays; after a re-read that lost the device (its error
    // dialog shown) the scan guide of that refresh stays.
    if (written && doc_.HasDevice()) ShowGuide(IDS_SET_DONE);
}

void CSettingsForm::OnTransparentMaster() {
    StoreControlsToDocument();
    doc_.SetTransparentMaster();
}

void CSettingsForm::OnTransparentSlave() {
    StoreControlsToDocument();
    doc_.SetTransparentSlave();
}

void CSettingsForm::OnCancelTransparent() { doc_.CancelTransparentMode(); }

void CSettingsForm::OnInitializeDevice() {
    const int answer = host_.RunDialog(IDD_INIT_CONFIRM);
    view_.RepaintNow();
    if (answer == IDOK && doc_.InitializeDevice()) {
        view_.RepaintNow();
        doc_.ReadSettings();
    }
}

void CSettingsForm::OnEscapeTransparent() {
    // The port is read once; a retry uses the same name.
    const KvString port(SelectedPortName().c_str());
    if (view_.RunEscapeDialog(escapeSettings_) != IDOK) return;
    for (;;) {
        const SerialSettings line = escapeSettings_;
        doc_.SetPortName(port);
        if (doc_.EscapeTransparentMode(line.baudRate, line.dataBits, line.parity, line.stopBits)) {
            host_.RunDialog(IDD_ESCAPE_DONE);
            view_.RepaintNow();
            doc_.ReadSettings();
            return;
        }
        if (host_.RunDialog(IDD_ESCAPE_FAILED) == IDCANCEL) return;
        if (view_.RunEscapeDialog(escapeSettings_) != IDOK) return;
    }
}
