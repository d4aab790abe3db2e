#include "bench_support.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orvanel::bench {

namespace {

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

TChildReport RunInChild(const std::function<void(std::map<std::string, double>&)>& work) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {{}, "pipe failed"};
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    return {{}, "fork failed"};
  }
  if (child == 0) {
    ::close(pipeEnds[0]);
    std::ostringstream out;
    out.precision(17);
    try {
      std::map<std::string, double> values;
      values["start_rss_kb"] = static_cast<double>(CurrentRssKb());
      work(values);
      values["peak_rss_kb"] = static_cast<double>(PeakRssKb());
      for (const auto& [key, value] : values) out << key << ' ' << value << '\n';
      out << "ok\n";
    } catch (const std::exception& e) {
      out << "error " << e.what() << '\n';
    }
    WriteAll(pipeEnds[1], out.str());
    ::close(pipeEnds[1]);
    ::_exit(0);  // no destructors: the big structures go with the process
  }
  ::close(pipeEnds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);

  TChildReport report;
  std::istringstream in(text);
  bool finished = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "ok") {
      finished = true;
    } else if (line.rfind("error ", 0) == 0) {
      report.Error = line.substr(6);
    } else {
      std::istringstream fields(line);
      std::string key;
      double value = 0;
      if (fields >> key >> value) report.Values[key] = value;
    }
  }
  if (report.Error.empty() && !finished) {
    report.Error = WIFSIGNALED(status)
                       ? "the child died of signal " + std::to_string(WTERMSIG(status))
                       : "the child gave no report";
  }
  return report;
}

int64_t CurrentRssKb() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int64_t PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int64_t HeapInUseBytes() {
  struct mallinfo2 info = ::mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double CpuNow() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void WriteRegisterFile(const std::string& folder) {
  struct TRegister {
    unsigned Address;
    const char* Name;
    const char* Info;
  };
  static const TRegister kRegisters[] = {
      {0x2100, "INIDISP", "Screen display"},
      {0x2101, "OBSEL", "Object size and base"},
      {0x2102, "OAMADDL", "OAM address low"},
      {0x2104, "OAMDATA", "OAM data write"},
      {0x2105, "BGMODE", "BG mode and tile size"},
      {0x2107, "BG1SC", "BG1 tilemap address"},
      {0x210B, "BG12NBA", "BG1/2 tile base"},
      {0x210D, "BG1HOFS", "BG1 horizontal scroll"},
      {0x210E, "BG1VOFS", "BG1 vertical scroll"},
      {0x2115, "VMAIN", "VRAM address increment"},
      {0x2116, "VMADDL", "VRAM address low"},
      {0x2117, "VMADDH", "VRAM address high"},
      {0x2118, "VMDATAL", "VRAM data low"},
      {0x2119, "VMDATAH", "VRAM data high"},
      {0x2121, "CGADD", "CGRAM address"},
      {0x2122, "CGDATA", "CGRAM data"},
      {0x212C, "TM", "Main screen layers"},
      {0x2140, "APUIO0", "APU port 0"},
      {0x2141, "APUIO1", "APU port 1"},
      {0x2180, "WMDATA", "WRAM data"},
      {0x4016, "JOYSER0", "Joypad serial port 1"},
      {0x4200, "NMITIMEN", "Interrupt enable"},
      {0x4202, "WRMPYA", "Multiplicand"},
      {0x4203, "WRMPYB", "Multiplier"},
      {0x420B, "MDMAEN", "DMA enable"},
      {0x420C, "HDMAEN", "HDMA enable"},
      {0x4210, "RDNMI", "NMI flag"},
      {0x4211, "TIMEUP", "IRQ flag"},
      {0x4212, "HVBJOY", "Blank and joypad status"},
      {0x4214, "RDDIVL", "Quotient low"},
      {0x4216, "RDMPYL", "Product low"},
      {0x4218, "JOY1L", "Joypad 1 low"},
      {0x4300, "DMAP0", "DMA 0 parameters"},
      {0x4301, "BBAD0", "DMA 0 B-bus address"},
      {0x4302, "A1T0L", "DMA 0 source low"},
      {0x4304, "A1B0", "DMA 0 source bank"},
      {0x4305, "DAS0L", "DMA 0 size low"},
  };
  std::ofstream out(folder + "Mappings.xml");
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<registers>\n";
  for (const TRegister& r : kRegisters) {
    char key[16];
    std::snprintf(key, sizeof key, "reg%06X", r.Address);
    out << "  <" << key << " name=\"" << r.Name << "\">" << r.Info << "</" << key << ">\n";
  }
  out << "</registers>\n";
  if (!out) throw std::runtime_error("cannot write " + folder + "Mappings.xml");
}

namespace {

struct TRunFolder {
  TRunFolder() : Path(MakeTempFolder("bench") + "/") { WriteRegisterFile(Path); }
  ~TRunFolder() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  std::string Path;
  std::map<std::string, TGeneratedLog> Logs;
};

TRunFolder& Run() {
  static TRunFolder folder;
  return folder;
}

}  // namespace

const std::string& RunFolder() {
  return Run().Path;
}

const TGeneratedLog& GeneratedLog(const std::string& name, const TLogShape& shape) {
  TRunFolder& run = Run();
  auto it = run.Logs.find(name);
  if (it != run.Logs.end()) return it->second;
  TGeneratedLog log;
  log.Path = run.Path + name + ".log";
  log.Stats = WriteLogFile(shape, log.Path);
  return run.Logs.emplace(name, std::move(log)).first->second;
}

}  // namespace orvanel::bench
