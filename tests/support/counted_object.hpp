// The IUnknown of the COM objects the tests hand to the control (sinks,
// property bags, objects that are no picture): QueryInterface for IUnknown,
// Interface and the other interfaces named, and a reference count a test
// can read. Release never deletes: each object belongs to its test.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace quelder::testing {

// COM interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

template <typename Interface, const IID&... Offered>
class CountedObject : public Interface {
public:
    LONG references = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !(IsEqualIID(riid, Offered) || ...)) return E_NOINTERFACE;
        *ppv = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }
};

#pragma GCC diagnostic pop

}  // namespace quelder::testing
