// Saving and loading the control's properties in a container: through a
// stream (IPersistStreamInit, the stream form of saved_properties.hpp) or a
// property bag (IPersistPropertyBag, the four keys as VARIANTs). A board of
// the board class with flat squares saves their colours too: the bag's keys
// "LightSquareColor" and "DarkSquareColor" after the four, the stream form's
// version 2. Saved data without them is a board in wood.
//
// A container starts the saved properties once, through either interface:
// as a new control's (InitNew, UserControl_InitProperties) or from what it
// saved (Load, UserControl_ReadProperties), never both. A second InitNew or
// Load fails with E_UNEXPECTED and changes nothing. Until a start succeeds the
// values are those neither start sets: "Piece" 0, "IsSelected" False, no
// picture object; a control nobody starts (a script's) keeps them.
//
// A stream that holds anything but one whole stream form fails and changes
// nothing; a bag value that cannot be read fails at its key, the keys before
// it loaded, the others as they were. A failed Load starts nothing: the
// container may load again or start the control as a new one.
#include <string_view>
#include <variant>

#include "appearance/persistence.hpp"
#include "appearance/property_conversion.hpp"
#include "appearance/saved_properties.hpp"
#include "control/com_property_bag.hpp"
#include "control/picture_stream_codec.hpp"
#include "control/quelder_control.hpp"

namespace quelder::win32 {

using com::Deref;
using com::Out;

namespace {
constexpr std::string_view kLightKey = "LightSquareColor";
constexpr std::string_view kDarkKey = "DarkSquareColor";
}  // namespace

STDMETHODIMP QuelderControl::GetClassID(CLSID* clsid) {
    return com::Guard(IID_IPersist, [&]() -> HRESULT {
        if (clsid == nullptr) return E_POINTER;
        *clsid = *kind_.clsid;
        return S_OK;
    });
}

STDMETHODIMP QuelderControl::InitNew() {
    if (!saved_.CanStart()) return E_UNEXPECTED;
    return Member(
        [&] {
            UserControl_InitProperties(board_);
            saved_.Started();
        },
        IID_IPersistStreamInit);
}

template <typename Body>
HRESULT QuelderControl::StartLoad(Body&& load, REFIID iid) noexcept {
    if (!saved_.CanStart()) return E_UNEXPECTED;
    // The stream or the bag may call the control back while it is read, even
    // let go of it: no other start may run meanwhile, and the control lives
    // until the outcome is noted.
    const auto alive = KeepAlive();
    saved_.LoadBegun();
    const HRESULT hr = Member(std::forward<Body>(load), iid);
    saved_.LoadEnded(SUCCEEDED(hr));
    return hr;
}

// ---- IPersistStreamInit -----------------------------------------------------------------

STDMETHODIMP QuelderControl::IsDirty() { return saved_.Dirty() ? S_OK : S_FALSE; }

STDMETHODIMP QuelderControl::Load(LPSTREAM stream) {
    if (stream == nullptr) return E_POINTER;
    return StartLoad(
        [&] {
            // The header tells the size of the whole form: no more is read.
            std::vector<std::uint8_t> bytes(kStreamFormHeaderSize);
            ReadExactly(*stream, bytes.data(), bytes.size());
            const std::size_t size = StreamFormSize(bytes);
            bytes.resize(size);
            ReadExactly(*stream, bytes.data() + kStreamFormHeaderSize, size - kStreamFormHeaderSize);
            StreamPictureCodec codec;
            LoadFromStreamForm(board_, bytes, codec,
                               [&](const SavedSquareColours& colours) { LoadSquareColours(colours); });
        },
        IID_IPersistStreamInit);
}

STDMETHODIMP QuelderControl::Save(LPSTREAM stream, BOOL clearDirty) {
    return Member(
        [&] {
            IStream& out = Deref(stream);
            StreamPictureCodec codec;
            WriteAll(out, SaveToStreamForm(board_, codec, SquareColours()));
            saved_.Saved(clearDirty != FALSE);
            site_.SendOnSave();
        },
        IID_IPersistStreamInit);
}

STDMETHODIMP QuelderControl::GetSizeMax(ULARGE_INTEGER* size) {
    return Member(
        [&] {
            ULARGE_INTEGER& out = Out(size);
            StreamPictureCodec codec;
            out.QuadPart = StreamFormSizeMax(board_, codec, SquareColours());
        },
        IID_IPersistStreamInit);
}

// ---- IPersistPropertyBag ----------------------------------------------------------------

STDMETHODIMP QuelderControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (bag == nullptr) return E_POINTER;
    return StartLoad(
        [&] {
            ComPropertyBag properties(*bag, log);
            UserControl_ReadProperties(board_, properties);
            if (!extras_) return;
            // Either key alone gives flat squares, the other at its default.
            const PropertyValue light = properties.ReadProperty(kLightKey, std::monostate{});
            const PropertyValue dark = properties.ReadProperty(kDarkKey, std::monostate{});
            if (std::holds_alternative<std::monostate>(light) && std::holds_alternative<std::monostate>(dark))
                LoadSquareColours(std::nullopt);
            else
                LoadSquareColours(std::make_pair(
                    std::holds_alternative<std::monostate>(light) ? BoardExtras::kDefaultLightColour : ToInt32(light),
                    std::holds_alternative<std::monostate>(dark) ? BoardExtras::kDefaultDarkColour : ToInt32(dark)));
        },
        IID_IPersistPropertyBag);
}

STDMETHODIMP QuelderControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    return Member(
        [&] {
            ComPropertyBag properties(Deref(bag), nullptr);
            UserControl_WriteProperties(board_, properties);
            if (const SavedSquareColours colours = SquareColours()) {
                properties.WriteProperty(kLightKey, colours->first, BoardExtras::kDefaultLightColour);
                properties.WriteProperty(kDarkKey, colours->second, BoardExtras::kDefaultDarkColour);
            }
            saved_.Saved(clearDirty != FALSE);
            site_.SendOnSave();
        },
        IID_IPersistPropertyBag);
}

}  // namespace quelder::win32
