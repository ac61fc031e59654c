#include "platform/graphics/StrokeOutliner.h"

#include <cmath>
#include <numbers>

namespace {

struct Vec {
    double x, y;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(double k, Vec a) {
    return {k * a.x, k * a.y};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
double cross(Vec a, Vec b) {
    return a.x * b.y - a.y * b.x;
}

// Largest distance between a flattened arc and the true circle, in device pixels.
constexpr double arcTolerance = 0.05;

class Outline {
public:
    Outline(PolygonRasterizer& rasterizer) : m_rasterizer(rasterizer) {}
    void start(Vec p) { m_rasterizer.moveTo(p.x, p.y); }
    void to(Vec p) { m_rasterizer.lineTo(p.x, p.y); }
    // Points along the arc around centre from centre + from to centre + to (both of length r),
    // turning the way `sweepSign` says (the end point included).
    void arc(Vec centre, Vec from, Vec to, double r, double sweepSign) {
        double a0 = std::atan2(from.y, from.x);
        double sweep = std::atan2(cross(from, to), dot(from, to));
        if (sweepSign > 0 && sweep < 0)
            sweep += 2 * std::numbers::pi;
        else if (sweepSign < 0 && sweep > 0)
            sweep -= 2 * std::numbers::pi;
        double step = r > arcTolerance ? 2 * std::acos(1 - arcTolerance / r) : std::numbers::pi / 2;
        int n = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / step)));
        n = std::min(n, 1024);
        for (int i = 1; i < n; ++i) {
            double a = a0 + sweep * i / n;
            this->to({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
        }
        this->to(centre + to);
    }

private:
    PolygonRasterizer& m_rasterizer;
};

struct Segment {
    Vec d; // unit direction
    Vec n; // unit normal, d turned a quarter
    double length;
};

class SubpathStroker {
public:
    SubpathStroker(const std::vector<Vec>& points, bool closed, const StrokeStyle& style)
        : m_points(points), m_closed(closed), m_style(style), m_half(style.width / 2) {}

    bool prepare() {
        size_t n = m_points.size();
        size_t count = m_closed ? n : n - 1;
        m_segments.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            Vec delta = m_points[(i + 1) % n] - m_points[i];
            double length = std::hypot(delta.x, delta.y);
            Vec d = (1 / length) * delta;
            m_segments.push_back({d, {-d.y, d.x}, length});
        }
        // How far the inner side of each join reaches back along its segments.
        std::vector<double> retreat(n, 0.0);
        for (size_t v = 0; v < n; ++v) {
            if (!hasJoin(v))
                continue;
            double c = dot(incoming(v).d, outgoing(v).d);
            if (1 + c < 1e-6)
                return false; // turns back on itself
            retreat[v] = m_half * std::sqrt(std::max(0.0, (1 - c) / (1 + c)));
        }
        for (size_t i = 0; i < count; ++i)
            if (retreat[i] + retreat[(i + 1) % n] > m_segments[i].length * (1 + 1e-9) + 1e-9)
                return false;
        return true;
    }

    void emit(Outline& out) {
        if (m_closed) {
            std::vector<Vec> left = side(+1), right = side(-1);
            out.start(left[0]);
            for (size_t i = 1; i < left.size(); ++i)
                out.to(left[i]);
            out.start(right.back());
            for (size_t i = right.size() - 1; i-- > 0;)
                out.to(right[i]);
            return;
        }
        std::vector<Vec> left = side(+1), right = side(-1);
        const Segment& first = m_segments.front();
        const Segment& last = m_segments.back();
        out.start(left[0]);
        for (size_t i = 1; i < left.size(); ++i)
            out.to(left[i]);
        // The normal is the direction turned so that going from it to its opposite through the
        // direction of travel turns the negative way: both caps bulge outward with sweep -1.
        Vec end = m_points.back();
        if (m_style.cap == LineCap::Round)
            out.arc(end, m_half * last.n, (-m_half) * last.n, m_half, -1);
        out.to(right.back());
        for (size_t i = right.size() - 1; i-- > 0;)
            out.to(right[i]);
        Vec begin = m_points.front();
        if (m_style.cap == LineCap::Round)
            out.arc(begin, (-m_half) * first.n, m_half * first.n, m_half, -1);
    }

private:
    bool hasJoin(size_t v) const { return m_closed || (v > 0 && v + 1 < m_points.size()); }
    const Segment& incoming(size_t v) const {
        return m_segments[(v + m_segments.size() - 1) % m_segments.size()];
    }
    const Segment& outgoing(size_t v) const { return m_segments[v % m_segments.size()]; }

