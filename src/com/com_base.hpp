// The COM building blocks of Quelder.ocx, written once: the module's counts of
// live objects and server locks, reference counting with QueryInterface over
// a list of interfaces (the only place that news and deletes objects), and
// owners for interface pointers, BSTRs and VARIANTs.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <atomic>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "com/com_ptr.hpp"

namespace quelder::com {

// ---- the module ---------------------------------------------------------------

class Module {
public:
    static void SetInstance(HINSTANCE instance) { instance_ = instance; }
    // The source named in the error info of a failure ("Project.Class"): the
    // class whose interface failed, or the first class. The strings and IIDs
    // must outlive the module's use (constants).
    static void SetErrorSource(const wchar_t* source) { errorSource_ = source; }
    static void AddErrorSource(const IID* iid, const wchar_t* source) {
        for (auto& entry : sources_)
            if (entry.iid == nullptr) {
                entry = {iid, source};
                return;
            }
    }
    static const wchar_t* ErrorSource(REFIID iid = IID_NULL) {
        for (const auto& entry : sources_)
            if (entry.iid != nullptr && IsEqualIID(*entry.iid, iid)) return entry.source;
        return errorSource_;
    }
    // The DLL's own handle: its resources and its path.
    static HINSTANCE Instance() { return instance_; }
    // The DLL's full path (GetModuleFileName).
    static std::wstring Path();
    // The type library the DLL carries (resource TYPELIB 1), unregistered.
    static ComPtr<ITypeLib> TypeLib();

    static void ObjectCreated() { ++objects_; }
    static void ObjectDestroyed() { --objects_; }
    static void Lock() { ++locks_; }
    static void Unlock() { --locks_; }
    static long Objects() { return objects_; }
    static bool CanUnload() { return objects_ == 0 && locks_ == 0; }

private:
    static inline HINSTANCE instance_ = nullptr;
    static inline const wchar_t* errorSource_ = L"";
    struct Source {
        const IID* iid;  // null: a free entry
        const wchar_t* source;
    };
    static inline Source sources_[4] = {};
    static inline std::atomic<long> objects_{0};
    static inline std::atomic<long> locks_{0};
};

// ---- reference counting ----------------------------------------------------------

// COM interfaces have no virtual destructor; objects are deleted through
// Object, whose destructor is virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Object<I1, I2, ...>: IUnknown for a class that implements the listed
// interfaces. QueryInterface answers IUnknown, each listed interface, and
// IDispatch / IProvideClassInfo for listed interfaces derived from them.
// Create<T>() is the only way to make one; the last Release deletes it.
template <typename... Interfaces>
class Object : public Interfaces... {
public:
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // A new T with one reference, held by the result. Throws what T's
    // constructor throws (std::bad_alloc included).
    template <typename T, typename... Args>
    static ComPtr<T> Create(Args&&... args) {
        static_assert(std::is_base_of_v<Object, T>);
        ComPtr<T> result;
        result.Attach(new T(std::forward<Args>(args)...));
        return result;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            (Find<Interfaces>(riid, ppv) || ...);
            if (*ppv == nullptr) *ppv = QueryOther(riid);
        }
        if (*ppv == nullptr) return E_NOINTERFACE;
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --references_;
        if (left == 0) {
            // Whatever the destructor hands this object to may AddRef and
            // Release it again: that must not come back here.
            references_ = kDying;
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // A reference taken only while the object lives: false once its last
    // Release has begun, so that a caller racing that Release on another
    // thread never brings the object back.
    bool TryAddRef() noexcept {
        long count = references_.load();
        while (count > 0 && count < kDying / 2)
            if (references_.compare_exchange_weak(count, count + 1)) return true;
        return false;
    }

protected:
    Object() { Module::ObjectCreated(); }
    virtual ~Object() { Module::ObjectDestroyed(); }
    // Interfaces not in the list (a subclass's tear-offs); null if none.
    virtual void* QueryOther(REFIID) { return nullptr; }

private:
    template <typename First_, typename...>
    struct Head {
        using type = First_;
    };
    using First = typename Head<Interfaces...>::type;

    template <typename I>
    bool Find(REFIID riid, void** ppv) {
        bool match = IsEqualIID(riid, __uuidof(I));
        if constexpr (std::is_base_of_v<IDispatch, I>) match = match || IsEqualIID(riid, IID_IDispatch);
        if constexpr (std::is_base_of_v<IProvideClassInfo, I>) match = match || IsEqualIID(riid, IID_IProvideClassInfo);
        if (match) *ppv = static_cast<I*>(this);
        return match;
    }

    // The count while the destructor runs.
    static constexpr long kDying = 1L << 30;
    std::atomic<long> references_{1};
};

#pragma GCC diagnostic pop

// ---- strings and variants -----------------------------------------------------------

std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// An owned BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text);
    ~Bstr() { SysFreeString(value_); }
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(value_, other.value_);
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return value_; }
    BSTR* put() {
        SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }
    BSTR release() { return std::exchange(value_, nullptr); }
    std::wstring_view view() const { return {value_ ? value_ : L"", SysStringLen(value_)}; }

private:
    BSTR value_ = nullptr;
};

// An owned VARIANT, zero-filled when made and cleared when it goes.
class Variant : public VARIANT {
public:
    Variant() : VARIANT{} {}
    ~Variant() {
        if (V_VT(this) != VT_EMPTY) VariantClear(this);
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    void Clear() {
        VariantClear(this);
        static_cast<VARIANT&>(*this) = VARIANT{};
    }
};

// What an IDispatch::Invoke hands back in its EXCEPINFO, zero-filled when
// made and its strings freed when it goes.
struct ExcepInfo : EXCEPINFO {
    ExcepInfo() : EXCEPINFO{} {}
    ~ExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
};

// Whether a VARIANT of this type is one an automation client may send: an
// automation type alone, as an array or by reference. No other type is
// followed or converted: its pointer may be anything.
bool IsAutomationType(VARTYPE type) noexcept;

// Follows a value passed by reference (VT_BYREF | type, as early-bound
// clients pass variables, VT_BYREF | VT_VARIANT as script hosts do, a few
// levels deep) to the value itself, copied into copy when it is not a VARIANT
// of the caller's; value then points at the value. The caller's variables are
// only read. DISP_E_BADVARTYPE for a type no client may send,
// DISP_E_TYPEMISMATCH for a null reference or one too deep.
HRESULT Dereference(const VARIANT& variant, Variant& copy, const VARIANT*& value) noexcept;

}  // namespace quelder::com
