// The handle owners the About dialog uses, shared with the rest of the
// component (component/win_handles.hpp).
#pragma once

#include "component/win_handles.hpp"

namespace quelder::about {

using handles::CloseKernelHandle;
using handles::CloseRegKey;
using handles::DeleteGdiObject;
using handles::DeleteMemoryDc;
using handles::DestroyWindowHandle;
using handles::PaintDc;
using handles::RemoveHook;
using handles::ScreenDc;
using handles::Selection;
using handles::Unique;
using handles::UniqueBitmap;
using handles::UniqueHook;
using handles::UniqueKernelHandle;
using handles::UniqueMemoryDc;
using handles::UniqueRegKey;
using handles::UniqueWindow;

}  // namespace quelder::about
