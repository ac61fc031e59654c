#include "platform/graphics/Region.h"

#include <pixman.h>

#include <algorithm>

IntRect IntRect::intersected(const IntRect& other) const {
    int left = std::max(x, other.x), top = std::max(y, other.y);
    int r = std::min(right(), other.right()), b = std::min(bottom(), other.bottom());
    if (r <= left || b <= top)
        return {};
    return {left, top, r - left, b - top};
}

IntRect IntRect::united(const IntRect& other) const {
    if (isEmpty())
        return other;
    if (other.isEmpty())
        return *this;
    int left = std::min(x, other.x), top = std::min(y, other.y);
    return {left, top, std::max(right(), other.right()) - left, std::max(bottom(), other.bottom()) - top};
}

// pixman's region type, initialised and released with the object that holds it.
struct Region::Data {
    pixman_region32_t region;
    Data() { pixman_region32_init(&region); }
    ~Data() { pixman_region32_fini(&region); }
    Data(const Data&) = delete;
    Data& operator=(const Data&) = delete;
};

Region::Region() : m_data(std::make_unique<Data>()) {}

Region::Region(const IntRect& rect) : m_data(std::make_unique<Data>()) {
    unite(rect);
}

Region Region::fromRects(const std::vector<IntRect>& rects) {
    std::vector<pixman_box32_t> boxes;
    boxes.reserve(rects.size());
    for (const IntRect& rect : rects)
        if (!rect.isEmpty())
            boxes.push_back({rect.x, rect.y, rect.right(), rect.bottom()});
    Region region;
    pixman_region32_fini(&region.m_data->region);
    if (!pixman_region32_init_rects(&region.m_data->region, boxes.data(), static_cast<int>(boxes.size())))
        pixman_region32_init(&region.m_data->region); // out of memory: nothing, as a failed union leaves
    return region;
}

Region::Region(const Region& other) : m_data(std::make_unique<Data>()) {
    pixman_region32_copy(&m_data->region, &other.m_data->region);
}

Region::Region(Region&& other) noexcept : m_data(std::make_unique<Data>()) {
    std::swap(m_data, other.m_data);
}

Region& Region::operator=(const Region& other) {
    if (this != &other)
        pixman_region32_copy(&m_data->region, &other.m_data->region);
    return *this;
}

Region& Region::operator=(Region&& other) noexcept {
    std::swap(m_data, other.m_data);
    return *this;
}

Region::~Region() = default;

bool Region::isEmpty() const {
    return !pixman_region32_not_empty(&m_data->region);
}

IntRect Region::bounds() const {
    const pixman_box32_t* box = pixman_region32_extents(&m_data->region);
    if (isEmpty())
        return {};
    return {box->x1, box->y1, box->x2 - box->x1, box->y2 - box->y1};
}

std::vector<IntRect> Region::rects() const {
    int count = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&m_data->region, &count);
    std::vector<IntRect> result;
    result.reserve(count);
    for (int i = 0; i < count; ++i)
        result.push_back({boxes[i].x1, boxes[i].y1, boxes[i].x2 - boxes[i].x1, boxes[i].y2 - boxes[i].y1});
    return result;
}

int Region::rectCount() const {
    return pixman_region32_n_rects(&m_data->region);
}

bool Region::contains(int x, int y) const {
    return pixman_region32_contains_point(&m_data->region, x, y, nullptr);
}

int64_t Region::area() const {
    int64_t total = 0;
    for (const IntRect& rect : rects())
        total += static_cast<int64_t>(rect.width) * rect.height;
    return total;
}

void Region::clear() {
    pixman_region32_clear(&m_data->region);
}

void Region::unite(const IntRect& rect) {
    if (rect.isEmpty())
        return;
    pixman_region32_union_rect(&m_data->region, &m_data->region, rect.x, rect.y,
                               static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height));
}

void Region::unite(const Region& other) {
    pixman_region32_union(&m_data->region, &m_data->region, &other.m_data->region);
}

void Region::intersect(const IntRect& rect) {
    if (rect.isEmpty()) {
        clear();
        return;
    }
    pixman_region32_intersect_rect(&m_data->region, &m_data->region, rect.x, rect.y,
                                   static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height));
}

void Region::intersect(const Region& other) {
    pixman_region32_intersect(&m_data->region, &m_data->region, &other.m_data->region);
}

void Region::subtract(const Region& other) {
    pixman_region32_subtract(&m_data->region, &m_data->region, &other.m_data->region);
}

void Region::translate(int dx, int dy) {
    pixman_region32_translate(&m_data->region, dx, dy);
}

const Region& clippedRegion(const Region& region, const IntRect& rect, Region& scratch) {
    IntRect bounds = region.bounds();
    if (bounds.isEmpty() || bounds.intersected(rect) == bounds)
        return region;
    scratch = region;
    scratch.intersect(rect);
    return scratch;
}
