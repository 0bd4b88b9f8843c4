// The Windows serial port against the simulated module on a real line: a COM
// port whose far end is tarnik-sim. scripts/windows-check.sh runs these tests
// under Wine, with the module on a pseudo-terminal that Wine maps to a COM port,
// and names that port in TARNIK_COM_PORT. The module is started as
//
//   tarnik-sim --baud 38400 --frame 7O2 --serial 246813579 --firmware 2.04.017 --latency-ms 20
//
// and every test leaves it at those settings. The tests share one module, so
// CTest runs them one at a time.
//
// What a pseudo-terminal cannot carry: it forces 8 data bits and clears the
// parity-enable flag of the settings made on it, so data bits and parity are not
// read back from the port here; the module sees the odd-parity flag, the stop
// bits and the baud rate and ignores bytes sent at other ones. Reopened at 7 data
// bits or with parity, at the settings it was left at, the terminal refuses the
// request under Wine; the port sets it again through a neighbouring state
// (KvSerialPortWin32.cpp), as tarnik.exe's search and read rely on.
//
// Wine differs from Windows in two checks, which are skipped under Wine: it does
// not enforce the exclusive open of a COM port, and it reads fAbortOnError back
// as 0 whatever was set.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "KvExceptions.h"
#include "KvSerialConduit.h"
#include "KvSerialPort.h"  // <windows.h>, as the port wrapper includes it
#include "RecorderHost.h"
#include "ResourceIds.h"

// GoogleTest shows a KvString as its text.
inline void PrintTo(const KvString& text, std::ostream* out) { *out << ::testing::PrintToString(text.Bytes()); }

namespace {

constexpr std::uint32_t kSerialNumber = 246813579;
constexpr const char* kVersion = "2.04.017";
constexpr std::uint32_t kBaudRate = 38400;
// The module's line settings are the 18th candidate of the search.
constexpr std::size_t kScanAttempts = 18;
constexpr const char* kScanHit = "38400bps, 7bits, odd, stop2";
constexpr const char* kManAnswer = "*MAN: 246813579\r\n";
// No COM port has this number here (Wine gives the host's own serial ports the
// lowest free numbers).
constexpr const char* kMissingPort = "COM250";

// The COM port the module is on, from the environment.
std::string ModulePort() {
    const char* name = std::getenv("TARNIK_COM_PORT");
    return name != nullptr ? name : "";
}

#define REQUIRE_MODULE_PORT()                                                                        \
    const std::string portName = ModulePort();                                                       \
    if (portName.empty()) {                                                                          \
        FAIL() << "TARNIK_COM_PORT names no port: run scripts/windows-check.sh, or set it to a COM " \
                  "port with tarnik-sim at the far end";                                             \
    }

// Wine exports wine_get_version from its ntdll; Windows does not.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HANDLE OpenRaw(const std::string& portName) {
    const std::string path = "\\\\.\\" + portName;
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// A conduit at the module's own line settings, per-call mode.
void AtModuleSettings(KvSerialConduit& conduit, const std::string& portName) {
    conduit.portName = portName.c_str();
    conduit.SetLineSettings(kBaudRate, '7', 'O', '2');
    conduit.SelectTimeout();
}

// Reads and drops whatever the module still has on its way, until a read times out.
void Drain(KvSerialConduit& conduit) {
    for (int line = 0; line < 8; ++line) {
        try {
            conduit.Read();
        } catch (const KvConduitReadException&) {
            return;
        }
    }
    ADD_FAILURE() << "the module keeps talking";
}

}  // namespace

// Text that is UTF-8 through and through.
bool IsUtf8(const std::string& text) {
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

bool HasKana(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                             wide.data(), static_cast<int>(wide.size()))));
    for (wchar_t c : wide) {
        if (c >= 0x3040 && c <= 0x30FF) return true;
    }
    return false;
}

TEST(Win32Port, MissingPortFailsToOpen) {
    KvSerialPort port;
    EXPECT_FALSE(port.Open(kMissingPort));
    // The system's reason as it gives it, in the user's language (the tests
    // run Japanese: tests/windows/CMakeLists.txt), and in UTF-8, not in the
    // ANSI code page.
    const std::string reason = port.OpenFailure().osReason.Bytes();
    EXPECT_TRUE(IsUtf8(reason)) << reason;
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE) {
        EXPECT_TRUE(HasKana(reason)) << reason;
    }
    EXPECT_FALSE(port.Open(""));
    // Nothing is open: byte I/O fails, and the byte read is 0.
    std::uint8_t byte = 0x55;
    EXPECT_FALSE(port.ReadByte(byte));
    EXPECT_EQ(byte, 0);
    EXPECT_FALSE(port.WriteByte('-'));

    KvSerialConduit conduit;
    conduit.portName = kMissingPort;
    conduit.SetLineSettings(9600, '8', 'N', '1');
    conduit.SelectTimeout();
    EXPECT_THROW(conduit.Transact("-MAN\r\n"), KvConduitOpenException);
    EXPECT_FALSE(conduit.IsOpen());
    conduit.keepOpen = true;
    EXPECT_THROW(conduit.Open(), KvConduitOpenException);
    EXPECT_FALSE(conduit.IsOpen());

    // The search stops at its first candidate with the open-error dialog.
    RecorderHost host(SteadyClock());
    CVelmoraDoc doc(host);
    doc.SetPortName(kMissingPort);
    EXPECT_FALSE(doc.Scan());
    EXPECT_FALSE(doc.HasDevice());
    EXPECT_EQ(host.Dialogs(), std::vector<int>{IDD_OPEN_ERROR});
    EXPECT_EQ(host.ScanTexts().size(), 1u);
}

