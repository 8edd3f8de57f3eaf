// FreeType rasterisation and pixman glyph blending for the simulated screen capture.
#include "Sablekit/platform/simulated/SimulatedFont.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <unicode/utf8.h>

namespace Sablekit {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// FreeType's 26.6 fixed point to whole pixels, rounded.
int wholePixels(FT_Pos value) {
  return static_cast<int>((value + 32) >> 6);
}

// pixman's glyph cache keys are pointers it never follows.
void* fontKey(int pixelSize) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(pixelSize));
}
void* glyphKey(char32_t codePoint) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(codePoint) + 1);
}

}  // namespace

struct SimulatedFont::Library {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Library() {
    if (face) {
      FT_Done_Face(face);
    }
    if (library) {
      FT_Done_FreeType(library);
    }
  }
};

SimulatedFont::SimulatedFont(const std::string& path) : library_(std::make_unique<Library>()), cache_(nullptr) {
  if (FT_Init_FreeType(&library_->library) != 0) {
    throw std::runtime_error("The simulated screen capture could not start FreeType.");
  }
  if (FT_New_Face(library_->library, path.c_str(), 0, &library_->face) != 0) {
    throw std::runtime_error("The simulated screen capture cannot draw text: no readable font at " + path +
                             " (DejaVu Sans comes with the Debian package fonts-dejavu-core).");
  }
  cache_ = pixman_glyph_cache_create();
  if (!cache_) {
    throw std::runtime_error("The simulated screen capture could not create its glyph cache.");
  }
}

SimulatedFont::~SimulatedFont() {
  if (cache_) {
    pixman_glyph_cache_destroy(cache_);
  }
}

void SimulatedFont::useSize(int pixelSize) {
  if (currentSize_ != pixelSize) {
    FT_Set_Pixel_Sizes(library_->face, 0, static_cast<FT_UInt>(pixelSize));
    currentSize_ = pixelSize;
  }
}

SimulatedFont::Metrics SimulatedFont::metrics(int pixelSize) {
  if (const auto found = metrics_.find(pixelSize); found != metrics_.end()) {
    return found->second;
  }
  useSize(pixelSize);
  const FT_Size_Metrics& size = library_->face->size->metrics;
  const Metrics measured{wholePixels(size.ascender), std::max(1, wholePixels(size.height))};
  metrics_.emplace(pixelSize, measured);
  return measured;
}

const void* SimulatedFont::rasterise(int pixelSize, char32_t codePoint, Glyph& layout) {
  useSize(pixelSize);
  FT_Face face = library_->face;
  if (FT_Load_Char(face, codePoint, FT_LOAD_RENDER) != 0) {
    // A glyph the font cannot load takes the place of a missing one.
    if (FT_Load_Glyph(face, 0, FT_LOAD_RENDER) != 0) {
      layout = {0, true};
      return nullptr;
    }
  }
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  layout.advance = wholePixels(slot->advance.x);
  layout.blank = bitmap.width == 0 || bitmap.rows == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY;
  if (layout.blank) {
    return nullptr;
  }
  pixman_image_t* mask =
      pixman_image_create_bits(PIXMAN_a8, static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows), nullptr, 0);
  if (!mask) {
    return nullptr;
  }
  auto* rows = reinterpret_cast<std::uint8_t*>(pixman_image_get_data(mask));
  const int stride = pixman_image_get_stride(mask);
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    std::memcpy(rows + static_cast<std::ptrdiff_t>(row) * stride,
                bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch, bitmap.width);
  }
  const void* cached = pixman_glyph_cache_insert(cache_, fontKey(pixelSize), glyphKey(codePoint), -slot->bitmap_left,
                                                 slot->bitmap_top, mask);
  pixman_image_unref(mask);  // the cache keeps its own copy
  return cached;
}

SimulatedFont::Glyph& SimulatedFont::glyph(int pixelSize, char32_t codePoint) {
  const auto key = std::make_pair(pixelSize, codePoint);
  if (const auto found = glyphs_.find(key); found != glyphs_.end()) {
    return found->second;
  }
  Glyph layout;
  rasterise(pixelSize, codePoint, layout);
  return glyphs_.emplace(key, layout).first->second;
}

void SimulatedFont::drawLine(pixman_image_t* destination,
                             pixman_image_t* colour,
                             std::string_view line,
                             int pixelSize,
                             int x,
                             int baseline) {
  const int rightEdge = pixman_image_get_width(destination);
  std::vector<pixman_glyph_t> placed;
  placed.reserve(line.size());
  // Frozen, the cache evicts nothing while the line's glyphs are in use.
  pixman_glyph_cache_freeze(cache_);
  int pen = x;
  std::int32_t offset = 0;
  const auto length = static_cast<std::int32_t>(line.size());
  while (offset < length && pen < rightEdge) {
    UChar32 decoded = 0;
    U8_NEXT(line.data(), offset, length, decoded);
    const char32_t codePoint = decoded < 0 ? replacementCharacter : static_cast<char32_t>(decoded);
    Glyph& layout = glyph(pixelSize, codePoint);
    if (!layout.blank) {
      const void* cached = pixman_glyph_cache_lookup(cache_, fontKey(pixelSize), glyphKey(codePoint));
      if (!cached) {
        cached = rasterise(pixelSize, codePoint, layout);  // evicted since it was first drawn
      }
      if (cached) {
        placed.push_back({pen, baseline, cached});
      }
    }
    pen += layout.advance;
  }
  if (!placed.empty()) {
    pixman_composite_glyphs_no_mask(PIXMAN_OP_OVER, colour, destination, 0, 0, 0, 0, cache_,
                                    static_cast<int>(placed.size()), placed.data());
  }
  pixman_glyph_cache_thaw(cache_);
}

}  // namespace Sablekit
