#pragma once
// Stand-ins for the XML element interfaces and a line owner with labels, so that the trace
// line tests do not depend on the XML library.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/TraceLine.h"
#include "xml/Xml.h"

namespace orvanel::test {

// An element whose attributes are a map (an absent key reads as absent).
class TFakeElement : public TXmlAttributes {
 public:
  TFakeElement() = default;
  TFakeElement(std::initializer_list<std::pair<const std::string, std::string>> attrs)
      : attrs_(attrs) {}
  std::optional<std::string_view> Attribute(std::string_view name) const override {
    auto it = attrs_.find(std::string(name));
    if (it == attrs_.end()) return std::nullopt;
    return std::string_view(it->second);
  }
  void Set(const std::string& name, std::string value) { attrs_[name] = std::move(value); }
  void Erase(const std::string& name) { attrs_.erase(name); }

 private:
  std::map<std::string, std::string> attrs_;
};

// Records what was written, in order.
class TRecordingWriter : public TXmlWriter {
 public:
  struct TElement {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Attributes;
    int Ends = 0;
  };
  void StartElement(std::string_view name) override { Elements.push_back({std::string(name), {}}); }
  void Attribute(std::string_view name, std::string_view value) override {
    Elements.back().Attributes.emplace_back(std::string(name), std::string(value));
  }
  void EndElement() override { ++Elements.back().Ends; }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& a : Elements.back().Attributes) names.push_back(a.first);
    return names;
  }
  // The attributes of the last element as an element to read back from.
  TFakeElement AsElement() const {
    TFakeElement e;
    for (const auto& [name, value] : Elements.back().Attributes) e.Set(name, value);
    return e;
  }
  std::optional<std::string> Value(const std::string& name) const {
    for (const auto& [n, v] : Elements.back().Attributes)
      if (n == name) return v;
    return std::nullopt;
  }

  std::vector<TElement> Elements;
};

// A line owner that knows labels by offset and collects its messages.
class TLabelOwner : public TSimpleLineOwner {
 public:
  TMappingNode* FindLabel(int64_t offset) override {
    auto it = Labels.find(offset);
    return it == Labels.end() ? nullptr : it->second;
  }
  std::map<int64_t, TMappingNode*> Labels;
};

}  // namespace orvanel::test
