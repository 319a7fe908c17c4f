#include "com/dispatch.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <new>

#include "com/com_error.hpp"
#include "host/control_error.hpp"

namespace quelder::com {

namespace {

// Owners of what ITypeInfo hands out.
struct TypeAttr {
    TypeAttr(ITypeInfo* owner, TYPEATTR* value) : info(owner), attr(value) {}
    ~TypeAttr() { info->ReleaseTypeAttr(attr); }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    const TYPEATTR* operator->() const { return attr; }
    ITypeInfo* info;
    TYPEATTR* attr;
};

ComPtr<ITypeInfo> TypeInfoOf(ITypeLib& library, REFGUID guid) {
    ComPtr<ITypeInfo> info;
    const HRESULT hr = library.GetTypeInfoOfGuid(guid, info.GetAddressOf());
    if (FAILED(hr)) throw HresultError(hr);
    return info;
}

TypeAttr AttrOf(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    const HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) throw HresultError(hr);
    return TypeAttr(info, attr);
}

struct FuncDesc {
    FuncDesc(ITypeInfo* owner, FUNCDESC* value) : info(owner), desc(value) {}
    ~FuncDesc() {
        if (desc) info->ReleaseFuncDesc(desc);
    }
    FuncDesc(const FuncDesc&) = delete;
    FuncDesc& operator=(const FuncDesc&) = delete;
    ITypeInfo* info;
    FUNCDESC* desc;
};

// A call's storage for each parameter: within the object for the few that
// members have, so that a call allocates nothing; on the heap beyond that.
template <typename T>
class Slots {
public:
    explicit Slots(std::size_t count) {
        if (count > kInline) heap_ = std::make_unique<T[]>(count);
    }
    T* data() { return heap_ ? heap_.get() : inline_.data(); }
    T& operator[](std::size_t i) { return data()[i]; }

private:
    static constexpr std::size_t kInline = 8;
    std::array<T, kInline> inline_{};
    std::unique_ptr<T[]> heap_;
};

}  // namespace

TypeInfoDispatch::TypeInfoDispatch(ITypeInfo* dual) : dispatchInfo_(dual) {
    if (dual == nullptr) throw HresultError(E_POINTER);
    iid_ = AttrOf(dual)->guid;

    // Calls go through the virtual table: read the members from its side of
    // the dual interface, where each has its offset and its result parameter.
    ComPtr<ITypeInfo> vtable;
    HREFTYPE ref = 0;
    if (SUCCEEDED(dual->GetRefTypeOfImplType(-1, &ref))) {
        const HRESULT hr = dual->GetRefTypeInfo(ref, vtable.GetAddressOf());
        if (FAILED(hr)) throw HresultError(hr);
    } else {
        vtable = dual;
    }
    const int count = AttrOf(vtable.Get())->cFuncs;
    for (int i = 0; i < count; ++i) {
        FuncDesc func(vtable.Get(), nullptr);
        if (FAILED(vtable->GetFuncDesc(static_cast<UINT>(i), &func.desc))) continue;
        Member member;
        member.id = func.desc->memid;
        member.kind = func.desc->invkind;
        member.vtableOffset = func.desc->oVft;
        for (SHORT p = 0; p < func.desc->cParams; ++p) {
            const ELEMDESC& element = func.desc->lprgelemdescParam[p];
            Param param = Describe(vtable.Get(), element.tdesc, 0);
            param.retval = (element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0;
            param.optional = (element.paramdesc.wParamFlags & PARAMFLAG_FOPT) != 0;
            member.params.push_back(param);
        }
        members_.push_back(std::move(member));
    }
}

TypeInfoDispatch::Param TypeInfoDispatch::Describe(ITypeInfo* info, const TYPEDESC& type, int pointers) {
    const TYPEDESC* t = &type;
    while (t->vt == VT_PTR) {
        ++pointers;
        t = t->lptdesc;
    }
    Param param;
    if (t->vt != VT_USERDEFINED) {
        param.vt = t->vt;
        if (param.vt == VT_DISPATCH) param.objectIid = IID_IDispatch;
        if (param.vt == VT_UNKNOWN) param.objectIid = IID_IUnknown;
        param.byRef = pointers > 0;
        return param;
    }
    ComPtr<ITypeInfo> referenced;
    const HRESULT hr = info->GetRefTypeInfo(t->hreftype, referenced.GetAddressOf());
    if (FAILED(hr)) throw HresultError(hr);
    const TypeAttr attr = AttrOf(referenced.Get());
    switch (attr->typekind) {
        case TKIND_ALIAS:
            return Describe(referenced.Get(), attr->tdescAlias, pointers);
        case TKIND_ENUM:
            param.vt = VT_I4;
            break;
        case TKIND_DISPATCH:
        case TKIND_INTERFACE:
            // The interface pointer is the value: one level of pointer is its own.
            param.vt = (attr->typekind == TKIND_DISPATCH || (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE) != 0) ? VT_DISPATCH
                                                                                                             : VT_UNKNOWN;
            param.objectIid = attr->guid;
            --pointers;
            break;
        default:
            throw HresultError(TYPE_E_UNSUPFORMAT);
    }
    param.byRef = pointers > 0;
    return param;
}

const TypeInfoDispatch::Member* TypeInfoDispatch::Find(DISPID id, WORD flags) const {
    auto byKind = [&](INVOKEKIND kind) -> const Member* {
        for (const Member& m : members_)
            if (m.id == id && m.kind == kind) return &m;
        return nullptr;
    };
    const Member* found = nullptr;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
        if ((flags & DISPATCH_PROPERTYPUTREF) != 0 && (found = byKind(INVOKE_PROPERTYPUTREF))) return found;
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            if ((found = byKind(INVOKE_PROPERTYPUT))) return found;
            // An object assigned without Set: the by-reference setter takes it.
            return byKind(INVOKE_PROPERTYPUTREF);
        }
        return nullptr;
    }
    if ((flags & DISPATCH_METHOD) != 0 && (found = byKind(INVOKE_FUNC))) return found;
    // A property read, also when it comes as a call (JScript's b.Piece(1, 1)).
    if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0) return byKind(INVOKE_PROPERTYGET);
    return nullptr;
}

