#pragma once
// The volume the listener chose for each user (0–200 %, 100 when never
// chosen), kept in "volumes.xml" in the listener's folder and written
// atomically. A damaged or missing file means every user at 100 %.
//
//   <volumes><user id="10003" volume="150"/></volumes>

#include <cstdint>
#include <map>
#include <mutex>
#include <mutex>
#include <string>

class CUserVolumes {
public:
    // The file's path; Load reads it, Set writes it.
    explicit CUserVolumes(std::string path) : path_(std::move(path)) {}

    // False (and every user at 100 %) when the file is missing or damaged.
    bool Load();
    int Volume(std::uint32_t userId) const;
    // Clamped to 0–200; 100 removes the entry. False when the file could
    // not be written (the value still holds for this run).
    bool Set(std::uint32_t userId, int percent);

private:
    bool Save(const std::map<std::uint32_t, int>& volumes) const;

    std::string path_;
    // The playback thread reads while the room's thread sets.
    mutable std::mutex lock_;
    std::map<std::uint32_t, int> volumes_;
};
