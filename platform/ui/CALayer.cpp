#include "platform/ui/CALayer.h"
#include "platform/foundation/NSArray.h"
#include "runtime/Associations.h"
#include "runtime/MessageSend.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

std::atomic<uint64_t> nextSerial{1};

CALayer* asLayer(id self) {
    return static_cast<CALayer*>(self);
}

} // namespace

Class CALayer::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("CALayer", NSObject::objcClass(), &instance_factory<CALayer>);
        class_addMethod(
            c, "bounds", +[](id self, SEL) -> CGRect { return asLayer(self)->bounds(); });
        class_addMethod(
            c, "setBounds:", +[](id self, SEL, CGRect r) { asLayer(self)->setBounds(r); });
        class_addMethod(
            c, "position", +[](id self, SEL) -> CGPoint { return asLayer(self)->position(); });
        class_addMethod(
            c, "setPosition:", +[](id self, SEL, CGPoint p) { asLayer(self)->setPosition(p); });
        class_addMethod(
            c, "anchorPoint", +[](id self, SEL) -> CGPoint { return asLayer(self)->anchorPoint(); });
        class_addMethod(
            c, "setAnchorPoint:", +[](id self, SEL, CGPoint p) { asLayer(self)->setAnchorPoint(p); });
        class_addMethod(
            c, "frame", +[](id self, SEL) -> CGRect { return asLayer(self)->frame(); });
        class_addMethod(
            c, "setFrame:", +[](id self, SEL, CGRect r) { asLayer(self)->setFrame(r); });
        class_addMethod(
            c, "superlayer", +[](id self, SEL) -> id { return asLayer(self)->superlayer(); });
        // A fresh array each time would have no owner once answered; the layer keeps the last one.
        class_addMethod(
            c, "sublayers", +[](id self, SEL) -> id {
                static const char key = 0;
                CALayer* layer = asLayer(self);
                if (layer->sublayers().empty())
                    return nullptr;
                std::vector<Ref<NSObject>> items(layer->sublayers().begin(), layer->sublayers().end());
                Ref<NSArray> array = NSArray::arrayWithObjects(std::move(items));
                objc_setAssociatedObject(self, &key, array, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                return array.get();
            });
        class_addMethod(
            c, "addSublayer:", +[](id self, SEL, id layer) {
                asLayer(self)->addSublayer(objc_cast<CALayer>(layer));
            });
        class_addMethod(
            c, "removeFromSuperlayer", +[](id self, SEL) { asLayer(self)->removeFromSuperlayer(); });
        class_addMethod(
            c, "isHidden", +[](id self, SEL) -> bool { return asLayer(self)->isHidden(); });
        class_addMethod(
            c, "setHidden:", +[](id self, SEL, bool hidden) { asLayer(self)->setHidden(hidden); });
        class_addMethod(
            c, "opacity", +[](id self, SEL) -> float { return asLayer(self)->opacity(); });
        class_addMethod(
            c, "setOpacity:", +[](id self, SEL, float opacity) { asLayer(self)->setOpacity(opacity); });
        class_addMethod(
            c, "masksToBounds", +[](id self, SEL) -> bool { return asLayer(self)->masksToBounds(); });
        class_addMethod(
            c,
            "setMasksToBounds:", +[](id self, SEL, bool masks) { asLayer(self)->setMasksToBounds(masks); });
        class_addMethod(
            c, "backgroundColor", +[](id self, SEL) -> id { return asLayer(self)->backgroundColor(); });
        class_addMethod(
            c, "setBackgroundColor:", +[](id self, SEL, id color) {
                asLayer(self)->setBackgroundColor(objc_cast<UIColor>(color));
            });
        class_addMethod(
            c, "contents", +[](id self, SEL) -> id { return asLayer(self)->contents(); });
        class_addMethod(
            c, "setContents:", +[](id self, SEL, id image) {
                asLayer(self)->setContents(objc_cast<CGImage>(image));
            });
        class_addMethod(
            c, "mask", +[](id self, SEL) -> id { return asLayer(self)->mask(); });
        class_addMethod(
            c, "setMask:", +[](id self, SEL, id mask) { asLayer(self)->setMask(objc_cast<CALayer>(mask)); });
        return c;
    }();
    return cls;
}

Ref<CALayer> CALayer::layer() {
    return make_object<CALayer>();
}

