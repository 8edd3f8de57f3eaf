#include "tests/support/ScratchDirectory.h"

#include <string>
#include <system_error>

#include <gtest/gtest.h>
#include <stdlib.h>

namespace Sablekit::testing {

ScratchDirectory::ScratchDirectory() {
  std::string pattern = ::testing::TempDir() + "keyloft-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace Sablekit::testing
