// Class factories, module attachment and unloading; registration is in
// registration.cpp.
#include "com/component_services.hpp"

#include <utility>

#include "com/com_base.hpp"

namespace quelder::com {

namespace {

class ClassFactory final : public Object<IClassFactory> {
public:
    explicit ClassFactory(const ObjectEntry& entry) : entry_(entry) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            Module::Lock();
        else
            Module::Unlock();
        return S_OK;
    }

private:
    const ObjectEntry& entry_;
};

}  // namespace

void AttachModule(const ComponentDescription& component, HINSTANCE instance) noexcept {
    Module::SetInstance(instance);
    bool first = true;
    for (const ObjectEntry& entry : component.objects) {
        if (entry.kind != ObjectEntry::Kind::Control || entry.progId == nullptr) continue;
        if (std::exchange(first, false)) Module::SetErrorSource(entry.progId);
        if (entry.iid != nullptr) Module::AddErrorSource(entry.iid, entry.progId);
    }
}

HRESULT GetClassObject(const ComponentDescription& component, REFCLSID clsid, REFIID riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    for (const ObjectEntry& entry : component.objects) {
        if (entry.clsid == nullptr || entry.create == nullptr || !IsEqualCLSID(*entry.clsid, clsid)) continue;
        try {
            return ClassFactory::Create<ClassFactory>(entry)->QueryInterface(riid, ppv);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow(const ComponentDescription&) noexcept { return Module::CanUnload() ? S_OK : S_FALSE; }

}  // namespace quelder::com
