#pragma once
// Command-line flags of the client.

#include <string>
#include <vector>

struct ClientOptions {
    std::string server = "127.0.0.1";  // every service host
    bool serverGiven = false;          // --server was on the command line
    std::string user;
    std::string password;
    std::string dataDir;
    unsigned room = 0;  // enter at start when non-zero
    std::string audioIn;   // a WAV played as the microphone (instead of the sound server)
    std::string audioOut;  // a folder the outputs are written into as WAV files
    bool anchor = false;       // ask for the anchor microphone once in the room
    std::string videoSource;   // "pattern", "screen" or "file:PATH": broadcast it with the anchor microphone
    bool record = false;       // record the room to MP4 from entering it until leaving
    bool headless = false;
    bool help = false;
};

// False with a message in `error` for an unknown flag, a flag without its
// value or a room id that is not a positive number.
bool ParseClientOptions(const std::vector<std::string>& args, ClientOptions& out,
                        std::string& error);

const char* ClientUsage();
