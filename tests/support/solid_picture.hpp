// A picture object as a host makes one from a bitmap of its own: for the
// tests and the benchmark that hand the control pictures.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstddef>

#include "com/com_ptr.hpp"
#include "handles/win_handles.hpp"

namespace quelder::testing {

// A picture object of edge x edge pixels in one colour, owning its bitmap
// (a 32-bit DIB section); null when it cannot be made.
inline com::ComPtr<IPictureDisp> SolidPicture(int edge, COLORREF colour) {
    handles::ScreenDc screen;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, edge, -edge, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    handles::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return nullptr;
    std::fill_n(static_cast<DWORD*>(bits), static_cast<std::size_t>(edge) * static_cast<std::size_t>(edge),
                static_cast<DWORD>(GetRValue(colour)) << 16 | static_cast<DWORD>(GetGValue(colour)) << 8 |
                    GetBValue(colour));
    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap.get();
    com::ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE,
                                        reinterpret_cast<void**>(picture.GetAddressOf()))))
        return nullptr;
    bitmap.release();  // the picture owns it now
    return picture;
}

}  // namespace quelder::testing
