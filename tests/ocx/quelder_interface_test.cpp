// The default interface _Quelder as C++ clients use it: through the virtual
// table, and through IDispatch the way early-bound and script clients call.
#include <gtest/gtest.h>

#include <objsafe.h>
#include <olectl.h>

#include <functional>

#include "control_test_support.hpp"

namespace quelder::testing {
namespace {

constexpr HRESULT kInvalidSquare = static_cast<HRESULT>(0x80040001);
constexpr HRESULT kInvalidSquareRead = static_cast<HRESULT>(0x8004041A);
constexpr HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);
constexpr HRESULT kIndexOutOfBounds = static_cast<HRESULT>(0x800A0000 + 35600);
constexpr HRESULT kInvalidPropertyValue = static_cast<HRESULT>(0x800A0000 + 380);

using InterfaceTest = ControlTest;

// ---- virtual table ------------------------------------------------------------

TEST_F(InterfaceTest, StartsEmptyAndEnabled) {
    VARIANT_BOOL enabled = 0;
    ASSERT_EQ(board_->get_Enabled(&enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    for (SHORT row = 1; row <= 8; ++row) {
        for (SHORT col = 1; col <= 8; ++col) {
            PieceNum piece = Wking;
            VARIANT_BOOL selected = VARIANT_TRUE;
            ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
            ASSERT_EQ(board_->get_IsSelected(&col, &row, &selected), S_OK);
            EXPECT_EQ(piece, None) << "(" << col << ", " << row << ")";
            EXPECT_EQ(selected, VARIANT_FALSE) << "(" << col << ", " << row << ")";
        }
    }
    const SIZE size = PixelExtent(board_.Get());
    EXPECT_EQ(size.cx, 296);
    EXPECT_EQ(size.cy, 296);
}

TEST_F(InterfaceTest, MembersWorkThroughTheVirtualTable) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    struct Case {
        SHORT col, row;
        PieceNum piece;
    };
    for (const Case& c : {Case{1, 1, Brook}, Case{4, 1, BQueen}, Case{5, 1, Bking}, Case{3, 2, Bpawn},
                          Case{4, 5, None}, Case{4, 8, WQueen}, Case{5, 8, Wking}, Case{8, 7, Wpawn}}) {
        SHORT col = c.col, row = c.row;
        PieceNum piece = None;
        ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
        EXPECT_EQ(piece, c.piece) << "(" << c.col << ", " << c.row << ")";
    }

    SHORT fromCol = 5, fromRow = 7, toCol = 5, toRow = 2;  // a capture
    ASSERT_EQ(board_->MovePiece(&fromCol, &fromRow, &toCol, &toRow), S_OK);
    PieceNum piece = None;
    ASSERT_EQ(board_->get_Piece(&toCol, &toRow, &piece), S_OK);
    EXPECT_EQ(piece, Wpawn);
    ASSERT_EQ(board_->get_Piece(&fromCol, &fromRow, &piece), S_OK);
    EXPECT_EQ(piece, None);

    SHORT col = 2, row = 3;
    ASSERT_EQ(board_->put_Piece(&col, &row, Wknight), S_OK);
    ASSERT_EQ(board_->SelectSquare(&col, &row), S_OK);
    VARIANT_BOOL selected = 0;
    ASSERT_EQ(board_->get_IsSelected(&col, &row, &selected), S_OK);
    EXPECT_EQ(selected, VARIANT_TRUE);
    ASSERT_EQ(board_->UnSelectSquare(&col, &row), S_OK);
    ASSERT_EQ(board_->get_IsSelected(&col, &row, &selected), S_OK);
    EXPECT_EQ(selected, VARIANT_FALSE);

    ASSERT_EQ(board_->put_Enabled(VARIANT_FALSE), S_OK);
    ASSERT_EQ(board_->get_Enabled(&selected), S_OK);
    EXPECT_EQ(selected, VARIANT_FALSE);

    LONG dimension = 400;
    ASSERT_EQ(board_->ChangeBoardSize(&dimension), S_OK);
    EXPECT_EQ(PixelExtent(board_.Get()).cy, 400);
    ASSERT_EQ(board_->Clear(), S_OK);
    ASSERT_EQ(board_->get_Piece(&toCol, &toRow, &piece), S_OK);
    EXPECT_EQ(piece, None);
}

TEST_F(InterfaceTest, FailuresCarryTheirNumberAndDescription) {
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(board_.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Quelder), S_OK);

    SHORT bad = 9, good = 1;
    LONG tooBig = 40000;
    PieceNum missing = static_cast<PieceNum>(15);
    PieceNum piece = None;
    VARIANT_BOOL flag = 0;
    ComPtr<IPictureDisp> picture;
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
        HRESULT expected;
        const wchar_t* description;
    };
    const Case cases[] = {
        {"Piece read", [&] { return board_->get_Piece(&bad, &good, &piece); }, kInvalidSquareRead,
         L"Invalid column or row"},
        {"Piece write", [&] { return board_->put_Piece(&good, &bad, Bpawn); }, kInvalidSquare, L"Invalid column or row"},
        {"IsSelected", [&] { return board_->get_IsSelected(&bad, &bad, &flag); }, kInvalidSquare,
         L"Invalid column or row"},
        {"SelectSquare", [&] { return board_->SelectSquare(&bad, &good); }, kInvalidSquare, L"Invalid column or row"},
        {"MovePiece", [&] { return board_->MovePiece(&good, &good, &good, &bad); }, kInvalidSquare,
         L"Invalid column or row"},
        {"Picture(15)", [&] { return board_->get_Picture(&missing, picture.GetAddressOf()); }, kIndexOutOfBounds,
         L"Index out of bounds"},
        {"ChangeBoardSize(40000)", [&] { return board_->ChangeBoardSize(&tooBig); }, kInvalidPropertyValue,
         L"Invalid property value"},
    };
    for (const Case& c : cases) {
        const HRESULT hr = c.call();
        const ErrorReport report = TakeErrorInfo();
        EXPECT_EQ(hr, c.expected) << c.what << ": " << std::hex << hr;
        EXPECT_EQ(report.description, c.description) << c.what << ": " << Narrow(report.description);
        EXPECT_EQ(report.source, L"QuelderLib.Quelder") << c.what << ": " << Narrow(report.source);
    }
    EXPECT_FALSE(picture) << "a failed Picture read hands out nothing";
}

