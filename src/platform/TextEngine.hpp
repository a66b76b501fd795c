#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Letters drawn white: their coverage, row after row from the top.
struct TextPicture {
    unsigned width = 0, height = 0;
    std::vector<std::uint8_t> alpha; // width * height values
};

// Pango with Cairo, or Uniscribe: every script shaped and ordered (Arabic, Hebrew,
// joined and right to left) in the game's font or the system's fallbacks. Sizes in pixels.
class TextEngine {
public:
    // `fontFile` holds `family`, made known to this process alone.
    TextEngine(const std::string& fontFile, const std::string& family);
    ~TextEngine();
    TextEngine(const TextEngine&) = delete;
    TextEngine& operator=(const TextEngine&) = delete;

    int width(const std::string& utf8, unsigned pixelSize) const;

    // Each line ('\n' between them) a paragraph of its own, under the one
    // before. Empty when the text is, or when larger than the system can make.
    TextPicture draw(const std::string& utf8, unsigned pixelSize) const;

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};
