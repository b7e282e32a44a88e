// zeri-server: the room relay on TCP 6666, the account service on HTTP
// 8080 and the item catalogue on HTTP 8000, with their state in one SQLite
// database under the data folder.

#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/paths.h"
#include "server/server_app.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    server::ServerOptions options;
    std::string error;
    if (!server::ParseServerOptions(args, options, error)) {
        std::fprintf(stderr, "zeri-server: %s\n%s", error.c_str(), server::ServerUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(server::ServerUsage(), stdout);
        return 0;
    }
    // The log follows the data folder.
    if (!options.dataDir.empty()) paths::SetDataFolderOverride(options.dataDir);

    if (!options.issueTokenFor.empty()) {
        const std::string token = server::IssueTokenFor(options, error);
        if (token.empty()) {
            std::fprintf(stderr, "zeri-server: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", token.c_str());
        return 0;
    }

    // Every user holds connections: take all the descriptors the system
    // allows this process, not the shell's smaller default.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    server::CZeriServer srv(options);
    if (!srv.Start(error)) {
        std::fprintf(stderr, "zeri-server: %s\n", error.c_str());
        return 1;
    }
    srv.StopOnSignals();
    std::printf("zeri-server: room relay on %s:%u, account service on port %u, "
                "item catalogue on port %u\n",
                options.listen.c_str(), static_cast<unsigned>(srv.port()),
                static_cast<unsigned>(srv.accountPort()), static_cast<unsigned>(srv.cataloguePort()));
    std::fflush(stdout);
    srv.Wait();
    return 0;
}
