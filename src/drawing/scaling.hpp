// Scaling a picture smoothly to another size, as a picture a host sets is
// fitted to a square.
//
// Each axis is scaled on its own, so a picture may shrink across and grow down.
// Shrinking averages the source pixels that a result pixel covers, each
// weighted by how much of it is covered; enlarging interpolates between the
// two source pixels nearest the result pixel's centre (bilinear), and the
// pixels along the edges take the edge's colour. An axis kept at its size is
// copied, so the same size on both gives an exact copy. Channels are rounded
// to nearest, halves upward.
//
// Black is a colour here like any other: ScaleImage does not know the mask.
// A result pixel is the mask colour where everything it takes is, and also
// where it takes mostly mask and so little picture that every channel rounds
// to 0: thin or dark details can vanish when shrunk a long way. Along the
// edge of a masked area the black mixes into the picture's pixels, which then
// are no longer the mask colour: drawn with DrawTransparent they show as a
// dark rim, one result pixel wide when shrinking and about a source pixel wide
// when enlarging. A caller that wants no rim composes the picture over the
// square's background first and scales that.
#pragma once

#include "drawing/pixels.hpp"

namespace quelder {

// The largest width or height, of the source and of the result, that
// ScaleImage takes; the caller bounds the sizes it asks for. Within it no sum
// overflows, and the work is at most 2 (source width + width) (source height +
// height) multiply-adds a channel, whatever the ratio.
constexpr int kMaxScaleSide = 4096;

// source scaled to width x height. An empty image for an empty source or a
// side outside 1..kMaxScaleSide.
Image ScaleImage(ConstImagePart source, int width, int height);

}  // namespace quelder
