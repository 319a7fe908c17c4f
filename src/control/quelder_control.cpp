#include "control/quelder_control.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "about/about_dialog.hpp"
#include "appearance/board_picture.hpp"
#include "appearance/board_size.hpp"
#include "appearance/persistence.hpp"
#include "board/construction.hpp"
#include "board/enabled.hpp"
#include "board/square_events.hpp"
#include "control/image_export.hpp"
#include "control/piece_files.hpp"
#include "control/pictures.hpp"
#include "position/move_piece.hpp"
#include "position/move_text.hpp"
#include "position/new_game.hpp"
#include "position/piece.hpp"
#include "position/placement.hpp"
#include "position/selection.hpp"

namespace quelder::win32 {

using com::ComPtr;
using com::Deref;
using com::Out;

const ControlClass kQuelderClass{&CLSID_Quelder, &IID__Quelder, &DIID___Quelder, false};
const ControlClass kQuelderBoardClass{&CLSID_QuelderBoard, &IID__QuelderBoard, &DIID___QuelderBoard, true};

HRESULT QuelderControl::CreateControl(const ControlClass& kind, REFIID riid, void** ppv) noexcept {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    try {
        ComPtr<QuelderControl> control = Create<QuelderControl>(kind);
        control->Construct();
        return control->QueryInterface(riid, ppv);
    } catch (...) {
        return com::ReportCurrentException(*kind.iid);
    }
}

HRESULT QuelderControl::CreateQuelder(REFIID riid, void** ppv) noexcept {
    return CreateControl(kQuelderClass, riid, ppv);
}

HRESULT QuelderControl::CreateQuelderBoard(REFIID riid, void** ppv) noexcept {
    return CreateControl(kQuelderBoardClass, riid, ppv);
}

QuelderControl::QuelderControl(const ControlClass& kind)
    : kind_(kind),
      types_(com::SharedClassTypes(*kind.clsid, *kind.iid)),
      events_(*this, *kind.events),
      host_(*this, com::Module::Instance()),
      board_(host_),
      window_(com::Module::Instance(), host_, static_cast<SquareInput&>(*this)) {
    site_.position = {0, 0, kNaturalSize, kNaturalSize};
}

void QuelderControl::Construct() {
    UserControl_Initialize(board_);
    if (kind_.extended)
        extras_ = std::make_unique<BoardExtras>(host_, board_, window_, static_cast<ExtrasOwner&>(*this));
    FollowScreenDpi();
}

STDMETHODIMP QuelderControl::QueryInterface(REFIID riid, void** ppv) {
    if (!kind_.extended) {
        if (IsEqualIID(riid, IID__QuelderBoard) || IsEqualIID(riid, IID_ISpecifyPropertyPages) ||
            IsEqualIID(riid, __uuidof(IBoardSquares))) {
            if (ppv != nullptr) *ppv = nullptr;
            return ppv == nullptr ? E_POINTER : E_NOINTERFACE;
        }
        // Its IDispatch is its default interface's.
        if (ppv != nullptr && IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<_Quelder*>(this);
            AddRef();
            return S_OK;
        }
    }
    return Object::QueryInterface(riid, ppv);
}

namespace {
// What the container gave the control (its sites, frame, document and sinks),
// released together on the container's thread.
struct ContainerReferences {
    ContainerSite::References site;
    ComPtr<IAdviseSink> viewSink;
    EventSource::Sinks sinks;
};
}  // namespace

QuelderControl::~QuelderControl() {
    // The last release may come from any thread (a finalizer, a thread pool).
    {
        // A message the window's thread is handling ends first, and none
        // reaches this object after the window is let go of below.
        const ControlWindow::MessageHold hold = window_.HoldMessages();
        // The container let go without deactivating the control: it hears of
        // nothing more. What it gave the control goes with the window, to be
        // released on the window's thread, the container's; here when the
        // window can be destroyed here or there is none (or no memory).
        std::shared_ptr<ContainerReferences> container;
        try {
            container = std::make_shared<ContainerReferences>();
        } catch (...) {
            // Released with the members.
        }
        if (container) {
            container->site = site_.TakeAll();
            container->viewSink = view_.Take();
            container->sinks = events_.UnadviseAll();
        }
        // The window goes first, without calls to a container that may be
        // half gone: the control is inactive already for whatever the
        // container does when it hears of that (WM_PARENTNOTIFY).
        window_.Destroy(std::move(container));
    }
    // An accessible object a client still holds is cut off.
    extras_.reset();
    view_.Take();
    try {
        UserControl_Terminate(board_);
    } catch (...) {
        // The instance goes all the same; its views go with the host.
    }
    events_.UnadviseAll();
}

void* QuelderControl::QueryOther(REFIID riid) {
    if (IsEqualIID(riid, IID_IOleWindow)) return static_cast<IOleWindow*>(static_cast<IOleInPlaceObject*>(this));
    if (IsEqualIID(riid, IID_IViewObject)) return static_cast<IViewObject*>(static_cast<IViewObject2*>(this));
    if (IsEqualIID(riid, IID_IPersist)) return static_cast<IPersist*>(static_cast<IPersistStreamInit*>(this));
    return nullptr;
}

// ---- the host's calls out -------------------------------------------------------

bool QuelderControl::AmbientUserMode() { return site_.userMode; }

void QuelderControl::PropertyChanged(std::string_view name) {
    saved_.Changed();
    const DISPID id = types_->dispatch.IdOfName(com::Widen(name).c_str());
    const CallOut out(*this);
    events_.PropertyChanged(id);
}

void QuelderControl::RaiseEvent(const SquareEvent& event) {
    // While the container holds the events frozen (IOleControl::FreezeEvents)
    // they are dropped, not kept for later.
    if (events_.Frozen()) return;
    // The sinks may let go of the control, advise or unadvise while they run:
    // the control stays alive and the event goes to those advised now. The
    // host sees the board as it is now, and what its handlers change while
    // they run.
    const CallOut out(*this);
    events_.Raise(event);
}

// ---- the window's mouse reports ---------------------------------------------------
// The control stays alive while the host's handlers run: one of them may let
// go of it, or have the container destroy it.

void QuelderControl::MouseDown(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) {
    const ChangeBatch batch(*this);
    Check_MouseDown(board_, index, button, shift, x, y);
}

void QuelderControl::MouseMove(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) {
    const ChangeBatch batch(*this);
    Check_MouseMove(board_, index, button, shift, x, y);
}

void QuelderControl::MouseUp(std::int16_t index, std::int16_t button, std::int16_t shift, float x, float y) {
    const ChangeBatch batch(*this);
    Check_MouseUp(board_, index, button, shift, x, y);
}

void QuelderControl::Click(std::int16_t index) {
    const ChangeBatch batch(*this);
    Check_Click(board_, index);
}

void QuelderControl::DblClick(std::int16_t index) {
    const ChangeBatch batch(*this);
    Check_DblClick(board_, index);
}

// ---- the board class's drags and keys -----------------------------------------------
// The window's interaction reads the board through the extras and asks the
// control for what it does to the board and the host.

bool QuelderControl::DropsAllowed() const { return extras_ && extras_->DropsAllowed(); }

bool QuelderControl::Liftable(interaction::SquareId square) const { return extras_ && extras_->Liftable(square); }

std::int32_t QuelderControl::PieceAt(interaction::SquareId square) const {
    return square >= 1 && square <= kSquareCount ? board_.m_Pieces[static_cast<std::size_t>(square)] : 0;
}

interaction::SquareId QuelderControl::Step(interaction::SquareId square, interaction::Key key) const {
    return extras_ ? extras_->Step(square, key) : square;
}

void QuelderControl::Lift(std::int16_t index, POINT centre, bool inPlace) {
    const ChangeBatch batch(*this);
    // A piece taken up is where the board says: nothing slides under the hand.
    Extras().Finish();
    if (inPlace) return;  // it stays on its square: the squares show the lift when the batch ends
    quelder::BoardPicture picture = Extras().PieceArt(index);
    const int width = picture.image.Width(), height = picture.image.Height();
    window_.Float(std::move(picture), centre.x - width / 2, centre.y - height / 2);
}

bool QuelderControl::PieceDropped(std::int16_t from, std::int16_t to, std::int32_t promotion) {
    const ChangeBatch batch(*this);
    if (events_.Frozen()) return true;
    const Square a = SquareOf(from), b = SquareOf(to);
    const CallOut out(*this);
    // PromotionPiece tells the handler the form chosen, while it runs.
    BoardExtras& extras = Extras();
    const std::int32_t outer = extras.ExchangePromotionPiece(promotion != 0 ? promotion : None);
    const bool cancel = events_.RaisePieceDropped(a.col, a.row, b.col, b.row);
    if (extras_) extras_->ExchangePromotionPiece(outer);
    return cancel;
}

void QuelderControl::MovePiece(std::int16_t from, std::int16_t to, std::int32_t promotion) {
    const ChangeBatch batch(*this);
    const Square a = SquareOf(from), b = SquareOf(to);
    Extras().NoteDrop(from, to);  // it is where it was dropped: it does not slide
    quelder::MovePiece(board_, a.col, a.row, b.col, b.row);
    if (promotion != 0) LetPiece(board_, b.col, b.row, promotion);
}

void QuelderControl::SlideHome(std::int16_t square, POINT topLeft) {
    const ChangeBatch batch(*this);
    Extras().SlideHome(square, topLeft);
}

void QuelderControl::Frame() {
    if (!extras_) return;
    const ChangeBatch batch(*this);
    extras_->Frame();
}

void QuelderControl::ToggleShape(std::int16_t from, std::int16_t to, int brush) {
    const ChangeBatch batch(*this);
    Extras().ToggleShape(from, to, brush);
}

void QuelderControl::ClearShapes() {
    const ChangeBatch batch(*this);
    Extras().ClearShapes();
}

void QuelderControl::AnnotationsChanged() {
    const ChangeBatch batch(*this);
    if (events_.Frozen()) return;
    const CallOut out(*this);
    events_.RaiseAnnotationsChanged();
}

void QuelderControl::KeyDown(int code, int shift) {
    const ChangeBatch batch(*this);
    if (events_.Frozen()) return;
    const CallOut out(*this);
    events_.RaiseKeyDown(static_cast<std::int16_t>(code), static_cast<std::int16_t>(shift));
}

void QuelderControl::OverlayChanged(bool focusMoved) {
    const ChangeBatch batch(*this);
    if (focusMoved && extras_) extras_->FocusMoved();
}

void QuelderControl::BecomeActive() {
    // Focus by Tab or by a click makes the control the container's active one.
    if (!site_.inPlace || site_.uiActive) return;
    const ChangeBatch batch(*this);
    const CallOut out(*this);
    ActivateUserInterface();
}

void QuelderControl::SystemColoursChanged() {
    if (!extras_) return;
    const ChangeBatch batch(*this);
    extras_->FollowSystemColours();
}

LRESULT QuelderControl::GetObject(WPARAM wParam, LPARAM lParam) {
    return extras_ ? extras_->GetObject(wParam, lParam) : 0;
}

void QuelderControl::ClickSquare(std::int16_t index) {
    const ChangeBatch batch(*this);
    if (window_.Enabled()) Check_Click(board_, index);
}

// ---- IDispatch ----------------------------------------------------------------------

STDMETHODIMP QuelderControl::GetTypeInfoCount(UINT* count) { return types_->dispatch.GetTypeInfoCount(count); }

STDMETHODIMP QuelderControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return types_->dispatch.GetTypeInfo(index, lcid, info);
}

