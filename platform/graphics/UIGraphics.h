#pragma once

// Image drawing contexts, as UIKit keeps them: a per-thread stack whose top is the current
// context. UIGraphicsBeginImageContext makes a bitmap context of the size in points at scale 1
// (fractional sizes round up to whole pixels); its pixel layout is CGBitmapContext's (bytes R, G,
// B, A, premultiplied). Every Begin must be matched by one End on the same thread. A size that
// cannot be made (not positive, not finite, too large) still takes a place on the stack, so that
// Begin and End stay paired, but that place has no context: UIGraphicsGetCurrentContext answers
// null and drawing into it does nothing.

#include "platform/graphics/CGBitmapContext.h"
#include "platform/graphics/Geometry.h"
#include "runtime/Ref.h"

class UIImage;

// Answers whether a context was made (the device answers nothing; the result may be ignored).
bool UIGraphicsBeginImageContext(CGSize size);
CGContextRef UIGraphicsGetCurrentContext();
// The current context's pixels as a new image of scale 1, or nil when there is no context.
Ref<UIImage> UIGraphicsGetImageFromCurrentImageContext();
// Removes the current context; with no context open it does nothing.
void UIGraphicsEndImageContext();
