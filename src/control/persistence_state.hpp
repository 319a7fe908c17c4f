// Where the control's saved properties stand: whether they changed since
// the container started or last saved them, and whether it started them.
// A container starts them once, as a new control's (InitNew) or from what it
// saved (Load), never both; a load that fails starts nothing.
#pragma once

namespace quelder::win32 {

class PersistenceState {
public:
    bool Dirty() const { return dirty_; }
    void Changed() { dirty_ = true; }
    void Saved(bool clearDirty) {
        if (clearDirty) dirty_ = false;
    }

    // Whether InitNew or Load may start the properties now.
    bool CanStart() const { return start_ == Start::None; }
    // InitNew done, or a Load begun (no other start may run meanwhile, even
    // one the stream or bag makes while it is read) and ended.
    void Started() {
        start_ = Start::Done;
        dirty_ = false;
    }
    void LoadBegun() { start_ = Start::Loading; }
    void LoadEnded(bool succeeded) {
        if (succeeded)
            Started();
        else
            start_ = Start::None;
    }

private:
    bool dirty_ = false;
    enum class Start { None, Loading, Done };
    Start start_ = Start::None;
};

}  // namespace quelder::win32
