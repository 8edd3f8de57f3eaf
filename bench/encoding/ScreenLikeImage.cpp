// A synthetic desktop frame: a soft wallpaper, a browser-like window of prose,
// a dark code editor and a sidebar with icons, text anti-aliased by FreeType.
#include "bench/encoding/ScreenLikeImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace Sablekit::Bench {

namespace {

constexpr const char* fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Colour {
  int r, g, b;
};

class Canvas {
 public:
  Canvas(int width, int height) : image_{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4)} {}

  void fill(int x0, int y0, int w, int h, Colour c) {
    for (int y = std::max(0, y0); y < std::min<int>(image_.height, y0 + h); ++y) {
      for (int x = std::max(0, x0); x < std::min<int>(image_.width, x0 + w); ++x) {
        put(x, y, c);
      }
    }
  }

  // Blends `c` over the pixel with coverage 0–255.
  void blend(int x, int y, Colour c, int coverage) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height || coverage == 0) {
      return;
    }
    std::uint8_t* p = image_.bgra.data() + (std::size_t(y) * image_.width + x) * 4;
    const auto mix = [coverage](int under, int over) {
      return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage) / 255);
    };
    p[0] = mix(p[0], c.b);
    p[1] = mix(p[1], c.g);
    p[2] = mix(p[2], c.r);
    p[3] = 255;
  }

  void put(int x, int y, Colour c) {
    std::uint8_t* p = image_.bgra.data() + (std::size_t(y) * image_.width + x) * 4;
    p[0] = static_cast<std::uint8_t>(c.b);
    p[1] = static_cast<std::uint8_t>(c.g);
    p[2] = static_cast<std::uint8_t>(c.r);
    p[3] = 255;
  }

  PixelImage take() { return std::move(image_); }

 private:
  PixelImage image_;
};

class Font {
 public:
  Font() {
    if (FT_Init_FreeType(&library_) != 0 || FT_New_Face(library_, fontPath, 0, &face_) != 0) {
      throw std::runtime_error(std::string("cannot load ") + fontPath);
    }
  }
  ~Font() {
    FT_Done_Face(face_);
    FT_Done_FreeType(library_);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // Draws `text` with its baseline at y; returns the x after the last glyph.
  int draw(Canvas& canvas, int x, int baseline, int pixelSize, std::string_view text, Colour c) {
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize));
    for (const char ch : text) {
      if (FT_Load_Char(face_, static_cast<unsigned char>(ch), FT_LOAD_RENDER) != 0) {
        continue;
      }
      const FT_GlyphSlot glyph = face_->glyph;
      const FT_Bitmap& bitmap = glyph->bitmap;
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        for (unsigned column = 0; column < bitmap.width; ++column) {
          canvas.blend(x + glyph->bitmap_left + static_cast<int>(column),
                       baseline - glyph->bitmap_top + static_cast<int>(row), c,
                       bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + column]);
        }
      }
      x += static_cast<int>(glyph->advance.x >> 6);
    }
    return x;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

constexpr std::array<std::string_view, 40> words = {
    "the",        "capture",  "window", "frame",  "display",  "text",    "encoder", "quality", "private", "browser",
    "folder",     "snapshot", "of",     "and",    "to",       "with",    "request", "result",  "pixel",   "image",
    "recognised", "line",     "focus",  "screen", "update",   "service", "record",  "width",   "height",  "policy",
    "a",          "is",       "for",    "in",     "settings", "Monday",  "report",  "2026",    "version", "check"};

std::string sentence(std::mt19937& random, int wordCount) {
  std::string text;
  for (int i = 0; i < wordCount; ++i) {
    if (i > 0) {
      text += ' ';
    }
    text += words[random() % words.size()];
  }
  return text;
}

}  // namespace

PixelImage screenLikeImage(int scale) {
  const int s = scale;
  const int width = 1512 * s;
  const int height = 982 * s;
  Canvas canvas(width, height);
  Font font;
  std::mt19937 random(2026);

  // Wallpaper: a smooth diagonal gradient.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double t = (double(x) / width + double(y) / height) / 2;
      canvas.put(x, y, {int(40 + 60 * t), int(70 + 80 * t), int(120 + 90 * (1 - t))});
    }
  }
  // Menu bar.
  canvas.fill(0, 0, width, 24 * s, {236, 236, 236});
  font.draw(canvas, 12 * s, 17 * s, 13 * s, "Editor   File   Edit   View   Window   Help", {20, 20, 20});
  font.draw(canvas, width - 200 * s, 17 * s, 13 * s, "Thu 10 Dec  15:57", {20, 20, 20});

  // Browser-like window with prose.
  const int bx = 40 * s, by = 60 * s, bw = 860 * s, bh = 860 * s;
  canvas.fill(bx - s, by - s, bw + 2 * s, bh + 2 * s, {150, 150, 150});
  canvas.fill(bx, by, bw, 52 * s, {222, 222, 226});
  canvas.fill(bx + 80 * s, by + 12 * s, 600 * s, 28 * s, {255, 255, 255});
  font.draw(canvas, bx + 92 * s, by + 31 * s, 13 * s, "https://www.example.org/articles/frame-encoding", {40, 40, 40});
  canvas.fill(bx, by + 52 * s, bw, bh - 52 * s, {255, 255, 255});
  font.draw(canvas, bx + 30 * s, by + 100 * s, 24 * s, "Encoding captured frames", {10, 10, 10});
  for (int line = 0, y = by + 140 * s; y < by + bh - 20 * s; ++line, y += 20 * s) {
    if (line % 9 == 8) {
      continue;  // paragraph break
    }
    font.draw(canvas, bx + 30 * s, y, 14 * s, sentence(random, 14), {30, 30, 30});
  }

  // Dark code editor.
  const int ex = 930 * s, ey = 60 * s, ew = 550 * s, eh = 620 * s;
  canvas.fill(ex, ey, ew, 30 * s, {60, 60, 64});
  font.draw(canvas, ex + 12 * s, ey + 20 * s, 12 * s, "HeifImageEncoder.cpp", {200, 200, 200});
  canvas.fill(ex, ey + 30 * s, ew, eh - 30 * s, {30, 30, 34});
  const std::array<Colour, 4> syntax = {{{220, 220, 220}, {86, 156, 214}, {206, 145, 120}, {106, 153, 85}}};
  for (int line = 1, y = ey + 52 * s; y < ey + eh - 10 * s; ++line, y += 17 * s) {
    int x = font.draw(canvas, ex + 8 * s, y, 12 * s, std::to_string(line), {110, 110, 110});
    x = std::max(x, ex + 44 * s) + int(random() % 4) * 16 * s;
    for (int token = 0, count = 2 + int(random() % 6); token < count; ++token) {
      x = font.draw(canvas, x, y, 12 * s, std::string(words[random() % words.size()]) + "();",
                    syntax[random() % syntax.size()]) +
          6 * s;
    }
  }

  // Sidebar with icons and labels.
  const int sx = 930 * s, sy = 700 * s, sw = 550 * s, sh = 230 * s;
  canvas.fill(sx, sy, sw, sh, {246, 246, 248});
  for (int row = 0; row < 6; ++row) {
    const int y = sy + 14 * s + row * 35 * s;
    canvas.fill(sx + 14 * s, y, 24 * s, 24 * s, {int(random() % 200), int(random() % 200), int(random() % 255)});
    font.draw(canvas, sx + 50 * s, y + 17 * s, 13 * s, sentence(random, 4), {40, 40, 40});
  }
  return canvas.take();
}

}  // namespace Sablekit::Bench
