#include "platform/ui/CairoLayerDrawing.h"
#include "platform/graphics/CairoCanvas.h"
#include "platform/graphics/Polyline.h"
#include "platform/ui/CAShapeLayer.h"

namespace {

void setColor(cairo_t* cr, const UIColor* color) {
    cairo_set_source_rgba(cr, color->red(), color->green(), color->blue(), color->alpha());
}

void drawContents(cairo_t* cr, CALayer* layer) {
    CGImage* image = layer->contents();
    CGRect bounds = layer->bounds();
    if (!image || image->width() <= 0 || image->height() <= 0 || bounds.size.width <= 0 ||
        bounds.size.height <= 0)
        return;
    cairo_surface_t* surface = cairoSurfaceForBitmap(image->bitmap());
    if (!surface)
        return;
    cairo_save(cr);
    cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
    cairo_clip(cr);
    cairo_translate(cr, bounds.origin.x, bounds.origin.y);
    cairo_scale(cr, bounds.size.width / image->width(), bounds.size.height / image->height());
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

void appendPath(cairo_t* cr, const CGPath& path) {
    cairo_new_path(cr);
    bool open = false;
    CGPoint start{};
    for (const CGPathElement& element : path.elements()) {
        switch (element.type) {
        case CGPathElementType::MoveToPoint:
            cairo_move_to(cr, element.point.x, element.point.y);
            start = element.point;
            open = true;
            break;
        case CGPathElementType::AddLineToPoint:
            if (!open)
                cairo_move_to(cr, start.x, start.y);
            cairo_line_to(cr, element.point.x, element.point.y);
            open = true;
            break;
        case CGPathElementType::CloseSubpath:
            if (open)
                cairo_close_path(cr);
            open = false;
            break;
        }
    }
}

void drawShape(cairo_t* cr, CAShapeLayer* shape) {
    CGPath* path = shape->path();
    if (!path || path->isEmpty() || !path->isFinite())
        return;
    appendPath(cr, *path);
    if (UIColor* fill = shape->fillColor()) {
        setColor(cr, fill);
        cairo_set_fill_rule(cr, shape->fillRule() == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD
                                                                       : CAIRO_FILL_RULE_WINDING);
        cairo_fill_preserve(cr);
    }
    UIColor* stroke = shape->strokeColor();
    if (stroke && shape->lineWidth() > 0) {
        setColor(cr, stroke);
        cairo_set_line_width(cr, shape->lineWidth());
        cairo_set_line_cap(cr, shape->lineCap() == LineCap::Butt    ? CAIRO_LINE_CAP_BUTT
                               : shape->lineCap() == LineCap::Round ? CAIRO_LINE_CAP_ROUND
                                                                    : CAIRO_LINE_CAP_SQUARE);
        cairo_set_line_join(cr, shape->lineJoin() == LineJoin::Miter   ? CAIRO_LINE_JOIN_MITER
                                : shape->lineJoin() == LineJoin::Round ? CAIRO_LINE_JOIN_ROUND
                                                                       : CAIRO_LINE_JOIN_BEVEL);
        cairo_set_miter_limit(cr, shape->miterLimit());
        cairo_stroke_preserve(cr);
    }
    cairo_new_path(cr);
}

} // namespace

void cairoDrawOwnContent(cairo_t* cr, CALayer* layer, double opacity) {
    if (!layer->hasOwnContent() || opacity <= 0)
        return;
    cairo_save(cr);
    CGRect bounds = layer->bounds();
    if (layer->masksToBounds()) {
        cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
        cairo_clip(cr);
    }
    if (opacity < 1)
        cairo_push_group(cr);
    if (UIColor* background = layer->backgroundColor()) {
        setColor(cr, background);
        cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
        cairo_fill(cr);
    }
    drawContents(cr, layer);
    if (auto* shape = objc_cast<CAShapeLayer>(layer))
        drawShape(cr, shape);
    if (opacity < 1) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, opacity);
    }
    cairo_restore(cr);
}

void cairoDrawLayerTree(cairo_t* cr, CALayer* layer) {
    if (!layer || layer->isHidden() || layer->opacity() <= 0)
        return;
    cairo_save(cr);
    CGRect frame = layer->frame();
    CGRect bounds = layer->bounds();
    cairo_translate(cr, frame.origin.x - bounds.origin.x, frame.origin.y - bounds.origin.y);
    double opacity = layer->opacity();
    CALayer* mask = layer->mask();
    bool group = opacity < 1 || mask;
    if (group)
        cairo_push_group(cr);
    cairoDrawOwnContent(cr, layer, 1);
    if (layer->masksToBounds()) {
        cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
        cairo_clip(cr);
    }
    for (const Ref<CALayer>& sublayer : std::vector<Ref<CALayer>>(layer->sublayers()))
        cairoDrawLayerTree(cr, sublayer.get());
    if (group) {
        cairo_pattern_t* content = cairo_pop_group(cr);
        if (mask) {
            cairo_push_group(cr);
            cairoDrawLayerTree(cr, mask);
            cairo_pattern_t* alpha = cairo_pop_group(cr);
            cairo_push_group(cr);
            cairo_set_source(cr, content);
            cairo_mask(cr, alpha);
            cairo_pattern_destroy(alpha);
            cairo_pattern_destroy(content);
            content = cairo_pop_group(cr);
        }
        cairo_set_source(cr, content);
        cairo_paint_with_alpha(cr, opacity);
        cairo_pattern_destroy(content);
    }
    cairo_restore(cr);
}
