#include "Sablekit/platform/posix/PosixHostLease.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace Sablekit {

std::unique_ptr<PosixHostLease> PosixHostLease::acquire(const std::filesystem::path& path) {
  const int fileDescriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fileDescriptor < 0) {
    return nullptr;
  }
  // Length 0 from offset 0: the lock covers the file to its end and beyond.
  int result = 0;
  do {
    result = ::lockf(fileDescriptor, F_TLOCK, 0);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    ::close(fileDescriptor);
    return nullptr;
  }
  return std::unique_ptr<PosixHostLease>(new PosixHostLease(path, fileDescriptor));
}

std::optional<std::filesystem::path> PosixHostLease::defaultPath(const EnvironmentLookup& lookup) {
  auto directory = UserTemporaryDirectory::resolve(lookup, "/tmp", ::getuid());
  if (!directory) {
    return std::nullopt;
  }
  return *directory / kShortcutHostLeaseFileName;
}

PosixHostLease::PosixHostLease(std::filesystem::path path, int fileDescriptor)
    : path_(std::move(path)), fileDescriptor_(fileDescriptor) {}

PosixHostLease::~PosixHostLease() {
  // lockf works from the current offset, which is still 0: nothing moves it.
  ::lockf(fileDescriptor_, F_ULOCK, 0);
  ::close(fileDescriptor_);
}

}  // namespace Sablekit
