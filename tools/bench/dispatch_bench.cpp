// Dispatch: Piece(col, row) read through the control's IDispatch::Invoke,
// against the same read through the system's standard path (DispInvoke over
// the same type library, on the same object), with the argument forms each
// accepts; and a call through the virtual table against a plain C++ call of
// the logic.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "bench_support.hpp"
#include "board/board_model.hpp"
#include "support/memory_host.hpp"
#include "position/piece.hpp"

namespace quelder::bench {

namespace {

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// One way a client may pass the column and the row.
struct ArgumentForm {
    const char* name;
    void (*make)(VARIANT& arg, short value, VARIANT& holder);
};

const ArgumentForm kForms[] = {
    {"VT_I2", [](VARIANT& a, short v, VARIANT&) { V_VT(&a) = VT_I2; V_I2(&a) = v; }},
    {"VT_I4", [](VARIANT& a, short v, VARIANT&) { V_VT(&a) = VT_I4; V_I4(&a) = v; }},
    {"VT_R8", [](VARIANT& a, short v, VARIANT&) { V_VT(&a) = VT_R8; V_R8(&a) = v; }},
    {"VT_BSTR \"n\"",
     [](VARIANT& a, short v, VARIANT& h) {
         V_VT(&h) = VT_BSTR;
         V_BSTR(&h) = SysAllocString(std::to_wstring(v).c_str());
         a = h;  // the holder frees the string
     }},
    {"VT_BYREF|VT_I2 (early bound)",
     [](VARIANT& a, short v, VARIANT& h) {
         V_VT(&h) = VT_I2;
         V_I2(&h) = v;
         V_VT(&a) = VT_BYREF | VT_I2;
         V_I2REF(&a) = &V_I2(&h);
     }},
    {"VT_BYREF|VT_VARIANT (VBScript)",
     [](VARIANT& a, short v, VARIANT& h) {
         V_VT(&h) = VT_I2;
         V_I2(&h) = v;
         V_VT(&a) = VT_BYREF | VT_VARIANT;
         V_VARIANTREF(&a) = &h;
     }},
    {"VT_BYREF|VT_I4",
     [](VARIANT& a, short v, VARIANT& h) {
         V_VT(&h) = VT_I4;
         V_I4(&h) = v;
         V_VT(&a) = VT_BYREF | VT_I4;
         V_I4REF(&a) = &V_I4(&h);
     }},
};

using Invoker = HRESULT (*)(_Quelder* board, ITypeInfo* info, DISPID id, DISPPARAMS* params, VARIANT* result);

HRESULT OurInvoke(_Quelder* board, ITypeInfo*, DISPID id, DISPPARAMS* params, VARIANT* result) {
    UINT argErr = 0;
    EXCEPINFO excepinfo{};
    const HRESULT hr =
        board->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, params, result, &excepinfo, &argErr);
    SysFreeString(excepinfo.bstrSource);
    SysFreeString(excepinfo.bstrDescription);
    SysFreeString(excepinfo.bstrHelpFile);
    return hr;
}

HRESULT StandardInvoke(_Quelder* board, ITypeInfo* info, DISPID id, DISPPARAMS* params, VARIANT* result) {
    UINT argErr = 0;
    EXCEPINFO excepinfo{};
    const HRESULT hr = DispInvoke(board, info, id, DISPATCH_PROPERTYGET, params, result, &excepinfo, &argErr);
    SysFreeString(excepinfo.bstrSource);
    SysFreeString(excepinfo.bstrDescription);
    SysFreeString(excepinfo.bstrHelpFile);
    return hr;
}

// Reads Piece(5, 8) with both arguments in form; true when the call gave the
// white king.
bool ReadsKing(Invoker invoke, _Quelder* board, ITypeInfo* info, DISPID id, const ArgumentForm& form) {
    Variant colHolder, rowHolder;
    VARIANT args[2];
    form.make(args[1], 5, colHolder);  // arguments last first
    form.make(args[0], 8, rowHolder);
    DISPPARAMS params{args, nullptr, 2, 0};
    Variant result;
    const HRESULT hr = invoke(board, info, id, &params, &result);
    if (FAILED(hr)) return false;
    Variant value;
    return SUCCEEDED(VariantChangeType(&value, &result, 0, VT_I4)) && V_I4(&value) == Wking;
}

// The type description DispInvoke wants: the virtual-table side of the dual
// interface.
ComPtr<ITypeInfo> VtableInfo(_Quelder* board) {
    ComPtr<ITypeInfo> dispatch, vtable;
    CheckHr(board->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatch.GetAddressOf()), "GetTypeInfo");
    HREFTYPE ref = 0;
    if (SUCCEEDED(dispatch->GetRefTypeOfImplType(-1, &ref)) &&
        SUCCEEDED(dispatch->GetRefTypeInfo(ref, vtable.GetAddressOf())))
        return vtable;
    return dispatch;
}

}  // namespace

