// The interface pieces the settings pages are made of: image views, scroll views, labels, bar
// button items and the navigation controller, as a page uses them through the runtime.

#include "platform/foundation/NSString.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScreen.h"
#include "platform/ui/UIScrollView.h"
#include "runtime/Runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

Ref<UIImage> imageOfSize(int width, int height) {
    return UIImage::imageWithCGImage(CGImage::imageWithBitmap(*Bitmap::create(width, height)).get(), 1);
}

std::vector<std::string> appearances;

// A page class made at run time, as a bundle makes one: it records what the navigation sends it.
Class recordingPageClass() {
    static Class const cls = [] {
        Class c = objc_allocateClassPair(UIViewController::objcClass(), "UIRecordingPage");
        class_addMethod(
            c, "viewWillAppear:", +[](id self, SEL, bool) {
                appearances.push_back("will " + static_cast<UIViewController*>(self)->title());
            });
        class_addMethod(
            c, "viewDidAppear:", +[](id self, SEL, bool) {
                appearances.push_back("did " + static_cast<UIViewController*>(self)->title());
            });
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

Ref<UIViewController> recordingPage(const std::string& title) {
    Ref<UIViewController> page =
        objc_cast<UIViewController>(class_createInstance(recordingPageClass()).get());
    page->setTitle(title);
    return page;
}

int pings = 0;

} // namespace

TEST(ImageView, ContentModesPlaceTheImageAsTheDeviceDoes) {
    Ref<UIImageView> view = UIImageView::imageViewWithImage(imageOfSize(30, 20).get());
    EXPECT_EQ(view->frame(), CGRectMake(0, 0, 30, 20)) << "initWithImage: takes the image's size";
    view->setFrame(CGRectMake(0, 0, 60, 60));
    EXPECT_EQ(view->imageFrame(), CGRectMake(0, 0, 60, 60)) << "scale to fill";
    view->setContentMode(UIViewContentModeScaleAspectFit);
    EXPECT_EQ(view->imageFrame(), CGRectMake(0, 10, 60, 40));
    view->setContentMode(UIViewContentModeScaleAspectFill);
    EXPECT_EQ(view->imageFrame(), CGRectMake(-15, 0, 90, 60)) << "covers the frame, reaching past it";
    EXPECT_FALSE(view->layer()->masksToBounds()) << "an image view does not clip by itself";
    view->setImage(nullptr);
    EXPECT_EQ(view->imageFrame(), CGRectMake(0, 0, 60, 60));
}

TEST(ScrollView, TheOffsetStaysInTheContentAndOnThePixelGrid) {
    UIScreen::mainScreen()->configure({375, 812, 3, 60});
    Ref<UIScrollView> table = makeViewWithFrame<UIScrollView>(CGRectMake(0, 0, 375, 500));
    EXPECT_TRUE(table->layer()->masksToBounds());
    table->setContentSize({375, 800});
    table->scrollBy(120.1);
    EXPECT_DOUBLE_EQ(table->contentOffset().y * 3, std::round(120.1 * 3)) << "whole device pixels";
    table->scrollBy(1000);
    EXPECT_EQ(table->contentOffset().y, 300) << "not past the end of the content";
    table->scrollBy(-5000);
    EXPECT_EQ(table->contentOffset().y, 0);
    table->setContentOffset({0, NAN});
    EXPECT_EQ(table->contentOffset().y, 0);
    table->setContentSize({375, 100});
    EXPECT_EQ(table->maximumOffsetY(), 0) << "content shorter than the view does not scroll";
}

TEST(Label, TextIsMeasuredAndPlacedByItsAlignment) {
    UIScreen::mainScreen()->configure({375, 812, 2, 60});
    Ref<UILabel> label =
        UILabel::labelWithFrame(CGRectMake(0, 0, 300, 44), "Custom colours", "DejaVu Sans 17px");
    CGSize size = label->textSize();
    EXPECT_GT(size.width, 50);
    EXPECT_LT(size.width, 300);
    label->setTextAlignment(NSTextAlignment::Right);
    CGRect text = label->layer()->sublayers().front()->frame();
    EXPECT_NEAR(CGRectGetMaxX(text), 300, 1);
    EXPECT_NEAR(CGRectGetMidY(text), 22, 1) << "centred vertically";
    msg_send(label, "setText:", NSString::stringWithUTF8String(""));
    EXPECT_EQ(label->textSize(), CGSizeMake(0, 0));
}

TEST(BarButtonItem, SendsItsActionToATargetItDoesNotOwn) {
    struct Target : NSObject {
        static Class objcClass() {
            static Class const cls = [] {
                Class c =
                    objc_defineClass("UITestBarTarget", NSObject::objcClass(), &instance_factory<Target>);
                class_addMethod(
                    c, "ping:", +[](id, SEL, id sender) {
                        pings += objc_cast<UIBarButtonItem>(sender) ? 1 : 100;
                    });
                return c;
            }();
            return cls;
        }
    };
    Ref<NSObject> target = make_object<Target>();
    Ref<UIBarButtonItem> item = UIBarButtonItem::itemWithTitle("Update", UIBarButtonItemStylePlain,
                                                               target.get(), sel_registerName("ping:"));
    item->tap();
    EXPECT_EQ(pings, 1) << "the item is the sender";
    target = nullptr;
    item->tap();
    EXPECT_EQ(pings, 1) << "a target that has gone receives nothing";
}

TEST(NavigationController, PagesAppearThroughTheRuntimeAndTheBarFollowsTheTop) {
    UIScreen::mainScreen()->configure({375, 812, 2, 60});
    Ref<UINavigationController> navigation = UINavigationController::make();
    appearances.clear();
    navigation->pushViewController(recordingPage("Settings"));
    Ref<UIViewController> second = recordingPage("Zorvi");
    second->navigationItem()->setRightBarButtonItem(
        UIBarButtonItem::itemWithTitle("Respring", UIBarButtonItemStylePlain, nullptr, nullptr).get());
    navigation->pushViewController(second);
    EXPECT_EQ(navigation->navigationBar()->title(), "Zorvi");
    EXPECT_EQ(navigation->navigationBar()->rightItem(), second->navigationItem()->rightBarButtonItem());
    EXPECT_EQ(second->navigationController(), navigation.get());
    EXPECT_EQ(second->view()->frame().origin.y, navigation->contentFrame().origin.y)
        << "the page lies under the bar";
    second->navigationItem()->setTitle("Renamed");
    EXPECT_EQ(navigation->navigationBar()->title(), "Renamed") << "the bar follows the item";
    EXPECT_TRUE(navigation->popViewController());
    EXPECT_EQ(navigation->navigationBar()->title(), "Settings");
    EXPECT_EQ(navigation->navigationBar()->rightItem(), nullptr);
    EXPECT_EQ(second->navigationController(), nullptr);
    EXPECT_FALSE(navigation->popViewController()) << "the first page stays";
    EXPECT_EQ(appearances, (std::vector<std::string>{"will Settings", "did Settings", "will Zorvi",
                                                     "did Zorvi", "will Settings", "did Settings"}));
}
