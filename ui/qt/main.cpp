#include <cstdio>
#include <exception>

#include "CVelmoraApp.h"

int main(int argc, char** argv) {
    // The command line first: --help, --version and mistakes are answered without a display.
    const CommandLine options = CVelmoraApp::ParseCommandLine(argc, argv);
    if (options.action == CommandLine::Action::Help) {
        std::fputs(CVelmoraApp::Usage(), stdout);
        return 0;
    }
    if (options.action == CommandLine::Action::Version) {
        std::fputs("velmora " VELMORA_VERSION "\n", stdout);
        return 0;
    }
    if (options.action == CommandLine::Action::Fail) {
        std::fprintf(stderr, "velmora: %s\nTry 'velmora --help'.\n", options.error.c_str());
        return 2;
    }
    // The last guard: the program ends with a message, never with an abort.
    try {
        CVelmoraApp app(argc, argv);
        if (!app.InitInstance(options)) return 1;
        return app.Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmora: internal error: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "velmora: internal error\n");
    }
    return 70;
}
