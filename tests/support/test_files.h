// Small file helpers for the tests that touch the real disk.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::testing {

// The whole content of a file, or nothing when it cannot be opened.
std::optional<std::string> readFile(const std::string& path);

// Replaces the file's content with bytes, creating it if needed.
void writeFile(const std::string& path, const std::string& bytes);

// The permission bits of path (e.g. 0600); fails the test when it is absent.
unsigned fileMode(const std::string& path);

// The names in folder, sorted; empty when it cannot be listed.
std::vector<std::string> folderEntries(const std::string& folder);

}  // namespace tarnwick::testing
