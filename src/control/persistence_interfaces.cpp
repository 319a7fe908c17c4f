// Saving and loading the control's properties in a container: through a
// stream (IPersistStreamInit, the stream form of saved_properties.hpp) or a
// property bag (IPersistPropertyBag, the four keys as VARIANTs). A board of
// the board class saves its squares' colours and the options a designer sets
// too, where they are not the defaults: in the bag after the four keys, in
// the stream form's versions 2 and 3. Saved data without them is a new
// board's: in wood, with the default options.
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
#include "appearance/persistence.hpp"
#include "appearance/property_conversion.hpp"
#include "appearance/saved_properties.hpp"
#include "control/com_property_bag.hpp"
#include "control/picture_stream_codec.hpp"
#include "control/quelder_control.hpp"

namespace quelder::win32 {

using com::Deref;
using com::Out;

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
                               [&](const BoardClassSettings& settings) { LoadSettings(settings); });
        },
        IID_IPersistStreamInit);
}

STDMETHODIMP QuelderControl::Save(LPSTREAM stream, BOOL clearDirty) {
    return Member(
        [&] {
            IStream& out = Deref(stream);
            StreamPictureCodec codec;
            WriteAll(out, SaveToStreamForm(board_, codec, Settings()));
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
            out.QuadPart = StreamFormSizeMax(board_, codec, Settings());
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
            if (extras_) LoadSettings(ReadBoardClassSettings(properties));
        },
        IID_IPersistPropertyBag);
}

STDMETHODIMP QuelderControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    return Member(
        [&] {
            ComPropertyBag properties(Deref(bag), nullptr);
            UserControl_WriteProperties(board_, properties);
            if (extras_) WriteBoardClassSettings(properties, Settings());
            saved_.Saved(clearDirty != FALSE);
            site_.SendOnSave();
        },
        IID_IPersistPropertyBag);
}

}  // namespace quelder::win32
