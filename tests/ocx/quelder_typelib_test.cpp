// The type library inside Quelder.ocx, as a container or object browser
// reads it: the library, its type descriptions in order (the published four
// first), every member of both classes' interfaces, and the PieceNum
// constants.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_test_support.hpp"

namespace quelder::testing {
namespace {

const wchar_t* const kEnabledHelp = L"Returns/sets a value that determines whether an object can respond to "
                                    L"user-generated events.";

std::wstring Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    std::wstring result = name ? name : L"";
    SysFreeString(name);
    return result;
}

// A parameter type as the IDL spells it: "short*", "PieceNum", "IPictureDisp**".
std::wstring TypeText(ITypeInfo* info, const TYPEDESC& type) {
    switch (type.vt) {
        case VT_PTR: return TypeText(info, *type.lptdesc) + L"*";
        case VT_I2: return L"short";
        case VT_I4: return L"long";
        case VT_R4: return L"float";
        case VT_BOOL: return L"VARIANT_BOOL";
        case VT_BSTR: return L"BSTR";
        case VT_VARIANT: return L"VARIANT";
        case VT_HRESULT: return L"HRESULT";
        case VT_VOID: return L"void";
        case VT_USERDEFINED: {
            ComPtr<ITypeInfo> referenced;
            if (FAILED(info->GetRefTypeInfo(type.hreftype, referenced.GetAddressOf()))) return L"?";
            return Name(referenced.Get());
        }
        default: return L"vt" + std::to_wstring(type.vt);
    }
}

struct TypeAttr {
    explicit TypeAttr(ITypeInfo* owner) : info(owner) { info->GetTypeAttr(&attr); }
    ~TypeAttr() {
        if (attr) info->ReleaseTypeAttr(attr);
    }
    TypeAttr(const TypeAttr&) = delete;
    TypeAttr& operator=(const TypeAttr&) = delete;
    const TYPEATTR* operator->() const { return attr; }
    ITypeInfo* info;
    TYPEATTR* attr = nullptr;
};

// One function of a type description, read back.
struct Function {
    std::wstring name;
    MEMBERID id = 0;
    INVOKEKIND kind = INVOKE_FUNC;
    std::vector<std::wstring> types;   // parameters, declaration order
    std::vector<USHORT> flags;         // PARAMFLAG_* of each
    WORD funcFlags = 0;
    std::wstring help;
    DWORD helpContext = 0;
    SHORT vtableOffset = 0;
};

std::vector<Function> Functions(ITypeInfo* info) {
    std::vector<Function> functions;
    TypeAttr attr(info);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        Function f;
        f.id = desc->memid;
        f.kind = desc->invkind;
        f.funcFlags = desc->wFuncFlags;
        f.vtableOffset = desc->oVft;
        for (SHORT p = 0; p < desc->cParams; ++p) {
            f.types.push_back(TypeText(info, desc->lprgelemdescParam[p].tdesc));
            f.flags.push_back(desc->lprgelemdescParam[p].paramdesc.wParamFlags);
        }
        BSTR name = nullptr, help = nullptr;
        info->GetDocumentation(desc->memid, &name, &help, &f.helpContext, nullptr);
        f.name = name ? name : L"";
        f.help = help ? help : L"";
        SysFreeString(name);
        SysFreeString(help);
        functions.push_back(f);
        info->ReleaseFuncDesc(desc);
    }
    return functions;
}

std::vector<std::wstring> Names(ITypeInfo* info, MEMBERID id) {
    BSTR names[16] = {};
    UINT count = 0;
    info->GetNames(id, names, 16, &count);
    std::vector<std::wstring> result;
    for (UINT i = 0; i < count; ++i) {
        result.emplace_back(names[i]);
        SysFreeString(names[i]);
    }
    return result;
}

std::string Text(const std::vector<std::wstring>& list) {
    std::string text;
    for (const auto& item : list) text += Narrow(item) + " ";
    return text;
}

class TypeLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        const HRESULT hr = LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, library_.GetAddressOf());
        ASSERT_EQ(hr, S_OK) << "LoadTypeLibEx " << std::hex << hr;
    }
    ComPtr<ITypeInfo> TypeInfo(UINT index) {
        ComPtr<ITypeInfo> info;
        library_->GetTypeInfo(index, info.GetAddressOf());
        return info;
    }
    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibTest, TheLibrary) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_QuelderLib));
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    EXPECT_TRUE(attr->wLibFlags & LIBFLAG_FCONTROL) << "flags " << attr->wLibFlags;
    library_->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library_->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"QuelderLib");
    EXPECT_STREQ(help, L"Quelder ActiveX");
    SysFreeString(name);
    SysFreeString(help);
}