STDMETHODIMP QuelderControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return types_->dispatch.GetIDsOfNames(riid, names, count, lcid, ids);
}

STDMETHODIMP QuelderControl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* excepinfo, UINT* argErr) {
    const auto alive = KeepAlive();
    // The two default interfaces share their first members' places, and each
    // class's type description lists only its own interface's.
    void* instance = kind_.extended ? static_cast<void*>(static_cast<_QuelderBoard*>(this))
                                    : static_cast<void*>(static_cast<_Quelder*>(this));
    return types_->dispatch.Invoke(instance, id, riid, lcid, flags, params, result, excepinfo, argErr);
}

// ---- _Quelder -----------------------------------------------------------------------

STDMETHODIMP QuelderControl::get_Enabled(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = quelder::Enabled(board_); });
}

STDMETHODIMP QuelderControl::put_Enabled(VARIANT_BOOL New_Enabled) {
    return Member([&] { LetEnabled(board_, New_Enabled); });
}

STDMETHODIMP QuelderControl::NewGame() {
    return Member([&] { quelder::NewGame(board_); });
}

STDMETHODIMP QuelderControl::Clear() {
    return Member([&] { quelder::Clear(board_); });
}

STDMETHODIMP QuelderControl::get_IsSelected(short* col, short* row, VARIANT_BOOL* result) {
    return Member([&] {
        VARIANT_BOOL& out = Out(result);
        out = quelder::IsSelected(board_, Deref(col), Deref(row));
    });
}

