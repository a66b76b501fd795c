#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Letters drawn white: their coverage, row after row from the top.
struct TextPicture {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint8_t> alpha; // width * height values, 0 to 255
};

// The system's own text engine: Pango with Cairo (Linux), GDI with Uniscribe
// (Windows). It shapes each line and orders it as its scripts need (Arabic
// and Hebrew right to left, joined), in the game's font where that has the
// letters and in the system's fallback fonts otherwise. Sizes are in pixels.
class TextEngine {
public:
    // `fontFile` holds the font family `family`, made known to this process
    // alone; when it cannot be read the system's own sans-serif is used.
    TextEngine(const std::string& fontFile, const std::string& family);
    ~TextEngine();
    TextEngine(const TextEngine&) = delete;
    TextEngine& operator=(const TextEngine&) = delete;

    // The width that one line of `utf8` takes at `pixelSize`, from the
    // start of its first letter to the end of its last, in whole pixels.
    int width(const std::string& utf8, unsigned pixelSize) const;

    // `utf8`'s lines ('\n' between them), one under another at `pixelSize`,
    // each laid out as its own paragraph; the picture is as wide as the
    // widest line and as high as the lines are together. Empty text, or a
    // picture larger than the system can make (Cairo's limit is 32,767
    // pixels either way): an empty picture.
    TextPicture draw(const std::string& utf8, unsigned pixelSize) const;

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};
