#pragma once
// A settings form on a recording view, a document with a recorder host and a
// simulated module on "COM1" that runs on a virtual clock. The view writes what
// the form does to the window as a whole into the host's log, so the log holds
// everything in order: "dialog 148" for the escape dialog, "repaint",
// "window-" / "window+", "fit".
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "CFormView.h"
#include "CSettingsForm.h"
#include "CVelmoraDoc.h"
#include "KvClock.h"
#include "RecorderHost.h"
#include "ResourceIds.h"
#include "TarnikSim.h"

struct ControlState {
    std::string text;
    bool enabled = true;
    std::vector<std::string> items;
    int selection = -1;
    int limit = 0;
};

class RecordingFormView final : public CFormView {
public:
    explicit RecordingFormView(RecorderHost& host) : host_(host) {}

    void SetControlText(int id, const std::string& text) override { controls[id].text = text; }
    std::string GetControlText(int id) const override { return At(id).text; }
    void EnableControl(int id, bool enable) override { controls[id].enabled = enable; }
    void SetListItems(int id, const std::vector<std::string>& texts) override {
        controls[id].items = texts;
        controls[id].selection = -1;
    }
    int GetListSelection(int id) const override { return At(id).selection; }
    void SetListSelection(int id, int index) override { controls[id].selection = index; }
    void SetTextLimit(int id, int characters) override { controls[id].limit = characters; }
    void EnableWindow(bool enable) override { host_.log.push_back(enable ? "window+" : "window-"); }
    void RepaintNow() override { host_.log.push_back("repaint"); }
    void FitFrameToForm() override { host_.log.push_back("fit"); }
    int RunEscapeDialog(SerialSettings& settings) override {
        host_.log.push_back("dialog " + std::to_string(IDD_ESCAPE));
        escapeShown.push_back(settings);
        if (escapeAnswers.empty()) return IDCANCEL;
        auto answer = std::move(escapeAnswers.front());
        escapeAnswers.pop_front();
        return answer(settings);
    }
    std::optional<std::string> AskProfileToOpen() override { return NextFileName("open"); }
    std::optional<std::string> AskProfileToSave(const std::string& current) override {
        return NextFileName("save " + current);
    }
    void ShowProblem(const std::string& text) override {
        host_.log.push_back("problem");
        problems.push_back(text);
    }

    // The text of the selected item of a list ("" when none).
    std::string Selected(int id) const {
        const ControlState& c = At(id);
        return c.selection >= 0 && c.selection < static_cast<int>(c.items.size()) ? c.items[c.selection] : "";
    }

    std::map<int, ControlState> controls;
    // Each answers one run of the escape dialog: may change the settings as a
    // user's choice would, returns IDOK or IDCANCEL. IDCANCEL once they run out.
    std::deque<std::function<int(SerialSettings&)>> escapeAnswers;
    std::vector<SerialSettings> escapeShown;  // what the dialog showed at each run
    // The file dialogs' answers in turn (nothing: cancelled); each run is
    // logged as "file open" or "file save <current>". Cancelled once they run out.
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<std::string> problems;  // the texts of ShowProblem

private:
    std::optional<std::string> NextFileName(const std::string& what) {
        host_.log.push_back("file " + what);
        if (fileAnswers.empty()) return std::nullopt;
        std::optional<std::string> answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
    const ControlState& At(int id) const {
        static const ControlState none;
        const auto it = controls.find(id);
        return it == controls.end() ? none : it->second;
    }
    RecorderHost& host_;
};

inline std::vector<std::string> ComPorts() {
    std::vector<std::string> names;
    for (int i = 1; i <= 20; ++i) names.push_back("COM" + std::to_string(i));
    return names;
}

struct FormRig {
    explicit FormRig(const tarnik::sim::ModuleConfig& config = {})
        : sim("COM1", config, clock, true), host(clock), doc(host), view(host), form(doc, host, view) {
        host.onUpdate = [this] { form.RefreshFromDocument(); };
        form.CreateControls(ComPorts());
        form.FillControlLists();
    }
    tarnik::sim::Module& Module() { return sim.module(); }
    // The search and the read after it; the log starts afresh.
    void ScanAndRead() {
        form.OnScan();
        ASSERT_TRUE(doc.HasDevice());
        host.Clear();
    }
    ControlState& Control(int id) { return view.controls[id]; }
    const std::string& Guide() { return Control(IDC_GUIDE).text; }
    std::size_t Heard() { return Module().Log().size(); }

    KvVirtualClock clock;
    tarnik::sim::SimulatedPort sim;
    RecorderHost host;
    CVelmoraDoc doc;
    RecordingFormView view;
    CSettingsForm form;
};

inline tarnik::sim::Fault MakeFault(tarnik::sim::FaultKind kind, int count, const char* mnemonic = "") {
    tarnik::sim::Fault fault;
    fault.kind = kind;
    fault.count = count;
    fault.mnemonic = mnemonic;
    return fault;
}
