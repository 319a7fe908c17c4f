// What the board's property page asks a board of this module that
// _QuelderBoard does not tell: whether its squares are wood, since flat
// squares may have the wood's colours. It is in no type library and has no
// proxy: a board reached through another apartment does not answer it, and
// the page goes by the colours.
#pragma once

#include <windows.h>
#include <unknwn.h>

// COM interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct IBoardSquares : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetWood(BOOL* wood) = 0;
};
#pragma GCC diagnostic pop

__CRT_UUID_DECL(IBoardSquares, 0xdf7141c1, 0x0563, 0x49c2, 0xbc, 0x11, 0xb9, 0x74, 0x5b, 0x19, 0x74, 0x73)