TEST_F(TypeLibTest, TypeDescriptionsInOrder) {
    struct Expected {
        const wchar_t* name;
        TYPEKIND kind;
        const GUID* guid;
        WORD flags;
    };
    const Expected expected[] = {
        {L"_Quelder", TKIND_DISPATCH, &IID__Quelder,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
        {L"Quelder", TKIND_COCLASS, &CLSID_Quelder, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
        {L"__Quelder", TKIND_DISPATCH, &DIID___Quelder,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
        {L"PieceNum", TKIND_ENUM, nullptr, 0},
        {L"_QuelderBoard", TKIND_DISPATCH, &IID__QuelderBoard,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
        {L"QuelderBoard", TKIND_COCLASS, &CLSID_QuelderBoard, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
        {L"__QuelderBoard", TKIND_DISPATCH, &DIID___QuelderBoard,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE},
    };
    ASSERT_EQ(library_->GetTypeInfoCount(), std::size(expected));
    for (UINT i = 0; i < std::size(expected); ++i) {
        const Expected& e = expected[i];
        ComPtr<ITypeInfo> info = TypeInfo(i);
        ASSERT_TRUE(info) << i;
        TypeAttr attr(info.Get());
        EXPECT_EQ(Name(info.Get()), e.name) << "type " << i;
        EXPECT_EQ(attr->typekind, e.kind) << Narrow(e.name);
        if (e.guid != nullptr) {
            EXPECT_TRUE(IsEqualGUID(attr->guid, *e.guid)) << Narrow(e.name);
        }
        EXPECT_EQ(attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION, e.flags) << Narrow(e.name) << ": " << std::hex
                                                                         << attr->wTypeFlags;
        BSTR help = nullptr;
        info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
        EXPECT_TRUE(help == nullptr || *help == 0) << Narrow(e.name) << " has a help string";
        SysFreeString(help);
    }
    ComPtr<ITypeInfo> enumeration = TypeInfo(3);
    TypeAttr attr(enumeration.Get());
    EXPECT_FALSE(IsEqualGUID(attr->guid, GUID_NULL)) << "PieceNum has no GUID";
}

// QuelderBoard's interface starts with _Quelder's members, in the same places
// with the same ids, and goes on with its own.
class DefaultInterface : public TypeLibTest, public ::testing::WithParamInterface<UINT> {};

TEST_P(DefaultInterface, Members) {
    ComPtr<ITypeInfo> dispatch = TypeInfo(GetParam());
    ASSERT_TRUE(dispatch);
    // The virtual-table side of the dual interface.
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.GetAddressOf()), S_OK);
    {
        TypeAttr attr(vtable.Get());
        EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) << std::hex << attr->wTypeFlags;
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL) << std::hex << attr->wTypeFlags;
    }

    const USHORT in = PARAMFLAG_FIN, inOut = PARAMFLAG_FIN | PARAMFLAG_FOUT, result = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL,
                 optional = PARAMFLAG_FIN | PARAMFLAG_FOPT;
    struct Expected {
        const wchar_t* name;
        INVOKEKIND kind;
        MEMBERID id;
        std::vector<std::wstring> types;
        std::vector<USHORT> flags;
        WORD funcFlags;
    };
    std::vector<Expected> expected = {
        {L"Enabled", INVOKE_PROPERTYGET, 0x68030003, {L"VARIANT_BOOL*"}, {result}, 0},
        {L"Enabled", INVOKE_PROPERTYPUT, 0x68030003, {L"VARIANT_BOOL"}, {in}, 0},
        {L"NewGame", INVOKE_FUNC, 0x60030005, {}, {}, 0},
        {L"Clear", INVOKE_FUNC, 0x60030006, {}, {}, 0},
        {L"IsSelected", INVOKE_PROPERTYGET, 0x68030002, {L"short*", L"short*", L"VARIANT_BOOL*"}, {inOut, inOut, result}, 0},
        {L"Piece", INVOKE_PROPERTYGET, 0x68030001, {L"short*", L"short*", L"PieceNum*"}, {inOut, inOut, result},
         FUNCFLAG_FNONBROWSABLE},
        {L"Piece", INVOKE_PROPERTYPUT, 0x68030001, {L"short*", L"short*", L"PieceNum"}, {inOut, inOut, in},
         FUNCFLAG_FNONBROWSABLE},
        {L"Picture", INVOKE_PROPERTYGET, 0x68030000, {L"PieceNum*", L"IPictureDisp**"}, {inOut, result}, 0},
        {L"Picture", INVOKE_PROPERTYPUTREF, 0x68030000, {L"PieceNum*", L"IPictureDisp**"}, {inOut, inOut}, 0},
        {L"ChangeBoardSize", INVOKE_FUNC, 0x60030010, {L"long*"}, {inOut}, 0},
        {L"SelectSquare", INVOKE_FUNC, 0x60030011, {L"short*", L"short*"}, {inOut, inOut}, 0},
        {L"UnSelectSquare", INVOKE_FUNC, 0x60030012, {L"short*", L"short*"}, {inOut, inOut}, 0},
        {L"MovePiece", INVOKE_FUNC, 0x60030013, {L"short*", L"short*", L"short*", L"short*"}, {inOut, inOut, inOut, inOut}, 0},
        {L"About", INVOKE_FUNC, 0x60030014, {}, {}, 0},
    };
    const std::size_t published = expected.size();
    if (GetParam() != 0) {
        const std::vector<Expected> own = {
            {L"Position", INVOKE_PROPERTYGET, 101, {L"BSTR*"}, {result}, 0},
            {L"Position", INVOKE_PROPERTYPUT, 101, {L"BSTR"}, {in}, 0},
            {L"Flipped", INVOKE_PROPERTYGET, 102, {L"VARIANT_BOOL*"}, {result}, 0},
            {L"Flipped", INVOKE_PROPERTYPUT, 102, {L"VARIANT_BOOL"}, {in}, 0},
            {L"BeginUpdate", INVOKE_FUNC, 103, {}, {}, 0},
            {L"EndUpdate", INVOKE_FUNC, 104, {}, {}, 0},
            {L"ShowCoordinates", INVOKE_PROPERTYGET, 105, {L"VARIANT_BOOL*"}, {result}, 0},
            {L"ShowCoordinates", INVOKE_PROPERTYPUT, 105, {L"VARIANT_BOOL"}, {in}, 0},
            {L"MarkSquare", INVOKE_FUNC, 106, {L"short", L"short", L"long"}, {in, in, in}, 0},
            {L"UnMarkSquare", INVOKE_FUNC, 107, {L"short", L"short"}, {in, in}, 0},
            {L"ClearMarks", INVOKE_FUNC, 108, {}, {}, 0},
            {L"DrawArrow", INVOKE_FUNC, 109, {L"short", L"short", L"short", L"short", L"long"}, {in, in, in, in, in}, 0},
            {L"ClearArrows", INVOKE_FUNC, 110, {}, {}, 0},
            {L"DragPieces", INVOKE_PROPERTYGET, 111, {L"VARIANT_BOOL*"}, {result}, 0},
            {L"DragPieces", INVOKE_PROPERTYPUT, 111, {L"VARIANT_BOOL"}, {in}, 0},
            {L"AnimationTime", INVOKE_PROPERTYGET, 112, {L"long*"}, {result}, 0},
            {L"AnimationTime", INVOKE_PROPERTYPUT, 112, {L"long"}, {in}, 0},
            {L"LegalMoves", INVOKE_PROPERTYGET, 113, {L"BSTR*"}, {result}, 0},
            {L"LegalMoves", INVOKE_PROPERTYPUT, 113, {L"BSTR"}, {in}, 0},
            {L"PromotionPiece", INVOKE_PROPERTYGET, 114, {L"PieceNum*"}, {result}, 0},
            {L"UserAnnotations", INVOKE_PROPERTYGET, 115, {L"VARIANT_BOOL*"}, {result}, 0},
            {L"UserAnnotations", INVOKE_PROPERTYPUT, 115, {L"VARIANT_BOOL"}, {in}, 0},
            {L"Annotations", INVOKE_PROPERTYGET, 116, {L"BSTR*"}, {result}, 0},
            {L"Annotations", INVOKE_PROPERTYPUT, 116, {L"BSTR"}, {in}, 0},
            {L"LastMove", INVOKE_PROPERTYGET, 117, {L"BSTR*"}, {result}, 0},
            {L"LastMove", INVOKE_PROPERTYPUT, 117, {L"BSTR"}, {in}, 0},
            {L"CheckSquare", INVOKE_PROPERTYGET, 118, {L"BSTR*"}, {result}, 0},
            {L"CheckSquare", INVOKE_PROPERTYPUT, 118, {L"BSTR"}, {in}, 0},
            {L"TypeMoves", INVOKE_PROPERTYGET, 119, {L"VARIANT_BOOL*"}, {result}, 0},
            {L"TypeMoves", INVOKE_PROPERTYPUT, 119, {L"VARIANT_BOOL"}, {in}, 0},
            {L"LightSquareColor", INVOKE_PROPERTYGET, 120, {L"long*"}, {result}, 0},
            {L"LightSquareColor", INVOKE_PROPERTYPUT, 120, {L"long"}, {in}, 0},
            {L"DarkSquareColor", INVOKE_PROPERTYGET, 121, {L"long*"}, {result}, 0},
            {L"DarkSquareColor", INVOKE_PROPERTYPUT, 121, {L"long"}, {in}, 0},
            {L"UseWood", INVOKE_FUNC, 122, {}, {}, 0},
            {L"SaveImage", INVOKE_FUNC, 123, {L"BSTR", L"VARIANT"}, {in, optional}, 0},
            {L"CopyImage", INVOKE_FUNC, 124, {L"VARIANT"}, {optional}, 0},
            {L"BoardPicture", INVOKE_FUNC, 125, {L"VARIANT", L"IPictureDisp**"}, {optional, result}, 0},
            {L"LoadPieceSet", INVOKE_FUNC, 126, {L"BSTR"}, {in}, 0},
            {L"UseBuiltInPieces", INVOKE_FUNC, 127, {}, {}, 0},
        };
        expected.insert(expected.end(), own.begin(), own.end());
    }
    const std::vector<Function> functions = Functions(vtable.Get());
    ASSERT_EQ(functions.size(), std::size(expected));
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const Function& f = functions[i];
        const Expected& e = expected[i];
        const std::string what = std::to_string(i + 1) + ". " + Narrow(e.name);
        EXPECT_EQ(f.name, e.name) << what;
        EXPECT_EQ(f.kind, e.kind) << what;
        EXPECT_EQ(f.id, e.id) << what << ": " << std::hex << f.id;
        EXPECT_EQ(f.types, e.types) << what << ": " << Text(f.types);
        EXPECT_EQ(f.flags, e.flags) << what;
        EXPECT_EQ(f.funcFlags, e.funcFlags) << what << ": " << f.funcFlags;
        EXPECT_EQ(f.vtableOffset, static_cast<SHORT>((7 + i) * sizeof(void*))) << what << " out of order";
        if (i < published)
            EXPECT_EQ(f.help, e.name == std::wstring(L"Enabled") ? kEnabledHelp : L"") << what;
        else
            EXPECT_FALSE(f.help.empty()) << what << " has no help string";
        EXPECT_EQ(f.helpContext, 0u) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(BothClasses, DefaultInterface, ::testing::Values(0u, 4u));

TEST_F(TypeLibTest, ParameterNamesAsClientsSeeThem) {
    ComPtr<ITypeInfo> dispatch = TypeInfo(0);
    struct Expected {
        MEMBERID id;
        std::vector<std::wstring> names;
    };
    const Expected expected[] = {
        {0x68030003, {L"Enabled"}},
        {0x68030002, {L"IsSelected", L"col", L"row"}},
        {0x68030001, {L"Piece", L"col", L"row"}},
        {0x68030000, {L"Picture", L"Piece"}},
        {0x60030010, {L"ChangeBoardSize", L"Dimension"}},
        {0x60030011, {L"SelectSquare", L"col", L"row"}},
        {0x60030012, {L"UnSelectSquare", L"col", L"row"}},
        {0x60030013, {L"MovePiece", L"FromCol", L"FromRow", L"ToCol", L"ToRow"}},
        {0x60030005, {L"NewGame"}},
        {0x60030006, {L"Clear"}},
        {0x60030014, {L"About"}},
    };
    for (const Expected& e : expected) {
        const auto names = Names(dispatch.Get(), e.id);
        EXPECT_EQ(names, e.names) << std::hex << e.id << ": " << Text(names);
    }
}

TEST_F(TypeLibTest, EachClassAndItsInterfaces) {
    struct Expected {
        UINT index;
        const wchar_t* name;
        INT flags;
    };
    const Expected expected[] = {{1, L"_Quelder", IMPLTYPEFLAG_FDEFAULT},
                                 {1, L"__Quelder", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
                                 {5, L"_QuelderBoard", IMPLTYPEFLAG_FDEFAULT},
                                 {5, L"__QuelderBoard", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
    for (UINT k = 0; k < std::size(expected); ++k) {
        const UINT i = k % 2;
        ComPtr<ITypeInfo> coclass = TypeInfo(expected[k].index);
        TypeAttr attr(coclass.Get());
        ASSERT_EQ(attr->cImplTypes, 2);
        HREFTYPE ref = 0;
        INT flags = 0;
        ComPtr<ITypeInfo> implemented;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, implemented.GetAddressOf()), S_OK);
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        EXPECT_EQ(Name(implemented.Get()), expected[k].name) << k;
        EXPECT_EQ(flags, expected[k].flags) << Narrow(expected[k].name);
    }
}

// Both classes raise the same five events with the same ids; the board
// class three more.
class EventInterface : public TypeLibTest, public ::testing::WithParamInterface<UINT> {};

TEST_P(EventInterface, Members) {
    ComPtr<ITypeInfo> events = TypeInfo(GetParam());
    const USHORT inOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
    const std::vector<std::wstring> square{L"short*", L"short*"};
    const std::vector<std::wstring> mouse{L"short*", L"short*", L"short*", L"short*", L"float*", L"float*"};
    struct Expected {
        const wchar_t* name;
        MEMBERID id;
        std::vector<std::wstring> types;
        std::vector<std::wstring> names;
    };
    const std::vector<std::wstring> mouseNames{L"col", L"row", L"Button", L"Shift", L"X", L"Y"};
    std::vector<Expected> expected = {
        {L"Click", 1, square, {L"col", L"row"}},
        {L"DblClick", 2, square, {L"col", L"row"}},
        {L"MouseDown", 3, mouse, mouseNames},
        {L"MouseMove", 4, mouse, mouseNames},
        {L"MouseUp", 5, mouse, mouseNames},
    };
    if (GetParam() != 2) {
        expected.push_back({L"PieceDropped", 6, {L"short*", L"short*", L"short*", L"short*", L"VARIANT_BOOL*"},
                            {L"FromCol", L"FromRow", L"ToCol", L"ToRow", L"Cancel"}});
        expected.push_back({L"KeyDown", 7, square, {L"KeyCode", L"Shift"}});
        expected.push_back({L"AnnotationsChanged", 8, {}, {}});
    }
    const std::vector<Function> functions = Functions(events.Get());
    ASSERT_EQ(functions.size(), std::size(expected));
    for (std::size_t i = 0; i < functions.size(); ++i) {
        const Function& f = functions[i];
        const Expected& e = expected[i];
        EXPECT_EQ(f.name, e.name) << i;
        EXPECT_EQ(f.id, e.id) << Narrow(e.name);
        EXPECT_EQ(f.kind, INVOKE_FUNC) << Narrow(e.name);
        EXPECT_EQ(f.types, e.types) << Narrow(e.name) << ": " << Text(f.types);
        EXPECT_EQ(f.flags, std::vector<USHORT>(e.types.size(), inOut)) << Narrow(e.name);
        EXPECT_EQ(f.help, L"") << Narrow(e.name);
        auto names = Names(events.Get(), e.id);
        ASSERT_FALSE(names.empty());
        names.erase(names.begin());
        EXPECT_EQ(names, e.names) << Narrow(e.name) << ": " << Text(names);
    }
}

INSTANTIATE_TEST_SUITE_P(BothClasses, EventInterface, ::testing::Values(2u, 6u));

TEST_F(TypeLibTest, PieceNumConstants) {
    ComPtr<ITypeInfo> enumeration = TypeInfo(3);
    const wchar_t* const expected[] = {L"None",  L"Bpawn", L"Brook",   L"Bknight", L"Bbishop", L"BQueen", L"Bking",
                                       L"Wpawn", L"Wrook", L"Wknight", L"Wbishop", L"WQueen",  L"Wking"};
    TypeAttr attr(enumeration.Get());
    ASSERT_EQ(attr->cVars, std::size(expected));
    for (UINT i = 0; i < attr->cVars; ++i) {
        VARDESC* desc = nullptr;
        ASSERT_EQ(enumeration->GetVarDesc(i, &desc), S_OK);
        EXPECT_EQ(Name(enumeration.Get(), desc->memid), expected[i]) << i;
        EXPECT_EQ(desc->varkind, VAR_CONST);
        ASSERT_NE(desc->lpvarValue, nullptr);
        VARIANT value{};
        ASSERT_EQ(VariantChangeType(&value, desc->lpvarValue, 0, VT_I4), S_OK);
        EXPECT_EQ(V_I4(&value), static_cast<LONG>(i + 1)) << Narrow(expected[i]);
        enumeration->ReleaseVarDesc(desc);
    }
}

}  // namespace
}  // namespace quelder::testing
