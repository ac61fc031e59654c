#pragma once

// View animations: the frames that an animation block changes move from their old values to the
// new ones over the duration, one step per display refresh of the main run loop, easing in and
// out. A view that is animated again starts over from where it is.

#include <cstddef>
#include <functional>

namespace UIViewAnimation {

// Runs animations at once, then animates every view under the application's root view whose
// frame the block changed. Without a root view, or with a duration that is not positive, the
// changes simply stand.
void animateWithDuration(double seconds, const std::function<void()>& animations);
// Animations still running.
size_t runningCount();

} // namespace UIViewAnimation
