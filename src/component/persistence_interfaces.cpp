// Saving and loading the control's properties in a container: through a
// stream (IPersistStreamInit, the stream form of saved_properties.hpp) or a
// property bag (IPersistPropertyBag, the four keys as VARIANTs).
//
// A control made by CreateObject is initialised as a new one already; a
// container's InitNew initialises it again and its Load overwrites the four
// values. A stream that holds anything but one whole stream form fails and
// changes nothing; a bag value that cannot be read fails at its key, the keys
// before it loaded.
#include "appearance/persistence.hpp"
#include "appearance/saved_properties.hpp"
#include "component/com_property_bag.hpp"
#include "component/picture_stream_codec.hpp"
#include "component/quelder_control.hpp"

namespace quelder::win32 {

using com::Deref;
using com::Out;

STDMETHODIMP QuelderControl::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_Quelder;
    return S_OK;
}

STDMETHODIMP QuelderControl::InitNew() {
    return Member(
        [&] {
            UserControl_InitProperties(board_);
            dirty_ = false;
        },
        IID_IPersistStreamInit);
}

// ---- IPersistStreamInit -----------------------------------------------------------------

STDMETHODIMP QuelderControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP QuelderControl::Load(LPSTREAM stream) {
    return Member(
        [&] {
            IStream& in = Deref(stream);
            // The header tells the size of the whole form: no more is read.
            std::vector<std::uint8_t> bytes(kStreamFormHeaderSize);
            ReadExactly(in, bytes.data(), bytes.size());
            const std::size_t size = StreamFormSize(bytes);
            bytes.resize(size);
            ReadExactly(in, bytes.data() + kStreamFormHeaderSize, size - kStreamFormHeaderSize);
            StreamPictureCodec codec;
            LoadFromStreamForm(board_, bytes, codec);
            dirty_ = false;
        },
        IID_IPersistStreamInit);
}

STDMETHODIMP QuelderControl::Save(LPSTREAM stream, BOOL clearDirty) {
    return Member(
        [&] {
            IStream& out = Deref(stream);
            StreamPictureCodec codec;
            WriteAll(out, SaveToStreamForm(board_, codec));
            if (clearDirty) dirty_ = false;
            if (oleAdvise_) oleAdvise_->SendOnSave();
        },
        IID_IPersistStreamInit);
}

STDMETHODIMP QuelderControl::GetSizeMax(ULARGE_INTEGER* size) {
    return Member(
        [&] {
            ULARGE_INTEGER& out = Out(size);
            StreamPictureCodec codec;
            out.QuadPart = StreamFormSizeMax(board_, codec);
        },
        IID_IPersistStreamInit);
}

// ---- IPersistPropertyBag ----------------------------------------------------------------

STDMETHODIMP QuelderControl::Load(IPropertyBag* bag, IErrorLog* log) {
    return Member(
        [&] {
            ComPropertyBag properties(Deref(bag), log);
            UserControl_ReadProperties(board_, properties);
            dirty_ = false;
        },
        IID_IPersistPropertyBag);
}

STDMETHODIMP QuelderControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    return Member(
        [&] {
            ComPropertyBag properties(Deref(bag), nullptr);
            UserControl_WriteProperties(board_, properties);
            if (clearDirty) dirty_ = false;
            if (oleAdvise_) oleAdvise_->SendOnSave();
        },
        IID_IPersistPropertyBag);
}

}  // namespace quelder::win32
