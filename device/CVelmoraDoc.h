#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "DeviceSettings.h"
#include "KvDevice.h"
#include "KvSerialConduit.h"
#include "KvString.h"
#include "WorkflowHost.h"

// The document: the one module the program works with, its settings record and
// the workflows behind every button and menu command. It talks to the user only
// through its WorkflowHost. No exception of the program's own families leaves a
// workflow; the getters (GetSerialNumber above all) may throw.
class CVelmoraDoc {
public:
    explicit CVelmoraDoc(WorkflowHost& host);
    ~CVelmoraDoc();
    CVelmoraDoc(const CVelmoraDoc&) = delete;
    CVelmoraDoc& operator=(const CVelmoraDoc&) = delete;

    bool HasDevice() const { return device != nullptr; }
    void SetPortName(const KvString& name) { portName = name; }
    KvString GetPortName() const { return portName; }

    // Getters: each returns the value and copies it into the record.
    std::uint32_t GetSerialNumber();  // live MAN query
    KvString GetVersionText();
    int GetOperatingMode(bool stored);
    int GetAddress();
    int GetFrequencyIndex();
    int GetBaudRate();
    int GetDataBits();
    int GetParity();
    int GetStopBits();
    int GetPinFunction(int index);
    // Every running value of the module's cache copied into the record, as the
    // getters above do one by one; the record is left alone without a module.
    const DeviceSettings& CacheRunningSettings();

    // Workflows
    bool Scan();
    // One attempt at the current scan position: 1 found, 2 failed, 3 failed
    // and every candidate tried. Opening failures leave as exceptions.
    int ScanStep(KvSerialConduit& conduit, std::uint32_t& serial);
    // The serial number of the module that answers on `conduit` at its current
    // settings: two queries that agree; none when they do not, or when
    // anything went wrong in the exchange. A closed conduit in per-call mode
    // is opened for each query; open failures count as no answer.
    static std::optional<std::uint32_t> ProbeSerialNumber(KvSerialConduit& conduit);
    void ReadSettings();
    // True only when the write succeeded, askReload was set and the user chose
    // to reload. *written, when given, tells whether the write itself succeeded.
    bool WriteSettings(bool askReload, bool* written = nullptr);
    bool InitializeDevice();
    void SetTransparentMaster();
    void SetTransparentSlave();
    void CancelTransparentMode();
    bool EscapeTransparentMode(std::int32_t baudRate, std::int32_t dataBits, std::int32_t parity,
                               std::int32_t stopBits);

    // After a write, initialisation or mode change that failed: true when the
    // module rejected a request (a NAK), false when the link or the answer failed.
    bool lastSettingRejected = false;

    std::unique_ptr<KvDevice> device;
    bool pinFunctionsFixed = false;
    bool addressLocked = false;
    KvString portName = "COM1";
    DeviceSettings settings;

    // Factory line settings a module restarts with after INI.
    static constexpr std::int32_t kFactoryBaudRate = 9600;
    static constexpr unsigned kInitializeWaitMs = 1200;

private:
    // The conduit the document's device talks through (every device the
    // document makes has a serial one); none without a device.
    KvSerialConduit* DeviceConduit() const;
    // A read met a failure: popup away, the dialog, the device dropped, views updated.
    void AbandonRead(int dialogId);
    // SAD, FRQ, the pin functions unless fixed, SCI: the record to both banks.
    void SendSettingsRecord();
    // Master and slave differ only in their dialog and the forced values.
    void SetTransparentMode(int dialogId, std::uint32_t mode, std::uint32_t address, std::uint32_t partnerAddress);

    // The port a workflow reserves: the device's (its conduit's), else the chosen one.
    KvString WorkflowPort() const;

    // Runs a failure dialog; the port-error dialog comes with the reason of
    // the open failure caught last, and any failure dialog with the reason of
    // a device that went away, when there is one.
    void RunFailureDialog(int dialogId);

    WorkflowHost& host_;
    // Why the port failed last: an open refused, or the device gone.
    std::optional<KvPortFailure> openFailure_;
};