// A COM name that leads to a device which is no serial port (scripts/
// windows-check.sh maps one to /dev/null and names it in TARNIK_NOT_A_PORT):
// refused when it is opened, with the system's code and text, so that the
// search's dialog and tarnik's error object say why.
TEST(Win32Port, ANameThatIsNoSerialPortIsRefusedWithTheSystemsReason) {
    const char* name = std::getenv("TARNIK_NOT_A_PORT");
    if (name == nullptr) GTEST_SKIP() << "TARNIK_NOT_A_PORT names no such port";
    KvSerialPort port;
    EXPECT_FALSE(port.Open(name));
    const KvPortOpenFailure& failure = port.OpenFailure();
    EXPECT_EQ(failure.cause, KvPortOpenFailure::Cause::Other);
    EXPECT_NE(failure.osCode, 0);
    EXPECT_GT(failure.osReason.Length(), 0);
    EXPECT_EQ(failure.path.Bytes(), std::string("\\\\.\\") + name);
}

TEST(Win32Port, OpensExclusivelyAndSetsARawLine) {
    REQUIRE_MODULE_PORT();
    const bool wine = UnderWine();

    // Leave the port with flow control, another speed and one stop bit, so that
    // what is read back below was set by the port wrapper.
    HANDLE raw = OpenRaw(portName);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE) << portName;
    DCB dirty{};
    dirty.DCBlength = sizeof dirty;
    ASSERT_TRUE(GetCommState(raw, &dirty));
    dirty.BaudRate = 1200;
    dirty.StopBits = ONESTOPBIT;
    dirty.fOutxCtsFlow = TRUE;
    dirty.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dirty.fOutX = TRUE;
    dirty.fInX = TRUE;
    ASSERT_TRUE(SetCommState(raw, &dirty));
    ASSERT_TRUE(CloseHandle(raw));

    KvSerialPort port;
    ASSERT_TRUE(port.Open(portName.c_str()));
    ASSERT_TRUE(port.SetLine(kBaudRate, 7, 1, ODDPARITY, TWOSTOPBITS));
    ASSERT_TRUE(port.SetTimeouts(0, 0, 70, 0, 70));

    HANDLE second = OpenRaw(portName);
    if (wine) {
        // Wine does not enforce the exclusive open of a COM port: not checked here.
        if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    } else {
        EXPECT_EQ(second, INVALID_HANDLE_VALUE) << "a second open of a port held by the program succeeded";
        if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    }

    // The line works: the module answers at its settings.
    for (const char c : std::string("-MAN\r\n")) ASSERT_TRUE(port.WriteByte(static_cast<std::uint8_t>(c)));
    std::string answer;
    std::uint8_t byte = 0;
    while (answer.size() < 64 && port.ReadByte(byte)) {
        answer += static_cast<char>(byte);
        if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0) break;
    }
    EXPECT_EQ(answer, kManAnswer);

    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.ReadByte(byte));
    EXPECT_FALSE(port.WriteByte('-'));

    // The port keeps its settings after the close; read them back.
    raw = OpenRaw(portName);
    ASSERT_NE(raw, INVALID_HANDLE_VALUE);
    DCB line{};
    line.DCBlength = sizeof line;
    ASSERT_TRUE(GetCommState(raw, &line));
    CloseHandle(raw);
    EXPECT_EQ(line.BaudRate, kBaudRate);
    EXPECT_EQ(line.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(line.fBinary);
    EXPECT_FALSE(line.fOutxCtsFlow);
    EXPECT_FALSE(line.fOutxDsrFlow);
    EXPECT_NE(line.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_NE(line.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_FALSE(line.fOutX);
    EXPECT_FALSE(line.fInX);
    EXPECT_FALSE(line.fNull);
    if (!wine) {
        // Wine keeps no abort-on-error state and always reads it back as 0: not checked there.
        EXPECT_TRUE(line.fAbortOnError);
    }
}

TEST(Win32Conduit, WaitsPerByteForTheModule) {
    REQUIRE_MODULE_PORT();
    // The module takes 20 ms before the first byte of an answer: well inside
    // the 70 ms the conduit waits at 38400 baud, far outside 1 ms.
    KvSerialConduit conduit;
    AtModuleSettings(conduit, portName);
    EXPECT_EQ(conduit.TimeoutMs(), 70u);
    EXPECT_EQ(conduit.Transact("-MAN\r\n"), kManAnswer);
    EXPECT_FALSE(conduit.IsOpen());

    conduit.SetTimeout(1);
    EXPECT_THROW(conduit.Transact("-MAN\r\n"), KvConduitReadException);
    EXPECT_FALSE(conduit.IsOpen());

    // The answer that came too late is read and dropped (where closing the
    // port has not dropped it already); the next exchange is whole again.
    conduit.SelectTimeout();
    Drain(conduit);
    EXPECT_EQ(conduit.Transact("-MAN\r\n"), kManAnswer);

    // In hold mode a run of requests goes through one open port.
    conduit.keepOpen = true;
    conduit.Open();
    ASSERT_TRUE(conduit.IsOpen());
    EXPECT_EQ(conduit.Transact("-VER\r\n"), KvString("*VER: ") + kVersion + "\r\n");
    EXPECT_EQ(conduit.Transact("-MAN\r\n"), kManAnswer);
    EXPECT_TRUE(conduit.IsOpen());
    conduit.Close();
    conduit.keepOpen = false;
    EXPECT_FALSE(conduit.IsOpen());
}

TEST(Win32Workflows, ScanReadAndWriteTheModule) {
    REQUIRE_MODULE_PORT();
    RecorderHost host(SteadyClock());
    CVelmoraDoc doc(host);
    doc.SetPortName(portName.c_str());

    // The search gets no answer at the 17 candidates before the module's own
    // settings (each ends after the per-byte time-out) and finds it at the 18th.
    ASSERT_TRUE(doc.Scan());
    const std::vector<std::string> texts = host.ScanTexts();
    EXPECT_EQ(texts.size(), kScanAttempts);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), kScanHit);
    EXPECT_TRUE(host.Dialogs().empty());
    ASSERT_TRUE(doc.HasDevice());
    EXPECT_EQ(doc.device->serialNumber, kSerialNumber);

    doc.ReadSettings();
    ASSERT_TRUE(doc.HasDevice()) << "the read failed";
    EXPECT_TRUE(host.Dialogs().empty());
    EXPECT_EQ(doc.GetSerialNumber(), kSerialNumber);
    EXPECT_EQ(doc.GetVersionText(), kVersion);
    doc.CacheRunningSettings();
    const DeviceSettings original = doc.settings;
    EXPECT_EQ(original.baudRate, static_cast<std::int32_t>(kBaudRate));
    EXPECT_EQ(original.dataBits, '7');
    EXPECT_EQ(original.parity, 'O');
    EXPECT_EQ(original.stopBits, '2');
    EXPECT_FALSE(doc.pinFunctionsFixed);

    // New address, channel, pin functions and line settings; the program then
    // talks at the new line settings and reads everything back through them.
    DeviceSettings changed = original;
    changed.address = static_cast<std::uint16_t>(original.address == 4321 ? 1234 : 4321);
    changed.frequencyIndex = static_cast<std::uint8_t>(original.frequencyIndex == 5 ? 6 : 5);
    changed.baudRate = 19200;
    changed.dataBits = '8';
    changed.parity = 'N';
    changed.stopBits = '1';
    changed.pinFunctions[0] = '2';
    changed.pinFunctions[1] = '1';
    changed.pinFunctions[2] = '1';
    changed.pinFunctions[3] = '0';
    doc.settings = changed;
    host.Clear();
    ASSERT_TRUE(doc.WriteSettings(true));  // the recorder answers the re-read offer with OK
    EXPECT_EQ(host.Dialogs(), std::vector<int>{IDD_SET_DONE});
    auto* conduit = dynamic_cast<KvSerialConduit*>(doc.device->conduit);
    ASSERT_NE(conduit, nullptr);
    EXPECT_EQ(conduit->BaudRate(), 19200u);
    EXPECT_EQ(conduit->StopBits(), 0);
    EXPECT_EQ(conduit->Parity(), 0);

    host.Clear();
    doc.ReadSettings();
    ASSERT_TRUE(doc.HasDevice()) << "the read at the new line settings failed";
    EXPECT_TRUE(host.Dialogs().empty());
    doc.settings = DeviceSettings{};
    doc.CacheRunningSettings();
    EXPECT_EQ(doc.settings, changed);
    EXPECT_EQ(doc.device->GetAddress(true), changed.address);
    EXPECT_EQ(doc.device->GetBaudRate(true), 19200);

    // Back to where the module started, and read again through its old settings.
    doc.settings = original;
    host.Clear();
    bool written = false;
    EXPECT_FALSE(doc.WriteSettings(false, &written));
    EXPECT_TRUE(written);
    EXPECT_TRUE(host.Dialogs().empty());
    EXPECT_EQ(conduit->BaudRate(), kBaudRate);
    doc.ReadSettings();
    ASSERT_TRUE(doc.HasDevice()) << "the read at the module's first line settings failed";
    doc.settings = DeviceSettings{};
    doc.CacheRunningSettings();
    EXPECT_EQ(doc.settings, original);
}
