// veltrane-dausim: a simulated DAU behind the stand-in ARCNET driver.
//   veltrane-dausim SOCKET [--cma] [--no-ion-gun] [--techniques XPS&AES]
// Then start the program with VELTRANE_ARCNET_SOCKET=SOCKET and a machine
// configuration whose "DAU Source ID" names a real node (for example 1).

#include "tools/dausim/DauSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SOCKET [--cma] [--no-ion-gun] [--techniques LIST]\n", argv[0]);
        return 2;
    }
    SDauSimConfig config;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--cma"))
            config.m_analyser = "CMA";
        else if (!std::strcmp(argv[i], "--no-ion-gun"))
            config.m_bIonGun = false;
        else if (!std::strcmp(argv[i], "--techniques") && i + 1 < argc)
            config.m_techniques = argv[++i];
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    CDauSimulator sim(config);
    CDauSimServer server(sim, argv[1], true);
    if (!server.Start()) {
        std::fprintf(stderr, "cannot listen on %s\n", argv[1]);
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("DAU simulator listening on %s\n", argv[1]);
    std::fflush(stdout);
    while (!g_stop)
        pause();
    return 0;
}
