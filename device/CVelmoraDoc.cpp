#include "CVelmoraDoc.h"

#include <utility>

#include "KvExceptions.h"
#include "ResourceIds.h"
#include "SerialSettings.h"
#include "StepFailure.h"

namespace {

// The serial-number query the search sends at every candidate, and the two
// lines that follow the escape string.
const char kManQuery[] = "-MAN\r\n";
const char kStandardModeLine[] = "+MOD:0\r\n";
// The serial-number answer has 17 characters ("*MAN: " + nine digits + CR LF);
// a module that is still talking well past that is no module at this candidate,
// and the search must not wait for 254 of its characters.
constexpr int kManAnswerLimit = 32;

// STX ETX "Tovenk" ETX STX: a module in transparent mode takes it in the first
// 30 seconds after power-up and returns to command mode.
KvString EscapeString() {
    return KvString(
        "\x02\x03"
        "Tovenk"
        "\x03\x02");
}

// Holds a conduit's port open for a batch of operations. Release closes the
// port and leaves hold mode; the destructor does the same for any way out that
// did not, so no path leaves a port held open.
class PortHold {
public:
    explicit PortHold(KvConduit& conduit) : conduit_(conduit), serial_(dynamic_cast<KvSerialConduit*>(&conduit)) {
        if (serial_) serial_->keepOpen = true;
    }
    ~PortHold() { Release(); }
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

    void Open() { conduit_.Open(); }
    void Release() {
        if (!held_) return;
        held_ = false;
        conduit_.Close();
        if (serial_) serial_->keepOpen = false;
    }

private:
    KvConduit& conduit_;
    KvSerialConduit* serial_;
    bool held_ = true;
};

using Kind = KvStepFailure::Kind;

// The dialogs per workflow. 136: the port cannot be opened; 137: no answer or
// a read failure; 139: the module was left possibly half set.
constexpr KvFailureDialogs kSearchDialogs{IDD_OPEN_ERROR, IDD_COMM_ERROR, IDD_OPEN_ERROR,
                                          IDD_OPEN_ERROR, IDD_OPEN_ERROR, IDD_OPEN_ERROR};
constexpr KvFailureDialogs kReadDialogs{IDD_OPEN_ERROR, IDD_COMM_ERROR, IDD_OPEN_ERROR,
                                        IDD_OPEN_ERROR, IDD_COMM_ERROR, IDD_COMM_ERROR};
constexpr KvFailureDialogs kSettingDialogs{IDD_OPEN_ERROR, IDD_SET_ERROR, IDD_SET_ERROR,
                                           IDD_SET_ERROR,  IDD_SET_ERROR, IDD_SET_ERROR};
// The escape: no answer means the module is still in transparent mode, or not
// there, and the caller offers a retry.
constexpr KvFailureDialogs kEscapeDialogs{IDD_OPEN_ERROR, 0, IDD_OPEN_ERROR, IDD_OPEN_ERROR, IDD_OPEN_ERROR,
                                          IDD_OPEN_ERROR};
// Opening the port for a write: whatever fails, the port is not to be had.
constexpr KvFailureDialogs kOpenDialogs{IDD_OPEN_ERROR, IDD_OPEN_ERROR, IDD_OPEN_ERROR,
                                        IDD_OPEN_ERROR, IDD_OPEN_ERROR, IDD_OPEN_ERROR};

// Runs the commands of a write, an initialisation or a mode change. Returns 0
// when they all went through, otherwise the dialog that reports the failure.
// On a failure `rejected` tells whether the module itself refused a request
// (a NAK), as opposed to a link that failed or an answer that could not be
// read; a success leaves it alone, so it describes the latest failure.
template <typename Commands>
int SettingFailure(bool& rejected, std::optional<KvPortOpenFailure>& why, Commands&& commands) {
    const KvStepFailure failure = KvRunStep(commands);
    if (!failure) return 0;
    rejected = failure.kind == Kind::Rejected;
    if (failure.port) why = failure.port;
    return kSettingDialogs.For(failure);
}

}  // namespace

CVelmoraDoc::CVelmoraDoc(WorkflowHost& host) : host_(host) {}

void CVelmoraDoc::RunFailureDialog(int dialogId) {
    if (openFailure_ && openFailure_->cause == KvPortFailure::Cause::Gone) {
        host_.ReportDeviceGone(*openFailure_);
    } else if (dialogId == IDD_OPEN_ERROR && openFailure_) {
        host_.ReportOpenFailure(*openFailure_);
    }
    openFailure_.reset();
    host_.RunDialog(dialogId);
}

