#include <cstdio>
#include <exception>

#include "CVelmoraApp.h"

int main(int argc, char** argv)
{
    // The last guard: the program ends with a message, never with an abort.
    try {
        CVelmoraApp app(argc, argv);
        if (!app.InitInstance()) return 1;
        return app.Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmora: internal error: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "velmora: internal error\n");
    }
    return 70;
}
