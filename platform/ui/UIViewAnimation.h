#pragma once

// View animations: a view whose frame an animation block changes takes the new frame at once (what
// frame and center answer), while what is drawn moves from the old frame to the new one over the
// duration, one step per display refresh of the main run loop, easing in and out. A view animated
// again starts over from where it is drawn; a frame or center set meanwhile ends its animation.

#include <cstddef>
#include <functional>

class UIView;

namespace UIViewAnimation {

// Runs animations at once, then animates every view under the application's root view whose
// frame the block changed. Without a root view, or with a duration that is not positive, the
// changes simply stand.
void animateWithDuration(double seconds, const std::function<void()>& animations);
// Animations still running.
size_t runningCount();
// Ends a view's animation where it stands (its model frame forgotten).
void cancel(UIView* view);

} // namespace UIViewAnimation
