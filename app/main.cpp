// zeri: the client's entry point. Brings the platform services up in order,
// signs in, runs the event loop and tears down in reverse.

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/options.h"
#include "core/paths.h"
#include "platform/winmsg/message_target.h"

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

    // Headless runs need no display: a core application drives the same loop.
    std::unique_ptr<QCoreApplication> app;
    if (opt.headless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    InstallQtMessageRouter();

    const std::string conf = paths::DataFolder() + "conf/";
    if (!paths::DirExists(conf)) paths::MakeDirs(conf);

    log_msg("app  start data=%s server=%s\r\n", paths::DataFolder().c_str(), opt.server.c_str());
    // Sign-in and the room window arrive with the account service; until then
    // the program says so instead of pretending to connect.
    std::fprintf(stderr, "zeri: sign-in is not available in this build yet\n");
    log_msg("app  exit\r\n");
    return 0;
}
