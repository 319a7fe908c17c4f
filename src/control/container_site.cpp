#include "control/container_site.hpp"

#include <utility>

namespace quelder::win32 {

ContainerSite::References ContainerSite::TakeAll() noexcept {
    return {std::move(client), std::move(inPlace), std::move(frame), std::move(document), std::move(oleAdvise_)};
}

HRESULT ContainerSite::MakeHolder() {
    return oleAdvise_ ? S_OK : CreateOleAdviseHolder(oleAdvise_.GetAddressOf());
}

HRESULT ContainerSite::Advise(IAdviseSink* sink, DWORD* connection) {
    if (connection == nullptr) return E_POINTER;
    *connection = 0;
    if (sink == nullptr) return E_INVALIDARG;
    const HRESULT hr = MakeHolder();
    return FAILED(hr) ? hr : oleAdvise_->Advise(sink, connection);
}

HRESULT ContainerSite::Unadvise(DWORD connection) {
    if (!oleAdvise_) return OLE_E_NOCONNECTION;
    return oleAdvise_->Unadvise(connection);
}

HRESULT ContainerSite::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise == nullptr) return E_POINTER;
    *advise = nullptr;
    const HRESULT hr = MakeHolder();
    return FAILED(hr) ? hr : oleAdvise_->EnumAdvise(advise);
}

void ContainerSite::SendOnSave() {
    if (const com::ComPtr<IOleAdviseHolder> holder = oleAdvise_) holder->SendOnSave();
}

void ContainerSite::SendOnClose() {
    if (const com::ComPtr<IOleAdviseHolder> holder = oleAdvise_) holder->SendOnClose();
}

}  // namespace quelder::win32
