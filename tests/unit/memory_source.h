// A package held in memory, with the file semantics the reader relies on:
// positions past the end deliver nothing, negative ones are refused.
#pragma once

#include <string>

#include "package/package_reader.h"

class MemorySource final : public package::PackageSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}

  int64_t Length() override { return static_cast<int64_t>(bytes_.size()); }
  void Seek(int64_t position) override {
    if (position >= 0) position_ = position;
  }
  uint32_t Read(void* buffer, uint32_t count) override {
    ++reads_;
    if (position_ >= Length()) return 0;
    const auto available = static_cast<uint64_t>(Length() - position_);
    const uint32_t delivered = count < available ? count : static_cast<uint32_t>(available);
    bytes_.copy(static_cast<char*>(buffer), delivered, static_cast<size_t>(position_));
    position_ += delivered;
    return delivered;
  }

  int64_t position() const { return position_; }
  int reads() const { return reads_; }

 private:
  std::string bytes_;
  int64_t position_ = 0;
  int reads_ = 0;
};
