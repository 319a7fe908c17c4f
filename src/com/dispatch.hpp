// IDispatch for a dual interface, driven by its type description: names and
// dispatch ids come from the type info, every call is bound to the member's
// parameters, converted the way script and early-bound clients need, and made
// through the object's own virtual table.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <vector>

#include "com/com_base.hpp"

namespace quelder::com {

class TypeInfoDispatch {
public:
    // dual: the dual interface's type description (the dispatch side, as the
    // type library hands it out). Throws HresultError when it cannot be read.
    explicit TypeInfoDispatch(ITypeInfo* dual);

    ITypeInfo* TypeInfo() const { return dispatchInfo_.Get(); }
    // The dispatch id of a member name; DISPID_UNKNOWN when there is none.
    DISPID IdOfName(const wchar_t* name) const;

    HRESULT GetTypeInfoCount(UINT* count) const;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) const;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) const;
    // instance: the object's pointer of the dual interface. Failures of the
    // member arrive with their error info, which becomes excepinfo.
    HRESULT Invoke(void* instance, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr) const;

private:
    struct Param {
        VARTYPE vt = VT_EMPTY;   // the value's type: VT_I2, VT_I4, VT_BOOL, VT_DISPATCH, ...
        bool byRef = false;      // passed as a pointer to the value
        bool retval = false;     // the member's result
        bool optional = false;   // [optional]: may be left out, from the last one back
        IID objectIid = IID_NULL;  // for VT_DISPATCH / VT_UNKNOWN: the interface asked of the argument
    };
    struct Member {
        MEMBERID id = DISPID_UNKNOWN;
        INVOKEKIND kind = INVOKE_FUNC;
        SHORT vtableOffset = 0;
        std::vector<Param> params;  // in declaration order, the result last
        int Inputs() const { return static_cast<int>(params.size()) - (HasResult() ? 1 : 0); }
        // The inputs a call must pass: those before the trailing optional ones.
        int Required() const {
            int required = Inputs();
            while (required > 0 && params[static_cast<std::size_t>(required - 1)].optional) --required;
            return required;
        }
        bool HasResult() const { return !params.empty() && params.back().retval; }
    };

    // The parameter type behind a type description (aliases, enums and
    // interfaces resolved); pointers counts the levels of pointer seen so far.
    static Param Describe(ITypeInfo* info, const TYPEDESC& type, int pointers);
    const Member* Find(DISPID id, WORD flags) const;

    ComPtr<ITypeInfo> dispatchInfo_;
    IID iid_ = IID_NULL;  // the dual interface's, named in the error info of a failed conversion
    std::vector<Member> members_;
};

// What every object of a class answers from the module's type library: the
// class's own type description (IProvideClassInfo) and its dual interface's
// dispatch. Read once and shared by the objects of the class alive at once,
// whatever their threads (neither changes, and the type library's objects
// serve every apartment); read again for the next object after the last has
// gone. Throws HresultError when the library or a description cannot be read.
struct ClassTypes {
    ClassTypes(ComPtr<ITypeInfo> info, ITypeInfo* dual) : classInfo(std::move(info)), dispatch(dual) {}
    ComPtr<ITypeInfo> classInfo;
    TypeInfoDispatch dispatch;
};
std::shared_ptr<const ClassTypes> SharedClassTypes(REFCLSID clsid, REFIID dual);

}  // namespace quelder::com
