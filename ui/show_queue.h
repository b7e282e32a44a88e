#pragma once
// The waiting line of the gift banner and the car show: items in arrival
// order, some still waiting for their picture. A room flooded with gifts
// must not grow it without end, so it holds at most kMaxShowItems; the
// oldest item that could be shown makes room for a new one (waiting items
// are dropped only when none is ready).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "room/chat_view.h"

inline constexpr std::size_t kMaxShowItems = 64;

// Item: a `ShowPictureKey pending` member, 0 once its picture is there.
template <class Item>
class CShowQueue {
public:
    void Push(Item item) {
        if (items_.size() >= kMaxShowItems) DropOne();
        items_.push_back(std::move(item));
    }
    // Removes and returns the first item whose picture is there.
    std::optional<Item> TakeFirstReady() {
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (it->pending != 0) continue;
            Item item = std::move(*it);
            items_.erase(it);
            return item;
        }
        return std::nullopt;
    }
    // The first item waiting for `key`, or null.
    Item* FindPending(ShowPictureKey key) {
        if (key == 0) return nullptr;
        for (Item& item : items_)
            if (item.pending == key) return &item;
        return nullptr;
    }
    // Drops every item waiting for `key`; how many went.
    std::size_t DropPending(ShowPictureKey key) {
        if (key == 0) return 0;
        return std::erase_if(items_, [key](const Item& item) { return item.pending == key; });
    }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const std::deque<Item>& items() const { return items_; }

private:
    void DropOne() {
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (it->pending == 0) {
                items_.erase(it);
                return;
            }
        }
        items_.pop_front();
    }

    std::deque<Item> items_;
};
