// What every test's sink of __Quelder answers besides Invoke: the interfaces
// it offers, a reference count that never deletes, and no type information.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "support/counted_object.hpp"
#include "control/quelder_idl.hpp"

namespace quelder::testing {

// COM interfaces have no virtual destructor; a sink belongs to its test.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A sink of __Quelder; a test derives its own Invoke. Release never deletes.
class QuelderSinkBase : public CountedObject<IDispatch, IID_IDispatch, DIID___Quelder> {
public:
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

#pragma GCC diagnostic pop

}  // namespace quelder::testing
