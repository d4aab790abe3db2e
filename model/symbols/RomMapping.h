#pragma once
// How the cartridge's ROM appears in the processor's address space: where a ROM file offset
// lies as a CPU address and back, which addresses are ROM, and which layout a trace ran
// under. Symbol files name code by ROM offset (.mlb) or by CPU address (all others).
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace orvanel {

class TProject;

enum class TRomMapping { Guess, LoRom, HiRom };

// Whether the CPU address reads cartridge ROM under the layout (banks $7E-$7F never do).
// LoROM: the upper half ($8000-$FFFF) of every bank; HiROM: also the whole of banks
// $40-$7D and $C0-$FF.
bool IsRomAddress(int64_t address, TRomMapping mapping);

// The ROM file offset a ROM address reads, or none for an address that is not ROM.
std::optional<int64_t> CpuToRomOffset(int64_t address, TRomMapping mapping);

// Every CPU address at which the offset can be read, the usual one first (LoROM: the bank
// below $80, then its mirror above; HiROM: $C0-$FF, $40-$7D, then the upper halves of
// $00-$3F and $80-$BF). Empty for an offset beyond what the layout maps.
std::vector<int64_t> RomOffsetToCpu(int64_t offset, TRomMapping mapping);

// Battery-backed RAM: the CPU address of a save RAM offset and back (LoROM: banks $70-$7D
// below $8000; HiROM: banks $30-$3F at $6000-$7FFF).
std::optional<int64_t> SaveRamToCpu(int64_t offset, TRomMapping mapping);
std::optional<int64_t> CpuToSaveRam(int64_t address, TRomMapping mapping);

// Whether the CPU address reads the first 8 KiB of work RAM through its mirror in banks
// $00-$3F and $80-$BF, and the work RAM offset it reads.
std::optional<int64_t> LowRamMirrorOffset(int64_t address);

// The layout and mirror choice learnt from the addresses a project's trace executed.
class TRomLayout {
 public:
  // Looks at every executed instruction once. `mapping` other than Guess is taken as it is;
  // Guess picks HiROM when code ran in the lower half of a HiROM-only bank, else LoROM.
  TRomLayout(TProject& project, TRomMapping mapping);
  TRomMapping Mapping() const { return mapping_; }
  // The CPU address of a ROM offset: the mirror the trace executed at that offset when it
  // did, else the mirror where most of the trace's ROM code ran. None beyond the ROM.
  std::optional<int64_t> CpuAddressOf(int64_t romOffset) const;
  // The CPU address of a work RAM offset: for the first 8 KiB, the address at which the trace
  // ran code there or, failing that, read or wrote it ($00:1000 rather than $7E:1000); else
  // $7E0000 + offset.
  int64_t WorkRamAddressOf(int64_t offset) const;

 private:
  TProject& project_;
  TRomMapping mapping_;
  size_t preferredMirror_ = 0;  // index into RomOffsetToCpu's list
  // The first 8 KiB of work RAM: offset -> the address the trace used, code before data.
  std::unordered_map<int64_t, int64_t> lowRamCode_, lowRamData_;
};

}  // namespace orvanel
