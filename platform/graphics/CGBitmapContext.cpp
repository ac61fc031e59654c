#include "platform/graphics/CGBitmapContext.h"
#include "platform/graphics/CGImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// One source pixel's share of a destination pixel along one axis, in destination pixel units.
struct Tap {
    int source;
    double weight;
};

// For every destination pixel of one axis: the source pixels it takes, and how much of it the
// rectangle covers (the sum of the weights).
struct AxisTaps {
    std::vector<Tap> taps;
    std::vector<size_t> start; // taps of pixel i are [start[i], start[i + 1])
    std::vector<double> coverage;
};

AxisTaps areaTaps(int first, int last, double origin, double length, int sourceCount) {
    AxisTaps axis;
    const double perUnit = sourceCount / length;
    for (int d = first; d < last; ++d) {
        axis.start.push_back(axis.taps.size());
        double lo = std::max<double>(d, origin);
        double hi = std::min<double>(d + 1, origin + length);
        axis.coverage.push_back(hi > lo ? hi - lo : 0);
        if (hi <= lo)
            continue;
        double u0 = (lo - origin) * perUnit;
        double u1 = (hi - origin) * perUnit;
        int s0 = std::clamp(static_cast<int>(std::floor(u0)), 0, sourceCount - 1);
        int s1 = std::clamp(static_cast<int>(std::ceil(u1)), s0 + 1, sourceCount);
        for (int s = s0; s < s1; ++s) {
            double share = std::min<double>(u1, s + 1) - std::max<double>(u0, s);
            if (share > 0)
                axis.taps.push_back({s, share / perUnit});
        }
    }
    axis.start.push_back(axis.taps.size());
    return axis;
}

AxisTaps nearestTaps(int first, int last, double origin, double length, int sourceCount) {
    AxisTaps axis;
    for (int d = first; d < last; ++d) {
        axis.start.push_back(axis.taps.size());
        double centre = d + 0.5;
        bool inside = centre >= origin && centre < origin + length;
        axis.coverage.push_back(inside ? 1 : 0);
        if (inside) {
            int s = static_cast<int>(std::floor((centre - origin) * sourceCount / length));
            axis.taps.push_back({std::clamp(s, 0, sourceCount - 1), 1});
        }
    }
    axis.start.push_back(axis.taps.size());
    return axis;
}

// Premultiplied components 0...255 in the order red, green, blue, alpha.
struct Color4 {
    double c[4] = {0, 0, 0, 0};
};

void addPixel(Color4& sum, uint32_t argb, double weight) {
    sum.c[0] += weight * ((argb >> 16) & 0xFF);
    sum.c[1] += weight * ((argb >> 8) & 0xFF);
    sum.c[2] += weight * (argb & 0xFF);
    sum.c[3] += weight * (argb >> 24);
}

// The fractions of source and destination that a Porter-Duff mode keeps.
void porterDuff(CGBlendMode mode, double sourceAlpha, double destinationAlpha, double& fa, double& fb) {
    switch (mode) {
    case kCGBlendModeClear:
        fa = 0, fb = 0;
        break;
    case kCGBlendModeCopy:
        fa = 1, fb = 0;
        break;
    case kCGBlendModeSourceIn:
        fa = destinationAlpha, fb = 0;
        break;
    case kCGBlendModeSourceOut:
        fa = 1 - destinationAlpha, fb = 0;
        break;
    case kCGBlendModeSourceAtop:
        fa = destinationAlpha, fb = 1 - sourceAlpha;
        break;
    case kCGBlendModeDestinationOver:
        fa = 1 - destinationAlpha, fb = 1;
        break;
    case kCGBlendModeDestinationIn:
        fa = 0, fb = sourceAlpha;
        break;
    case kCGBlendModeDestinationOut:
        fa = 0, fb = 1 - sourceAlpha;
        break;
    case kCGBlendModeDestinationAtop:
        fa = 1 - destinationAlpha, fb = sourceAlpha;
        break;
    case kCGBlendModeXOR:
        fa = 1 - destinationAlpha, fb = 1 - sourceAlpha;
        break;
    default:
        fa = 1, fb = 1 - sourceAlpha;
        break;
    }
}

