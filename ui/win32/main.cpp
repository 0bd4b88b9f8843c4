#include <windows.h>

#include <cstdlib>

#include "CVelmoraApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The C run-time has split the command line already (wide entry point).
    CVelmoraApp app;
    if (!app.InitInstance(__argc, __wargv)) return 1;
    return app.Run();
}