STDMETHODIMP QuelderControl::get_Piece(short* col, short* row, ::PieceNum* result) {
    return Member([&] {
        ::PieceNum& out = Out(result);
        out = static_cast<::PieceNum>(quelder::Piece(board_, Deref(col), Deref(row)));
    });
}

STDMETHODIMP QuelderControl::put_Piece(short* col, short* row, ::PieceNum New_Piece) {
    return Member([&] { LetPiece(board_, Deref(col), Deref(row), New_Piece); });
}

STDMETHODIMP QuelderControl::get_Picture(::PieceNum* Piece, IPictureDisp** result) {
    return Member([&] {
        IPictureDisp*& out = Out(result);
        out = ToPictureDisp(quelder::Picture(board_, Deref(Piece))).Detach();
    });
}

STDMETHODIMP QuelderControl::putref_Picture(::PieceNum* Piece, IPictureDisp** New_Picture) {
    // The new picture comes by reference, as every parameter of the
    // interface: a pointer to the caller's pointer, never changed here.
    return Member([&] {
        const std::int32_t number = Deref(Piece);
        SetPicture(board_, number, FromPictureDisp(Deref(New_Picture)));
    });
}

STDMETHODIMP QuelderControl::ChangeBoardSize(LONG* Dimension) {
    return Member([&] {
        // Fails before anything changes, or lays out every square afresh.
        quelder::ChangeBoardSize(board_, Deref(Dimension));
        if (extras_) extras_->LaidOut();
    });
}

