#include "TestData.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvanel::test {

std::string TracePath(const std::string& name) {
  std::string path = std::string(ORVANEL_TRACES_DIR) + "/" + name;
  // A test without its data fails on this exception, which names the file, and goes no further.
  if (!std::ifstream(path, std::ios::binary).good())
    throw std::runtime_error("test data file missing or unreadable: " + path);
  return path;
}

std::string ScratchDir() {
  static std::atomic<int> counter{0};
  auto base =
      std::filesystem::temp_directory_path() / ("orvanel-test-" + std::to_string(::getpid()));
  auto dir = base / std::to_string(counter++);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

namespace {
// Removes the scratch folders when the test program ends.
class ScratchCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(
        std::filesystem::temp_directory_path() / ("orvanel-test-" + std::to_string(::getpid())),
        ec);
  }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);
}  // namespace

}  // namespace orvanel::test
