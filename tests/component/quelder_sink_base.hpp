// What every test's sink of __Quelder answers besides Invoke: the interfaces
// it offers, a reference count that never deletes, and no type information.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "component/quelder_idl.hpp"

namespace quelder::testing {

// COM interfaces have no virtual destructor; a sink belongs to its test.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A sink of __Quelder; a test derives its own Invoke. Release never deletes.
class QuelderSinkBase : public IDispatch {
public:
    LONG references = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, DIID___Quelder))
            return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--references); }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

#pragma GCC diagnostic pop

}  // namespace quelder::testing
