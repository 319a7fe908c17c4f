// What the container gave the control and how far it activated it: the
// client site and its ambient UserMode, the in-place site, frame and document
// while in-place active, the OLE advise holder, and the placement.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include "com/com_ptr.hpp"

namespace quelder::win32 {

class ContainerSite {
public:
    // Everything the container gave, forgotten here and handed over, for the
    // caller to release where it must (the container's thread).
    struct References {
        com::ComPtr<IOleClientSite> client;
        com::ComPtr<IOleInPlaceSite> inPlace;
        com::ComPtr<IOleInPlaceFrame> frame;
        com::ComPtr<IOleInPlaceUIWindow> document;
        com::ComPtr<IOleAdviseHolder> oleAdvise;
    };
    References TakeAll() noexcept;

    // IOleObject's advise connections, through a holder made on first use.
    HRESULT Advise(IAdviseSink* sink, DWORD* connection);
    HRESULT Unadvise(DWORD connection);
    HRESULT EnumAdvise(IEnumSTATDATA** advise);
    // The advise sinks hear that the control was saved, or closed.
    void SendOnSave();
    void SendOnClose();

    // An activation is ended by the container's calls that end one
    // (InPlaceDeactivate, Close, a change of client site). The container may
    // make them from inside the calls an activation makes to it: the
    // activation takes a Watch before and stops when it reports an end.
    void EndActivation() { ++activationEnds_; }
    class Watch {
    public:
        explicit Watch(const ContainerSite& site) : site_(site), ends_(site.activationEnds_) {}
        bool Ended() const { return site_.activationEnds_ != ends_; }

    private:
        const ContainerSite& site_;
        unsigned long ends_;
    };

    com::ComPtr<IOleClientSite> client;
    com::ComPtr<IOleInPlaceSite> inPlace;  // set while in-place active
    com::ComPtr<IOleInPlaceFrame> frame;
    com::ComPtr<IOleInPlaceUIWindow> document;
    // Ambient.UserMode as the client site told it last.
    bool userMode = true;
    bool uiActive = false;
    // Where the window is, in the container's window (SetObjectRects).
    RECT position{};

private:
    // The advise holder, made on first use.
    HRESULT MakeHolder();

    com::ComPtr<IOleAdviseHolder> oleAdvise_;
    unsigned long activationEnds_ = 0;
};

}  // namespace quelder::win32
