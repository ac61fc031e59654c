#pragma once

// Draws a layer tree into a bitmap of device pixels (points times the scale), and keeps it: each
// render repaints only what changed since the last one.
//
// How: the renderer remembers, for every layer it drew, what the layer looked like (its
// generation, where it lay, its clip, the opacity and masks above it) and the pixels it covered
// (its footprint: its rectangle, or for a shape layer the bands its coverage touched). A layer that
// changed, appeared or went away adds its old and new footprints to the frame's damage; only the
// damage is cleared and repainted, every layer clipped to it. Shape layers keep their coverage
// between frames, so an unchanged wave costs nothing to repaint inside another's damage.
//
// Pixel work uses routines of our own where they are exact (solid fills, coverage from the
// exact-area rasterizer and the stroke outliner, pixel-aligned images) and cairo for the rest
// (scaled images, layers off the pixel grid, masks, strokes the outliner declines). The Reference
// mode draws everything with cairo, all of it every time: the plain rendering the fast one is
// checked against.
//
// Geometry the renderer understands: frames, bounds origins, anchor points, clipping to bounds
// (rounded to whole pixels), opacity (a layer with sublayers or several kinds of content is
// composited as a group, as on the device), hidden, masks, background colours, contents images
// (scaled to fill) and shape layers.

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/PolygonRasterizer.h"
#include "platform/graphics/Region.h"
#include "platform/ui/CALayer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

class CAShapeLayer;
class UIView;
namespace layer_rules {
struct ContentPixels;
}

class LayerRenderer {
public:
    enum class Mode { Incremental, Reference };
    // Exact: the device's own picture; content off the pixel grid is drawn by cairo where it falls.
    // Snapped: a picture at fewer pixels than the device's (a window's), where half a point falls
    // between pixels: backgrounds, images and clipping masks are drawn at the nearest whole pixels by
    // the renderer's own routines instead. Shapes are drawn where they are either way.
    enum class Placement { Exact, Snapped };
    // A layer whose content only scrolled: its drawn pixels were moved inside its clip (in pixels),
    // and only what the move uncovered was drawn.
    struct Scroll {
        IntRect clip;
        int dx, dy;
        uint64_t subtreeEnd; // the paint order of the last layer of its subtree
        uint64_t serial;     // the scrolled layer
    };

    // A renderer for a bitmap of the given pixel size (at least 1 x 1) at scale pixels per point.
    // Throws std::length_error for a size beyond what a Bitmap may hold (512 MB).
    LayerRenderer(int pixelWidth, int pixelHeight, double scale, Mode mode = Mode::Incremental,
                  Placement placement = Placement::Exact);
    // A renderer that draws into the given bitmap (its pixels may be a window's, so that what is drawn
    // is what the window shows without a copy). Whatever they held, the first render draws them all.
    LayerRenderer(Bitmap target, double scale, Mode mode = Mode::Incremental,
                  Placement placement = Placement::Exact);
    ~LayerRenderer();
    LayerRenderer(const LayerRenderer&) = delete;
    LayerRenderer& operator=(const LayerRenderer&) = delete;

    // Brings the bitmap up to date with the tree under root (whose frame is placed in the bitmap's
    // coordinates, in points) and answers the region whose pixels changed (repainted, or moved by a
    // scroll). A different root repaints all.
    //
    // Scrolling: a layer that clips to its bounds and fills them with an opaque background, whose
    // only change since the last frame is its bounds' origin by whole pixels, has its drawn pixels
    // moved; then only the strip the move uncovers, what changed inside it, and the layers drawn
    // above it are repainted.
    const Region& render(CALayer* root);
    // The same for a view: commits pending layout first, as the device does before it draws.
    const Region& render(UIView* root);

    const Bitmap& bitmap() const { return m_bitmap; }
    // What the last render painted afresh (without what a scroll only moved).
    const Region& lastRepaint() const { return m_damage; }
    // When the last render changed only pixels under shapes' coverage (shapes that moved over an
    // opaque layer, with nothing else changing), the masks of those shapes before and after: every
    // pixel that changed lies under one of them. Empty otherwise.
    std::span<const CoverageMask* const> lastChangedCoverage() const {
        return m_restore.active ? std::span<const CoverageMask* const>(m_restore.masks)
                                : std::span<const CoverageMask* const>();
    }
    // The scroll the last render made, if any.
    const std::optional<Scroll>& lastScroll() const { return m_scroll; }
    double scale() const { return m_scale; }
    Mode mode() const { return m_mode; }
    // The next render repaints everything.
    void invalidate() { m_fullRepaint = true; }
    // What lies under everything (premultiplied); opaque black unless set.
    void setBackground(uint32_t pixel);
    // The bitmap as a PNG file at a host path, replaced atomically.
    bool writePNG(const std::string& hostPath, std::string* error = nullptr) const;

private:
    struct Entry;
    struct Context {
        double originX, originY; // the parent's bounds origin, in pixels
        IntRect clip;
        float opacity;      // product of the ancestors' opacities
        uint64_t maskStamp; // what the masks above look like
        uint64_t parentSerial;
        // Inside a scrolled layer: how far the pixels drawn last time are moved this frame.
        int shiftX = 0, shiftY = 0;
    };

