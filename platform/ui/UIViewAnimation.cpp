#include "platform/ui/UIViewAnimation.h"
#include "platform/runloop/RunLoop.h"
#include "platform/ui/UIApplication.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace UIViewAnimation {

namespace {

struct Animation {
    Ref<UIView> view;
    CGRect from;
    CGRect to;
    int64_t start;
    int64_t duration;
};

struct Animator {
    std::vector<Animation> running;
    bool observing = false;
};

Animator& animator() {
    static Animator* const instance = new Animator;
    return *instance;
}

void collect(UIView* view, std::map<UIView*, CGRect>& frames) {
    frames[view] = view->layer()->frame(); // where it is drawn
    for (const auto& subview : view->subviews())
        collect(subview.get(), frames);
}

double easeInOut(double t) {
    return t < 0.5 ? 2 * t * t : 1 - std::pow(-2 * t + 2, 2) / 2;
}

double mix(double a, double b, double t) {
    return a + (b - a) * t;
}

CGRect interpolate(const CGRect& from, const CGRect& to, double t) {
    return CGRectMake(mix(from.origin.x, to.origin.x, t), mix(from.origin.y, to.origin.y, t),
                      mix(from.size.width, to.size.width, t), mix(from.size.height, to.size.height, t));
}

void step(int64_t now) {
    auto& running = animator().running;
    std::vector<Animation> current = running;
    running.clear();
    for (auto& animation : current) {
        double t = std::clamp(
            static_cast<double>(now - animation.start) / static_cast<double>(animation.duration), 0.0, 1.0);
        animation.view->setPresentationFrame(
            t >= 1 ? animation.to : interpolate(animation.from, animation.to, easeInOut(t)));
        if (t < 1)
            running.push_back(std::move(animation));
        else
            animation.view->setModelFrame(std::nullopt);
    }
}

} // namespace

void animateWithDuration(double seconds, const std::function<void()>& animations) {
    UIView* root = UIApplication::sharedApplication()->rootView();
    std::map<UIView*, CGRect> before;
    if (root)
        collect(root, before);
    if (animations)
        animations();
    if (!root || !(seconds > 0) || !std::isfinite(seconds))
        return;
    RunLoop* loop = RunLoop::main();
    int64_t now = loop->nowNanoseconds();
    auto& a = animator();
    for (const auto& [view, from] : before) {
        // What the block set: the layer's frame (a running animation's model is its old target).
        CGRect to = view->layer()->frame();
        if (to == from)
            continue;
        cancel(view);
        // The frame is the new one at once; only the drawing starts where the view was.
        view->setModelFrame(to);
        view->setPresentationFrame(from);
        a.running.push_back({Ref<UIView>(view), from, to, now, static_cast<int64_t>(seconds * 1e9)});
    }
    if (!a.observing && !a.running.empty()) {
        loop->addRefreshObserver([](int64_t instant) { step(instant); });
        a.observing = true;
    }
}

void cancel(UIView* view) {
    auto& running = animator().running;
    running.erase(std::remove_if(running.begin(), running.end(),
                                 [view](const Animation& animation) { return animation.view.get() == view; }),
                  running.end());
    view->setModelFrame(std::nullopt);
}

size_t runningCount() {
    return animator().running.size();
}

} // namespace UIViewAnimation
