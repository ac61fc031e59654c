#include "platform/ui/UIImageView.h"

#include <algorithm>

namespace {

UIImageView* asImageView(id self) {
    return static_cast<UIImageView*>(self);
}

} // namespace

Class UIImageView::objcClass() {
    static Class const cls = [] {
        Class c = objc_defineClass("UIImageView", UIView::objcClass(), &instance_factory<UIImageView>);
        class_addMethod(
            c, "initWithImage:", +[](id self, SEL, id image) -> id {
                auto* view = asImageView(self);
                auto* picture = objc_cast<UIImage>(image);
                CGSize size = picture ? picture->size() : CGSize{};
                msg_send<id>(self, "initWithFrame:", CGRectMake(0, 0, size.width, size.height));
                view->setImage(picture);
                return self;
            });
        class_addMethod(
            c, "image", +[](id self, SEL) -> id { return asImageView(self)->image(); });
        class_addMethod(
            c, "setImage:", +[](id self, SEL, id image) {
                asImageView(self)->setImage(objc_cast<UIImage>(image));
            });
        class_addMethod(
            c, "contentMode", +[](id self, SEL) -> long { return asImageView(self)->contentMode(); });
        class_addMethod(
            c, "setContentMode:", +[](id self, SEL, long mode) {
                asImageView(self)->setContentMode(static_cast<UIViewContentMode>(mode));
            });
        class_addMethod(
            c, "layoutSubviews", +[](id self, SEL) { asImageView(self)->placeImage(); });
        return c;
    }();
    return cls;
}

Ref<UIImageView> UIImageView::imageViewWithImage(UIImage* image) {
    Ref<UIImageView> view = make_object<UIImageView>();
    msg_send<id>(view.get(), "initWithImage:", image);
    return view;
}

UIImageView::UIImageView() : m_imageLayer(CALayer::layer()) {
    layer()->addSublayer(m_imageLayer);
}

void UIImageView::setImage(UIImage* image) {
    m_image = image;
    m_imageLayer->setContents(image ? image->cgImage() : nullptr);
    placeImage();
}

void UIImageView::setContentMode(UIViewContentMode mode) {
    m_contentMode = mode;
    placeImage();
}

CGRect UIImageView::imageFrame() const {
    CGRect b = bounds();
    CGSize size = m_image ? m_image->size() : CGSize{};
    if (m_contentMode == UIViewContentModeScaleToFill || !(size.width > 0) || !(size.height > 0))
        return b;
    double sx = b.size.width / size.width, sy = b.size.height / size.height;
    double k = m_contentMode == UIViewContentModeScaleAspectFill ? std::max(sx, sy) : std::min(sx, sy);
    double w = size.width * k, h = size.height * k;
    return CGRectMake(b.origin.x + (b.size.width - w) / 2, b.origin.y + (b.size.height - h) / 2, w, h);
}

void UIImageView::placeImage() {
    m_imageLayer->setFrame(imageFrame());
}

void UIImageView::addOwnOpaqueRects(std::vector<CGRect>& rects) const {
    UIView::addOwnOpaqueRects(rects);
    if (m_image && m_image->cgImage() && m_image->cgImage()->isOpaque() && !m_imageLayer->isHidden() &&
        m_imageLayer->opacity() == 1)
        rects.push_back(imageFrame());
}
