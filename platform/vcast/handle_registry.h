#pragma once
// The live instances behind the library's opaque handles. A call looks its
// handle up and keeps the instance alive while it runs, so a release on
// another thread can never free it under a call in flight; a released or
// unknown handle finds nothing and the call does nothing.

#include <map>
#include <memory>
#include <mutex>

template <class T>
class CHandleRegistry {
public:
    T* Add(std::shared_ptr<T> instance) {
        std::lock_guard<std::mutex> g(lock_);
        T* handle = instance.get();
        live_[handle] = std::move(instance);
        return handle;
    }
    std::shared_ptr<T> Find(const T* handle) {
        std::lock_guard<std::mutex> g(lock_);
        auto it = live_.find(handle);
        return it == live_.end() ? nullptr : it->second;
    }
    std::shared_ptr<T> Remove(const T* handle) {
        std::lock_guard<std::mutex> g(lock_);
        auto it = live_.find(handle);
        if (it == live_.end()) return nullptr;
        auto instance = std::move(it->second);
        live_.erase(it);
        return instance;
    }

private:
    std::mutex lock_;
    std::map<const T*, std::shared_ptr<T>> live_;
};
