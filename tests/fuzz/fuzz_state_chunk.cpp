// libFuzzer target for the host state reader. Each input is taken as the bytes
// a host hands back on restore, read from position 0, and checked against the
// reader's promises:
// - a refused state (-1) leaves every parameter value, the skin path and the
//   pending flag exactly as they were;
// - an accepted one returns the position after the skin path, has every value
//   inside its parameter's range (stepped kinds whole), takes the path without
//   a zero byte and at most 4096 bytes long, makes it pending, and leaves room
//   for the bypass word after it;
// - an accepted state saved again gives back the same parameter bytes and path.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/VrelBazzit.h"
#include "FuzzCheck.h"

namespace {

using namespace vrelbazzit;

std::vector<double> Values(const VrelBazzit& plug) {
  std::vector<double> v;
  for (int i = 0; i < kNumParams; ++i) v.push_back(plug.GetParam(i)->Value());
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static VrelBazzit* plug = new VrelBazzit(fw::InstanceInfo{});  // one instance for the whole run
  // A known starting point: a non-default sound and a path, nothing pending.
  for (int i = 0; i < kNumParams; ++i) plug->GetParam(i)->Set(kParamSpecs[static_cast<size_t>(i)].maxValue);
  plug->RequestSkinRestore("/previous/skin.vbskin");
  if (size % 2 == 0) plug->ApplyPendingSkin();  // half the runs start with nothing pending
  const std::vector<double> before = Values(*plug);
  const std::string pathBefore = plug->SkinPath();
  const bool pendingBefore = plug->SkinRestorePending();

  fw::IByteChunk chunk;
  chunk.PutBytes(data, static_cast<int>(size));
  const int pos = plug->UnserializeState(chunk, 0);

  if (pos < 0) {
    FUZZ_CHECK(pos == -1);
    FUZZ_CHECK(Values(*plug) == before);
    FUZZ_CHECK(plug->SkinPath() == pathBefore);
    FUZZ_CHECK(plug->SkinRestorePending() == pendingBefore);
    return 0;
  }

  const std::string path = plug->SkinPath();
  FUZZ_CHECK(plug->SkinRestorePending());
  FUZZ_CHECK(path.size() <= VrelBazzit::kMaxStateSkinPathBytes);
  FUZZ_CHECK(path.find('\0') == std::string::npos);
  FUZZ_CHECK(pos == kNumParams * 8 + 8 + static_cast<int>(path.size()));
  FUZZ_CHECK(static_cast<size_t>(pos) + 4 <= size);  // the bypass word fits after it
  for (int i = 0; i < kNumParams; ++i) {
    const ParamSpec& p = kParamSpecs[static_cast<size_t>(i)];
    const double v = plug->GetParam(i)->Value();
    FUZZ_CHECK(std::isfinite(v) && v >= p.minValue && v <= p.maxValue);
    if (p.kind != ParamKind::Double) FUZZ_CHECK(v == std::round(v));
  }

  fw::IByteChunk saved;
  FUZZ_CHECK(plug->SerializeState(saved));
  FUZZ_CHECK(saved.Size() == pos);
  FUZZ_CHECK(std::memcmp(saved.GetData() + kNumParams * 8, data + kNumParams * 8, static_cast<size_t>(pos - kNumParams * 8)) == 0);
  return 0;
}
