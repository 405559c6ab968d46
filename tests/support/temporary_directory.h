// A fresh directory for a test that touches the real file system, removed
// with everything in it when the test ends.
#pragma once

#include <string>

namespace tarnwick::testing {

// Where the directory lives: in TMPDIR (else /tmp), or in memory (/dev/shm)
// where the system has such a folder, for files whose syncs a test does not
// need to pay for; elsewhere memory falls back to disk.
enum class Backing { disk, memory };

class TemporaryDirectory {
 public:
  explicit TemporaryDirectory(Backing backing = Backing::disk);
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace tarnwick::testing
