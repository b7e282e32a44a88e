#pragma once
// The microphone queue as the server last announced it: who is queued, in
// order, the head's seconds left and the two switches. The list notify
// replaces it whole; the remove answers trim it. Only users in the room are
// kept, but "whose turn it is" stays the server's first id even when that
// user's arrival has not reached us yet.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "net/catalogue_mic.h"
#include "room/room_user.h"

// One line of the queue list control: tag = user id, text in label markup.
struct MicQueueLine {
    std::uint32_t userId = 0;
    std::string text;
};

// The queue list control follows the queue through this observer.
class IMicQueueObserver {
public:
    virtual ~IMicQueueObserver() = default;
    // Every line again (a notify, a removal).
    virtual void OnQueueShown(const std::vector<MicQueueLine>& lines) = 0;
    // One line redrawn (its speaking mark).
    virtual void OnQueueLineChanged(std::size_t index, const MicQueueLine& line) = 0;
};

class CMicQueue {
public:
    // More would only be a peer flooding us; the server keeps 100.
    static constexpr std::size_t kMaxIds = 500;

    // Replaces the queue from a list notify; ids of users not in `users`
    // are skipped, repeats taken once.
    void Assign(const msg::Control_Wheat_List_Notify& n,
                const std::map<std::uint32_t, RoomUser>& users);
    // Takes a user out; true when it was queued. A removed head passes the
    // turn to the next in line, whose seconds the server has not told yet.
    bool Remove(std::uint32_t userId);
    void Clear();

    // One second of the head's turn: the countdown label's text before the
    // second passes ("%ds"), empty once nothing is left to count.
    std::string Tick();
    std::string SecondsText() const;

    const std::vector<std::uint32_t>& ids() const { return ids_; }
    bool empty() const { return ids_.empty(); }
    bool Contains(std::uint32_t userId) const;
    // Whose turn it is as the server said it: 0 when nobody's.
    std::uint32_t head() const { return head_; }
    std::uint32_t headSeconds() const { return headSeconds_; }
    bool controlled() const { return controlled_; }
    bool forbidden() const { return forbidden_; }
    void SetControlled(bool c) { controlled_ = c; }
    void SetForbidden(bool f) { forbidden_ = f; }

private:
    std::vector<std::uint32_t> ids_;
    std::uint32_t head_ = 0;
    std::uint32_t headSeconds_ = 0;
    bool controlled_ = false;
    bool forbidden_ = false;
};
