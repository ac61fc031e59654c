#include "hosts/common/ViewText.h"
#include "hosts/springboard/SpringBoard.h"
#include "platform/foundation/NSArray.h"
#include "platform/foundation/NSData.h"
#include "platform/graphics/CPBitmap.h"
#include "platform/ui/TextImage.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIScreen.h"

namespace {

constexpr const char* wallpaperPath = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
constexpr size_t maxWallpaperBytes = 128u << 20;

Ref<UIView> imageView(CGImage* image, CGRect frame) {
    Ref<UIView> view = makeViewWithFrame<UIView>(frame);
    view->layer()->setContents(image);
    return view;
}

// Text drawn as a picture, which a description of the screen reads as its text.
Ref<UIView> textView(CGImage* image, CGRect frame, const std::string& text) {
    Ref<UIView> view = imageView(image, frame);
    setViewText(view, text);
    return view;
}

} // namespace

void SpringBoard::buildScreen() {
    UIScreen* screen = UIScreen::mainScreen();
    CGRect bounds = screen->bounds();
    double scale = screen->scale();
    m_screen = makeViewWithFrame<UIView>(bounds);
    m_screen->setBackgroundColor(UIColor::blackColor());

    if (Ref<NSData> data = NSData::dataWithContentsOfFile(wallpaperPath, maxWallpaperBytes)) {
        Ref<NSArray> images = CPBitmapCreateImagesFromData(data, nullptr, 1, nullptr);
        if (auto* first = images ? objc_cast<CGImage>(images->objectAtIndex(0)) : nullptr)
            m_screen->addSubview(imageView(first, bounds));
    }
    // The time and date: redrawn as each minute turns, on the host's clock.
    m_clockFace = makeViewWithFrame<UIView>(CGRectMake(0, 0, bounds.size.width, 200));
    m_screen->addSubview(m_clockFace);
    m_clock->showIn(m_clockFace);

    UIView* lockScreen = m_controller->view();
    m_screen->addSubview(lockScreen);
    if (m_safeMode) {
        // The banner lies above the lock screen: a crash put the device here, and a Respring leaves.
        Ref<UIView> banner =
            makeViewWithFrame<UIView>(CGRectMake(0, 0, bounds.size.width, safeModeBannerHeight));
        banner->setBackgroundColor(UIColor::colorWithRed(0.85, 0.33, 0.1, 0.95).get());
        std::string culprit = m_safeMode->empty() ? "a tweak" : *m_safeMode;
        if (Ref<CGImage> title = textImage("Safe Mode", "DejaVu Sans Bold 20px", scale))
            banner->addSubview(textView(
                title, CGRectMake(16, 48, title->width() / scale, title->height() / scale), "Safe Mode"));
        std::string message = culprit + " stopped the lock screen. Tap here to restart.";
        if (Ref<CGImage> text = textImage(message, "DejaVu Sans 13px", scale))
            banner->addSubview(
                textView(text, CGRectMake(16, 78, text->width() / scale, text->height() / scale), message));
        m_screen->addSubview(banner);
    }
    for (const auto& subview : lockScreen->subviews()) {
        if (subview->isKindOfClass(m_classes.quickActions))
            m_quickActions = subview;
    }
    UIApplication::sharedApplication()->setRootView(m_screen);
}

void SpringBoard::showNewHint() {
    // An earlier hint view stays where it is; the newest one is the hint the state reports.
    CGRect bounds = m_controller->view()->bounds();
    m_hint = makeViewWithFrame<UIView>(
        CGRectMake(bounds.size.width / 2 - 90, bounds.size.height - 44, 180, 26), m_classes.hint);
    double scale = UIScreen::mainScreen()->scale();
    if (Ref<CGImage> text = textImage("Swipe up to open", "DejaVu Sans 15px", scale)) {
        double width = text->width() / scale, height = text->height() / scale;
        m_hint->addSubview(textView(text, CGRectMake((180 - width) / 2, (26 - height) / 2, width, height),
                                    "Swipe up to open"));
    }
    m_controller->view()->addSubview(m_hint);
}
