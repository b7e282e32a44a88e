#pragma once
// One process-wide instance of T, created on first use. The function-local
// static makes first use thread-safe and destroys the instance at exit; for
// the network sinks, which connection threads may still call during exit,
// c_leaky_singleton keeps the instance alive for the life of the process.

template <class T>
class c_singleton {
public:
    static T& instance() {
        static T obj;
        return obj;
    }

protected:
    c_singleton() = default;
    ~c_singleton() = default;
    c_singleton(const c_singleton&) = delete;
    c_singleton& operator=(const c_singleton&) = delete;
};

template <class T>
class c_leaky_singleton {
public:
    static T& instance() {
        static T* obj = new T;
        return *obj;
    }

protected:
    c_leaky_singleton() = default;
    ~c_leaky_singleton() = default;
    c_leaky_singleton(const c_leaky_singleton&) = delete;
    c_leaky_singleton& operator=(const c_leaky_singleton&) = delete;
};
