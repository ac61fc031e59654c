// App icons as the lock screen asks for them: through the image class, by bundle identifier.

#include "platform/foundation/NSString.h"
#include "platform/graphics/PNGEncoder.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIKit.h"
#include "runtime/Runtime.h"
#include "tests/support/TempDevice.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

void installApp(const TempDevice& device, const std::string& folder, const std::string& identifier,
                const std::string& iconFile) {
    std::string path = device.host("/Applications/" + folder);
    std::filesystem::create_directories(path);
    std::ofstream(path + "/Info.plist")
        << "{ CFBundleIdentifier = \"" << identifier << "\"; CFBundleIconFile = \"" << iconFile << "\"; }\n";
}

id iconFor(const char* identifier, double scale) {
    return msg_send<id>(
        objc_classObject(UIImage::objcClass()), "_applicationIconImageForBundleIdentifier:format:scale:",
        identifier ? static_cast<id>(NSString::stringWithUTF8String(identifier).get()) : nullptr, 2, scale);
}

} // namespace

TEST(ApplicationIcons, TheImageClassAnswersAnAppsIconByIdentifierAndNothingElse) {
    UIKitRegisterClasses();
    TempDevice device;
    Bitmap icon = *Bitmap::create(120, 120);
    installApp(device, "Mail.app", "com.apple.mobilemail", "Icon.png");
    ASSERT_TRUE(writePNGFile(icon, device.host("/Applications/Mail.app/Icon.png")));
    installApp(device, "Sneaky.app", "com.example.sneaky", "../Mail.app/Icon.png");
    installApp(device, "NoIcon.app", "com.example.noicon", "Missing.png");

    AutoreleasePool pool;
    auto* image = objc_cast<UIImage>(iconFor("com.apple.mobilemail", 2));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size().width, 60) << "120 pixels at scale 2";
    EXPECT_EQ(iconFor("com.example.unknown", 2), nullptr);
    EXPECT_EQ(iconFor(nullptr, 2), nullptr);
    EXPECT_EQ(iconFor("com.example.sneaky", 2), nullptr) << "an icon outside the app's folder";
    EXPECT_EQ(iconFor("com.example.noicon", 2), nullptr);
}
