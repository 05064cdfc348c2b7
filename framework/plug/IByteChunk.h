// A growable little-endian byte buffer for the host state: values are appended
// with Put and read back with Get from a position, which returns the position
// after the value or -1 when the buffer is too short.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace fw {

class IByteChunk {
public:
  template <typename T>
  int Put(const T* value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return PutBytes(value, static_cast<int>(sizeof(T)));
  }

  template <typename T>
  int Get(T* value, int startPos) const {
    static_assert(std::is_trivially_copyable_v<T>);
    return GetBytes(value, static_cast<int>(sizeof(T)), startPos);
  }

  // Appends the bytes; returns the new size.
  int PutBytes(const void* data, int size) {
    if (size <= 0) return Size();
    const auto* p = static_cast<const uint8_t*>(data);
    mBytes.insert(mBytes.end(), p, p + size);
    return Size();
  }

  // Copies size bytes from startPos; returns startPos + size or -1.
  int GetBytes(void* out, int size, int startPos) const {
    if (startPos < 0 || size < 0 || startPos > Size() || size > Size() - startPos) return -1;
    if (size > 0) std::memcpy(out, mBytes.data() + startPos, static_cast<size_t>(size));
    return startPos + size;
  }

  // A string as a 32-bit length followed by its bytes (no terminator).
  int PutStr(const std::string& s) {
    const int32_t n = static_cast<int32_t>(s.size());
    Put(&n);
    return PutBytes(s.data(), n);
  }
  int GetStr(std::string& out, int startPos) const {
    int32_t n = 0;
    int pos = Get(&n, startPos);
    if (pos < 0 || n < 0 || n > Size() - pos) return -1;
    out.assign(reinterpret_cast<const char*>(mBytes.data()) + pos, static_cast<size_t>(n));
    return pos + n;
  }

  int PutChunk(const IByteChunk& other) { return PutBytes(other.GetData(), other.Size()); }

  void Clear() { mBytes.clear(); }
  void Resize(int size) { mBytes.resize(size > 0 ? static_cast<size_t>(size) : 0); }
  int Size() const { return static_cast<int>(mBytes.size()); }
  const uint8_t* GetData() const { return mBytes.data(); }
  uint8_t* GetData() { return mBytes.data(); }

private:
  std::vector<uint8_t> mBytes;
};

}  // namespace fw