    // The offset points of one side (s = +1 along the normals, -1 against), in path order.
    std::vector<Vec> side(double s) const {
        std::vector<Vec> out;
        size_t n = m_points.size();
        out.reserve(n + 2);
        double w = m_half;
        for (size_t v = 0; v < n; ++v) {
            Vec p = m_points[v];
            if (!hasJoin(v)) {
                bool isStart = v == 0;
                const Segment& seg = isStart ? m_segments.front() : m_segments.back();
                Vec q = p + (s * w) * seg.n;
                if (m_style.cap == LineCap::Square)
                    q = q + (isStart ? -w : w) * seg.d;
                out.push_back(q);
                continue;
            }
            const Segment& a = incoming(v);
            const Segment& b = outgoing(v);
            double turn = dot(b.d, a.n); // > 0: turning toward the +n side
            double denom = 1 + dot(a.n, b.n);
            Vec miter = (1 / denom) * (a.n + b.n);
            if (std::fabs(turn) < 1e-12 || s * turn > 0) {
                // Straight on, or this is the inner side: the offset lines' intersection.
                out.push_back(p + (s * w) * miter);
                continue;
            }
            switch (m_style.join) {
            case LineJoin::Miter:
                if (std::sqrt(dot(miter, miter)) <= m_style.miterLimit) {
                    out.push_back(p + (s * w) * miter);
                    break;
                }
                [[fallthrough]];
            case LineJoin::Bevel:
                out.push_back(p + (s * w) * a.n);
                out.push_back(p + (s * w) * b.n);
                break;
            case LineJoin::Round: {
                out.push_back(p + (s * w) * a.n);
                Vec from = (s * w) * a.n, to = (s * w) * b.n;
                double a0 = std::atan2(from.y, from.x);
                double sweep = std::atan2(cross(from, to), dot(from, to));
                double step = w > arcTolerance ? 2 * std::acos(1 - arcTolerance / w) : std::numbers::pi / 2;
                int steps = std::min(1024, std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / step))));
                for (int i = 1; i < steps; ++i) {
                    double angle = a0 + sweep * i / steps;
                    out.push_back({p.x + w * std::cos(angle), p.y + w * std::sin(angle)});
                }
                out.push_back(p + (s * w) * b.n);
                break;
            }
            }
        }
        return out;
    }

    const std::vector<Vec>& m_points;
    bool m_closed;
    const StrokeStyle& m_style;
    double m_half;
    std::vector<Segment> m_segments;
};

} // namespace

bool outlineStroke(const std::vector<Polyline>& subpaths, const StrokeStyle& style,
                   PolygonRasterizer& rasterizer) {
    if (!(style.width > 0) || !std::isfinite(style.width))
        return true;
    Outline out(rasterizer);
    double half = style.width / 2;
    for (const Polyline& line : subpaths) {
        // Points that repeat the one before add nothing to a stroke.
        std::vector<Vec> points;
        points.reserve(line.points.size());
        for (const CGPoint& p : line.points) {
            Vec v{p.x, p.y};
            if (!std::isfinite(v.x) || !std::isfinite(v.y))
                return false;
            if (points.empty()) {
                points.push_back(v);
                continue;
            }
            // Farther than 1e-9 from the last point (a square that overflows is farther too).
            double dx = v.x - points.back().x, dy = v.y - points.back().y;
            if (dx * dx + dy * dy > 1e-18)
                points.push_back(v);
        }
        bool closed = line.closed;
        if (closed && points.size() > 1 &&
            std::hypot(points.front().x - points.back().x, points.front().y - points.back().y) <= 1e-9)
            points.pop_back();
        if (points.empty())
            continue;
        if (points.size() == 1) {
            // A lone point shows only with round caps (a dot) or square caps (a square).
            Vec p = points[0];
            if (style.cap == LineCap::Round) {
                out.start({p.x + half, p.y});
                out.arc(p, {half, 0}, {-half, 0}, half, 1);
                out.arc(p, {-half, 0}, {half, 0}, half, 1);
            } else if (style.cap == LineCap::Square) {
                out.start({p.x - half, p.y - half});
                out.to({p.x + half, p.y - half});
                out.to({p.x + half, p.y + half});
                out.to({p.x - half, p.y + half});
            }
            continue;
        }
        if (closed && points.size() == 2)
            return false; // there and back again: a join that turns all the way round
        SubpathStroker stroker(points, closed, style);
        if (!stroker.prepare())
            return false;
        stroker.emit(out);
    }
    return true;
}