    // reordered: the layer now lies below a sibling that lay below it last time.
    void prepare(CALayer* layer, const Context& context, size_t index, bool reordered);
    // The entry of the layer with this serial, which is to be prepared with this paint order; null
    // for a layer not drawn before.
    Entry* entryOf(uint64_t serial, uint64_t order) const;
    void rebuild(Entry& entry, CALayer* layer);
    // Before the footprint changes in a frame: keeps what it was at the end of the frame before.
    void keepPreviousFootprint(Entry& entry);
    const Region& previousFootprint(const Entry& entry) const;
    // A shape drawn from its coverage alone first takes its coverage's bounds as its footprint;
    // this makes it the tight one.
    void tightenFootprint(Entry& entry);
    bool canScroll(CALayer* layer, const Entry& entry, const Context& context, double left, double top,
                   const IntRect& clip, double originX, double originY) const;
    void applyScroll(const Scroll& scroll);
    static Region shiftedInto(const Region& region, const Scroll& scroll);
    void paint(CALayer* layer, const Region& damage, Bitmap& target, size_t depth);
    void paintOwnContent(CALayer* layer, Entry& entry, const Region& area, Bitmap& target, double opacity);
    void paintImage(CALayer* layer, Entry& entry, const Region& area, Bitmap& target, double opacity);
    void applyMask(CALayer* layer, const Entry& entry, const Region& area, Bitmap& target, size_t depth);
    Bitmap& scratch(size_t depth);
    // Remembers the pixels the layer's own content covers opaquely, if any.
    void noteOpaqueCover(CALayer* layer, Entry& entry);
    // The pixels the layer's own background and image fill, and whether they lie on the grid.
    layer_rules::ContentPixels contentPixelsOf(const CALayer* layer, const Entry& entry) const;
    struct OpaqueCover {
        uint64_t order;
        IntRect rect;
        CALayer* layer;
        Entry* entry;
        bool plain; // its pixels are its image's, or its background colour's, as they stand
    };
    // The last layer that covers all of the damage opaquely; null for none.
    const OpaqueCover* floorOfDamage() const;
    // The last layer under the given paint order that covers rect opaquely as it stands; null for none.
    const OpaqueCover* plainCoverUnder(uint64_t order, const IntRect& rect) const;
    // The image's pixels as they fill rect (a copy scaled to it when the sizes differ), and whether
    // they are all opaque; null when there is nothing to draw.
    const Bitmap* imagePixels(CGImage* image, Entry& entry, const IntRect& rect, bool& opaque);

    // Repainting under coverage: in a frame whose only changes are shape layers drawn from their
    // coverage, each lying over a plain opaque layer that covers all it changed and under nothing
    // else, those layers are restored only under the coverage the shapes had and have, not over all
    // the damage. Shapes over the same opaque layer (the waves of one header) restore together.
    struct RestoreFloor {
        const OpaqueCover* cover;
        Region area; // the bounds of its shapes' coverage, before and after
        std::vector<const CoverageMask*> masks;
    };
    struct CoverageRestore {
        bool possible = false; // nothing but such shapes changed so far in the frame
        bool active = false;
        std::vector<Entry*> shapes;
        std::vector<RestoreFloor> floors;
        std::vector<const CoverageMask*> masks; // all of the floors'
    };
    void noteChangedForRestore(CALayer* layer, Entry& entry);
    // Finds each shape's floor and checks that nothing else is drawn over what they changed; answers
    // whether the frame may restore under the shapes' coverage (m_restore.floors).
    bool planRestore();
    // The restore floor that is this layer, if any.
    const RestoreFloor* restoreFloorOf(const Entry& entry) const;
    // Whether a layer of entry's subtree paints all of rect opaquely in this frame (restoring under
    // coverage: one of the floors).
    bool opaqueInSubtree(const Entry& entry, const IntRect& rect) const;
    void restoreUnderCoverage(const RestoreFloor& floor, Bitmap& target);
    void renderReference(CALayer* root);

    int m_width;
    int m_height;
    double m_scale;
    Mode m_mode;
    bool m_snapped;
    Bitmap m_bitmap;
    uint32_t m_background = 0xFF000000u;
    bool m_fullRepaint = true;
    bool m_damageIsAll = false; // this frame repaints everything
    uint64_t m_rootSerial = 0;
    uint64_t m_frame = 0;
    uint64_t m_changesSeen = 0; // CALayer::changesOfAllLayers() at the last frame drawn
    Region m_damage;
    Region m_changed; // the damage and the pixels a scroll moved
    std::optional<Scroll> m_scroll;
    uint64_t m_order = 0;
    std::vector<OpaqueCover> m_opaqueCovers;
    uint64_t m_floor = 0; // layers painted before it are hidden under the damage
    CoverageRestore m_restore;
    std::vector<Entry*> m_coarseShapes; // rebuilt this frame, their footprints still bounds
    std::unordered_map<uint64_t, std::unique_ptr<Entry>> m_entries;
    // The entries in paint order, this frame's and the last's: a tree that kept its shape finds
    // each layer's entry at its place without the map.
    std::vector<Entry*> m_ordered, m_lastOrdered;
    // Group surfaces by nesting depth; held by pointer so that a deeper one never moves a shallower.
    std::vector<std::unique_ptr<Bitmap>> m_scratch;
    PolygonRasterizer m_rasterizer;
};
