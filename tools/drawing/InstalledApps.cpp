#include "tools/drawing/InstalledApps.h"
#include "platform/foundation/DeviceFile.h"
#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PropertyList.h"

#include <cairo.h>
#include <filesystem>
#include <numbers>
#include <pango/pangocairo.h>

namespace {

// Icons are drawn at 120 pixels: a 60-point button at scale 2.
constexpr int iconPixels = 120;

} // namespace

bool drawIcon(const AppDescription& app, const std::string& devicePath) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, iconPixels, iconPixels);
    cairo_t* cr = cairo_create(surface);
    const double radius = iconPixels * 0.225;
    const double n = iconPixels;
    cairo_new_sub_path(cr);
    cairo_arc(cr, n - radius, radius, radius, -std::numbers::pi / 2, 0);
    cairo_arc(cr, n - radius, n - radius, radius, 0, std::numbers::pi / 2);
    cairo_arc(cr, radius, n - radius, radius, std::numbers::pi / 2, std::numbers::pi);
    cairo_arc(cr, radius, radius, radius, std::numbers::pi, 3 * std::numbers::pi / 2);
    cairo_close_path(cr);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, n);
    cairo_pattern_add_color_stop_rgb(fill, 0, std::min(1.0, app.red + 0.18), std::min(1.0, app.green + 0.18),
                                     std::min(1.0, app.blue + 0.18));
    cairo_pattern_add_color_stop_rgb(fill, 1, app.red, app.green, app.blue);
    cairo_set_source(cr, fill);
    cairo_fill(cr);
    cairo_pattern_destroy(fill);

    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans Bold 40px");
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, app.glyph.c_str(), -1);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, (n - width) / 2.0, (n - height) / 2.0);
    pango_cairo_show_layout(cr, layout);
    pango_font_description_free(font);
    g_object_unref(layout);

    cairo_destroy(cr);
    std::vector<uint8_t> png;
    auto collect = [](void* into, const unsigned char* data, unsigned int length) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(into);
        bytes->insert(bytes->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    std::string error;
    bool written = cairo_surface_write_to_png_stream(surface, collect, &png) == CAIRO_STATUS_SUCCESS &&
                   DeviceFile::write(devicePath, png, error);
    cairo_surface_destroy(surface);
    return written;
}

const std::vector<AppDescription>& defaultApps() {
    static const std::vector<AppDescription> apps = {
        {"com.apple.mobilephone", "Phone", 0.20, 0.78, 0.35, "P"},
        {"com.apple.MobileSMS", "Messages", 0.18, 0.70, 0.25, "M"},
        {"com.apple.mobilesafari", "Safari", 0.10, 0.45, 0.95, "S"},
        {"com.apple.camera", "Camera", 0.35, 0.35, 0.38, "C"},
        {"com.apple.mobilemail", "Mail", 0.12, 0.55, 0.98, "@"},
        {"com.apple.Music", "Music", 0.98, 0.23, 0.35, "\u266A"},
        {"com.apple.mobilenotes", "Notes", 0.98, 0.78, 0.10, "N"},
        {"com.apple.Maps", "Maps", 0.30, 0.72, 0.62, "\u25B2"},
    };
    return apps;
}

bool installApp(const AppDescription& app, std::string& error) {
    std::string folder = "/Applications/" + app.name + ".app";
    if (!DeviceFile::makeFolders(folder, error))
        return false;
    auto info = NSMutableDictionary::dictionary();
    info->setObject(NSString::stringWithUTF8String(app.bundleIdentifier), "CFBundleIdentifier");
    info->setObject(NSString::stringWithUTF8String(app.name), "CFBundleDisplayName");
    info->setObject(NSString::stringWithUTF8String(app.name), "CFBundleName");
    info->setObject(NSString::stringWithUTF8String("AppIcon.png"), "CFBundleIconFile");
    if (!PropertyList::writeDictionary(folder + "/Info.plist", info, PropertyList::Format::XML)) {
        error = "cannot write " + folder + "/Info.plist";
        return false;
    }
    if (!drawIcon(app, folder + "/AppIcon.png")) {
        error = "cannot write the icon of " + app.name;
        return false;
    }
    return true;
}
