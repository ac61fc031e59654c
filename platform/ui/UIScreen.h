#pragma once

// The device's screen: its size in points, the scale from points to pixels and the refresh rate.
// One main screen per process; a host configures it from the device's screen profile before the
// product asks for it, and the main run loop's display refresh follows its rate.

#include "platform/foundation/DeviceProfile.h"
#include "platform/graphics/Geometry.h"
#include "runtime/NSObject.h"

class UIScreen : public NSObject {
public:
    static Class objcClass();
    // Starts with the default profile (375 x 812 points at scale 3, 60 Hz).
    static UIScreen* mainScreen();

    UIScreen() = default;
    // Values out of range are replaced by the default profile's.
    void configure(const ScreenProfile& profile);
    // The device root's profile (DeviceProfile::screen()).
    void configureFromDevice();
    const ScreenProfile& profile() const { return m_profile; }

    CGRect bounds() const { return CGRectMake(0, 0, m_profile.width, m_profile.height); }
    double scale() const { return m_profile.scale; }
    double refreshRate() const { return m_profile.refreshRate; }
    // The screen in device pixels (the size in points times the scale, rounded).
    int pixelWidth() const;
    int pixelHeight() const;

private:
    ScreenProfile m_profile;
};
