#pragma once

// Layers: the retained drawing tree. A layer has a position in its superlayer (where its anchor
// point lies), bounds (its own coordinate space: the origin shifts what it shows, the size is its
// size), sublayers drawn in order above its own content, and its look: background colour, an
// image (contents), opacity, hidden, clipping of sublayers to its bounds and an optional mask layer
// whose alpha multiplies the layer and its sublayers.
//
// The tree owns downward: a layer owns its sublayers and its mask; the superlayer link is not an
// owner. Every change that alters what the layer shows bumps its generation, and a change of the
// list of sublayers bumps the structure generation; a renderer compares them with what it drew
// last time to repaint only what changed.

#include "platform/graphics/CGImage.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/UIColor.h"
#include "runtime/NSObject.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class CALayer : public NSObject {
public:
    static Class objcClass();
    static Ref<CALayer> layer();

    CALayer();
    ~CALayer() override;

    // --- geometry (points) ---
    CGRect bounds() const { return m_bounds; }
    void setBounds(CGRect bounds);
    CGPoint position() const { return m_position; }
    void setPosition(CGPoint position);
    CGPoint anchorPoint() const { return m_anchorPoint; }
    void setAnchorPoint(CGPoint anchorPoint);
    // The rectangle the layer occupies in its superlayer's coordinates.
    CGRect frame() const;
    void setFrame(CGRect frame);

    // --- tree ---
    CALayer* superlayer() const { return m_superlayer; }
    const std::vector<Ref<CALayer>>& sublayers() const { return m_sublayers; }
    // Adds on top; a layer that has a superlayer is moved (removed from it first).
    void addSublayer(CALayer* layer);
    void insertSublayer(CALayer* layer, size_t index);
    void removeFromSuperlayer();

    // --- look ---
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    float opacity() const { return m_opacity; }
    void setOpacity(float opacity);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);
    // nil (the default) for no background.
    UIColor* backgroundColor() const { return m_backgroundColor.get(); }
    void setBackgroundColor(UIColor* color);
    void setBackgroundColor(std::optional<CGColor> color);
    // The image drawn scaled to fill the bounds; nil for none.
    CGImage* contents() const { return m_contents.get(); }
    void setContents(CGImage* image);
    CALayer* mask() const { return m_mask.get(); }
    void setMask(CALayer* mask);

    // --- what renderers compare ---
    uint64_t serial() const { return m_serial; }
    uint64_t generation() const { return m_generation; }
    uint64_t structureGeneration() const { return m_structureGeneration; }
    // How many of the generation's changes moved only the bounds' origin (a scroll): a renderer that
    // sees nothing else changed may move the pixels it drew instead of drawing them again.
    uint64_t boundsOriginChanges() const { return m_boundsOriginChanges; }
    // Counts the changes of every layer, in how it looks or in its sublayers: a renderer that finds
    // the same count as at its last frame knows, without walking its tree, that nothing changed.
    static uint64_t changesOfAllLayers() { return s_changes.load(std::memory_order_relaxed); }
    // Counts the changes that may alter which layers hide which: every change but those of a
    // shape's own drawing (its path, colours and stroke), which count only while the shape is a
    // mask. An answer about what covers what holds while this count stays the same.
    static uint64_t arrangementChangesOfAllLayers() {
        return s_arrangementChanges.load(std::memory_order_relaxed);
    }
    // Whether the layer draws anything of its own (not counting sublayers); a clear colour draws
    // nothing.
    virtual bool hasOwnContent() const { return hasVisibleBackground() || m_contents; }
    bool hasVisibleBackground() const { return m_backgroundColor && m_backgroundColor->alpha() > 0; }

protected:
    // Marks the layer as changed in how it looks.
    void changed();
    // Marks a change of what the layer draws of its own that leaves its place, size and look as a
    // cover alone (a shape's path and stroke): it may still alter how it masks another layer.
    void drawingChanged();

private:
    void detachSublayer(CALayer* layer);
    void sublayersChanged();

    static std::atomic<uint64_t> s_changes;
    static std::atomic<uint64_t> s_arrangementChanges;

    uint64_t m_serial;
    uint64_t m_generation = 1;
    uint64_t m_structureGeneration = 1;
    uint64_t m_boundsOriginChanges = 0;
    CGRect m_bounds{};
    CGPoint m_position{};
    CGPoint m_anchorPoint{0.5, 0.5};
    CALayer* m_superlayer = nullptr;
    std::vector<Ref<CALayer>> m_sublayers;
    bool m_hidden = false;
    float m_opacity = 1;
    bool m_masksToBounds = false;
    uint32_t m_maskOwners = 0; // the layers this one is the mask of
    Ref<UIColor> m_backgroundColor;
    Ref<CGImage> m_contents;
    Ref<CALayer> m_mask;
};
