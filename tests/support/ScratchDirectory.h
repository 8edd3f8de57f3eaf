// A fresh directory of our own under the test temporary directory, so tests
// never meet each other's files (or another run's).
#pragma once

#include <filesystem>

namespace Sablekit::testing {

class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace Sablekit::testing
