// A link to an object that callers reach while it may be going on another
// thread (a window's messages, an accessibility client's calls). Each use
// pins the object: a reference taken under the link's lock, and only while
// the object lives, never reviving one whose last Release has begun. The
// object cuts the link under the same lock as it goes. The lock is held for
// the pin alone, never while the pinned object runs.
#pragma once

#include <windows.h>

#include <utility>

namespace quelder::com {

class Pinnable {
public:
    // A reference if the object still lives (Object::TryAddRef).
    virtual bool TryPin() noexcept = 0;
    virtual void Unpin() noexcept = 0;

protected:
    ~Pinnable() = default;
};

class WeakLink {
public:
    explicit WeakLink(Pinnable* target) : target_(target) {}
    WeakLink(const WeakLink&) = delete;
    WeakLink& operator=(const WeakLink&) = delete;

    class Pin {
    public:
        explicit Pin(Pinnable* pinned) : pinned_(pinned) {}
        ~Pin() {
            if (pinned_ != nullptr) pinned_->Unpin();
        }
        Pin(Pin&& other) noexcept : pinned_(std::exchange(other.pinned_, nullptr)) {}
        Pin(const Pin&) = delete;
        Pin& operator=(const Pin&) = delete;
        Pin& operator=(Pin&&) = delete;
        explicit operator bool() const { return pinned_ != nullptr; }

    private:
        Pinnable* pinned_;
    };

    // The object pinned, or an empty pin once it is cut off or going.
    Pin Take() const noexcept {
        AcquireSRWLockShared(&lock_);
        Pinnable* pinned = target_ != nullptr && target_->TryPin() ? target_ : nullptr;
        ReleaseSRWLockShared(&lock_);
        return Pin(pinned);
    }
    // The object goes: no use pins it from now on.
    void CutOff() noexcept {
        AcquireSRWLockExclusive(&lock_);
        target_ = nullptr;
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
    Pinnable* target_;
};

}  // namespace quelder::com