// Blends the average source colour over the covered part of one destination pixel (RGBA bytes).
void blendInto(uint8_t* pixel, const Color4& average, double coverage, double alpha, CGBlendMode mode) {
    double source[4];
    for (int i = 0; i < 4; ++i)
        source[i] = std::clamp(average.c[i] * alpha, 0.0, 255.0);
    double fa = 1, fb = 0;
    porterDuff(mode, source[3] / 255, pixel[3] / 255.0, fa, fb);
    double out[4];
    for (int i = 0; i < 4; ++i)
        out[i] = coverage * (source[i] * fa + pixel[i] * fb) + (1 - coverage) * pixel[i];
    uint8_t outAlpha = static_cast<uint8_t>(std::lround(std::clamp(out[3], 0.0, 255.0)));
    for (int i = 0; i < 3; ++i) {
        auto value = static_cast<uint8_t>(std::lround(std::clamp(out[i], 0.0, 255.0)));
        pixel[i] = std::min(value, outAlpha); // rounding must not break premultiplication
    }
    pixel[3] = outAlpha;
}

// Sums of each component over count pixels of 0xAARRGGBB. Two components share a 32-bit lane in
// 16-bit fields, which hold 256 additions of 255 without carrying into each other; the lanes
// are emptied into 64-bit totals every 256 rounds. Written with vector types so that it runs at
// memory speed without depending on the optimizer spotting the reduction.
struct PixelSums {
    uint64_t red = 0, green = 0, blue = 0, alpha = 0;
};

PixelSums sumPixels(const uint8_t* bytes, size_t count) {
    typedef uint32_t Lanes __attribute__((vector_size(16)));
    constexpr size_t perVector = 4;
    constexpr size_t perRound = 2 * perVector;
    constexpr size_t roundsPerBlock = 256;
    const Lanes mask = {0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF};
    PixelSums sums;
    auto drain = [&sums](Lanes blueRed, Lanes greenAlpha) {
        for (size_t lane = 0; lane < perVector; ++lane) {
            sums.blue += blueRed[lane] & 0xFFFF;
            sums.red += blueRed[lane] >> 16;
            sums.green += greenAlpha[lane] & 0xFFFF;
            sums.alpha += greenAlpha[lane] >> 16;
        }
    };
    size_t i = 0;
    while (count - i >= perRound) {
        size_t rounds = std::min(roundsPerBlock, (count - i) / perRound);
        Lanes blueRedA = {}, greenAlphaA = {}, blueRedB = {}, greenAlphaB = {};
        for (size_t r = 0; r < rounds; ++r, i += perRound) {
            Lanes a, b;
            std::memcpy(&a, bytes + i * 4, sizeof a);
            std::memcpy(&b, bytes + (i + perVector) * 4, sizeof b);
            blueRedA += a & mask;
            greenAlphaA += (a >> 8) & mask;
            blueRedB += b & mask;
            greenAlphaB += (b >> 8) & mask;
        }
        drain(blueRedA, greenAlphaA);
        drain(blueRedB, greenAlphaB);
    }
    for (; i < count; ++i) {
        uint32_t p;
        std::memcpy(&p, bytes + i * 4, sizeof p);
        sums.blue += p & 0xFF;
        sums.green += (p >> 8) & 0xFF;
        sums.red += (p >> 16) & 0xFF;
        sums.alpha += p >> 24;
    }
    return sums;
}

} // namespace

std::optional<CGBitmapContext> CGBitmapContext::create(int width, int height) {
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide)
        return std::nullopt;
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    if (bytes > maxBytes)
        return std::nullopt;
    CGBitmapContext context(width, height);
    context.m_pixels.assign(bytes, 0);
    return context;
}

