// The control container the demo borrows from the system's atl.dll: a child
// window of class "AtlAxWin" whose title is a ProgID creates that control,
// in-place activates it and keeps it for as long as the window lives.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "com/com_base.hpp"
#include "handles/win_handles.hpp"
#include "demo_handles.hpp"

namespace quelder::demo {

class AtlContainer {
public:
    // Loads atl.dll and registers its window classes; check Ready().
    AtlContainer();
    bool Ready() const { return initialised_; }

    // A visible child window of parent at the given place, hosting a new
    // instance of progId; null with GetLastError set on failure.
    handles::UniqueWindow CreateHost(HWND parent, const wchar_t* progId, const RECT& place, int id) const;
    // The control a host window holds.
    HRESULT Control(HWND host, com::ComPtr<IUnknown>& control) const;

private:
    using AxWinInit = BOOL(WINAPI*)();
    using AxGetControl = HRESULT(WINAPI*)(HWND, IUnknown**);

    UniqueModule atl_;
    AxGetControl getControl_ = nullptr;
    bool initialised_ = false;
};

}  // namespace quelder::demo
