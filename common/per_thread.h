#pragma once
// The shared objects of the common library are made on first use and kept, one per
// user-interface thread.

#include <memory>

namespace zavek {

template <class T> class PerThread {
public:
    static T& get() {
        auto& slot = storage();
        if (!slot)
            slot = std::make_unique<T>();
        return *slot;
    }
    // For tests and for a host that tears a thread's state down: drops this thread's object.
    static void reset() { storage().reset(); }

private:
    static std::unique_ptr<T>& storage() {
        thread_local std::unique_ptr<T> slot;
        return slot;
    }
};

} // namespace zavek