// The device owns its conduit, whose destructor lets go of a port still open.
CVelmoraDoc::~CVelmoraDoc() = default;

KvSerialConduit* CVelmoraDoc::DeviceConduit() const {
    return device ? dynamic_cast<KvSerialConduit*>(device->conduit) : nullptr;
}

KvString CVelmoraDoc::WorkflowPort() const {
    const KvSerialConduit* conduit = DeviceConduit();
    return conduit ? conduit->portName : portName;
}

// ---------------------------------------------------------------- getters

std::uint32_t CVelmoraDoc::GetSerialNumber() {
    if (!device) return 0;
    device->ReadSerialNumber();
    return device->serialNumber;
}

KvString CVelmoraDoc::GetVersionText() { return device ? device->GetVersion() : KvString(); }

int CVelmoraDoc::GetOperatingMode(bool stored) {
    if (!device) return -1;
    switch (device->GetMode(stored)) {
    case 0:
    case 15: return 0;
    case 1: return 1;
    case 2: return 2;
    default: return stored ? 1 : 0;
    }
}

namespace {
// A running value from the module's cache, copied into the record as well;
// -1 while there is no module.
template <typename Slot, typename Value>
int CacheRunning(const KvDevice* device, Slot& slot, Value (KvDevice::*get)(bool) const) {
    if (!device) return -1;
    slot = static_cast<Slot>((device->*get)(false));
    return slot;
}
}  // namespace

int CVelmoraDoc::GetAddress() { return CacheRunning(device.get(), settings.address, &KvDevice::GetAddress); }

int CVelmoraDoc::GetFrequencyIndex() {
    return CacheRunning(device.get(), settings.frequencyIndex, &KvDevice::GetFrequency);
}

int CVelmoraDoc::GetBaudRate() { return CacheRunning(device.get(), settings.baudRate, &KvDevice::GetBaudRate); }

int CVelmoraDoc::GetDataBits() { return CacheRunning(device.get(), settings.dataBits, &KvDevice::GetDataBits); }

int CVelmoraDoc::GetParity() { return CacheRunning(device.get(), settings.parity, &KvDevice::GetParity); }

int CVelmoraDoc::GetStopBits() { return CacheRunning(device.get(), settings.stopBits, &KvDevice::GetStopBits); }

int CVelmoraDoc::GetPinFunction(int index) {
    // Four pin pairs; any other index has no value and no slot in the record.
    if (!device || index < 0 || index > 3) return -1;
    settings.pinFunctions[index] = device->GetPinFunction(index, false);
    return settings.pinFunctions[index];
}

const DeviceSettings& CVelmoraDoc::CacheRunningSettings() {
    GetAddress();
    GetFrequencyIndex();
    GetBaudRate();
    GetDataBits();
    GetParity();
    GetStopBits();
    for (int i = 0; i < 4; ++i) GetPinFunction(i);
    return settings;
}

// ---------------------------------------------------------------- search

std::optional<std::uint32_t> CVelmoraDoc::ProbeSerialNumber(KvSerialConduit& conduit) {
    // Whatever goes wrong in an exchange - no answer, a failed write, an
    // answer that is no serial number - the module does not talk at these
    // settings. A second query must bring the same number: an answer that came
    // too late for the candidate before, or noise that happens to read as one,
    // is not taken for a module.
    conduit.SetAnswerLimit(kManAnswerLimit);
    std::optional<std::uint32_t> serial;
    (void)KvRunStep([&] {
        const std::uint32_t first = KvDevice::SerialNumberFrom(conduit.Transact(kManQuery));
        if (KvDevice::SerialNumberFrom(conduit.Transact(kManQuery)) == first) serial = first;
    });
    conduit.SetAnswerLimit(KvSerialConduit::kLongestAnswer);
    return serial;
}

int CVelmoraDoc::ScanStep(KvSerialConduit& conduit, std::uint32_t& serial) {
    const SerialSettings candidate = CurrentScanSettings();
    conduit.SetLineSettings(static_cast<std::uint32_t>(candidate.baudRate), candidate.dataBits, candidate.parity,
                            candidate.stopBits);
    conduit.SelectTimeout();

    PortHold hold(conduit);
    hold.Open();  // a port that cannot be opened or configured ends the search

    std::optional<std::uint32_t> answered = ProbeSerialNumber(conduit);
    const bool found = answered.has_value();
    if (found) serial = *answered;

    int result = 1;
    if (!found) {
        if (AdvanceScanPosition()) {
            serial = 0;
            result = 3;
        } else {
            result = 2;
        }
    }
    hold.Release();
    return result;
}

