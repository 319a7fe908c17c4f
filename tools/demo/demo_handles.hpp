// The demo's owners beyond those the control shares (handles/win_handles.hpp):
// a loaded library and the thread's OLE initialisation.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "handles/win_handles.hpp"

namespace quelder::demo {

struct FreeModule {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = handles::Unique<HMODULE, FreeModule>;

// OleInitialize for the lifetime of the object (in-place activation needs OLE,
// not only COM, on the thread that hosts the control).
class OleSession {
public:
    OleSession() : result_(OleInitialize(nullptr)) {}
    ~OleSession() {
        if (SUCCEEDED(result_)) OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

}  // namespace quelder::demo
