// Every workflow against every fault the simulated module can inject, on the
// virtual clock with the recorder host. A fault disturbs one request of the
// workflow (the one named per column below); each cell checks the dialogs
// shown, the result, whether the document keeps its device, that the settings
// record is untouched, that no progress window or wait cursor is left behind,
// and that the port is free again (a fresh conduit opens it right after).
//
// With VELMORA_FAULT_MATRIX_OUT=path set, a run of the whole matrix writes the
// table of what each cell showed to that path (docs/fault-matrix.md, target
// fault-matrix-doc).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "KvSerialConduit.h"
#include "ResourceIds.h"
#include "SimRig.h"

namespace {

using tarnik::sim::Fault;
using tarnik::sim::FaultKind;
using tarnik::sim::ModuleConfig;

constexpr char kPortName[] = "COM9";

enum class Workflow { Scan, Read, Write, Initialise, Master, Slave, Cancel, Escape };
constexpr Workflow kWorkflows[] = {Workflow::Scan,   Workflow::Read,  Workflow::Write,  Workflow::Initialise,
                                   Workflow::Master, Workflow::Slave, Workflow::Cancel, Workflow::Escape};

const char* Name(Workflow w) {
    switch (w) {
    case Workflow::Scan: return "scan";
    case Workflow::Read: return "read";
    case Workflow::Write: return "write";
    case Workflow::Initialise: return "initialise";
    case Workflow::Master: return "master";
    case Workflow::Slave: return "slave";
    case Workflow::Cancel: return "cancel";
    case Workflow::Escape: return "escape";
    }
    return "?";
}

// The request each workflow has disturbed, and how the program takes its answer.
enum class Reading {
    Query,      // parsed through KvDevice (value pair): any flaw of the line counts
    Command,    // the command's own answer ("*SAD..." ending in CR LF), not a rejection
    Unchecked,  // INI: an acceptance is any line of 4 bytes or more without "NAK" at index 1
    RawMan,     // the raw "-MAN" line of the scan and the escape: a MAN answer with a serial number
};

struct Target {
    const char* mnemonic;
    const char* request;  // for the table
    const char* when;
    Reading reading;
};

Target TargetOf(Workflow w) {
    switch (w) {
    case Workflow::Scan: return {"MAN", "-MAN", "at the candidate the module listens at (the 43rd)", Reading::RawMan};
    case Workflow::Read: return {"MOD", "-MOD", "second query of the read", Reading::Query};
    case Workflow::Write: return {"SAD", "+SAD:42", "first command of the write", Reading::Command};
    case Workflow::Initialise: return {"INI", "-INI", "", Reading::Unchecked};
    case Workflow::Master: return {"MOD", "@MOD:1", "after the write of the record went through", Reading::Command};
    case Workflow::Slave: return {"MOD", "@MOD:2", "after the write of the record went through", Reading::Command};
    case Workflow::Cancel: return {"MOD", "@MOD:0", "", Reading::Command};
    case Workflow::Escape: return {"MAN", "-MAN", "after the escape string and +MOD:0", Reading::RawMan};
    }
    return {"", "", "", Reading::Query};
}

// What a disturbed answer amounts to.
enum class Effect {
    Fine,        // the answer serves (or the fault never meets the request)
    NoLine,      // not one byte in time: KvConduitReadException
    Stub,        // a few bytes then silence: KvNoResponseException, no number from index 6
    Rejected,    // a rejection line: the NAK exception of its code
    Unreadable,  // a whole line whose data does not read
    PortGone,    // the port vanished: reads fail, and it cannot be opened again
};

struct FaultRow {
    std::string name;
    Fault fault;
};

Fault Make(FaultKind kind) {
    Fault f;
    f.kind = kind;
    f.count = 1;
    return f;
}

std::vector<FaultRow> Rows() {
    std::vector<FaultRow> rows;
    rows.push_back({"silence", Make(FaultKind::Silence)});
    Fault late = Make(FaultKind::LateFirstByte);
    late.delay = std::chrono::milliseconds(1000);
    rows.push_back({"late first byte (1000 ms)", late});
    Fault cut = Make(FaultKind::CutAnswer);
    cut.cutAfter = 3;
    rows.push_back({"cut answer (after 3 bytes)", cut});
    rows.push_back({"garbage line (16 bytes + CR LF)", Make(FaultKind::Garbage)});
    Fault nul = Make(FaultKind::NulInAnswer);
    nul.nulAt = 6;
    rows.push_back({"NUL at index 6", nul});
    rows.push_back({"overlong (300 bytes, no CR LF)", Make(FaultKind::Overlong)});
    for (int code : {1, 2, 3, 4, 5, 10, 11, 12, 13, 7}) {
        Fault nak = Make(FaultKind::Nak);
        nak.nakCode = code;
        char name[32];
        std::snprintf(name, sizeof name, "NAK %02d%s", code, code == 7 ? " (unknown code)" : "");
        rows.push_back({name, nak});
    }
    rows.push_back({"non-numeric MAN answer", Make(FaultKind::NonNumericMan)});
    rows.push_back({"port vanishes", Make(FaultKind::PortVanishes)});
    return rows;
}

// The program's reading of a disturbed answer, from how the line looks.
Effect EffectOf(const Fault& fault, const Target& target) {
    const bool checksLine = target.reading != Reading::Unchecked;
    switch (fault.kind) {
    case FaultKind::Silence:
    case FaultKind::LateFirstByte: return Effect::NoLine;
    case FaultKind::CutAnswer:
        // Fewer than 4 bytes is no answer to a command or query; the raw
        // MAN line has no digits from index 6.
        return target.reading == Reading::RawMan ? Effect::Unreadable : Effect::Stub;
    case FaultKind::Garbage:      // no answer of the command
    case FaultKind::NulInAnswer:  // the text ends at the NUL, without its CR LF
    case FaultKind::Overlong:     // no CR LF within 254 bytes
        return checksLine ? Effect::Unreadable : Effect::Fine;
    case FaultKind::Nak:
        // A rejection is no serial number: the scan and the escape go on
        // as if the module had not answered.
        return target.reading == Reading::RawMan ? Effect::Unreadable : Effect::Rejected;
    case FaultKind::NonNumericMan: return std::string(target.mnemonic) == "MAN" ? Effect::Unreadable : Effect::Fine;
    case FaultKind::PortVanishes: return Effect::PortGone;
    // Answered as taken: only a read-back of both banks, or of the serial
    // number, tells (the bench's checks, not a workflow's). Not a row here.
    case FaultKind::StoredIgnored:
    case FaultKind::StoredOffByOne:
    case FaultKind::Swap:
    case FaultKind::Kill: return Effect::Fine;
    }
    return Effect::Fine;
}

struct Outcome {
    std::vector<std::string> shown;  // "136" for a dialog, "msg 41453" for a message box
    std::optional<bool> result;
    bool hasDevice = false;
    bool operator==(const Outcome&) const = default;
};

std::string Dialog(int id) { return std::to_string(id); }

// The reaction of each workflow to a fault: its own dialogs, and for the
// failures it names no dialog for, the program's choice (rejections, no
// response and unreadable answers in a read give 137; in a write,
// initialisation or mode command 139; an escape whose MAN answer does not read
// is a failed escape).
Outcome Expected(Workflow w, Effect e) {
    const bool fine = e == Effect::Fine;
    switch (w) {
    case Workflow::Scan:
        if (fine) return {{}, true, true};
        if (e == Effect::PortGone) return {{Dialog(IDD_OPEN_ERROR)}, false, false};
        return {{"msg " + std::to_string(IDS_DEVICE_NOT_FOUND)}, false, false};
    case Workflow::Read:
        if (fine) return {{}, std::nullopt, true};
        return {{Dialog(IDD_COMM_ERROR)}, std::nullopt, false};
    case Workflow::Write:
        if (fine) return {{Dialog(IDD_SET_DONE)}, true, true};
        return {{Dialog(IDD_SET_ERROR)}, false, true};
    case Workflow::Initialise:
        if (fine) return {{}, true, true};
        return {{Dialog(IDD_SET_ERROR)}, false, true};
    case Workflow::Master:
    case Workflow::Slave:
    case Workflow::Cancel: {
        const int confirm = w == Workflow::Master  ? IDD_MASTER_MODE
                            : w == Workflow::Slave ? IDD_SLAVE_MODE
                                                   : IDD_STANDARD_MODE;
        if (fine) return {{Dialog(confirm)}, std::nullopt, true};
        return {{Dialog(confirm), Dialog(IDD_SET_ERROR)}, std::nullopt, true};
    }
    case Workflow::Escape: return {{}, fine, true};
    }
    return {};
}

std::string Describe(const Outcome& o) {
    std::string text = o.shown.empty() ? "no dialog" : "";
    for (std::size_t i = 0; i < o.shown.size(); ++i) text += (i ? " then " : "") + o.shown[i];
    if (o.result) text += *o.result ? ", true" : ", false";
    text += o.hasDevice ? "" : ", device dropped";
    return text;
}

// ---------------------------------------------------------------- one cell

std::optional<bool> RunWorkflow(Workflow w, CVelmoraDoc& doc) {
    switch (w) {
    case Workflow::Scan: return doc.Scan();
    case Workflow::Read: doc.ReadSettings(); return std::nullopt;
    case Workflow::Write: return doc.WriteSettings(true);
    case Workflow::Initialise: return doc.InitializeDevice();
    case Workflow::Master: doc.SetTransparentMaster(); return std::nullopt;
    case Workflow::Slave: doc.SetTransparentSlave(); return std::nullopt;
    case Workflow::Cancel: doc.CancelTransparentMode(); return std::nullopt;
    case Workflow::Escape: return doc.EscapeTransparentMode(9600, '8', 'N', '1');
    }
    return std::nullopt;
}

struct CellReport {
    Outcome seen;
    Outcome expected;
    bool passed = false;
};

// Collected over the run for the table.
std::map<std::string, std::map<Workflow, CellReport>>& Table() {
    static std::map<std::string, std::map<Workflow, CellReport>> table;
    return table;
}

void RunCell(Workflow w, const FaultRow& row) {
    const Target target = TargetOf(w);
    SCOPED_TRACE(std::string(Name(w)) + " x " + row.name);
    const int failuresBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();

    ModuleConfig config;                               // 9600 8N1, found at the 43rd candidate
    if (w == Workflow::Escape) config.storedMode = 1;  // powered up in transparent mode just now
    SimRig rig(config, kPortName);
    if (w != Workflow::Escape) {
        ASSERT_NO_FATAL_FAILURE(rig.FindAndRead());
    }
    if (w == Workflow::Write) {
        rig.doc.settings.address = 42;
        rig.doc.settings.frequencyIndex = 5;
        rig.doc.settings.pinFunctions[1] = '2';
    }
    const DeviceSettings record = rig.doc.settings;
    const KvDevice* deviceBefore = rig.doc.device.get();
    rig.host.Clear();
    const std::size_t heardBefore = rig.sim.module().Log().size();

    Fault fault = row.fault;
    fault.mnemonic = target.mnemonic;
    rig.sim.module().InjectFault(fault);

    std::optional<bool> result;
    EXPECT_NO_THROW(result = RunWorkflow(w, rig.doc)) << "an exception left the workflow";

    Outcome seen;
    for (const std::string& line : rig.host.log) {
        if (line.rfind("dialog ", 0) == 0) seen.shown.push_back(line.substr(7));
        if (line.rfind("message ", 0) == 0) seen.shown.push_back("msg " + line.substr(8));
    }
    seen.result = result;
    seen.hasDevice = rig.doc.HasDevice();
    const Effect effect = EffectOf(row.fault, target);
    const Outcome expected = Expected(w, effect);
    EXPECT_EQ(Describe(seen), Describe(expected));

    // The fault met its request: the module heard it, or the port went with it.
    bool met = rig.sim.module().PortVanished();
    const auto& heard = rig.sim.module().Log();
    for (std::size_t i = heardBefore; i < heard.size() && !met; ++i) {
        met = heard[i].request.compare(1, 3, target.mnemonic) == 0;
    }
    EXPECT_TRUE(met) << "the disturbed request never reached the module";

    // The document: a failed read or search drops the device, the others keep
    // the one they had; an escape always leaves one.
    if (seen.hasDevice && w != Workflow::Scan && w != Workflow::Escape) {
        EXPECT_EQ(rig.doc.device.get(), deviceBefore) << "device replaced";
    }
    EXPECT_TRUE(rig.doc.settings == record) << "settings record changed";
    EXPECT_TRUE(rig.host.openProgress.empty()) << "progress window left behind";
    EXPECT_EQ(rig.host.waitDepth, 0) << "wait cursor left on";

    // The port is free: nothing holds it, and a fresh conduit opens it at once
    // (once a vanished port is back).
    EXPECT_FALSE(rig.sim.port().IsOpen()) << "port left open";
    if (auto* conduit = rig.doc.device ? dynamic_cast<KvSerialConduit*>(rig.doc.device->conduit) : nullptr) {
        EXPECT_FALSE(conduit->IsOpen());
        EXPECT_FALSE(conduit->keepOpen) << "conduit left in hold mode";
    }
    if (rig.sim.module().PortVanished()) rig.sim.module().ClearFaults();
    KvSerialConduit fresh;
    fresh.portName = kPortName;
    fresh.SetLineSettings(9600, '8', 'N', '1');
    fresh.SelectTimeout();
    fresh.keepOpen = true;
    EXPECT_NO_THROW(fresh.Open()) << "the port cannot be opened again";
    EXPECT_TRUE(fresh.IsOpen());
    fresh.Close();

    const bool passed =
        ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() == failuresBefore;
    Table()[row.name][w] = CellReport{seen, expected, passed};
}

void RunColumn(Workflow w) {
    for (const FaultRow& row : Rows()) RunCell(w, row);
}

// ---------------------------------------------------------------- the table

class MatrixWriter : public ::testing::Environment {
public:
    void TearDown() override {
        const char* path = std::getenv("VELMORA_FAULT_MATRIX_OUT");
        if (path == nullptr || *path == '\0') return;
        const auto rows = Rows();
        std::size_t cells = 0;
        std::size_t passed = 0;
        for (const auto& row : rows) {
            for (Workflow w : kWorkflows) {
                const auto found = Table()[row.name].find(w);
                if (found == Table()[row.name].end()) return;  // a partial run writes nothing
                ++cells;
                passed += found->second.passed ? 1 : 0;
            }
        }

        std::ostringstream out;
        out << "# Fault matrix\n\n"
               "<!-- Generated by tests/device/FaultMatrixTest.cpp (cmake --build <dir> --target "
               "fault-matrix-doc). Do not edit by hand. -->\n\n"
               "Every workflow of the document against every fault the simulated module can inject, run on the\n"
               "virtual clock with the recording host. The module listens at 9600 bps 8N1 and is found by a\n"
               "search before each cell (the escape starts without a device, the module having just powered up\n"
               "in transparent mode). The fault disturbs one request of the workflow, once:\n\n"
               "| workflow | disturbed request | |\n|---|---|---|\n";
        for (Workflow w : kWorkflows) {
            const Target t = TargetOf(w);
            out << "| " << Name(w) << " | `" << t.request << "` | " << t.when << " |\n";
        }
        out << "\nA cell lists the modal dialogs and message boxes shown, in order, the workflow's result where "
               "it has one, and\n\"device dropped\" when the document no longer has a device. "
               "Dialogs: 136 port cannot be opened,\n137 communication error, 139 error while setting, 140 setting "
               "done (reload chosen), 142 / 143 / 144\nconfirmation of master / slave / standard mode; msg 41453: "
               "no Tarnik device found. The result:\nscan, a device was found; write, written and a reload "
               "chosen; initialise, the module took it; escape, the\nmodule answered in command mode.\n\n"
               "Checked in every cell besides what it shows: no exception leaves the workflow, the disturbed "
               "request reached\nthe module, a kept device is the same object, the settings record is unchanged, "
               "no progress window or wait\ncursor is left, the port is closed and a fresh conduit opens it right "
               "after (a vanished port once it is back).\n\n";
        out << "| fault |";
        for (Workflow w : kWorkflows) out << " " << Name(w) << " |";
        out << "\n|---|";
        for (std::size_t i = 0; i < std::size(kWorkflows); ++i) out << "---|";
        out << "\n";
        for (const auto& row : rows) {
            out << "| " << row.name << " |";
            for (Workflow w : kWorkflows) {
                const CellReport& cell = Table()[row.name][w];
                out << " " << Describe(cell.seen);
                if (!cell.passed) out << " **FAILED** (expected: " << Describe(cell.expected) << ")";
                out << " |";
            }
            out << "\n";
        }
        out << "\n" << cells << " cells, " << passed << " passed.\n";

        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file) std::fprintf(stderr, "fault matrix: cannot write %s\n", path);
    }
};

[[maybe_unused]] ::testing::Environment* const kMatrixWriter = ::testing::AddGlobalTestEnvironment(new MatrixWriter);

}  // namespace

TEST(FaultMatrix, Scan) { RunColumn(Workflow::Scan); }
TEST(FaultMatrix, ReadSettings) { RunColumn(Workflow::Read); }
TEST(FaultMatrix, WriteSettings) { RunColumn(Workflow::Write); }
TEST(FaultMatrix, InitializeDevice) { RunColumn(Workflow::Initialise); }
TEST(FaultMatrix, TransparentMaster) { RunColumn(Workflow::Master); }
TEST(FaultMatrix, TransparentSlave) { RunColumn(Workflow::Slave); }
TEST(FaultMatrix, CancelTransparentMode) { RunColumn(Workflow::Cancel); }
TEST(FaultMatrix, EscapeTransparentMode) { RunColumn(Workflow::Escape); }