bool CVelmoraDoc::Scan() {
    // The port stays ours from the first candidate to the last.
    KvPortReservation reserved(portName);
    auto conduit = std::make_unique<KvSerialConduit>();
    conduit->portName = portName;

    host_.CreateProgress(IDD_SCAN);
    ResetScanPosition();

    std::uint32_t serial = 0;
    int result = 2;
    const KvStepFailure failure = KvRunStep([&] {
        do {
            host_.SetProgressText(IDD_SCAN, FormatSerialSettings(CurrentScanSettings()));
            result = ScanStep(*conduit, serial);
        } while (result == 2);
    });
    const int failureDialog = kSearchDialogs.For(failure);
    if (failure.port) openFailure_ = failure.port;

    if (failureDialog != 0) {
        // The port failed: the search stops here. The views are left as they are.
        RunFailureDialog(failureDialog);
        host_.DestroyProgress(IDD_SCAN);
        device.reset();
        return false;
    }

    bool found = false;
    if (result == 1) {
        device.reset();
        auto newDevice = std::make_unique<KvDevice>();
        newDevice->serialNumber = serial;
        newDevice->conduit = conduit.release();
        device = std::move(newDevice);
        found = true;
    } else {
        device.reset();
        host_.ShowMessage(IDS_DEVICE_NOT_FOUND);
    }
    host_.DestroyProgress(IDD_SCAN);
    host_.UpdateAllViews();
    return found;
}

// ---------------------------------------------------------------- read

void CVelmoraDoc::AbandonRead(int dialogId) {
    host_.DestroyProgress(IDD_LOADING);
    RunFailureDialog(dialogId);
    device.reset();
    host_.UpdateAllViews();
}

void CVelmoraDoc::ReadSettings() {
    KvPortReservation reserved(WorkflowPort());
    host_.CreateProgress(IDD_LOADING);
    if (device) {
        WaitCursor wait(host_);
        // A read that fails in any way leaves the program without a trustworthy
        // picture of the module: it is dropped and must be found again.
        const KvStepFailure failure = KvRunStep([&] {
            device->ReadAll();
            // Writing the running pin functions back changes nothing; a model
            // whose pins cannot be changed rejects it with the parameter code.
            pinFunctionsFixed = false;
            const std::int32_t pin0 = device->GetPinFunction(0, false);
            // Only a pin code the module itself could have sent goes back to
            // it: a read must never change the module.
            if (!device->runningPinsWellFormed) throw KvStringFormatException(KvString("PFC"));
            try {
                device->SetPinFunction(0, pin0, 0);
            } catch (const KvNAKParameterException&) {
                pinFunctionsFixed = true;
            }
        });
        const int failureDialog = kReadDialogs.For(failure);
        if (failure.port) openFailure_ = failure.port;
        if (failureDialog != 0) {
            AbandonRead(failureDialog);
            return;  // the wait cursor goes last
        }
        const std::uint8_t storedMode = device->GetMode(true);
        addressLocked = storedMode == 1 || storedMode == 2;
    }
    host_.DestroyProgress(IDD_LOADING);
    host_.UpdateAllViews();
}

// ---------------------------------------------------------------- write

void CVelmoraDoc::SendSettingsRecord() {
    device->SetAddress(settings.address, 2);
    device->SetFrequency(settings.frequencyIndex, 2);
    if (!pinFunctionsFixed) {
        for (int pin = 0; pin < 4; ++pin) device->SetPinFunction(pin, settings.pinFunctions[pin], 2);
    }
    // Last: the module answers at its old line settings and listens at the new.
    device->SetSerialSettings(static_cast<std::uint32_t>(settings.baudRate), settings.dataBits, settings.parity,
                              settings.stopBits, 2);
}

bool CVelmoraDoc::WriteSettings(bool askReload, bool* written) {
    if (written) *written = false;
    if (!device || !device->conduit) return false;
    KvPortReservation reserved(WorkflowPort());

    WaitCursor wait(host_);
    host_.CreateProgress(IDD_SETTING);

    bool succeeded = false;
    {
        PortHold hold(*device->conduit);
        const KvStepFailure openFailure = KvRunStep([&] { hold.Open(); });
        const bool opened = !openFailure;
        if (openFailure.port) openFailure_ = openFailure.port;
        if (!opened) RunFailureDialog(kOpenDialogs.For(openFailure));
        if (opened) {
            // The error dialog comes up with the port still held; it is closed
            // once the user has dismissed it.
            const int failureDialog =
                SettingFailure(lastSettingRejected, openFailure_, [this] { SendSettingsRecord(); });
            if (failureDialog != 0) RunFailureDialog(failureDialog);
            succeeded = failureDialog == 0;
        }
        hold.Release();
    }
    host_.DestroyProgress(IDD_SETTING);

    if (!succeeded) return false;
    if (written) *written = true;

    // The module now talks at the record's line settings; so do we.
    if (KvSerialConduit* conduit = DeviceConduit()) {
        conduit->SetLineSettings(static_cast<std::uint32_t>(settings.baudRate), settings.dataBits, settings.parity,
                                 settings.stopBits);
        conduit->SelectTimeout();
    }
    if (!askReload) return false;
    return host_.RunDialog(IDD_SET_DONE) == IDOK;
}

