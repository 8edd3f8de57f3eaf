// FreeType rendering of test text: each glyph's coverage darkens the pixels below it.
#include "TextPainter.h"

#include <algorithm>
#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace Sablekit {

struct TextPainter::Library {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

TextPainter::TextPainter() : library_(new Library) {
  const char* path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (FT_Init_FreeType(&library_->library) != 0 || FT_New_Face(library_->library, path, 0, &library_->face) != 0) {
    if (library_->library != nullptr) {
      FT_Done_FreeType(library_->library);
    }
    delete library_;
    throw std::runtime_error(std::string("cannot open the font ") + path);
  }
}

TextPainter::~TextPainter() {
  FT_Done_Face(library_->face);
  FT_Done_FreeType(library_->library);
  delete library_;
}

PixelImage TextPainter::canvas(std::int64_t width, std::int64_t height, std::uint8_t grey) {
  PixelImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height * 4), grey)};
  for (std::size_t alpha = 3; alpha < image.bgra.size(); alpha += 4) {
    image.bgra[alpha] = 0xff;
  }
  return image;
}

std::int64_t TextPainter::paint(PixelImage& image,
                                const std::string& text,
                                std::int64_t x,
                                std::int64_t baseline,
                                int pixelSize) {
  FT_Face face = library_->face;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  for (const char character : text) {
    if (FT_Load_Char(face, static_cast<FT_ULong>(static_cast<unsigned char>(character)), FT_LOAD_RENDER) != 0) {
      continue;
    }
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    const std::int64_t left = x + face->glyph->bitmap_left;
    const std::int64_t top = baseline - face->glyph->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      for (unsigned column = 0; column < bitmap.width; ++column) {
        const std::int64_t px = left + column;
        const std::int64_t py = top + row;
        if (px < 0 || py < 0 || px >= image.width || py >= image.height) {
          continue;
        }
        const unsigned coverage = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + column];
        auto* pixel = image.bgra.data() + (py * image.width + px) * 4;
        for (int channel = 0; channel < 3; ++channel) {
          pixel[channel] = static_cast<std::uint8_t>(pixel[channel] * (255 - coverage) / 255);
        }
      }
    }
    x += face->glyph->advance.x >> 6;
  }
  return x;
}

}  // namespace Sablekit
