#pragma once
// How loud each user sounds to me: the volume I chose per user (0–200 %),
// kept in my folder's "volumes.xml", read when the room starts and set by
// the user menu's slider or the headless "/vol ID PERCENT". The voice
// engine asks Volume() for each speaker it mixes.

#include <cstdint>
#include <memory>
#include <string>

#include "audio/user_volumes.h"
#include "room/room_session.h"

class CRoomVolumes : public IRoomFeature {
public:
    // Construct after session.Start(); adds itself to the session.
    explicit CRoomVolumes(CRoomSession& session);
    ~CRoomVolumes() override;
    CRoomVolumes(const CRoomVolumes&) = delete;
    CRoomVolumes& operator=(const CRoomVolumes&) = delete;

    int Volume(std::uint32_t userId) const { return volumes_.Volume(userId); }
    // Read by the playback thread as it mixes.
    const CUserVolumes& volumes() const { return volumes_; }
    // Clamped to 0–200 and stored; false when the file could not be written.
    bool SetVolume(std::uint32_t userId, int percent);

    // IRoomFeature
    bool OnPacket(std::uint32_t, const unsigned char*, std::size_t) override { return false; }
    bool OnTypedCommand(const std::string& line) override;

private:
    void Report(std::uint32_t userId);

    CRoomSession& session_;
    CUserVolumes volumes_;
};
