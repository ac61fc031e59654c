#pragma once

// A view that shows an image. The content mode decides how the image meets the view's bounds:
// scaled to fill them (0), scaled to fit inside keeping its proportions (1), or scaled to cover
// them keeping its proportions (2, "aspect fill"), centred. Like the device, the view does not clip
// by itself: an aspect-filled image reaches past the bounds unless the layer is masked or clipped.

#include "platform/graphics/UIImage.h"
#include "platform/ui/UIView.h"

enum UIViewContentMode : long {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
};

class UIImageView : public UIView {
public:
    static Class objcClass();
    // [[UIImageView alloc] initWithImage:] — the frame is the image's size in points.
    static Ref<UIImageView> imageViewWithImage(UIImage* image);

    UIImageView();

    UIImage* image() const { return m_image.get(); }
    void setImage(UIImage* image);
    UIViewContentMode contentMode() const { return m_contentMode; }
    void setContentMode(UIViewContentMode mode);
    // Where the image lies in the view's own coordinates.
    CGRect imageFrame() const;
    void placeImage();

protected:
    void addOwnOpaqueRects(std::vector<CGRect>& rects) const override;

private:
    Ref<UIImage> m_image;
    UIViewContentMode m_contentMode = UIViewContentModeScaleToFill;
    Ref<CALayer> m_imageLayer;
};