CALayer::CALayer() : m_serial(nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

CALayer::~CALayer() {
    for (auto& sublayer : m_sublayers)
        sublayer->m_superlayer = nullptr;
    if (m_mask)
        --m_mask->m_maskOwners;
}

std::atomic<uint64_t> CALayer::s_changes{0};
std::atomic<uint64_t> CALayer::s_arrangementChanges{0};

// Out of line, so that every subclass, wherever it is compiled, counts its changes here.
void CALayer::changed() {
    ++m_generation;
    s_changes.fetch_add(1, std::memory_order_relaxed);
    s_arrangementChanges.fetch_add(1, std::memory_order_relaxed);
}

void CALayer::drawingChanged() {
    ++m_generation;
    s_changes.fetch_add(1, std::memory_order_relaxed);
    if (m_maskOwners > 0)
        s_arrangementChanges.fetch_add(1, std::memory_order_relaxed);
}

void CALayer::sublayersChanged() {
    ++m_structureGeneration;
    s_changes.fetch_add(1, std::memory_order_relaxed);
    s_arrangementChanges.fetch_add(1, std::memory_order_relaxed);
}

void CALayer::setBounds(CGRect bounds) {
    if (bounds == m_bounds)
        return;
    if (bounds.size == m_bounds.size)
        ++m_boundsOriginChanges;
    m_bounds = bounds;
    changed();
}

void CALayer::setPosition(CGPoint position) {
    if (position == m_position)
        return;
    m_position = position;
    changed();
}

void CALayer::setAnchorPoint(CGPoint anchorPoint) {
    if (anchorPoint == m_anchorPoint)
        return;
    m_anchorPoint = anchorPoint;
    changed();
}

CGRect CALayer::frame() const {
    double width = m_bounds.size.width, height = m_bounds.size.height;
    return CGRectMake(m_position.x - m_anchorPoint.x * width, m_position.y - m_anchorPoint.y * height, width,
                      height);
}

void CALayer::setFrame(CGRect frame) {
    // A frame with a negative size describes the same rectangle with a positive one.
    CGRect r =
        CGRectMake(CGRectGetMinX(frame), CGRectGetMinY(frame), CGRectGetWidth(frame), CGRectGetHeight(frame));
    setBounds(CGRectMake(m_bounds.origin.x, m_bounds.origin.y, r.size.width, r.size.height));
    setPosition(CGPointMake(r.origin.x + m_anchorPoint.x * r.size.width,
                            r.origin.y + m_anchorPoint.y * r.size.height));
}

void CALayer::addSublayer(CALayer* layer) {
    insertSublayer(layer, m_sublayers.size());
}

void CALayer::insertSublayer(CALayer* layer, size_t index) {
    if (!layer || layer == this)
        return;
    // A layer cannot become its own ancestor's sublayer.
    for (CALayer* ancestor = m_superlayer; ancestor; ancestor = ancestor->m_superlayer)
        if (ancestor == layer)
            return;
    Ref<CALayer> keep(layer);
    if (layer->m_superlayer)
        layer->m_superlayer->detachSublayer(layer);
    index = std::min(index, m_sublayers.size());
    m_sublayers.insert(m_sublayers.begin() + static_cast<std::ptrdiff_t>(index), keep);
    layer->m_superlayer = this;
    sublayersChanged();
}

void CALayer::detachSublayer(CALayer* layer) {
    auto it = std::find_if(m_sublayers.begin(), m_sublayers.end(),
                           [layer](const Ref<CALayer>& l) { return l.get() == layer; });
    if (it == m_sublayers.end())
        return;
    Ref<CALayer> keep = std::move(*it);
    m_sublayers.erase(it);
    layer->m_superlayer = nullptr;
    sublayersChanged();
}

void CALayer::removeFromSuperlayer() {
    if (m_superlayer)
        m_superlayer->detachSublayer(this);
}

void CALayer::setHidden(bool hidden) {
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    changed();
}

void CALayer::setOpacity(float opacity) {
    if (std::isnan(opacity))
        opacity = 0;
    opacity = std::clamp(opacity, 0.0f, 1.0f);
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    changed();
}

void CALayer::setMasksToBounds(bool masks) {
    if (masks == m_masksToBounds)
        return;
    m_masksToBounds = masks;
    changed();
}

void CALayer::setBackgroundColor(UIColor* color) {
    if (color == m_backgroundColor.get())
        return;
    m_backgroundColor = color;
    changed();
}

void CALayer::setBackgroundColor(std::optional<CGColor> color) {
    if (!color) {
        setBackgroundColor(static_cast<UIColor*>(nullptr));
        return;
    }
    setBackgroundColor(UIColor::colorWithRed(color->red, color->green, color->blue, color->alpha).get());
}

void CALayer::setContents(CGImage* image) {
    if (image == m_contents.get())
        return;
    m_contents = image;
    changed();
}

void CALayer::setMask(CALayer* mask) {
    if (mask == m_mask.get() || mask == this)
        return;
    if (mask)
        mask->removeFromSuperlayer();
    if (m_mask)
        --m_mask->m_maskOwners;
    m_mask = mask;
    if (m_mask)
        ++m_mask->m_maskOwners;
    changed();
}
