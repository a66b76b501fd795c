#include "platform/TextEngine.hpp"

#include "platform/Win32/Utf16.hpp"

#include <windows.h>

#include <usp10.h>

#include <algorithm>

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
    engine_->fontFile = utf16(fontFile);
    engine_->family = utf16(family);
    engine_->fontAdded = AddFontResourceExW(engine_->fontFile.c_str(), FR_PRIVATE, nullptr) > 0;
    engine_->dc = CreateCompatibleDC(nullptr);
}

int TextEngine::width(const std::string& utf8, unsigned pixelSize) const {
    return engine_->lines(engine_->dc, utf16(utf8), pixelSize, false).cx;
}

TextPicture TextEngine::draw(const std::string& utf8, unsigned pixelSize) const {
    TextPicture picture;
    const std::wstring text = utf16(utf8);
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
    // A picture too large for memory (or for GDI) gives no bitmap: then no
    // picture. The pixels below are read within the bitmap made here, at
    // the size measured, whatever width the drawing takes.
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(engine_->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
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

TextEngine::~TextEngine() = default;
