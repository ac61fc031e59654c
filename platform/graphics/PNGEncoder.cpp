#include "platform/graphics/PNGEncoder.h"
#include "platform/foundation/NSData.h"
#include "platform/foundation/OutputFile.h"
#include "platform/graphics/UIImage.h"

#include <cairo.h>
#include <filesystem>

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto& out = *static_cast<std::vector<uint8_t>*>(closure);
    out.insert(out.end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::vector<uint8_t> encodePNG(const Bitmap& bitmap) {
    std::vector<uint8_t> png;
    if (bitmap.stride() != cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, bitmap.width()))
        return png;
    // cairo wants a mutable pointer but only reads the pixels while writing PNG.
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(const_cast<uint8_t*>(bitmap.data()), CAIRO_FORMAT_ARGB32,
                                            bitmap.width(), bitmap.height(), bitmap.stride());
    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_write_to_png_stream(surface, appendBytes, &png);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        png.clear();
    return png;
}

Ref<NSData> UIImagePNGRepresentation(const UIImage* image) {
    if (!image)
        return nullptr;
    auto png = encodePNG(image->cgImage()->bitmap());
    if (png.empty())
        return nullptr;
    return NSData::dataWithBytes(std::move(png));
}

bool writePNGFile(const Bitmap& bitmap, const std::string& hostPath, std::string* error) {
    auto png = encodePNG(bitmap);
    std::string reason = "could not encode the image as PNG";
    if (!png.empty() && OutputFile::write(hostPath, png, reason))
        return true;
    if (error)
        *error = reason;
    return false;
}
