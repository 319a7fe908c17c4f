// The size of what a window is about to repaint: the area of its invalid
// region, summed over the region's rectangles.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "handles/win_handles.hpp"

namespace quelder::testing {

inline long long InvalidArea(HWND window) {
    handles::Unique<HRGN, handles::DeleteGdiObject> region(CreateRectRgn(0, 0, 0, 0));
    if (!region || GetUpdateRgn(window, region.get(), FALSE) == NULLREGION) return 0;
    std::vector<std::uint8_t> bytes(GetRegionData(region.get(), 0, nullptr));
    if (bytes.empty()) return 0;
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    if (GetRegionData(region.get(), static_cast<DWORD>(bytes.size()), data) != bytes.size()) return 0;
    long long area = 0;
    for (DWORD k = 0; k < data->rdh.nCount; ++k) {
        RECT r;
        std::memcpy(&r, data->Buffer + k * sizeof r, sizeof r);
        area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    }
    return area;
}

}  // namespace quelder::testing
