#include "platform/TextEngine.hpp"

#ifdef _WIN32
#include <windows.h>

#include <usp10.h>
#else
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#endif

#include <algorithm>

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(size > 0 ? static_cast<std::size_t>(size) : 0, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

} // namespace

// A memory device context to lay text out in, and the game's font made known
// to this process alone.
struct TextEngine::Engine {
    std::wstring fontFile;
    std::wstring family;
    bool fontAdded = false;
    HDC dc = nullptr;

    ~Engine() {
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        if (fontAdded) {
            RemoveFontResourceExW(fontFile.c_str(), FR_PRIVATE, nullptr);
        }
    }

    // The game's font at `pixelSize`, with grey edges; the caller deletes it.
    HFONT font(unsigned pixelSize) const {
        return CreateFontW(-static_cast<int>(pixelSize), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, family.c_str());
    }

    // Lays out each line of `text` at `pixelSize` on `target` with Uniscribe,
    // which shapes it, orders its runs by direction, takes fonts for the
    // scripts the game's font lacks (SSA_FALLBACK) and links East Asian ones
    // (SSA_LINK); with `draw`, draws the lines one under another from the
    // top left. Returns the size that the lines take together.
    SIZE lines(HDC target, const std::wstring& text, unsigned pixelSize, bool draw) const {
        const HFONT chosen = font(pixelSize);
        const HGDIOBJ before = SelectObject(target, chosen);
        TEXTMETRICW metrics{};
        GetTextMetricsW(target, &metrics);
        SIZE whole{0, 0};
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = std::min(text.find(L'\n', start), text.size());
            const std::wstring line = text.substr(start, end - start);
            int width = 0;
            SCRIPT_STRING_ANALYSIS analysis = nullptr;
            if (!line.empty() &&
                SUCCEEDED(ScriptStringAnalyse(target, line.c_str(), static_cast<int>(line.size()),
                                              static_cast<int>(line.size() * 3 / 2 + 16), -1,
                                              SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, &analysis))) {
                if (const SIZE* size = ScriptString_pSize(analysis)) {
                    width = size->cx;
                }
                if (draw) {
                    ScriptStringOut(analysis, 0, whole.cy, 0, nullptr, 0, 0, FALSE);
                }
                ScriptStringFree(&analysis);
            }
            whole.cx = std::max<LONG>(whole.cx, width);
            whole.cy += metrics.tmHeight;
            if (end == text.size()) {
                break;
            }
            start = end + 1;
        }
        SelectObject(target, before);
        DeleteObject(chosen);
        return whole;
    }
};

TextEngine::TextEngine(const std::string& fontFile, const std::string& family)
    : engine_(std::make_unique<Engine>()) {
    engine_->fontFile = wide(fontFile);
    engine_->family = wide(family);
    engine_->fontAdded = AddFontResourceExW(engine_->fontFile.c_str(), FR_PRIVATE, nullptr) > 0;
    engine_->dc = CreateCompatibleDC(nullptr);
}

int TextEngine::width(const std::string& utf8, unsigned pixelSize) const {
    return engine_->lines(engine_->dc, wide(utf8), pixelSize, false).cx;
}

TextPicture TextEngine::draw(const std::string& utf8, unsigned pixelSize) const {
    TextPicture picture;
    const std::wstring text = wide(utf8);
    if (text.empty()) {
        return picture;
    }
    const SIZE size = engine_->lines(engine_->dc, text, pixelSize, false);
    if (size.cx <= 0 || size.cy <= 0) {
        return picture;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(engine_->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        return picture;
    }
    const HGDIOBJ before = SelectObject(engine_->dc, bitmap);
    // White on black: the grey of each pixel is the letters' coverage.
    std::fill_n(static_cast<std::uint32_t*>(bits), static_cast<std::size_t>(size.cx) * size.cy, 0u);
    SetBkMode(engine_->dc, TRANSPARENT);
    SetTextColor(engine_->dc, RGB(255, 255, 255));
    engine_->lines(engine_->dc, text, pixelSize, true);
    GdiFlush();
    picture.width = static_cast<unsigned>(size.cx);
    picture.height = static_cast<unsigned>(size.cy);
    picture.alpha.resize(static_cast<std::size_t>(size.cx) * size.cy);
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < picture.alpha.size(); ++i) {
        picture.alpha[i] = std::max({pixels[4 * i], pixels[4 * i + 1], pixels[4 * i + 2]});
    }
    SelectObject(engine_->dc, before);
    DeleteObject(bitmap);
    return picture;
}

