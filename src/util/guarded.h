// A value together with the mutex that guards it. The value is reached only
// through a lock object, so no caller can read or change it unguarded, and the
// lock lasts exactly as long as the object that lends the value.
#pragma once

#include <mutex>
#include <utility>

namespace wg {

template <class T>
class Guarded {
public:
    class Locked {
    public:
        explicit Locked(Guarded& guarded) : lock_(guarded.mutex_), value_(&guarded.value_) {}
        // Takes over a lock already held (several values locked at once).
        Locked(Guarded& guarded, std::adopt_lock_t)
            : lock_(guarded.mutex_, std::adopt_lock), value_(&guarded.value_) {}
        T& operator*() const { return *value_; }
        T* operator->() const { return value_; }

    private:
        std::unique_lock<std::mutex> lock_;
        T* value_;
    };

    Locked Lock() { return Locked(*this); }
    // The value without its lock, for the few reads that are safe without it
    // (atomic hints such as an index's prefetch).
    const T& Unlocked() const { return value_; }

    // Locks this value and `other` together without deadlock, whatever order
    // other callers lock them in.
    template <class U>
    std::pair<Locked, typename Guarded<U>::Locked> LockWith(Guarded<U>& other) {
        std::lock(mutex_, other.mutex_);
        return {Locked(*this, std::adopt_lock),
                typename Guarded<U>::Locked(other, std::adopt_lock)};
    }

private:
    template <class>
    friend class Guarded;
    std::mutex mutex_;
    T value_{};
};

}  // namespace wg
