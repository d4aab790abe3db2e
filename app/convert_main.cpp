// orvanel-convert: turns a trace log into a saved project without the desktop program.
#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage =
    "Usage: orvanel-convert [--debugger] [--map FILE] [--labels FILE] LOG PROJECT.tfp\n"
    "Converts the trace LOG into the project PROJECT.tfp.\n";

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