void DispatchBenchmark(const Options& options, const Ocx& ocx) {
    const int calls = options.quick ? 2000 : 20000;
    ComPtr<_Quelder> board = ocx.Create();
    CheckHr(board->NewGame(), "NewGame");
    ComPtr<ITypeInfo> info = VtableInfo(board.Get());
    LPOLESTR name = const_cast<LPOLESTR>(L"Piece");
    DISPID id = DISPID_UNKNOWN;
    CheckHr(board->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames(Piece)");

    auto reader = [&](Invoker invoke) {
        return [&, invoke] {
            VARIANT args[2];
            V_VT(&args[0]) = VT_I2;
            V_I2(&args[0]) = 8;
            V_VT(&args[1]) = VT_I2;
            V_I2(&args[1]) = 5;
            DISPPARAMS params{args, nullptr, 2, 0};
            Variant result;
            if (FAILED(invoke(board.Get(), info.Get(), id, &params, &result))) Fail("Piece(5, 8) failed");
        };
    };
    const bool standardWorks = ReadsKing(&StandardInvoke, board.Get(), info.Get(), id, kForms[0]);
    std::printf("dispatch: Piece(5, 8) read through IDispatch::Invoke, VT_I2 arguments\n");
    if (standardWorks) {
        const Comparison c = Compare(options.repetitions, calls, reader(&OurInvoke), reader(&StandardInvoke));
        std::printf("  the control's Invoke        %8.3f us\n", c.measured * 1e6);
        std::printf("  DispInvoke, same type info  %8.3f us   ratio %.2f (target <= 1.00)\n", c.baseline * 1e6,
                    c.ratio);
    } else {
        std::printf("  the control's Invoke        %8.3f us\n",
                    MedianSeconds(options.repetitions, calls, reader(&OurInvoke)) * 1e6);
        std::printf("  DispInvoke, same type info  does not read Piece here\n");
    }
    std::printf("  argument forms              control  DispInvoke\n");
    for (const ArgumentForm& form : kForms)
        std::printf("    %-29s %-8s %s\n", form.name,
                    ReadsKing(&OurInvoke, board.Get(), info.Get(), id, form) ? "yes" : "no",
                    ReadsKing(&StandardInvoke, board.Get(), info.Get(), id, form) ? "yes" : "no");

    // The virtual table against the logic called straight from C++.
    MemoryHost host(BoardImages(ocx.Module()));
    Board plain(host);
    volatile std::int32_t sink = 0;
    const Comparison v = Compare(
        options.repetitions, calls * 10,
        [&] {
            short col = 5, row = 8;
            ::PieceNum piece{};
            if (FAILED(board->get_Piece(&col, &row, &piece))) Fail("get_Piece failed");
        },
        [&] {
            volatile std::int16_t col = 5, row = 8;
            sink = sink + quelder::Piece(plain, col, row);
        });
    std::printf("  get_Piece, virtual table    %8.3f us   plain C++ call %.3f us, ratio %.1f\n", v.measured * 1e6,
                v.baseline * 1e6, v.ratio);
}

}  // namespace quelder::bench
