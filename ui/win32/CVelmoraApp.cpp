#include "CVelmoraApp.h"

#include <commctrl.h>

#include <string>

#include "KvClock.h"
#include "ResourceIds.h"
#include "TarnikSim.h"

CVelmoraApp::CVelmoraApp() : doc_(host_), view_(doc_, host_), frame_(view_, host_) {}

CVelmoraApp::~CVelmoraApp() {
    if (IsWindow(frame_.Window())) DestroyWindow(frame_.Window());
}

bool CVelmoraApp::InitInstance(int argc, wchar_t** argv) {
    // The system's look for the dialog controls (common controls 6, by the manifest).
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    bool demo = false;
    int showDialog = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--demo") demo = true;
        if (arg == L"--exit-after-first-paint") exitAfterFirstPaint_ = true;
        if (arg == L"--show-dialog" && i + 1 < argc) showDialog = _wtoi(argv[++i]);
    }
    if (demo) {
        // Starts at 19200 8E1, so a scan visibly walks through the faster candidates first.
        tarnik::sim::ModuleConfig config;
        config.line = tarnik::sim::LineSettings{19200, '8', 'E', '1'};
        demo_ = std::make_unique<tarnik::sim::SimulatedPort>("COM1", config, SteadyClock(), true);
    }

    if (!frame_.Create()) return false;
    if (demo_) frame_.AddDemoMenu([this] { demo_->module().PowerCycle(); });
    accelerators_ = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ShowWindow(frame_.Window(), SW_SHOWNORMAL);
    UpdateWindow(frame_.Window());
    if (showDialog != 0) frame_.ShowDialogLater(showDialog);
    return true;
}

int CVelmoraApp::Run() {
    if (exitAfterFirstPaint_) {
        // InitInstance's UpdateWindow has painted the frame and every control of
        // the form; what has been invalidated since is painted now (a second full
        // repaint would only paint the same pixels again), then whatever else is queued.
        RedrawWindow(frame_.Window(), nullptr, nullptr, RDW_ALLCHILDREN | RDW_UPDATENOW);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return 0;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        view_.BeforeInput(message);
        if (TranslateAcceleratorW(frame_.Window(), accelerators_, &message)) continue;
        if (IsDialogMessageW(view_.Window(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
