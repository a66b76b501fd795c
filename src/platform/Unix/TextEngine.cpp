#include "platform/TextEngine.hpp"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>

// Made at the first text, so a game that shows none never reads the fonts.
struct TextEngine::Engine {
    std::string fontFile, family;
    std::unique_ptr<PangoContext, void (*)(gpointer)> context{nullptr, g_object_unref};

    // The caller unrefs it; `logical` is its extent.
    PangoLayout* layout(const std::string& utf8, unsigned pixelSize, PangoRectangle& logical) {
        if (!context) {
            // Made known before the font map reads fontconfig's list, once.
            FcConfigAppFontAddFile(FcConfigGetCurrent(),
                                   reinterpret_cast<const FcChar8*>(fontFile.c_str()));
            PangoFontMap* const fontMap = pango_cairo_font_map_new();
            context.reset(pango_font_map_create_context(fontMap));
            g_object_unref(fontMap); // the context holds it
            // Grey edges, no colour fringes; advances on whole pixels, so
            // that a line is as wide drawn as measured.
            cairo_font_options_t* const options = cairo_font_options_create();
            cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
            cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
            cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
            pango_cairo_context_set_font_options(context.get(), options);
            cairo_font_options_destroy(options);
        }
        PangoLayout* const laidOut = pango_layout_new(context.get());
        PangoFontDescription* const font = pango_font_description_new();
        pango_font_description_set_family(font, family.c_str());
        pango_font_description_set_absolute_size(font, pixelSize * double{PANGO_SCALE});
        pango_layout_set_font_description(laidOut, font);
        pango_font_description_free(font);
        pango_layout_set_text(laidOut, utf8.data(), static_cast<int>(utf8.size()));
        pango_layout_get_pixel_extents(laidOut, nullptr, &logical);
        return laidOut;
    }
};

TextEngine::TextEngine(const std::string& fontFile, const std::string& family)
    : engine_(new Engine{fontFile, family.empty() ? "sans-serif" : family}) {}

int TextEngine::width(const std::string& utf8, unsigned pixelSize) const {
    PangoRectangle logical{};
    g_object_unref(engine_->layout(utf8, pixelSize, logical));
    return logical.width;
}

TextPicture TextEngine::draw(const std::string& utf8, unsigned pixelSize) const {
    PangoRectangle logical{};
    PangoLayout* const laidOut = engine_->layout(utf8, pixelSize, logical);
    // Past 32,767 pixels either way Cairo's surface is in an error state.
    cairo_surface_t* const surface = cairo_image_surface_create(
        CAIRO_FORMAT_A8, std::max(logical.width, 0), std::max(logical.height, 0));
    TextPicture picture;
    if (!utf8.empty() && logical.width > 0 && logical.height > 0 &&
        cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_t* const cairo = cairo_create(surface);
        cairo_move_to(cairo, -logical.x, -logical.y);
        pango_cairo_show_layout(cairo, laidOut);
        cairo_destroy(cairo);
        cairo_surface_flush(surface);
        const unsigned char* const data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        picture.width = static_cast<unsigned>(logical.width);
        picture.height = static_cast<unsigned>(logical.height);
        for (unsigned y = 0; y < picture.height; ++y) {
            picture.alpha.insert(picture.alpha.end(), data + y * stride,
                                 data + y * stride + picture.width);
        }
    }
    cairo_surface_destroy(surface);
    g_object_unref(laidOut);
    return picture;
}

TextEngine::~TextEngine() = default;
