#pragma once
// Paths of the real traces and a scratch folder for files written by tests.
#include <string>

namespace orvanel::test {

// A file of the shared traces folder, for example "pvsneslib-hello_world-snes9x.log".
std::string TracePath(const std::string& name);
// A fresh, empty folder for one test; removed at the end of the test program.
std::string ScratchDir();
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace orvanel::test
