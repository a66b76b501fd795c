#include "platform/TextEngine.hpp"

#include "platform/Win32/Win32.hpp"

#include <windows.h>

#include <usp10.h>

#include <algorithm>

struct TextEngine::Engine {
    std::wstring fontFile, family;
    HDC dc = CreateCompatibleDC(nullptr);

    ~Engine() {
        DeleteDC(dc);
        RemoveFontResourceExW(fontFile.c_str(), FR_PRIVATE, nullptr); // refused when not added
    }

    // The size the lines take, one under another from the top left; drawn
    // with `draw`. Uniscribe takes fonts for the scripts the game's font lacks.
    SIZE lines(const std::wstring& text, unsigned pixelSize, bool draw) const {
        const HFONT font =
            CreateFontW(-static_cast<int>(pixelSize), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, family.c_str());
        const HGDIOBJ before = SelectObject(dc, font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SIZE whole{0, 0};
        for (std::size_t start = 0; start <= text.size(); whole.cy += metrics.tmHeight) {
            const std::size_t end = std::min(text.find(L'\n', start), text.size());
            const std::wstring line = text.substr(start, end - start);
            start = end + 1;
            SCRIPT_STRING_ANALYSIS analysis = nullptr;
            if (line.empty() ||
                FAILED(ScriptStringAnalyse(dc, line.c_str(), static_cast<int>(line.size()),
                                           static_cast<int>(line.size() * 3 / 2 + 16), -1,
                                           SSA_GLYPHS | SSA_FALLBACK | SSA_LINK, 0, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, &analysis))) {
                continue;
            }
            if (const SIZE* size = ScriptString_pSize(analysis)) {
                whole.cx = std::max<LONG>(whole.cx, size->cx);
            }
            if (draw) {
                ScriptStringOut(analysis, 0, whole.cy, 0, nullptr, 0, 0, FALSE);
            }
            ScriptStringFree(&analysis);
        }
        SelectObject(dc, before);
        DeleteObject(font);
        return whole;
    }
};

TextEngine::TextEngine(const std::string& fontFile, const std::string& family)
    : engine_(new Engine{utf16(fontFile), utf16(family)}) {
    AddFontResourceExW(engine_->fontFile.c_str(), FR_PRIVATE, nullptr);
}

int TextEngine::width(const std::string& utf8, unsigned pixelSize) const {
    return engine_->lines(utf16(utf8), pixelSize, false).cx;
}

TextPicture TextEngine::draw(const std::string& utf8, unsigned pixelSize) const {
    const std::wstring text = utf16(utf8);
    const SIZE size = engine_->lines(text, pixelSize, false);
    BITMAPINFO info{};
    info.bmiHeader = {
        sizeof info.bmiHeader, size.cx, -size.cy /* top row first */, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    // None when empty, or too large for memory or GDI. The pixels are read
    // within it, at the size measured, whatever width the drawing takes.
    void* bits = nullptr;
    const HBITMAP bitmap =
        size.cx > 0 && size.cy > 0
            ? CreateDIBSection(engine_->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
            : nullptr;
    TextPicture picture;
    if (bitmap != nullptr && bits != nullptr) {
        const HGDIOBJ before = SelectObject(engine_->dc, bitmap);
        // White on black: the grey of each pixel is the letters' coverage.
        picture = {static_cast<unsigned>(size.cx), static_cast<unsigned>(size.cy),
                   std::vector<std::uint8_t>(static_cast<std::size_t>(size.cx) * size.cy)};
        std::fill_n(static_cast<std::uint32_t*>(bits), picture.alpha.size(), 0u);
        SetBkMode(engine_->dc, TRANSPARENT);
        SetTextColor(engine_->dc, RGB(255, 255, 255));
        engine_->lines(text, pixelSize, true);
        GdiFlush();
        const auto* pixels = static_cast<const std::uint8_t*>(bits);
        for (std::size_t i = 0; i < picture.alpha.size(); ++i) {
            picture.alpha[i] = std::max({pixels[4 * i], pixels[4 * i + 1], pixels[4 * i + 2]});
        }
        SelectObject(engine_->dc, before);
    }
    DeleteObject(bitmap); // refuses a null one
    return picture;
}

TextEngine::~TextEngine() = default;
