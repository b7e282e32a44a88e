// zeri: the client's entry point: the flags, then the client's life
// (app/client.h).

#include <cstdio>
#include <string>
#include <vector>

#include "app/client.h"
#include "core/options.h"
#include "core/paths.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ClientOptions opt;
    std::string error;
    if (!ParseClientOptions(args, opt, error)) {
        std::fprintf(stderr, "zeri: %s\n%s", error.c_str(), ClientUsage());
        return 2;
    }
    if (opt.help) {
        std::fputs(ClientUsage(), stdout);
        return 0;
    }
    if (!opt.dataDir.empty()) paths::SetDataFolderOverride(opt.dataDir);
    ClientIo io;
    io.stopOnSignals = true;
    return RunClient(argc, argv, opt, ClientPorts{}, io);
}
