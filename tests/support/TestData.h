#pragma once
// Paths of the real traces and a scratch folder for files written by tests.
#include <string>

namespace orvanel::test {

// A real trace of tests/data, for example "pvsneslib-hello_world-snes9x.log"; throws, naming
// the file, when it is missing or unreadable.
std::string TracePath(const std::string& name);
// A fresh, empty folder for one test; removed at the end of the test program.
std::string ScratchDir();
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace orvanel::test
