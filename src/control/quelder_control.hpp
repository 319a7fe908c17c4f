// The control classes Quelder and QuelderBoard as a COM object: one per
// control instance, owning the board (the portable logic), its Win32 host and
// its window. It offers its class's default interface (_Quelder, or
// _QuelderBoard, whose first members are _Quelder's) through its virtual
// table and through IDispatch, raises its class's events (__Quelder or
// __QuelderBoard, the same five) and the property-change notifications
// through two connection points, and describes itself to containers and
// script hosts.
//
// In a container it is an embedded, in-place active control: one child
// window of the container's (quelder_control.cpp for the members,
// ole_embedding.cpp for activation, placement and ambient properties,
// view_object.cpp for drawing into a container's DC, persistence_interfaces.cpp
// for saving and loading through a stream or a property bag).
//
// It composes parts that each keep their own state: the container's site
// and activation (ContainerSite), the view advise (ViewAdvise), the event
// source (EventSource), the saved properties' state (PersistenceState), and
// the window (ControlWindow).
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "control/quelder_idl.hpp"
#include "appearance/saved_properties.hpp"
#include "board/board_model.hpp"
#include "com/com_base.hpp"
#include "com/com_error.hpp"
#include "com/dispatch.hpp"
#include "control/board_extras.hpp"
#include "control/board_squares.hpp"
#include "control/container_site.hpp"
#include "control/control_window.hpp"
#include "control/event_source.hpp"
#include "control/persistence_state.hpp"
#include "control/view_advise.hpp"
#include "control/win32_host.hpp"