void CGBitmapContext::drawImage(CGRect rect, const CGImage& image, CGBlendMode mode, double alpha) {
    double x = CGRectGetMinX(rect), y = CGRectGetMinY(rect);
    double w = CGRectGetWidth(rect), h = CGRectGetHeight(rect);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h) || !(w > 0) ||
        !(h > 0))
        return;
    alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
    // Destination pixels the rectangle touches, clamped to the context before converting to int.
    int x0 = static_cast<int>(std::clamp(std::floor(x), 0.0, static_cast<double>(m_width)));
    int x1 = static_cast<int>(std::clamp(std::ceil(x + w), 0.0, static_cast<double>(m_width)));
    int y0 = static_cast<int>(std::clamp(std::floor(y), 0.0, static_cast<double>(m_height)));
    int y1 = static_cast<int>(std::clamp(std::ceil(y + h), 0.0, static_cast<double>(m_height)));
    if (x0 >= x1 || y0 >= y1)
        return;

    const Bitmap& source = image.bitmap();
    const bool area = m_quality != kCGInterpolationNone;

    // The whole image into exactly one pixel: its mean, summed at memory speed.
    if (area && x1 - x0 == 1 && y1 - y0 == 1 && x == x0 && y == y0 && w == 1 && h == 1) {
        size_t count = static_cast<size_t>(source.width()) * static_cast<size_t>(source.height());
        PixelSums sums;
        if (source.stride() == source.width() * 4) {
            sums = sumPixels(source.data(), count);
        } else {
            for (int row = 0; row < source.height(); ++row) {
                PixelSums part = sumPixels(reinterpret_cast<const uint8_t*>(source.row(row)),
                                           static_cast<size_t>(source.width()));
                sums.red += part.red, sums.green += part.green, sums.blue += part.blue,
                    sums.alpha += part.alpha;
            }
        }
        Color4 mean;
        mean.c[0] = static_cast<double>(sums.red) / count;
        mean.c[1] = static_cast<double>(sums.green) / count;
        mean.c[2] = static_cast<double>(sums.blue) / count;
        mean.c[3] = static_cast<double>(sums.alpha) / count;
        blendInto(m_pixels.data() + (static_cast<size_t>(y0) * m_width + x0) * 4, mean, 1, alpha, mode);
        return;
    }

    AxisTaps columns =
        area ? areaTaps(x0, x1, x, w, source.width()) : nearestTaps(x0, x1, x, w, source.width());
    AxisTaps rows =
        area ? areaTaps(y0, y1, y, h, source.height()) : nearestTaps(y0, y1, y, h, source.height());
    std::vector<Color4> line(static_cast<size_t>(x1 - x0));
    for (int dy = y0; dy < y1; ++dy) {
        size_t ry = static_cast<size_t>(dy - y0);
        if (rows.coverage[ry] <= 0)
            continue;
        std::fill(line.begin(), line.end(), Color4{});
        for (size_t t = rows.start[ry]; t < rows.start[ry + 1]; ++t) {
            const uint32_t* sourceRow = source.row(rows.taps[t].source);
            double wy = rows.taps[t].weight;
            for (size_t cx = 0; cx < line.size(); ++cx) {
                for (size_t u = columns.start[cx]; u < columns.start[cx + 1]; ++u)
                    addPixel(line[cx], sourceRow[columns.taps[u].source], wy * columns.taps[u].weight);
            }
        }
        uint8_t* out = m_pixels.data() + (static_cast<size_t>(dy) * m_width + x0) * 4;
        for (size_t cx = 0; cx < line.size(); ++cx, out += 4) {
            double coverage = columns.coverage[cx] * rows.coverage[ry];
            if (coverage <= 0)
                continue;
            Color4 average;
            for (int i = 0; i < 4; ++i)
                average.c[i] = line[cx].c[i] / coverage;
            blendInto(out, average, coverage, alpha, mode);
        }
    }
}

void CGContextSetInterpolationQuality(CGContextRef context, CGInterpolationQuality quality) {
    if (context)
        context->setInterpolationQuality(quality);
}

CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef context) {
    return context ? context->interpolationQuality() : kCGInterpolationDefault;
}

void* CGBitmapContextGetData(CGContextRef context) {
    return context ? context->data() : nullptr;
}
size_t CGBitmapContextGetWidth(CGContextRef context) {
    return context ? static_cast<size_t>(context->width()) : 0;
}
size_t CGBitmapContextGetHeight(CGContextRef context) {
    return context ? static_cast<size_t>(context->height()) : 0;
}
size_t CGBitmapContextGetBytesPerRow(CGContextRef context) {
    return context ? context->bytesPerRow() : 0;
}
