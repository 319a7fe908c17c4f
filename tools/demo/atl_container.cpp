#include "atl_container.hpp"

namespace quelder::demo {

namespace {

// GetProcAddress gives a generic function pointer; this is how it is meant
// to be used.
template <typename Function>
Function Lookup(HMODULE module, const char* name) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
    return reinterpret_cast<Function>(GetProcAddress(module, name));
#pragma GCC diagnostic pop
}

}  // namespace

AtlContainer::AtlContainer() : atl_(LoadLibraryW(L"atl.dll")) {
    if (!atl_) return;
    const auto init = Lookup<AxWinInit>(atl_.get(), "AtlAxWinInit");
    getControl_ = Lookup<AxGetControl>(atl_.get(), "AtlAxGetControl");
    initialised_ = init != nullptr && getControl_ != nullptr && init();
}

handles::UniqueWindow AtlContainer::CreateHost(HWND parent, const wchar_t* progId, const RECT& place, int id) const {
    if (!initialised_) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return {};
    }
    // WS_EX_CONTROLPARENT: Tab goes on into the control's window, which
    // the host holds as its child.
    return handles::UniqueWindow(CreateWindowExW(
        WS_EX_CONTROLPARENT, L"AtlAxWin", progId, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
        place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr));
}

HRESULT AtlContainer::Control(HWND host, com::ComPtr<IUnknown>& control) const {
    control.Reset();
    if (!initialised_) return E_UNEXPECTED;
    return getControl_(host, control.ReleaseAndGetAddressOf());
}

}  // namespace quelder::demo