namespace quelder::win32 {

// The control classes that the one implementation serves: the published
// Quelder, and QuelderBoard with the members of its own (extended). Each
// names its class, its default interface and its events.
struct ControlClass {
    const CLSID* clsid;
    const IID* iid;
    const IID* events;
    bool extended;
};
extern const ControlClass kQuelderClass;
extern const ControlClass kQuelderBoardClass;

// What containers learn of the control before and after they create it
// (registration writes the same bits): recompose on resize, cannot link
// inside, inside-out, activate when visible, set the client site first.
inline constexpr DWORD kQuelderMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                            OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
static_assert(kQuelderMiscStatus == 0x20191);

class QuelderControl final
    : public com::Object<_QuelderBoard, _Quelder, ISupportErrorInfo, IProvideClassInfo2, IConnectionPointContainer, IObjectSafety,
                         IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl, IViewObject2,
                         IPersistStreamInit, IPersistPropertyBag, IQuickActivate, ISpecifyPropertyPages,
                         IBoardSquares>,
      private HostOwner,
      private SquareInput,
      private ExtrasOwner {
public:
    // The class factories' creation functions: a constructed control, as a
    // script's CreateObject gets it (see Construct).
    static HRESULT CreateQuelder(REFIID riid, void** ppv) noexcept;
    static HRESULT CreateQuelderBoard(REFIID riid, void** ppv) noexcept;

    // Use Create<QuelderControl>(); throws when the type library or the board
    // images cannot be loaded.
    explicit QuelderControl(const ControlClass& kind);
    ~QuelderControl() override;

    // IUnknown: the published class has neither the board class's interface
    // nor its events, nor its property page.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return Object::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return Object::Release(); }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excepinfo, UINT* argErr) override;

    // _Quelder
    STDMETHODIMP get_Enabled(VARIANT_BOOL* result) override;
    STDMETHODIMP put_Enabled(VARIANT_BOOL New_Enabled) override;
    STDMETHODIMP NewGame() override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP get_IsSelected(short* col, short* row, VARIANT_BOOL* result) override;
    STDMETHODIMP get_Piece(short* col, short* row, ::PieceNum* result) override;
    STDMETHODIMP put_Piece(short* col, short* row, ::PieceNum New_Piece) override;
    STDMETHODIMP get_Picture(::PieceNum* Piece, IPictureDisp** result) override;
    STDMETHODIMP putref_Picture(::PieceNum* Piece, IPictureDisp** New_Picture) override;
    STDMETHODIMP ChangeBoardSize(LONG* Dimension) override;
    STDMETHODIMP SelectSquare(short* col, short* row) override;
    STDMETHODIMP UnSelectSquare(short* col, short* row) override;
    STDMETHODIMP MovePiece(short* FromCol, short* FromRow, short* ToCol, short* ToRow) override;
    STDMETHODIMP About() override;

    // _QuelderBoard: the members above, then these.
    STDMETHODIMP get_Position(BSTR* result) override;
    STDMETHODIMP put_Position(BSTR New_Position) override;
    STDMETHODIMP get_Flipped(VARIANT_BOOL* result) override;
    STDMETHODIMP put_Flipped(VARIANT_BOOL New_Flipped) override;
    STDMETHODIMP BeginUpdate() override;
    STDMETHODIMP EndUpdate() override;
    STDMETHODIMP get_ShowCoordinates(VARIANT_BOOL* result) override;
    STDMETHODIMP put_ShowCoordinates(VARIANT_BOOL New_ShowCoordinates) override;
    STDMETHODIMP MarkSquare(short col, short row, LONG colour) override;
    STDMETHODIMP UnMarkSquare(short col, short row) override;
    STDMETHODIMP ClearMarks() override;
    STDMETHODIMP DrawArrow(short FromCol, short FromRow, short ToCol, short ToRow, LONG colour) override;
    STDMETHODIMP ClearArrows() override;
    STDMETHODIMP get_DragPieces(VARIANT_BOOL* result) override;
    STDMETHODIMP put_DragPieces(VARIANT_BOOL New_DragPieces) override;
    STDMETHODIMP get_AnimationTime(LONG* result) override;
    STDMETHODIMP put_AnimationTime(LONG New_AnimationTime) override;
    STDMETHODIMP get_LegalMoves(BSTR* result) override;
    STDMETHODIMP put_LegalMoves(BSTR New_LegalMoves) override;
    STDMETHODIMP get_PromotionPiece(::PieceNum* result) override;
    STDMETHODIMP get_UserAnnotations(VARIANT_BOOL* result) override;
    STDMETHODIMP put_UserAnnotations(VARIANT_BOOL New_UserAnnotations) override;
    STDMETHODIMP get_Annotations(BSTR* result) override;
    STDMETHODIMP put_Annotations(BSTR New_Annotations) override;
    STDMETHODIMP get_LastMove(BSTR* result) override;
    STDMETHODIMP put_LastMove(BSTR New_LastMove) override;
    STDMETHODIMP get_CheckSquare(BSTR* result) override;
    STDMETHODIMP put_CheckSquare(BSTR New_CheckSquare) override;
    STDMETHODIMP get_TypeMoves(VARIANT_BOOL* result) override;
    STDMETHODIMP put_TypeMoves(VARIANT_BOOL New_TypeMoves) override;
    STDMETHODIMP get_LightSquareColor(LONG* result) override;
    STDMETHODIMP put_LightSquareColor(LONG New_LightSquareColor) override;
    STDMETHODIMP get_DarkSquareColor(LONG* result) override;
    STDMETHODIMP put_DarkSquareColor(LONG New_DarkSquareColor) override;
    STDMETHODIMP UseWood() override;
    STDMETHODIMP SaveImage(BSTR Path, VARIANT Size) override;
    // Fails with 70 while a container has turned on the untrusted-caller
    // option of IObjectSafety.
    void RefuseUntrustedCallers() const;
    STDMETHODIMP CopyImage(VARIANT Size) override;
    STDMETHODIMP BoardPicture(VARIANT Size, IPictureDisp** result) override;
    STDMETHODIMP LoadPieceSet(BSTR Folder) override;
    STDMETHODIMP UseBuiltInPieces() override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

    // IObjectSafety: safe for scripting and for initialisation, on every
    // interface the control has.
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** site) override;
    STDMETHODIMP SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) override;
    STDMETHODIMP Close(DWORD saveOption) override;
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index, HWND parent,
                        LPCRECT position) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* clsid) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* userType) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP Unadvise(DWORD connection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, for IOleInPlaceObject and IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

    // IOleInPlaceObject
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override;

    // IOleInPlaceActiveObject
    STDMETHODIMP TranslateAccelerator(LPMSG message) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    STDMETHODIMP EnableModeless(BOOL enable) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG* message) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL freeze) override;

    // IQuickActivate
    STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    STDMETHODIMP SetContentExtent(LPSIZEL size) override;
    STDMETHODIMP GetContentExtent(LPSIZEL size) override;

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc, HDC dc,
                      LPCRECTL bounds, LPCRECTL metafileBounds, BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                      ULONG_PTR keepGoingArgument) override;
    STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                             LOGPALETTE** colours) override;
    STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    STDMETHODIMP Unfreeze(DWORD freeze) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // IPersist, for IPersistStreamInit and IPersistPropertyBag
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IPersistStreamInit::InitNew and IPersistPropertyBag::InitNew
    STDMETHODIMP InitNew() override;

    // IPersistStreamInit
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM stream) override;
    STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // IPersistPropertyBag
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;

    // ISpecifyPropertyPages: the board class's page (board_property_page.hpp).
    STDMETHODIMP GetPages(CAUUID* pages) override;
    // IBoardSquares: for the page (board_squares.hpp).
    STDMETHODIMP GetWood(BOOL* wood) override;