TEST_F(InterfaceTest, NullPointersAreRefused) {
    SHORT col = 1;
    PieceNum piece = None;
    EXPECT_EQ(board_->get_Enabled(nullptr), E_POINTER);
    EXPECT_EQ(board_->get_Piece(nullptr, &col, &piece), E_POINTER);
    EXPECT_EQ(board_->get_Piece(&col, &col, nullptr), E_POINTER);
    EXPECT_EQ(board_->put_Piece(&col, nullptr, Bpawn), E_POINTER);
    EXPECT_EQ(board_->get_Picture(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(board_->MovePiece(&col, &col, nullptr, &col), E_POINTER);
    EXPECT_EQ(board_->ChangeBoardSize(nullptr), E_POINTER);
    EXPECT_EQ(board_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(board_->GetIDsOfNames(IID_NULL, nullptr, 1, 0, nullptr), E_POINTER);
}

TEST_F(InterfaceTest, PicturesKeepTheirIdentityAndReachTheSquares) {
    PieceNum dark = static_cast<PieceNum>(14), light = None, king = Wking;
    ComPtr<IPictureDisp> first, again, darkPicture;
    ASSERT_EQ(board_->get_Picture(&king, first.GetAddressOf()), S_OK);
    ASSERT_EQ(board_->get_Picture(&king, again.GetAddressOf()), S_OK);
    EXPECT_EQ(first.Get(), again.Get()) << "the same image hands out the same picture object";
    // Every board hands out objects of its own, whatever it shares inside.
    ComPtr<_Quelder> other = ocx_.Create();
    ASSERT_TRUE(other);
    ComPtr<IPictureDisp> others;
    ASSERT_EQ(other->get_Picture(&king, others.GetAddressOf()), S_OK);
    EXPECT_NE(others.Get(), first.Get()) << "two boards hand out the same picture object";

    ComPtr<IPicture> drawable;
    ASSERT_EQ(first.As(&drawable), S_OK);
    SHORT type = 0;
    OLE_XSIZE_HIMETRIC width = 0;
    drawable->get_Type(&type);
    drawable->get_Width(&width);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    EXPECT_NEAR(MulDiv(width, 96, 2540), 37, 1) << width << " HIMETRIC";

    // The dark square's picture becomes image 1: light squares painted from
    // now on show dark wood, and reading image 1 gives that same object.
    ASSERT_EQ(board_->get_Picture(&dark, darkPicture.GetAddressOf()), S_OK);
    ASSERT_EQ(board_->putref_Picture(&light, darkPicture.GetAddressOf()), S_OK);
    ComPtr<IPictureDisp> light1;
    ASSERT_EQ(board_->get_Picture(&light, light1.GetAddressOf()), S_OK);
    EXPECT_EQ(light1.Get(), darkPicture.Get());
    ASSERT_EQ(board_->Clear(), S_OK);
    const Image board = DrawnControl(board_.Get(), 296, 296);
    EXPECT_TRUE(SameImage(Crop(board, 0, 0, 37, 37), Crop(board, 37, 0, 37, 37)))
        << "square (1, 1) does not show the dark wood of square (2, 1)";
    // The other board keeps its own pictures.
    ASSERT_EQ(other->Clear(), S_OK);
    const Image otherBoard = DrawnControl(other.Get(), 296, 296);
    EXPECT_FALSE(SameImage(Crop(otherBoard, 0, 0, 37, 37), Crop(otherBoard, 37, 0, 37, 37)))
        << "the other board's square (1, 1) shows the dark wood too";

    // Nothing is no picture: the image list refuses it and keeps the old one.
    IPictureDisp* nothing = nullptr;
    EXPECT_EQ(board_->putref_Picture(&king, &nothing), kInvalidPropertyValue);
    ComPtr<IPictureDisp> kept;
    ASSERT_EQ(board_->get_Picture(&king, kept.GetAddressOf()), S_OK);
    EXPECT_EQ(kept.Get(), first.Get());
}

TEST_F(InterfaceTest, PiecesAreDrawnOnTheirSquares) {
    // Square (4, 4) as the control draws itself.
    const auto square = [&] { return Crop(DrawnControl(board_.Get(), 296, 296), 3 * 37, 3 * 37, 37, 37); };
    const Image empty = square();
    SHORT col = 4, row = 4;
    ASSERT_EQ(board_->put_Piece(&col, &row, BQueen), S_OK);
    const Image queen = square();
    EXPECT_FALSE(SameImage(queen, empty)) << "the queen was not drawn on square (4, 4)";
    ASSERT_EQ(board_->SelectSquare(&col, &row), S_OK);
    EXPECT_FALSE(SameImage(square(), queen)) << "the highlight was not drawn";
    ASSERT_EQ(board_->UnSelectSquare(&col, &row), S_OK);
    EXPECT_TRUE(SameImage(square(), queen));
}

// ---- what the control tells containers ------------------------------------------

TEST_F(InterfaceTest, DescribesItsClassAndIsSafeForScripting) {
    // Each class with its own descriptions: the class, its events and its
    // dispatch, while objects of both classes live at once, and again for an
    // object made after every other of its class has gone.
    const ComPtr<_QuelderBoard> other = ocx_.CreateBoard();
    ASSERT_TRUE(other);
    struct Case {
        const char* what;
        std::function<ComPtr<IDispatch>()> object;
        const wchar_t* name;
        const IID* events;
        const IID* dual;
    };
    for (const Case& c : {Case{"the first class", [&] { return ComPtr<IDispatch>(board_.Get()); }, L"Quelder",
                               &DIID___Quelder, &IID__Quelder},
                          Case{"the board class beside it", [&] { return ComPtr<IDispatch>(other.Get()); },
                               L"QuelderBoard", &DIID___QuelderBoard, &IID__QuelderBoard},
                          Case{"the first class made again",
                               [&] {
                                   board_.Reset();
                                   board_ = ocx_.Create();
                                   return ComPtr<IDispatch>(board_.Get());
                               },
                               L"Quelder", &DIID___Quelder, &IID__Quelder}}) {
        const ComPtr<IDispatch> object = c.object();
        ComPtr<IProvideClassInfo2> classInfo;
        ASSERT_EQ(object.As(&classInfo), S_OK) << c.what;
        GUID source{};
        ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK) << c.what;
        EXPECT_TRUE(IsEqualGUID(source, *c.events)) << c.what;
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(classInfo->GetClassInfo(info.GetAddressOf()), S_OK) << c.what;
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_STREQ(name, c.name) << c.what;
        SysFreeString(name);
        ComPtr<ITypeInfo> dispatch;
        ASSERT_EQ(object->GetTypeInfo(0, 0, dispatch.GetAddressOf()), S_OK) << c.what;
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK) << c.what;
        EXPECT_TRUE(IsEqualGUID(attr->guid, *c.dual)) << c.what;
        dispatch->ReleaseTypeAttr(attr);
    }

    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(board_.As(&safety), S_OK);
    const DWORD both = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    for (REFIID iid : {IID_IDispatch, IID__Quelder}) {
        DWORD supported = 0, enabled = 0;
        ASSERT_EQ(safety->SetInterfaceSafetyOptions(iid, both, both), S_OK);
        ASSERT_EQ(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, both);
        EXPECT_EQ(enabled, both);
    }
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
}

// ---- IDispatch ------------------------------------------------------------------

TEST_F(InterfaceTest, NamesAreFoundWhateverTheirCase) {
    struct Case {
        const wchar_t* name;
        DISPID id;
    };
    for (const Case& c : {Case{L"Enabled", dispid::Enabled}, Case{L"enabled", dispid::Enabled},
                          Case{L"PIECE", dispid::Piece}, Case{L"Picture", dispid::Picture},
                          Case{L"isselected", dispid::IsSelected}, Case{L"NewGame", dispid::NewGame},
                          Case{L"clear", dispid::Clear}, Case{L"ChangeBoardSize", dispid::ChangeBoardSize},
                          Case{L"selectsquare", dispid::SelectSquare}, Case{L"UnSelectSquare", dispid::UnSelectSquare},
                          Case{L"MOVEPIECE", dispid::MovePiece}, Case{L"About", dispid::About}}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 0;
        EXPECT_EQ(board_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << Narrow(c.name);
        EXPECT_EQ(id, c.id) << Narrow(c.name);
    }
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Castle")};
    DISPID id = 0;
    EXPECT_EQ(board_->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    LPOLESTR withParameters[] = {const_cast<LPOLESTR>(L"MovePiece"), const_cast<LPOLESTR>(L"torow"),
                                 const_cast<LPOLESTR>(L"FromCol")};
    DISPID ids[3] = {};
    ASSERT_EQ(board_->GetIDsOfNames(IID_NULL, withParameters, 3, LOCALE_USER_DEFAULT, ids), S_OK);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(ids[2], 0);

    UINT count = 0;
    ASSERT_EQ(board_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(board_->GetTypeInfo(1, 0, info.GetAddressOf()), DISP_E_BADINDEX);
}

TEST_F(InterfaceTest, InvokeTakesValuesReferencesAndVariants) {
    ASSERT_EQ(board_->NewGame(), S_OK);
    // Literals of several types, VT_I2 | VT_BYREF as early-bound clients pass
    // variables, VT_VARIANT | VT_BYREF as VBScript does, a number in a string.
    SHORT five = 5, eight = 8;
    VARIANT inner = I4(8);
    VARIANT text{};
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"5");
    struct Case {
        const char* what;
        VARIANT col, row;
    };
    for (const Case& c : {Case{"I2 literals", I2(5), I2(8)}, Case{"R8 and I4", R8(5.0), I4(8)},
                          Case{"I2 references", Ref(&five), Ref(&eight)}, Case{"BSTR and variant reference", text, Ref(&inner)}}) {
        Invocation call;
        Invoke(board_.Get(), dispid::Piece, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {c.col, c.row}, call);
        ASSERT_EQ(call.hr, S_OK) << c.what << ": " << std::hex << call.hr;
        EXPECT_EQ(V_VT(&call.result), VT_I4) << c.what;
        EXPECT_EQ(V_I4(&call.result), Wking) << c.what;
    }
    VariantClear(&text);

    // A property read that arrives as a call (JScript) works as well.
    Invocation asCall;
    Invoke(board_.Get(), dispid::IsSelected, DISPATCH_METHOD, {I2(1), I2(1)}, asCall);
    ASSERT_EQ(asCall.hr, S_OK);
    EXPECT_EQ(V_VT(&asCall.result), VT_BOOL);

    // Methods get their arguments by reference and never write them back.
    SHORT fromCol = 5, fromRow = 8, toCol = 5, toRow = 5;
    Invocation move;
    Invoke(board_.Get(), dispid::MovePiece, DISPATCH_METHOD, {Ref(&fromCol), Ref(&fromRow), Ref(&toCol), Ref(&toRow)}, move);
    ASSERT_EQ(move.hr, S_OK);
    EXPECT_EQ(fromCol, 5);
    EXPECT_EQ(fromRow, 8);
    EXPECT_EQ(toCol, 5);
    EXPECT_EQ(toRow, 5);
    SHORT col = 5, row = 5;
    PieceNum piece = None;
    ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, Wking);
}

TEST_F(InterfaceTest, InvokePutsPropertiesAndPictures) {
    Invocation put;
    Invoke(board_.Get(), dispid::Piece, DISPATCH_PROPERTYPUT, {I2(3), I2(4), I4(Bbishop)}, put);
    ASSERT_EQ(put.hr, S_OK) << std::hex << put.hr;
    SHORT col = 3, row = 4;
    PieceNum piece = None;
    ASSERT_EQ(board_->get_Piece(&col, &row, &piece), S_OK);
    EXPECT_EQ(piece, Bbishop);

    Invocation disable;
    Invoke(board_.Get(), dispid::Enabled, DISPATCH_PROPERTYPUT, {Bool(false)}, disable);
    ASSERT_EQ(disable.hr, S_OK);
    VARIANT_BOOL enabled = VARIANT_TRUE;
    board_->get_Enabled(&enabled);
    EXPECT_EQ(enabled, VARIANT_FALSE);

    // Picture: by reference (Set), and also as a plain put with an object.
    PieceNum queen = WQueen;
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(board_->get_Picture(&queen, picture.GetAddressOf()), S_OK);
    for (WORD flags : {WORD{DISPATCH_PROPERTYPUTREF}, WORD{DISPATCH_PROPERTYPUT}}) {
        Invocation set;
        Invoke(board_.Get(), dispid::Picture, flags, {I4(Bpawn), Dispatch(picture.Get())}, set);
        ASSERT_EQ(set.hr, S_OK) << "flags " << flags << ": " << std::hex << set.hr;
        ComPtr<IPictureDisp> now;
        PieceNum pawn = Bpawn;
        ASSERT_EQ(board_->get_Picture(&pawn, now.GetAddressOf()), S_OK);
        EXPECT_EQ(now.Get(), picture.Get()) << "flags " << flags;
    }
    Invocation notAPicture;
    Invoke(board_.Get(), dispid::Picture, DISPATCH_PROPERTYPUT, {I4(Bpawn), I4(7)}, notAPicture);
    EXPECT_EQ(notAPicture.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(notAPicture.argErr, 0u) << "the value is rgvarg[0]";
}

TEST_F(InterfaceTest, InvokeReportsBadArguments) {
    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        std::vector<VARIANT> args;
        HRESULT hr;
        HRESULT scode;        // for DISP_E_EXCEPTION
        const char* description;
        UINT argErr;          // for DISP_E_TYPEMISMATCH
    };
    VARIANT word{};
    V_VT(&word) = VT_BSTR;
    V_BSTR(&word) = SysAllocString(L"five");
    const Case cases[] = {
        {"too big for 16 bits", dispid::Piece, DISPATCH_PROPERTYGET, {I4(70000), I2(1)}, DISP_E_EXCEPTION, kOverflow,
         "Overflow", 0},
        {"too big for 32 bits", dispid::ChangeBoardSize, DISPATCH_METHOD, {R8(1e12)}, DISP_E_EXCEPTION, kOverflow,
         "Overflow", 0},
        {"not a number", dispid::Piece, DISPATCH_PROPERTYGET, {I2(1), word}, DISP_E_TYPEMISMATCH, 0, "", 0},
        {"not a number, first", dispid::MovePiece, DISPATCH_METHOD, {word, I2(1), I2(1), I2(1)}, DISP_E_TYPEMISMATCH, 0,
         "", 3},
        {"too few", dispid::Piece, DISPATCH_PROPERTYGET, {I2(1)}, DISP_E_BADPARAMCOUNT, 0, "", 0},
        {"too many", dispid::NewGame, DISPATCH_METHOD, {I2(1)}, DISP_E_BADPARAMCOUNT, 0, "", 0},
        {"bad square", dispid::SelectSquare, DISPATCH_METHOD, {I2(0), I2(1)}, DISP_E_EXCEPTION, kInvalidSquare,
         "Invalid column or row", 0},
        {"bad square read", dispid::Piece, DISPATCH_PROPERTYGET, {I2(-32768), I2(32767)}, DISP_E_EXCEPTION,
         kInvalidSquareRead, "Invalid column or row", 0},
        {"no such member", 0x12345, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0, "", 0},
        {"no put for IsSelected", dispid::IsSelected, DISPATCH_PROPERTYPUT, {I2(1), I2(1), Bool(true)},
         DISP_E_MEMBERNOTFOUND, 0, "", 0},
    };
    for (const Case& c : cases) {
        Invocation call;
        Invoke(board_.Get(), c.id, c.flags, c.args, call);
        EXPECT_EQ(call.hr, c.hr) << c.what << ": " << std::hex << call.hr;
        if (c.hr == DISP_E_EXCEPTION) {
            EXPECT_EQ(call.excep.scode, c.scode) << c.what << ": " << std::hex << call.excep.scode;
            EXPECT_EQ(call.Description(), c.description) << c.what;
        }
        if (c.hr == DISP_E_TYPEMISMATCH) {
            EXPECT_EQ(call.argErr, c.argErr) << c.what;
        }
    }
    VariantClear(&word);

    DISPPARAMS none{};
    EXPECT_EQ(board_->Invoke(dispid::NewGame, IID_IUnknown, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    // Without EXCEPINFO the member's own HRESULT comes back.
    DISPPARAMS badSquare{};
    VARIANT args[2] = {I2(0), I2(0)};
    badSquare.rgvarg = args;
    badSquare.cArgs = 2;
    EXPECT_EQ(board_->Invoke(dispid::SelectSquare, IID_NULL, 0, DISPATCH_METHOD, &badSquare, nullptr, nullptr, nullptr),
              kInvalidSquare);
}

}  // namespace
}  // namespace quelder::testing
