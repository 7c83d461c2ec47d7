#pragma once

#include "format/animation.h"
#include "format/compose.h"

// Small pictures of an animation for file managers and image programs: no
// engine, no window.
namespace tglformat {

// A rectangle of the view, right and bottom excluded.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
};

// The smallest box holding every pixel of the width x height picture that
// is not fully transparent; empty when there is none.
Box opaqueBox(const std::uint32_t* argb, int width, int height);

// The pixels of `box`, which lies within the width-wide picture, rows top to bottom.
std::vector<std::uint32_t> cropped(const std::uint32_t* argb, int width, const Box& box);

// The union of the boxes of the frames that show (those with an image),
// within the viewer's window; empty when none shows there.
Box shownBox(const Animation& animation);

// The first frame whose image shows within `box`; the frame count when none does.
std::size_t firstShownFrame(const Animation& animation, const Box& box);

// Frame `index` as the viewer draws it, on a transparent background instead
// of white, cropped to `box`.
Picture croppedFrame(const Animation& animation, std::size_t index, const Box& box);

// The picture made smaller, never larger, to fit within side x side, its
// proportions kept; each pixel the average of what it covers, alpha-weighted.
Picture fittedInto(const Picture& picture, int side);

// The first frame that shows, cropped to shownBox and fitted into side x
// side; empty when no frame shows.
Picture thumbnailOf(const Animation& animation, int side);

} // namespace tglformat