DISPID TypeInfoDispatch::IdOfName(const wchar_t* name) const {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(dispatchInfo_->GetIDsOfNames(names, 1, &id))) return DISPID_UNKNOWN;
    return id;
}

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* count) const {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) const {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    dispatchInfo_->AddRef();
    *info = dispatchInfo_.Get();
    return S_OK;
}

HRESULT TypeInfoDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) const {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (count == 0) return S_OK;
    for (UINT i = 0; i < count; ++i)
        if (names[i] == nullptr) return E_POINTER;
    return dispatchInfo_->GetIDsOfNames(names, count, ids);
}

HRESULT TypeInfoDispatch::Invoke(void* instance, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr) const {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (instance == nullptr || params == nullptr) return E_POINTER;
    if ((params->cArgs > 0 && params->rgvarg == nullptr) || params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr))
        return E_INVALIDARG;
    if (result != nullptr) VariantInit(result);

    const Member* member = Find(id, flags);
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
    const int inputs = member->Inputs();
    const int args = static_cast<int>(params->cArgs);
    if (args < member->Required() || args > inputs) return DISP_E_BADPARAMCOUNT;
    auto fail = [argErr](UINT at, HRESULT hr) {
        if (argErr != nullptr) *argErr = at;
        return hr;
    };

    try {
        // Which entry of rgvarg each parameter comes from: named arguments
        // first (the value of a property put is DISPID_PROPERTYPUT), then the
        // positional ones in reverse order.
        Slots<int> source(static_cast<std::size_t>(inputs));
        std::fill_n(source.data(), inputs, -1);
        const int named = static_cast<int>(params->cNamedArgs);
        const bool put = member->kind == INVOKE_PROPERTYPUT || member->kind == INVOKE_PROPERTYPUTREF;
        for (int i = 0; i < named; ++i) {
            const DISPID name = params->rgdispidNamedArgs[i];
            const int slot = (name == DISPID_PROPERTYPUT && put) ? inputs - 1 : static_cast<int>(name);
            if (slot < 0 || slot >= inputs || source[static_cast<std::size_t>(slot)] != -1)
                return fail(static_cast<UINT>(i), DISP_E_PARAMNOTFOUND);
            source[static_cast<std::size_t>(slot)] = i;
        }
        for (int k = 0; k < args - named; ++k) {
            if (source[static_cast<std::size_t>(k)] != -1) return fail(static_cast<UINT>(args - 1 - k), DISP_E_PARAMNOTFOUND);
            source[static_cast<std::size_t>(k)] = args - 1 - k;
        }

        // Each argument converted to the parameter's type, into storage of our
        // own: a by-reference parameter points there, so nothing the member
        // does reaches the caller's variable.
        const std::size_t count = member->params.size();
        Slots<Variant> values(count);
        for (std::size_t slot = 0; slot < static_cast<std::size_t>(inputs); ++slot) {
            const Param& param = member->params[slot];
            if (source[slot] == -1) {
                // An optional parameter left out: "missing", as the caller of
                // the virtual table would pass it.
                if (!param.optional || param.vt != VT_VARIANT) return DISP_E_PARAMNOTFOUND;
                V_VT(&values[slot]) = VT_ERROR;
                V_ERROR(&values[slot]) = DISP_E_PARAMNOTFOUND;
                continue;
            }
            const UINT at = static_cast<UINT>(source[slot]);
            Variant copy;
            const VARIANT* value = nullptr;
            HRESULT hr = Dereference(params->rgvarg[at], copy, value);
            // No parameter takes an array.
            if (SUCCEEDED(hr) && (V_VT(value) & VT_ARRAY) != 0) hr = DISP_E_TYPEMISMATCH;
            if (SUCCEEDED(hr)) {
                if (param.vt == VT_VARIANT) {
                    // Taken as it comes, by value.
                    hr = VariantCopy(&values[slot], const_cast<VARIANT*>(value));
                } else if (param.vt == VT_DISPATCH || param.vt == VT_UNKNOWN) {
                    if (V_VT(value) != VT_DISPATCH && V_VT(value) != VT_UNKNOWN) return fail(at, DISP_E_TYPEMISMATCH);
                    IUnknown* object = V_UNKNOWN(value);
                    void* typed = nullptr;
                    if (object != nullptr && FAILED(object->QueryInterface(param.objectIid, &typed)))
                        return fail(at, DISP_E_TYPEMISMATCH);
                    V_VT(&values[slot]) = param.vt;
                    V_UNKNOWN(&values[slot]) = static_cast<IUnknown*>(typed);
                } else {
                    hr = VariantChangeTypeEx(&values[slot], const_cast<VARIANT*>(value), lcid, 0, param.vt);
                }
            }
            if (hr == DISP_E_OVERFLOW) {
                fail(at, hr);
                const HRESULT overflow = SetError(HresultOf(error::kOverflow), L"Overflow", iid_);
                if (excepinfo == nullptr) return overflow;
                FillExcepInfo(overflow, excepinfo);
                return DISP_E_EXCEPTION;
            }
            if (hr == E_OUTOFMEMORY) return hr;
            if (FAILED(hr)) return fail(at, hr == DISP_E_BADVARTYPE ? hr : DISP_E_TYPEMISMATCH);
        }
        if (member->HasResult()) V_VT(&values[count - 1]) = member->params.back().vt;

        Slots<VARIANTARG> actuals(count);
        Slots<VARIANTARG*> pointers(count);
        Slots<VARTYPE> types(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (member->params[i].byRef) {
                actuals[i] = VARIANTARG{};
                V_VT(&actuals[i]) = static_cast<VARTYPE>(VT_BYREF | member->params[i].vt);
                V_BYREF(&actuals[i]) = &V_I8(&values[i]);  // the start of the value, whatever its type
            } else {
                actuals[i] = values[i];  // a view: values keeps ownership
            }
            types[i] = V_VT(&actuals[i]);
            if (!member->params[i].byRef && member->params[i].vt == VT_VARIANT) types[i] = VT_VARIANT;
            pointers[i] = &actuals[i];
        }

        Variant returned;
        const HRESULT call = DispCallFunc(instance, static_cast<ULONG_PTR>(member->vtableOffset), CC_STDCALL, VT_ERROR,
                                          static_cast<UINT>(count), types.data(), pointers.data(), &returned);
        if (FAILED(call)) return call;
        const HRESULT hr = V_ERROR(&returned);
        if (FAILED(hr)) {
            if (excepinfo == nullptr) return hr;
            FillExcepInfo(hr, excepinfo);
            return DISP_E_EXCEPTION;
        }
        if (member->HasResult() && result != nullptr) {
            *result = values[count - 1];
            static_cast<VARIANT&>(values[count - 1]) = VARIANT{};
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// ---- shared by a class's objects -------------------------------------------------

std::shared_ptr<const ClassTypes> SharedClassTypes(REFCLSID clsid, REFIID dual) {
    struct Entry {
        CLSID clsid;
        std::weak_ptr<const ClassTypes> types;
    };
    // A few classes: a short list. It holds no object once the objects have
    // gone, so nothing of it is released when the module unloads.
    static std::mutex lock;
    static std::vector<Entry> classes;
    const std::lock_guard<std::mutex> held(lock);
    auto entry = std::find_if(classes.begin(), classes.end(),
                              [&](const Entry& e) { return IsEqualCLSID(e.clsid, clsid); });
    if (entry != classes.end())
        if (auto types = entry->types.lock()) return types;
    const ComPtr<ITypeLib> library = Module::TypeLib();
    auto types = std::make_shared<const ClassTypes>(TypeInfoOf(*library.Get(), clsid),
                                                    TypeInfoOf(*library.Get(), dual).Get());
    if (entry != classes.end())
        entry->types = types;
    else
        classes.push_back({clsid, types});
    return types;
}

}  // namespace quelder::com