STDMETHODIMP QuelderControl::SelectSquare(short* col, short* row) {
    return Member([&] { quelder::SelectSquare(board_, Deref(col), Deref(row)); });
}

STDMETHODIMP QuelderControl::UnSelectSquare(short* col, short* row) {
    return Member([&] { quelder::UnSelectSquare(board_, Deref(col), Deref(row)); });
}

STDMETHODIMP QuelderControl::MovePiece(short* FromCol, short* FromRow, short* ToCol, short* ToRow) {
    return Member([&] { quelder::MovePiece(board_, Deref(FromCol), Deref(FromRow), Deref(ToCol), Deref(ToRow)); });
}

STDMETHODIMP QuelderControl::About() {
    return Member([&] { about::About(com::Module::Instance()); });
}

// ---- _QuelderBoard ---------------------------------------------------------------

namespace {
Pixel ColourOf(LONG colour) {
    COLORREF rgb = 0;
    if (FAILED(OleTranslateColor(static_cast<OLE_COLOR>(colour), nullptr, &rgb)))
        Raise(error::kInvalidPropertyValue);
    return MakePixel(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
}  // namespace

BoardClassSettings QuelderControl::Settings() const {
    if (!extras_) return {};
    BoardClassSettings settings;
    if (!extras_->Wood()) settings.colours = std::make_pair(extras_->LightColour(), extras_->DarkColour());
    settings.flipped = extras_->Flipped();
    settings.coordinates = extras_->Coordinates();
    settings.dragPieces = extras_->DragPieces();
    settings.userAnnotations = extras_->UserAnnotations();
    settings.typeMoves = extras_->TypeMoves();
    settings.animationTime = extras_->AnimationTime();
    return settings;
}

// Everything is checked before the first change.
void QuelderControl::LoadSettings(const BoardClassSettings& settings) {
    if (!extras_) return;
    std::optional<std::pair<Pixel, Pixel>> drawn;
    if (settings.colours) drawn = std::make_pair(ColourOf(settings.colours->first), ColourOf(settings.colours->second));
    if (settings.animationTime < 0 || settings.animationTime > kMaxAnimationTime) Raise(error::kInvalidPropertyValue);
    if (drawn) {
        extras_->SetLightColour(settings.colours->first, drawn->first);
        extras_->SetDarkColour(settings.colours->second, drawn->second);
    } else {
        extras_->UseWood();
    }
    extras_->SetFlipped(settings.flipped);
    extras_->SetCoordinates(settings.coordinates);
    extras_->SetDragPieces(settings.dragPieces);
    extras_->SetAnimationTime(settings.animationTime);
    extras_->SetUserAnnotations(settings.userAnnotations);
    extras_->SetTypeMoves(settings.typeMoves);
}

void QuelderControl::Settle() noexcept {
    if (extras_) extras_->Settle();
}

void QuelderControl::ViewDrawn(PixelSquareView& view) {
    window_.ViewChanged(view);
    if (!window_.Batching()) SendViewChange();
}

BoardExtras& QuelderControl::Extras() {
    if (!extras_) throw com::HresultError(E_NOTIMPL);
    return *extras_;
}

STDMETHODIMP QuelderControl::get_DragPieces(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = Extras().DragPieces() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP QuelderControl::put_DragPieces(VARIANT_BOOL New_DragPieces) {
    return Member([&] {
        Extras().SetDragPieces(New_DragPieces != VARIANT_FALSE);
        PropertyChanged("DragPieces");
    });
}

namespace {
// The text of a string property, refused by its length past limit: no more
// of it than that is converted.
std::string TextOf(BSTR text, std::size_t limit) {
    const std::size_t length = std::min<std::size_t>(SysStringLen(text), limit + 1);
    return com::Narrow(std::wstring_view(text != nullptr ? text : L"", length));
}

BSTR BstrOf(const std::string& text) { return com::Bstr(com::Widen(text)).release(); }
}  // namespace

STDMETHODIMP QuelderControl::get_Position(BSTR* result) {
    return Member([&] {
        BSTR& out = Out(result);
        out = com::Bstr(com::Widen(quelder::Position(board_))).release();
    });
}

STDMETHODIMP QuelderControl::put_Position(BSTR New_Position) {
    return Member([&] {
        LetPosition(board_, TextOf(New_Position, kMaxPlacementText));
    });
}


STDMETHODIMP QuelderControl::get_AnimationTime(LONG* result) {
    return Member([&] { Out(result) = Extras().AnimationTime(); });
}

STDMETHODIMP QuelderControl::put_AnimationTime(LONG New_AnimationTime) {
    return Member([&] {
        Extras().SetAnimationTime(New_AnimationTime);
        PropertyChanged("AnimationTime");
    });
}

STDMETHODIMP QuelderControl::get_LegalMoves(BSTR* result) {
    return Member([&] {
        BSTR& out = Out(result);
        out = BstrOf(Extras().LegalMoves());
    });
}

STDMETHODIMP QuelderControl::put_LegalMoves(BSTR New_LegalMoves) {
    return Member([&] { Extras().SetLegalMoves(TextOf(New_LegalMoves, kMaxMoveListText)); });
}

STDMETHODIMP QuelderControl::get_PromotionPiece(::PieceNum* result) {
    return Member([&] { Out(result) = static_cast<::PieceNum>(Extras().PromotionPiece()); });
}

STDMETHODIMP QuelderControl::get_UserAnnotations(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = Extras().UserAnnotations() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP QuelderControl::put_UserAnnotations(VARIANT_BOOL New_UserAnnotations) {
    return Member([&] {
        Extras().SetUserAnnotations(New_UserAnnotations != VARIANT_FALSE);
        PropertyChanged("UserAnnotations");
    });
}

STDMETHODIMP QuelderControl::get_Annotations(BSTR* result) {
    return Member([&] {
        BSTR& out = Out(result);
        out = BstrOf(Extras().Annotations());
    });
}

STDMETHODIMP QuelderControl::put_Annotations(BSTR New_Annotations) {
    return Member([&] { Extras().SetAnnotations(TextOf(New_Annotations, kMaxMoveListText)); });
}

STDMETHODIMP QuelderControl::get_LastMove(BSTR* result) {
    return Member([&] {
        BSTR& out = Out(result);
        out = BstrOf(Extras().LastMove());
    });
}

STDMETHODIMP QuelderControl::put_LastMove(BSTR New_LastMove) {
    return Member([&] { Extras().SetLastMove(TextOf(New_LastMove, 16)); });
}

STDMETHODIMP QuelderControl::get_CheckSquare(BSTR* result) {
    return Member([&] {
        BSTR& out = Out(result);
        out = BstrOf(Extras().CheckSquare());
    });
}

STDMETHODIMP QuelderControl::put_CheckSquare(BSTR New_CheckSquare) {
    return Member([&] { Extras().SetCheckSquare(TextOf(New_CheckSquare, 16)); });
}

STDMETHODIMP QuelderControl::get_TypeMoves(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = Extras().TypeMoves() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP QuelderControl::put_TypeMoves(VARIANT_BOOL New_TypeMoves) {
    return Member([&] {
        Extras().SetTypeMoves(New_TypeMoves != VARIANT_FALSE);
        PropertyChanged("TypeMoves");
    });
}

STDMETHODIMP QuelderControl::get_LightSquareColor(LONG* result) {
    return Member([&] { Out(result) = Extras().LightColour(); });
}

STDMETHODIMP QuelderControl::put_LightSquareColor(LONG New_LightSquareColor) {
    return Member([&] {
        Extras().SetLightColour(New_LightSquareColor, ColourOf(New_LightSquareColor));
        PropertyChanged("LightSquareColor");
    });
}

STDMETHODIMP QuelderControl::get_DarkSquareColor(LONG* result) {
    return Member([&] { Out(result) = Extras().DarkColour(); });
}

STDMETHODIMP QuelderControl::put_DarkSquareColor(LONG New_DarkSquareColor) {
    return Member([&] {
        Extras().SetDarkColour(New_DarkSquareColor, ColourOf(New_DarkSquareColor));
        PropertyChanged("DarkSquareColor");
    });
}

STDMETHODIMP QuelderControl::UseWood() {
    return Member([&] {
        Extras().UseWood();
        PropertyChanged("LightSquareColor");
        PropertyChanged("DarkSquareColor");
    });
}

// Files and the clipboard are the user's: a container that runs untrusted
// scripts (it asked for INTERFACESAFE_FOR_UNTRUSTED_CALLER) may not reach
// them through the board. Refused before anything is read, so that the
// failure tells nothing of a path.
void QuelderControl::RefuseUntrustedCallers() const {
    if ((safety_ & INTERFACESAFE_FOR_UNTRUSTED_CALLER) != 0) Raise(error::kPermissionDenied);
}

// The board as a picture: drawn afresh at the size asked, never scaled from
// the screen.
STDMETHODIMP QuelderControl::SaveImage(BSTR Path, VARIANT Size) {
    return Member([&] {
        RefuseUntrustedCallers();
        const std::wstring_view path(Path != nullptr ? Path : L"", SysStringLen(Path));
        const std::optional<ImageFormat> format = FormatOfPath(path);
        if (!format)
            Raise(error::kInvalidPropertyValue, "The file's extension names no picture format (.png, .bmp, .jpg)");
        BoardExtras& extras = Extras();
        const Image picture = extras.Picture(PictureSize(Size, extras.Size()));
        SaveImageFile(picture, path, *format);
    });
}

STDMETHODIMP QuelderControl::CopyImage(VARIANT Size) {
    return Member([&] {
        RefuseUntrustedCallers();
        BoardExtras& extras = Extras();
        CopyImageToClipboard(extras.Picture(PictureSize(Size, extras.Size())), window_.Handle());
    });
}

STDMETHODIMP QuelderControl::BoardPicture(VARIANT Size, IPictureDisp** result) {
    return Member([&] {
        IPictureDisp*& out = Out(result);
        BoardExtras& extras = Extras();
        const Image picture = extras.Picture(PictureSize(Size, extras.Size()));
        try {
            out = CreatePicture(picture).Detach();
        } catch (const std::bad_alloc&) {
            Raise(error::kOutOfMemory);
        }
    });
}

STDMETHODIMP QuelderControl::LoadPieceSet(BSTR Folder) {
    return Member([&] {
        RefuseUntrustedCallers();
        // All twelve read before the board changes: a failure leaves the set it had.
        Extras().UsePieces(ReadPieceSet(std::wstring_view(Folder != nullptr ? Folder : L"", SysStringLen(Folder))));
    });
}

STDMETHODIMP QuelderControl::UseBuiltInPieces() {
    return Member([&] { Extras().UsePieces(nullptr); });
}

STDMETHODIMP QuelderControl::get_Flipped(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = Extras().Flipped() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP QuelderControl::put_Flipped(VARIANT_BOOL New_Flipped) {
    return Member([&] {
        Extras().SetFlipped(New_Flipped != VARIANT_FALSE);
        PropertyChanged("Flipped");
    });
}

STDMETHODIMP QuelderControl::BeginUpdate() {
    return Member([&] { Extras().BeginUpdate(); });
}

STDMETHODIMP QuelderControl::EndUpdate() {
    return Member([&] { Extras().EndUpdate(); });
}

STDMETHODIMP QuelderControl::get_ShowCoordinates(VARIANT_BOOL* result) {
    return Member([&] { Out(result) = Extras().Coordinates() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP QuelderControl::put_ShowCoordinates(VARIANT_BOOL New_ShowCoordinates) {
    return Member([&] {
        Extras().SetCoordinates(New_ShowCoordinates != VARIANT_FALSE);
        PropertyChanged("ShowCoordinates");
    });
}

STDMETHODIMP QuelderControl::MarkSquare(short col, short row, LONG colour) {
    return Member([&] {
        CheckSquare(col, row);
        Extras().Mark(col, row, ColourOf(colour));
    });
}

STDMETHODIMP QuelderControl::UnMarkSquare(short col, short row) {
    return Member([&] { Extras().UnMark(col, row); });
}

STDMETHODIMP QuelderControl::ClearMarks() {
    return Member([&] { Extras().ClearMarks(); });
}

STDMETHODIMP QuelderControl::DrawArrow(short FromCol, short FromRow, short ToCol, short ToRow, LONG colour) {
    return Member([&] {
        CheckSquare(FromCol, FromRow);
        CheckSquare(ToCol, ToRow);
        Extras().Arrow({FromCol, FromRow}, {ToCol, ToRow}, ColourOf(colour));
    });
}

STDMETHODIMP QuelderControl::ClearArrows() {
    return Member([&] { Extras().ClearArrows(); });
}

// ---- what the control says about itself -------------------------------------------

STDMETHODIMP QuelderControl::InterfaceSupportsErrorInfo(REFIID riid) {
    // The board class answers for the published interface too.
    return IsEqualIID(riid, *kind_.iid) || IsEqualIID(riid, IID__Quelder) || IsEqualIID(riid, IID_IDispatch) ? S_OK
                                                                                                             : S_FALSE;
}

STDMETHODIMP QuelderControl::GetClassInfo(ITypeInfo** info) {
    return com::Guard(IID_IProvideClassInfo2, [&]() -> HRESULT {
        if (info == nullptr) return E_POINTER;
        *info = ComPtr<ITypeInfo>(types_->classInfo).Detach();
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetGUID(DWORD kind, GUID* guid) {
    return com::Guard(IID_IProvideClassInfo2, [&]() -> HRESULT {
        if (guid == nullptr) return E_POINTER;
        *guid = GUID_NULL;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = *kind_.events;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetWood(BOOL* wood) {
    return com::Guard(__uuidof(IBoardSquares), [&]() -> HRESULT {
        Out(wood) = Extras().Wood() ? TRUE : FALSE;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::GetPages(CAUUID* pages) {
    return com::Guard(IID_ISpecifyPropertyPages, [&]() -> HRESULT {
        CAUUID& out = Out(pages);
        auto* clsids = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
        if (clsids == nullptr) return E_OUTOFMEMORY;
        clsids[0] = CLSID_QuelderBoardPage;
        out = {1, clsids};
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return events_.EnumConnectionPoints(points);
}

STDMETHODIMP QuelderControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    return events_.FindConnectionPoint(riid, point);
}

namespace {
constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
}

STDMETHODIMP QuelderControl::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    return com::Guard(IID_IObjectSafety, [&]() -> HRESULT {
        if (supported == nullptr || enabled == nullptr) return E_POINTER;
        *supported = *enabled = 0;
        ComPtr<IUnknown> probe;
        if (FAILED(QueryInterface(riid, reinterpret_cast<void**>(probe.GetAddressOf())))) return E_NOINTERFACE;
        *supported = kSafeOptions;
        *enabled = safety_;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    return com::Guard(IID_IObjectSafety, [&]() -> HRESULT {
        ComPtr<IUnknown> probe;
        if (FAILED(QueryInterface(riid, reinterpret_cast<void**>(probe.GetAddressOf())))) return E_NOINTERFACE;
        if ((mask & ~kSafeOptions) != 0) return E_FAIL;
        safety_ = (safety_ & ~mask) | (enabled & mask);
        return S_OK;
    });
}

}  // namespace quelder::win32
