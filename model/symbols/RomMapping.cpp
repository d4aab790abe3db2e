#include "symbols/RomMapping.h"

#include <array>

#include "project/Project.h"

namespace orvanel {

namespace {

int64_t BankOf(int64_t address) {
  return (address >> 16) & 0xFF;
}
int64_t InBank(int64_t address) {
  return address & 0xFFFF;
}
bool IsWorkRamBank(int64_t bank) {
  return bank == 0x7E || bank == 0x7F;
}
int64_t Cpu(int64_t bank, int64_t inBank) {
  return (bank << 16) | inBank;
}

// Code in the lower half of these banks can only be ROM under HiROM.
bool IsHiRomOnly(int64_t address) {
  const int64_t bank = BankOf(address);
  return InBank(address) < 0x8000 && (bank & 0x7F) >= 0x40 && !IsWorkRamBank(bank);
}

}  // namespace

bool IsRomAddress(int64_t address, TRomMapping mapping) {
  if (address < 0 || address > 0xFFFFFF) return false;
  const int64_t bank = BankOf(address);
  if (IsWorkRamBank(bank)) return false;
  if (InBank(address) >= 0x8000) return true;
  return mapping == TRomMapping::HiRom && (bank & 0x7F) >= 0x40;
}

std::optional<int64_t> CpuToRomOffset(int64_t address, TRomMapping mapping) {
  if (!IsRomAddress(address, mapping)) return std::nullopt;
  const int64_t bank = BankOf(address);
  if (mapping == TRomMapping::HiRom) return ((bank & 0x3F) << 16) | InBank(address);
  return ((bank & 0x7F) << 15) | (address & 0x7FFF);
}

std::vector<int64_t> RomOffsetToCpu(int64_t offset, TRomMapping mapping) {
  std::vector<int64_t> result;
  if (offset < 0) return result;
  if (mapping == TRomMapping::HiRom) {
    if (offset > 0x3FFFFF) return result;
    const int64_t bank = offset >> 16, inBank = offset & 0xFFFF;
    result.push_back(Cpu(0xC0 | bank, inBank));
    if (!IsWorkRamBank(0x40 | bank)) result.push_back(Cpu(0x40 | bank, inBank));
    if (inBank >= 0x8000) {
      result.push_back(Cpu(bank, inBank));
      result.push_back(Cpu(0x80 | bank, inBank));
    }
    return result;
  }
  if (offset > 0x3FFFFF) return result;
  const int64_t bank = offset >> 15, inBank = 0x8000 | (offset & 0x7FFF);
  if (!IsWorkRamBank(bank)) result.push_back(Cpu(bank, inBank));
  result.push_back(Cpu(0x80 | bank, inBank));
  return result;
}

std::optional<int64_t> SaveRamToCpu(int64_t offset, TRomMapping mapping) {
  if (offset < 0) return std::nullopt;
  if (mapping == TRomMapping::HiRom) {
    if (offset >= 16 * 0x2000) return std::nullopt;
    return Cpu(0x30 + (offset >> 13), 0x6000 + (offset & 0x1FFF));
  }
  if (offset >= 14 * 0x8000) return std::nullopt;
  return Cpu(0x70 + (offset >> 15), offset & 0x7FFF);
}

std::optional<int64_t> CpuToSaveRam(int64_t address, TRomMapping mapping) {
  const int64_t bank = BankOf(address) & 0x7F, inBank = InBank(address);
  if (address < 0 || address > 0xFFFFFF) return std::nullopt;
  if (mapping == TRomMapping::HiRom) {
    if (bank < 0x30 || bank > 0x3F || inBank < 0x6000 || inBank >= 0x8000) return std::nullopt;
    return ((bank - 0x30) << 13) | (inBank - 0x6000);
  }
  if (bank < 0x70 || bank > 0x7D || inBank >= 0x8000 || IsWorkRamBank(BankOf(address)))
    return std::nullopt;
  return ((bank - 0x70) << 15) | inBank;
}

std::optional<int64_t> LowRamMirrorOffset(int64_t address) {
  if (address < 0 || address > 0xFFFFFF || InBank(address) >= 0x2000) return std::nullopt;
  const int64_t bank = BankOf(address);
  if (bank == 0x7E || (bank & 0x7F) < 0x40) return InBank(address);
  return std::nullopt;
}

TRomLayout::TRomLayout(TProject& project, TRomMapping mapping)
    : project_(project), mapping_(mapping) {
  std::vector<int64_t> executed;
  bool hiRomOnly = false;
  for (const auto& owned : project.Store().Lines()) {
    const TTraceFileLine& line = *owned;
    if (line.IsComment() || line.itemCount_ == 0) continue;
    executed.push_back(line.Offset());
    if (std::optional<int64_t> low = LowRamMirrorOffset(line.Offset()))
      lowRamCode_.emplace(*low, line.Offset());
    if (line.HasTarget() && !line.IsFlow())
      if (std::optional<int64_t> low = LowRamMirrorOffset(line.TargetOffset()))
        lowRamData_.emplace(*low, line.TargetOffset());
    hiRomOnly = hiRomOnly || IsHiRomOnly(line.Offset());
  }
  if (mapping_ == TRomMapping::Guess)
    mapping_ = hiRomOnly ? TRomMapping::HiRom : TRomMapping::LoRom;
  // Which of an offset's mirrors the trace's ROM code ran at, most often.
  std::array<size_t, 4> votes{};
  for (int64_t address : executed) {
    std::optional<int64_t> offset = CpuToRomOffset(address, mapping_);
    if (!offset) continue;
    std::vector<int64_t> mirrors = RomOffsetToCpu(*offset, mapping_);
    for (size_t i = 0; i < mirrors.size() && i < votes.size(); ++i)
      if (mirrors[i] == address) ++votes[i];
  }
  for (size_t i = 1; i < votes.size(); ++i)
    if (votes[i] > votes[preferredMirror_]) preferredMirror_ = i;
}

std::optional<int64_t> TRomLayout::CpuAddressOf(int64_t romOffset) const {
  std::vector<int64_t> mirrors = RomOffsetToCpu(romOffset, mapping_);
  if (mirrors.empty()) return std::nullopt;
  for (int64_t address : mirrors) {
    const TTraceFileLine* line = project_.FindInIndex(address);
    if (line && !line->IsComment()) return address;
  }
  return mirrors[preferredMirror_ < mirrors.size() ? preferredMirror_ : 0];
}

int64_t TRomLayout::WorkRamAddressOf(int64_t offset) const {
  if (auto it = lowRamCode_.find(offset); it != lowRamCode_.end()) return it->second;
  if (auto it = lowRamData_.find(offset); it != lowRamData_.end()) return it->second;
  return 0x7E0000 + offset;
}

}  // namespace orvanel
