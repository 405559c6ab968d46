// The POSIX file operations on a real file system: whole reads, whole
// replacements and writes in place, transfers larger than one system call moves, and error sentences.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "shell/file_io.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {
namespace {

std::string contentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

unsigned fileModeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_mode & 0777;
}

ino_t inodeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_ino;
}

TEST(FileIoTest, ReadsTheWholeFileWithNulsAndNoLimit) {
  TemporaryDirectory directory;
  std::string bytes(3 * 1024 * 1024 + 7, 'x');
  bytes[10] = '\0';
  std::ofstream(directory.file("big"), std::ios::binary) << bytes;
  EXPECT_EQ(shell::readWholeFile(directory.file("big")), bytes);
  std::ofstream(directory.file("empty"), std::ios::binary).flush();
  EXPECT_EQ(shell::readWholeFile(directory.file("empty")), "");
}

TEST(FileIoTest, ReadFailuresAreOneEnglishSentenceNamingTheFile) {
  TemporaryDirectory directory;
  struct Case {
    std::string path;
    std::string message;
  };
  const Case cases[] = {
      {directory.file("absent.json"),
       "The request file '" + directory.file("absent.json") + "' cannot be read: No such file or directory."},
      {directory.path(), "The request file '" + directory.path() + "' cannot be read: Is a directory."},
      {"", "The request file '' cannot be read: No such file or directory."},
      {directory.file("absent/x.json"),
       "The request file '" + directory.file("absent/x.json") + "' cannot be read: No such file or directory."},
  };
  for (const Case& c : cases) {
    try {
      shell::readWholeFile(c.path);
      ADD_FAILURE() << c.path;
    } catch (const shell::RequestReadError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

TEST(FileIoTest, WriteReplacesARegularFileWholeAndWritesThroughALink) {
  TemporaryDirectory directory;
  std::string path = directory.file("response.json");
  std::ofstream(path, std::ios::binary) << std::string(1000, 'o');
  ino_t before = inodeOf(path);
  ASSERT_TRUE(shell::writeWholeFile(path, "{\"ok\":true}"));
  EXPECT_EQ(contentOf(path), "{\"ok\":true}");
  EXPECT_NE(inodeOf(path), before);
  EXPECT_EQ(fileModeOf(path), 0600u) << "a response is private";
  // A link stays a link; its target gets the bytes.
  std::string link = directory.file("link.json");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  ASSERT_TRUE(shell::writeWholeFile(link, "{}"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(contentOf(path), "{}");
  EXPECT_FALSE(shell::writeWholeFile(directory.file("missing/response.json"), "x"));
  EXPECT_FALSE(shell::writeWholeFile(directory.path(), "x"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 2) << "a temporary file was left";
}

// Where no new file can be made beside it, a writable file is written in
// place; file modes bind only those who are not the superuser.
TEST(FileIoTest, WriteInAFolderThatTakesNoNewFilesGoesInPlaceNonRoot) {
  if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind the superuser";
  TemporaryDirectory directory;
  std::string path = directory.file("response.json");
  std::ofstream(path, std::ios::binary) << std::string(1000, 'o');
  ino_t before = inodeOf(path);
  ::chmod(directory.path().c_str(), 0500);
  EXPECT_TRUE(shell::writeWholeFile(path, "{\"ok\":true}"));
  ::chmod(directory.path().c_str(), 0700);
  EXPECT_EQ(contentOf(path), "{\"ok\":true}");
  EXPECT_EQ(inodeOf(path), before);
}

TEST(FileIoTest, WriteAllAndReadToEndMoveMoreThanAPipeHolds) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string bytes;
  for (int i = 0; bytes.size() < 5 * 1024 * 1024; ++i) bytes += std::to_string(i) + ',';
  std::string received;
  std::thread reader([&] {
    received = shell::readToEnd(fds[0]);
    ::close(fds[0]);
  });
  EXPECT_TRUE(shell::writeAll(fds[1], bytes));
  ::close(fds[1]);
  reader.join();
  EXPECT_EQ(received, bytes);
}

}  // namespace
}  // namespace tarnwick::testing
