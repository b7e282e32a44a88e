#pragma once
// Where the program keeps what it writes. Every folder path ends with "/".
//
//   D = DataFolder()
//   D conf/                      created at start-up
//   D log/                       daily logs
//   D user/<id>/                 the signed-in user's folder (settings, sign.dat,
//                                audio/, Image/, record/)
//   D user/<name>/Image/         pictures chosen or captured before upload

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace paths {

// Folder of the running executable, cached.
std::string ExeFolder();

// The data folder: the override (SetDataFolderOverride, else ZERI_DATA_DIR),
// else $XDG_DATA_HOME/zeri/ (default ~/.local/share/zeri/) when the
// executable lives under /usr/ or /opt/ or in a folder named bin/ (an
// installed program), else the executable's folder.
// Computed on every call.
std::string DataFolder();

// The rule above as a pure function, for tests and callers that know the parts.
std::string ChooseDataFolder(const std::string& exeFolder, const std::string& overrideDir,
                             const std::string& xdgDataHome, const std::string& home);

// --data-dir; an empty string removes it.
void SetDataFolderOverride(const std::string& dir);

// Makes sure a folder path ends with one "/".
std::string WithSlash(std::string dir);

bool DirExists(const std::string& path);

// Creates every folder named before a separator ("/" or "\\"); the last
// component without a trailing separator is not created. True when those
// folders exist afterwards; false when one could not be made (a file in the
// way, no permission) and for an empty path.
bool MakeDirs(const std::string& path);

// 32 lower-case hex digits of a new UUID.
std::string NewUniqueName();

// Folder names taken from outside (user names, picture names) may not leave
// their parent: separators, NUL and "." / ".." are replaced.
std::string SafeComponent(std::string_view name);

// The last path part of a URL, without query or fragment, made safe as a file
// name (SafeComponent); empty when nothing usable is left ("", ".", "..", a
// URL ending in "/"). The one naming rule for every file named after a URL,
// so the chat and the catalogue find the same file.
std::string UrlFileName(std::string_view url);

// D user/<id>/ ; not created here.
std::string UserFolder(std::uint32_t userId);

// D user/<user or "other">/Image/<name or a new unique name>.jpg; creates the
// folder. Empty when the folder cannot be made.
std::string PicturePath(std::string_view user, std::string_view name);

}  // namespace paths