// ---------------------------------------------------------------- initialise and modes

bool CVelmoraDoc::InitializeDevice() {
    if (!device) return false;
    KvPortReservation reserved(WorkflowPort());
    host_.CreateProgress(IDD_INITIALIZING);
    const int failureDialog = SettingFailure(lastSettingRejected, openFailure_, [this] { device->Initialize(); });
    if (failureDialog != 0) {
        host_.DestroyProgress(IDD_INITIALIZING);
        RunFailureDialog(failureDialog);
        return false;
    }
    // The module restarts with its factory line settings.
    if (KvSerialConduit* conduit = DeviceConduit()) {
        conduit->SetLineSettings(kFactoryBaudRate, '8', 'N', '1');
        conduit->SelectTimeout();
    }
    host_.Sleep(kInitializeWaitMs);
    host_.DestroyProgress(IDD_INITIALIZING);
    return true;
}

void CVelmoraDoc::SetTransparentMode(int dialogId, std::uint32_t mode, std::uint32_t address,
                                     std::uint32_t partnerAddress) {
    if (!device) return;
    // Held from the write through the mode to the read that follows.
    KvPortReservation reserved(WorkflowPort());
    if (host_.RunDialog(dialogId) != IDOK) return;
    // The record goes first; a failed write has shown its own dialog and the
    // mode change is attempted all the same.
    WriteSettings(false);
    const int failureDialog = SettingFailure(lastSettingRejected, openFailure_, [&] {
        device->SetMode(mode, 1);  // stored only: the switch happens at the next power-up
        device->SetAddress(address, 2);
        device->SetPartnerAddress(partnerAddress, 2);
    });
    if (failureDialog != 0) {
        RunFailureDialog(failureDialog);
        return;
    }
    ReadSettings();
}

void CVelmoraDoc::SetTransparentMaster() { SetTransparentMode(IDD_MASTER_MODE, 1, 0, 1); }

void CVelmoraDoc::SetTransparentSlave() { SetTransparentMode(IDD_SLAVE_MODE, 2, 1, 0); }

void CVelmoraDoc::CancelTransparentMode() {
    if (!device) return;
    KvPortReservation reserved(WorkflowPort());
    if (host_.RunDialog(IDD_STANDARD_MODE) != IDOK) return;
    // Only the stored mode: the addresses stay as the transparent mode forced them.
    const int failureDialog = SettingFailure(lastSettingRejected, openFailure_, [this] { device->SetMode(0, 1); });
    if (failureDialog != 0) {
        RunFailureDialog(failureDialog);
        return;
    }
    ReadSettings();
}

// ---------------------------------------------------------------- escape

bool CVelmoraDoc::EscapeTransparentMode(std::int32_t baudRate, std::int32_t dataBits, std::int32_t parity,
                                        std::int32_t stopBits) {
    KvPortReservation reserved(portName);
    if (!device) device = std::make_unique<KvDevice>();
    KvSerialConduit* conduit = DeviceConduit();
    if (!conduit) {
        delete device->conduit;
        conduit = new KvSerialConduit();
        device->conduit = conduit;
    }
    conduit->portName = portName;
    conduit->SetLineSettings(static_cast<std::uint32_t>(baudRate), dataBits, parity, stopBits);
    conduit->SelectTimeout();

    host_.CreateProgress(IDD_ESCAPING);
    KvString manAnswer;
    const KvStepFailure failure = KvRunStep([&] {
        conduit->Write(EscapeString());
        conduit->Transact(kStandardModeLine);  // any line at all will do
        manAnswer = conduit->Transact(kManQuery);
    });
    if (const int dialog = kEscapeDialogs.For(failure)) {
        if (failure.port) openFailure_ = failure.port;
        RunFailureDialog(dialog);
    }
    host_.DestroyProgress(IDD_ESCAPING);
    if (failure) return false;
    // Only a serial number shows that the module is back in command mode.
    return !KvRunStep([&] { device->serialNumber = KvDevice::SerialNumberFrom(manAnswer); });
}
