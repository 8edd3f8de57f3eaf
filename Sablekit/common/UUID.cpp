#include "Sablekit/common/UUID.h"

#include <cstring>

#include <uuid/uuid.h>

namespace Sablekit {

static_assert(sizeof(uuid_t) == 16);

UUID UUID::generate() {
  uuid_t raw;
  uuid_generate_random(raw);
  UUID result;
  std::memcpy(result.bytes_.data(), raw, result.bytes_.size());
  return result;
}

std::string UUID::toString() const {
  uuid_t raw;
  std::memcpy(raw, bytes_.data(), bytes_.size());
  char text[37];  // 36 characters and the terminator, as uuid_unparse requires
  uuid_unparse_lower(raw, text);
  return std::string(text, 36);
}

}  // namespace Sablekit
