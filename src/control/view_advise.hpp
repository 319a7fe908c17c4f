// The container's view advise sink (IViewObject::SetAdvise): whom to tell
// that the control's picture changed, for which aspects, and whether once.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "com/com_ptr.hpp"

namespace quelder::win32 {

class ViewAdvise {
public:
    // IViewObject::SetAdvise. A null sink ends the advise. Fails with
    // DV_E_DVASPECT, changing nothing, for a sink that wants neither the
    // content nor the printed aspect.
    HRESULT Set(DWORD aspects, DWORD flags, IAdviseSink* sink);
    // IViewObject::GetAdvise; each pointer may be null.
    void Get(DWORD* aspects, DWORD* flags, IAdviseSink** sink) const;
    // Whether the sink asked to hear at once when it was set.
    bool PrimeFirst() const { return (flags_ & ADVF_PRIMEFIRST) != 0; }

    // Tells the sink that the picture changed; a sink advised once is
    // forgotten before it hears. The caller keeps the control alive.
    void Send();
    // Forgets the sink and hands it over, for the caller to release once the
    // control no longer knows it (its release may call the control back).
    com::ComPtr<IAdviseSink> Take();

private:
    com::ComPtr<IAdviseSink> sink_;
    DWORD aspects_ = 0;
    DWORD flags_ = 0;
};

}  // namespace quelder::win32