protected:
    // IOleWindow, IViewObject and IPersist, the bases of listed interfaces.
    void* QueryOther(REFIID riid) override;

private:
    static HRESULT CreateControl(const ControlClass& kind, REFIID riid, void** ppv) noexcept;
    // The class's name, as containers show it when it is not registered.
    const wchar_t* UserType() const { return kind_.extended ? L"QuelderBoard" : L"Quelder"; }
    // Builds the board (UserControl_Initialize). The saved properties are
    // left to the container: its InitNew or its Load (persistence_interfaces.cpp).
    void Construct();

    // HostOwner
    bool AmbientUserMode() override;
    void PropertyChanged(std::string_view name) override;
    void RaiseEvent(const SquareEvent& event) override;
    void SurfaceChanged() override;
    void ViewChanged(PixelSquareView& view) override;
    void ViewRefreshed(PixelSquareView& view) override;

    // SquareInput: the window's mouse reports go to the square handlers.
    void MouseDown(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) override;
    void MouseMove(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) override;
    void MouseUp(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) override;
    void Click(std::int16_t index) override;
    void DblClick(std::int16_t index) override;
    // The board class's drags and keys, and the board the interaction
    // reads: its extras' (none for the published class).
    void Lift(std::int16_t index, POINT centre, bool inPlace) override;
    bool PieceDropped(std::int16_t from, std::int16_t to, std::int32_t promotion) override;
    void MovePiece(std::int16_t from, std::int16_t to, std::int32_t promotion) override;
    void KeyDown(int code, int shift) override;
    void ToggleShape(std::int16_t from, std::int16_t to, int brush) override;
    void ClearShapes() override;
    void AnnotationsChanged() override;
    void SlideHome(std::int16_t square, POINT topLeft) override;
    void Frame() override;
    void OverlayChanged(bool focusMoved) override;
    void BecomeActive() override;
    void SystemColoursChanged() override;
    bool TakesKeys() const override { return extras_ != nullptr; }
    LRESULT GetObject(WPARAM wParam, LPARAM lParam) override;
    bool Liftable(interaction::SquareId square) const override;
    std::int32_t PieceAt(interaction::SquareId square) const override;
    bool DropsAllowed() const override;
    interaction::SquareId Step(interaction::SquareId square, interaction::Key key) const override;
    bool Restricted() const override { return extras_ && extras_->Restricted(); }
    std::uint64_t Destinations(interaction::SquareId square) const override {
        return extras_ ? extras_->Destinations(square) : 0;
    }
    std::vector<interaction::Promotion> Promotions(interaction::SquareId from,
                                                   interaction::SquareId to) const override {
        return extras_ ? extras_->Promotions(from, to) : std::vector<interaction::Promotion>{};
    }
    bool Annotates() const override { return extras_ && extras_->UserAnnotations() && window_.Enabled(); }
    bool HasShapes() const override { return extras_ && extras_->HasShapes(); }
    bool TypesMoves() const override { return extras_ && extras_->TypeMoves() && DropsAllowed(); }
    // The window and the accessible object pin the control for each call:
    // a reference, unless its last Release has begun.
    bool TryPin() noexcept override { return TryAddRef(); }
    void Unpin() noexcept override { Object::Release(); }

    // ExtrasOwner
    bool EventsFrozen() const override { return events_.Frozen(); }
    void ViewDrawn(PixelSquareView& view) override;
    void ClickSquare(std::int16_t index) override;
    // The board class's extras; fails for the published class, whose
    // interface has none of their members.
    BoardExtras& Extras();

    // Ambient.UserMode as the client site tells it now: true without a site,
    // or when the site has no IDispatch or does not know the property.
    void ReadAmbientUserMode();
    // In-place activation (DoVerb): the window is made on the container's
    // window where the site says. uiActivate: the control becomes the
    // active object of the container's frame as well. An activation the
    // container ends from inside its own callbacks stops there
    // (OLEOBJ_S_CANNOT_DOVERB_NOW); the container's ending stands.
    HRESULT ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT position, bool uiActivate);
    // The second half of it: the control becomes the UI active object.
    HRESULT ActivateUserInterface();
    // IPersistStreamInit::Load and IPersistPropertyBag::Load: runs load as a
    // member when the saved properties were not started yet (E_UNEXPECTED
    // otherwise); they count as started when it succeeds.
    template <typename Body>
    HRESULT StartLoad(Body&& load, REFIID iid) noexcept;
    // The container's placement of the window, in its window's coordinates.
    void TakePlacement(const RECT& place, const RECT& clip);
    // The container's view advise sink hears that the picture changed.
    void SendViewChange() { view_.Send(); }
    // The board class starts with squares of 37 pixels at 96 dots per inch,
    // and as many more as the screen has dots.
    void FollowScreenDpi();
    // The extent of the surface's size in HIMETRIC at the screen's dots per inch.
    SIZEL Extent() const;

    // Keeps the control alive for a scope in which it calls out or is
    // called in: whatever the host does meanwhile (let go of it, have the
    // container destroy it), the control lives until the scope ends. Each
    // of the scopes below holds one.
    com::ComPtr<QuelderControl> KeepAlive() { return com::ComPtr<QuelderControl>(this); }

    // Runs a member: the control stays alive until it ends, whatever the
    // sinks it calls do, the squares it refreshes are painted together when
    // it ends, and failures become HRESULTs with error info.
    // iid: the interface named in the error info.
    template <typename Body>
    HRESULT Member(Body&& body, REFIID iid) noexcept {
        const ChangeBatch batch(*this);
        return com::Guard(iid, std::forward<Body>(body));
    }
    template <typename Body>
    HRESULT Member(Body&& body) noexcept {
        return Member(std::forward<Body>(body), *kind_.iid);
    }
    // The board class draws its squares at their size once a change is
    // complete: before the window hears of it. Called where nothing may
    // throw (a batch's end, before a call out).
    void Settle() noexcept;
    // The board class's squares' colours as saved: none for wood, and for
    // the published class. Loading checks both colours before it sets
    // either (380 for one that is no OLE colour).
    BoardClassSettings Settings() const;
    void LoadSettings(const BoardClassSettings& settings);

    // The views' changes during one call into the control reach the window,
    // and the container's view sink, once, when the call ends, or sooner
    // when it calls out to the host (CallOut).
    class ChangeBatch {
    public:
        explicit ChangeBatch(QuelderControl& control) : alive_(control.KeepAlive()), control_(control) {
            control_.window_.BeginBatch();
        }
        ~ChangeBatch() {
            control_.Settle();
            if (control_.window_.EndBatch()) control_.SendViewChange();
        }
        ChangeBatch(const ChangeBatch&) = delete;
        ChangeBatch& operator=(const ChangeBatch&) = delete;

    private:
        const com::ComPtr<QuelderControl> alive_;
        QuelderControl& control_;
    };

    // For the life of a call out to the host (an event, a property
    // notification, the container's site or view sink): the control stays
    // alive, and no change stays gathered while the host runs, which may wait
    // in a loop of its own. What the open batches gathered is on the window,
    // and the view sink has heard of it, before the call; the calls the host
    // makes meanwhile show their changes each as it ends; the batches go on
    // afterwards.
    class CallOut {
    public:
        explicit CallOut(QuelderControl& control)
            : alive_(control.KeepAlive()), control_(control), aside_(control.SettleAndSetAside()) {
            if (aside_.changed) control_.SendViewChange();
        }
        ~CallOut() { control_.window_.TakeUpBatches(aside_); }
        CallOut(const CallOut&) = delete;
        CallOut& operator=(const CallOut&) = delete;

    private:
        const com::ComPtr<QuelderControl> alive_;
        QuelderControl& control_;
        ControlWindow::SetAside aside_;
    };

    ControlWindow::SetAside SettleAndSetAside() noexcept {
        Settle();
        return window_.SetBatchesAside();
    }

    const ControlClass& kind_;
    std::shared_ptr<const com::ClassTypes> types_;
    EventSource events_;
    Win32Host host_;
    Board board_;
    ControlWindow window_;
    PersistenceState saved_;
    DWORD safety_ = 0;
    // The container.
    ContainerSite site_;
    ViewAdvise view_;
    // The surface's size as the window last took it.
    SIZE surface_{kNaturalSize, kNaturalSize};
    // The board class's extras; none for the published class.
    std::unique_ptr<BoardExtras> extras_;
};

}  // namespace quelder::win32
