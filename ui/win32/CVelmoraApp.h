#pragma once
#include <windows.h>

#include <memory>

#include "CMainFrame.h"
#include "CVelmoraDoc.h"
#include "CVelmoraView.h"
#include "Win32WorkflowHost.h"

namespace tarnik::sim {
class SimulatedPort;
}

// The application: start-up from the command line, the one document, frame and
// settings form, and the message loop. Options:
//   --demo                     a simulated module inside the program on COM1,
//                              and the menu デモ to switch it off and on
//   --exit-after-first-paint   ends as soon as the main window has been painted
//                              (start-up measurements)
//   --show-dialog N            runs the modal dialog N once started (pictures of
//                              dialogs the demo's workflows do not reach)
// Anything else is ignored: every start is an empty document on COM1.
class CVelmoraApp {
public:
    CVelmoraApp();
    ~CVelmoraApp();
    CVelmoraApp(const CVelmoraApp&) = delete;
    CVelmoraApp& operator=(const CVelmoraApp&) = delete;

    bool InitInstance(int argc, wchar_t** argv);
    int Run();

private:
    std::unique_ptr<tarnik::sim::SimulatedPort> demo_;  // outlives the document that talks to it
    Win32WorkflowHost host_;
    CVelmoraDoc doc_;
    CVelmoraView view_;
    CMainFrame frame_;
    HACCEL accelerators_ = nullptr;
    bool exitAfterFirstPaint_ = false;
};