#else

// Pango's own font map over fontconfig, which knows the game's font besides
// the system's; fontconfig's fallback fonts fill in the letters it lacks.
// Made at the first text, so a game that shows none never reads the fonts.
struct TextEngine::Engine {
    std::string fontFile;
    std::string family;
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;

    ~Engine() {
        if (context != nullptr) {
            g_object_unref(context);
        }
        if (fontMap != nullptr) {
            g_object_unref(fontMap);
        }
    }

    void makeContext() {
        // Made known before the font map is made, which reads the list once.
        FcConfigAppFontAddFile(FcConfigGetCurrent(),
                               reinterpret_cast<const FcChar8*>(fontFile.c_str()));
        fontMap = pango_cairo_font_map_new();
        context = pango_font_map_create_context(fontMap);
        // Grey edges, no colour fringes; advances on whole pixels, so that a
        // line is as wide drawn as measured.
        cairo_font_options_t* const options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
    }

    // A layout of `utf8` at `pixelSize`, each line a paragraph of its own
    // whose direction its first strong letter sets. The caller unrefs it.
    PangoLayout* layout(const std::string& utf8, unsigned pixelSize) {
        if (context == nullptr) {
            makeContext();
        }
        PangoLayout* const laidOut = pango_layout_new(context);
        PangoFontDescription* const font = pango_font_description_new();
        pango_font_description_set_family(font, family.c_str());
        pango_font_description_set_absolute_size(font,
                                                 static_cast<double>(pixelSize) * PANGO_SCALE);
        pango_layout_set_font_description(laidOut, font);
        pango_font_description_free(font);
        pango_layout_set_text(laidOut, utf8.data(), static_cast<int>(utf8.size()));
        return laidOut;
    }
};

TextEngine::TextEngine(const std::string& fontFile, const std::string& family)
    : engine_(std::make_unique<Engine>()) {
    engine_->fontFile = fontFile;
    engine_->family = family.empty() ? "sans-serif" : family;
}

int TextEngine::width(const std::string& utf8, unsigned pixelSize) const {
    PangoLayout* const laidOut = engine_->layout(utf8, pixelSize);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(laidOut, nullptr, &logical);
    g_object_unref(laidOut);
    return logical.width;
}

TextPicture TextEngine::draw(const std::string& utf8, unsigned pixelSize) const {
    TextPicture picture;
    if (utf8.empty()) {
        return picture;
    }
    PangoLayout* const laidOut = engine_->layout(utf8, pixelSize);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(laidOut, nullptr, &logical);
    if (logical.width > 0 && logical.height > 0) {
        cairo_surface_t* const surface =
            cairo_image_surface_create(CAIRO_FORMAT_A8, logical.width, logical.height);
        cairo_t* const cairo = cairo_create(surface);
        cairo_move_to(cairo, -logical.x, -logical.y);
        pango_cairo_show_layout(cairo, laidOut);
        cairo_destroy(cairo);
        cairo_surface_flush(surface);
        picture.width = static_cast<unsigned>(logical.width);
        picture.height = static_cast<unsigned>(logical.height);
        picture.alpha.resize(static_cast<std::size_t>(picture.width) * picture.height);
        const unsigned char* const data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (unsigned y = 0; y < picture.height; ++y) {
            std::copy_n(data + static_cast<std::ptrdiff_t>(y) * stride, picture.width,
                        picture.alpha.begin() + static_cast<std::ptrdiff_t>(y) * picture.width);
        }
        cairo_surface_destroy(surface);
    }
    g_object_unref(laidOut);
    return picture;
}

#endif

TextEngine::~TextEngine() = default;
