// The control's pictures under Windows: each PictureRef of the Win32 host is a
// ComPicture standing for one automation picture object (IPictureDisp), so a
// picture handed to a client and set back is the same object again.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>

#include "com/com_base.hpp"
#include "host/host_services.hpp"

namespace quelder::win32 {

class ComPicture final : public PictureObject {
public:
    // A picture made from pixels, which it may share with other pictures
    // (the board images, held once in the process): its picture object, a
    // bitmap of its own, is made when a client first asks for it. An empty
    // image stands for the empty picture.
    explicit ComPicture(std::shared_ptr<const Image> pixels);
    // A client's picture object, kept as it is; its pixels are drawn from it
    // when first needed. picture must answer IPicture.
    explicit ComPicture(com::ComPtr<IPictureDisp> picture);

    Image Render() const override;
    // Its pixels, drawn from the picture object the first time.
    const Image* HeldPixels() const override;
    // The picture object, the same one every time.
    com::ComPtr<IPictureDisp> Dispatch() const;

private:
    mutable std::shared_ptr<const Image> pixels_;
    mutable com::ComPtr<IPictureDisp> picture_;
};

// LoadPicture(""): a new empty picture object (PICTYPE_NONE).
PictureRef EmptyPicture();
// The picture object of ref for a client; null for no picture.
com::ComPtr<IPictureDisp> ToPictureDisp(const PictureRef& ref);
// A client's picture object as a PictureRef; null gives no picture. An object
// that is no picture fails with 481 "Invalid picture".
PictureRef FromPictureDisp(IPictureDisp* picture);

// The pixels of a picture object, drawn at its own size (empty for the empty
// picture). Fails with 481 for a picture that cannot be drawn.
Image RenderPicture(IPicture& picture);
// A new picture object (a 24-bit bitmap, owned by the object) showing image.
com::ComPtr<IPictureDisp> CreatePicture(const Image& image);

}  // namespace quelder::win32
