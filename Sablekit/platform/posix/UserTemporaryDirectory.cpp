#include "Sablekit/platform/posix/UserTemporaryDirectory.h"

#include <cerrno>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace Sablekit {
namespace {

std::optional<std::filesystem::path> nonEmpty(const EnvironmentLookup& lookup, std::string_view name) {
  auto value = lookup(name);
  if (!value || value->empty()) {
    return std::nullopt;
  }
  return std::filesystem::path(*value);
}

// lstat, so a symbolic link planted in place of the directory is seen as a link.
bool isPrivateDirectoryOf(const std::filesystem::path& directory, uid_t uid) {
  struct stat status {};
  if (::lstat(directory.c_str(), &status) != 0) {
    return false;
  }
  return S_ISDIR(status.st_mode) && status.st_uid == uid && (status.st_mode & 0777) == 0700;
}

}  // namespace

std::optional<std::filesystem::path> UserTemporaryDirectory::resolve(const EnvironmentLookup& lookup,
                                                                     const std::filesystem::path& privateRoot,
                                                                     uid_t uid) {
  if (auto runtime = nonEmpty(lookup, "XDG_RUNTIME_DIR")) {
    return runtime;
  }
  if (auto temporary = nonEmpty(lookup, "TMPDIR")) {
    return temporary;
  }
  const std::filesystem::path directory = privateRoot / ("orvane-" + std::to_string(uid));
  if (::mkdir(directory.c_str(), 0700) == 0) {
    // The umask may have taken owner bits away; the mode must be exactly 0700.
    if (::chmod(directory.c_str(), 0700) != 0) {
      return std::nullopt;
    }
  } else if (errno != EEXIST) {
    return std::nullopt;
  }
  if (!isPrivateDirectoryOf(directory, uid)) {
    return std::nullopt;
  }
  return directory;
}

std::optional<std::filesystem::path> UserTemporaryDirectory::current() {
  return resolve(processEnvironment(), "/tmp", ::getuid());
}

}  // namespace Sablekit
