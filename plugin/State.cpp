// The host state chunk: the parameter values (the framework's), then the
// plug-in's block: the tag 'VBS1', the skin path's length L and its L bytes,
// little-endian. The framework's 4-byte bypass word follows the chunk.
#include <cstdint>
#include <string>

#include "VrelBazzit.h"

namespace vrelbazzit {

namespace {

constexpr int kWordBytes = 4;
constexpr int kBlockHeaderBytes = 2 * kWordBytes;  // tag and length
constexpr int kBypassWordBytes = 4;                 // written after the chunk by the framework

void PutLE32(fw::IByteChunk& chunk, uint32_t v) {
  const uint8_t bytes[kWordBytes] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                     static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  chunk.PutBytes(bytes, kWordBytes);
}

uint32_t GetLE32(const fw::IByteChunk& chunk, int pos) {
  const uint8_t* p = chunk.GetData() + pos;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool VrelBazzit::SerializeState(fw::IByteChunk& chunk) const {
  if (!SerializeParams(chunk)) return false;
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mSkinMutex);
    path = mSkinPath;
  }
  if (path.size() > kMaxStateSkinPathBytes) return false;
  PutLE32(chunk, kStateTag);
  PutLE32(chunk, static_cast<uint32_t>(path.size()));
  chunk.PutBytes(path.data(), static_cast<int>(path.size()));
  return true;
}

int VrelBazzit::UnserializeState(const fw::IByteChunk& chunk, int startPos) {
  // Checked as a whole before anything is set: a short, foreign or damaged
  // state leaves the sound and the skin path as they were.
  const int64_t size = chunk.Size();
  if (startPos < 0 || startPos > size) return -1;
  const int64_t blockPos = int64_t{startPos} + ParamsChunkSize();
  if (size - blockPos < kBlockHeaderBytes) return -1;
  const int pos = static_cast<int>(blockPos);
  if (GetLE32(chunk, pos) != kStateTag) return -1;
  const uint32_t length = GetLE32(chunk, pos + kWordBytes);
  if (length > kMaxStateSkinPathBytes) return -1;
  // The payload must leave room for the framework's bypass word after it.
  if (int64_t{length} > size - blockPos - kBlockHeaderBytes - kBypassWordBytes) return -1;
  const int payloadPos = pos + kBlockHeaderBytes;
  std::string path(reinterpret_cast<const char*>(chunk.GetData()) + payloadPos, length);
  if (path.find('\0') != std::string::npos) return -1;

  // Sets the values (limited, stepped ones rounded) and notifies every parameter.
  if (UnserializeParams(chunk, startPos) != pos) return -1;
  {
    std::lock_guard<std::mutex> lock(mSkinMutex);
    mSkinPath = std::move(path);
    mSkinRestorePending = true;
  }
  return payloadPos + static_cast<int>(length);
}

}  // namespace vrelbazzit
