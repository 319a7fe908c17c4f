// The control class Quelder as a COM object: one per control instance, owning
// the board (the portable logic) and its Win32 host. It offers the default
// interface _Quelder through its virtual table and through IDispatch, raises
// the events of __Quelder and the property-change notifications through two
// connection points, and describes itself to containers and script hosts.
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>

#include <optional>
#include <string_view>

#include "component/quelder_idl.hpp"
#include "board/board_model.hpp"
#include "component/com_base.hpp"
#include "component/com_error.hpp"
#include "component/connection_point.hpp"
#include "component/dispatch.hpp"
#include "component/win32_host.hpp"

namespace quelder::win32 {

class QuelderControl final
    : public com::Object<_Quelder, ISupportErrorInfo, IProvideClassInfo2, IConnectionPointContainer, IObjectSafety,
                         IQuelderTestHook>,
      private HostOwner {
public:
    // The class factory's creation function: a constructed control, as a
    // script's CreateObject gets it (see Construct).
    static HRESULT CreateInstance(REFIID riid, void** ppv) noexcept;

    // Use Create<QuelderControl>(); throws when the type library or the board
    // images cannot be loaded.
    QuelderControl();
    ~QuelderControl() override;

    // The surface the next window is to show.
    Win32Host& Host() { return host_; }

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
    STDMETHODIMP putref_Picture(::PieceNum* Piece, IPictureDisp* New_Picture) override;
    STDMETHODIMP ChangeBoardSize(LONG* Dimension) override;
    STDMETHODIMP SelectSquare(short* col, short* row) override;
    STDMETHODIMP UnSelectSquare(short* col, short* row) override;
    STDMETHODIMP MovePiece(short* FromCol, short* FromRow, short* ToCol, short* ToRow) override;
    STDMETHODIMP About() override;

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

    // IQuelderTestHook
    STDMETHODIMP SquareClick(short Index) override;
    STDMETHODIMP SquareDblClick(short Index) override;
    STDMETHODIMP SquareMouseDown(short Index, short Button, short Shift, float X, float Y) override;
    STDMETHODIMP SquareMouseMove(short Index, short Button, short Shift, float X, float Y) override;
    STDMETHODIMP SquareMouseUp(short Index, short Button, short Shift, float X, float Y) override;
    STDMETHODIMP PropertiesDirty(BOOL* dirty) override;
    STDMETHODIMP SurfaceSize(float* width, float* height) override;
    STDMETHODIMP SquareVisible(short Index, BOOL* visible) override;
    STDMETHODIMP KeptPixel(short Index, int x, int y, DWORD* pixel) override;

private:
    // Builds the board (UserControl_Initialize), then initialises the
    // properties of a never-saved instance (UserControl_InitProperties): a
    // control created without a container starts as a new one.
    void Construct();

    // HostOwner
    bool AmbientUserMode() override;
    void PropertyChanged(std::string_view name) override;
    void RaiseEvent(const SquareEvent& event) override;

    // Runs a member: the control stays alive until it ends, whatever the
    // sinks it calls do, and failures become HRESULTs with error info.
    template <typename Body>
    HRESULT Member(Body&& body) noexcept {
        com::ComPtr<QuelderControl> self(this);
        return com::Guard(IID__Quelder, std::forward<Body>(body));
    }

    com::ComPtr<ITypeLib> typeLib_;
    com::ComPtr<ITypeInfo> classInfo_;
    std::optional<com::TypeInfoDispatch> dispatch_;
    com::ConnectionPoint events_;
    com::ConnectionPoint propertyNotify_;
    Win32Host host_;
    Board board_;
    bool dirty_ = false;
    DWORD safety_ = 0;
};

}  // namespace quelder::win32
