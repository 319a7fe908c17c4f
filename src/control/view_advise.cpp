#include "control/view_advise.hpp"

#include <utility>

namespace quelder::win32 {

HRESULT ViewAdvise::Set(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    if (sink != nullptr && (aspects & (DVASPECT_CONTENT | DVASPECT_DOCPRINT)) == 0) return DV_E_DVASPECT;
    sink_ = sink;
    aspects_ = sink != nullptr ? aspects : 0;
    flags_ = sink != nullptr ? flags : 0;
    return S_OK;
}

void ViewAdvise::Get(DWORD* aspects, DWORD* flags, IAdviseSink** sink) const {
    if (aspects != nullptr) *aspects = aspects_;
    if (flags != nullptr) *flags = flags_;
    if (sink != nullptr) *sink = com::ComPtr<IAdviseSink>(sink_).Detach();
}

void ViewAdvise::Send() {
    if (!sink_) return;
    const DWORD aspect = (aspects_ & DVASPECT_CONTENT) != 0 ? DVASPECT_CONTENT : DVASPECT_DOCPRINT;
    const com::ComPtr<IAdviseSink> sink = (flags_ & ADVF_ONLYONCE) != 0 ? Take() : sink_;
    sink->OnViewChange(aspect, -1);
}

com::ComPtr<IAdviseSink> ViewAdvise::Take() {
    aspects_ = flags_ = 0;
    return std::move(sink_);
}

}  // namespace quelder::win32
