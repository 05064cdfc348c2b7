// The host's side of the VST 3 interfaces for the tests: a memory stream,
// parameter change queues, an event list, a component handler that records
// what the plug-in tells it, and signal measurements. Every object counts its
// references so a test can check that the plug-in gave back what it took.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

// Host objects are destroyed by their owners, never through an interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace vst3test {

using namespace Steinberg;
using namespace Steinberg::Vst;

// Reference counting for objects the test owns on the stack or in a vector:
// release never deletes; RefCount() shows what the plug-in still holds.
template <typename Interface>
class Counted : public Interface {
public:
  tresult PLUGIN_API queryInterface(const TUID queried, void** obj) override {
    if (FUnknownPrivate::iidEqual(queried, FUnknown::iid) || FUnknownPrivate::iidEqual(queried, Interface::iid)) {
      addRef();
      *obj = static_cast<Interface*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override { return --mRefs; }
  uint32 RefCount() const { return mRefs.load(); }

private:
  std::atomic<uint32> mRefs{1};
};

// A growable byte stream. maxChunk limits the bytes one read hands out, as
// streams over files or sockets do; seekFails makes seeking refuse.
class MemoryStream final : public Counted<IBStream> {
public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

  tresult PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override {
    if (numBytesRead) *numBytesRead = 0;
    if (!buffer || numBytes < 0) return kInvalidArgument;
    readSizes.push_back(numBytes);
    int64 n = std::min<int64>(numBytes, static_cast<int64>(data.size()) - pos);
    if (maxChunk > 0) n = std::min<int64>(n, maxChunk);
    if (n < 0) n = 0;
    if (n > 0) std::memcpy(buffer, data.data() + pos, static_cast<size_t>(n));
    pos += n;
    if (numBytesRead) *numBytesRead = static_cast<int32>(n);
    return kResultOk;
  }
  tresult PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override {
    if (numBytesWritten) *numBytesWritten = 0;
    if (!buffer || numBytes < 0) return kInvalidArgument;
    if (writeFails) return kResultFalse;
    const auto end = static_cast<size_t>(pos) + static_cast<size_t>(numBytes);
    if (end > data.size()) data.resize(end);
    std::memcpy(data.data() + pos, buffer, static_cast<size_t>(numBytes));
    pos += numBytes;
    if (numBytesWritten) *numBytesWritten = numBytes;
    return kResultOk;
  }
  tresult PLUGIN_API seek(int64 offset, int32 mode, int64* result) override {
    if (seekFails) return kNotImplemented;
    int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? pos : static_cast<int64>(data.size());
    if (base + offset < 0) return kInvalidArgument;
    pos = base + offset;
    if (result) *result = pos;
    return kResultOk;
  }
  tresult PLUGIN_API tell(int64* p) override {
    if (!p) return kInvalidArgument;
    *p = pos;
    return kResultOk;
  }

  std::vector<uint8_t> data;
  int64 pos = 0;
  int32 maxChunk = 0;
  std::vector<int32> readSizes;  // the size each read asked for
  bool seekFails = false;
  bool writeFails = false;
};

class ParamValueQueue final : public Counted<IParamValueQueue> {
public:
  explicit ParamValueQueue(ParamID id) : mId(id) {}
  ParamID PLUGIN_API getParameterId() override { return mId; }
  int32 PLUGIN_API getPointCount() override { return static_cast<int32>(mPoints.size()); }
  tresult PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) override {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    sampleOffset = mPoints[static_cast<size_t>(index)].first;
    value = mPoints[static_cast<size_t>(index)].second;
    return kResultOk;
  }
  tresult PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) override {
    mPoints.emplace_back(sampleOffset, value);
    index = getPointCount() - 1;
    return kResultOk;
  }

private:
  ParamID mId;
  std::vector<std::pair<int32, ParamValue>> mPoints;
};

class ParameterChanges final : public Counted<IParameterChanges> {
public:
  // One queue per parameter, in order of first mention; a point per call.
  void Add(ParamID id, double value, int32 offset = 0) {
    int32 index = 0;
    addParameterData(id, index)->addPoint(offset, value, index);
  }
  int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(mQueues.size()); }
  IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
    return (index >= 0 && index < getParameterCount()) ? mQueues[static_cast<size_t>(index)].get() : nullptr;
  }
  IParamValueQueue* PLUGIN_API addParameterData(const ParamID& id, int32& index) override {
    for (size_t i = 0; i < mQueues.size(); ++i) {
      if (mQueues[i]->getParameterId() == id) {
        index = static_cast<int32>(i);
        return mQueues[i].get();
      }
    }
    mQueues.push_back(std::make_unique<ParamValueQueue>(id));
    index = getParameterCount() - 1;
    return mQueues.back().get();
  }

private:
  std::vector<std::unique_ptr<ParamValueQueue>> mQueues;
};

class EventList final : public Counted<IEventList> {
public:
  EventList() = default;
  explicit EventList(std::vector<Event> events) : mEvents(std::move(events)) {}
  void Add(const Event& e) { mEvents.push_back(e); }
  int32 PLUGIN_API getEventCount() override { return static_cast<int32>(mEvents.size()); }
  tresult PLUGIN_API getEvent(int32 index, Event& e) override {
    if (index < 0 || index >= getEventCount()) return kInvalidArgument;
    e = mEvents[static_cast<size_t>(index)];
    return kResultOk;
  }
  tresult PLUGIN_API addEvent(Event& e) override {
    mEvents.push_back(e);
    return kResultOk;
  }

private:
  std::vector<Event> mEvents;
};

inline Event NoteOn(int16 pitch, float velocity, int16 channel = 0, int32 offset = 0) {
  Event e{};
  e.type = Event::kNoteOnEvent;
  e.sampleOffset = offset;
  e.noteOn.channel = channel;
  e.noteOn.pitch = pitch;
  e.noteOn.velocity = velocity;
  e.noteOn.noteId = -1;
  return e;
}

inline Event NoteOff(int16 pitch, int16 channel = 0, int32 offset = 0) {
  Event e{};
  e.type = Event::kNoteOffEvent;
  e.sampleOffset = offset;
  e.noteOff.channel = channel;
  e.noteOff.pitch = pitch;
  e.noteOff.velocity = 0.5f;
  e.noteOff.noteId = -1;
  return e;
}

inline Event PolyPressure(int16 pitch, float pressure, int16 channel = 0) {
  Event e{};
  e.type = Event::kPolyPressureEvent;
  e.polyPressure.channel = channel;
  e.polyPressure.pitch = pitch;
  e.polyPressure.pressure = pressure;
  e.polyPressure.noteId = -1;
  return e;
}

// Records the edits and restarts the plug-in reports. Thread-safe.
class ComponentHandler final : public Counted<IComponentHandler> {
public:
  tresult PLUGIN_API beginEdit(ParamID id) override { return Log("begin", id, 0.0); }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override { return Log("perform", id, value); }
  tresult PLUGIN_API endEdit(ParamID id) override { return Log("end", id, 0.0); }
  tresult PLUGIN_API restartComponent(int32 flags) override { return Log("restart", static_cast<ParamID>(flags), 0.0); }

  struct Call {
    std::string what;
    ParamID id;
    double value;
  };
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCalls;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mMutex);
    mCalls.clear();
  }

private:
  tresult Log(const char* what, ParamID id, double value) {
    std::lock_guard<std::mutex> lock(mMutex);
    mCalls.push_back({what, id, value});
    return kResultOk;
  }
  std::mutex mMutex;
  std::vector<Call> mCalls;
};

// ---- Signal measurements ----------------------------------------------------------

inline double Rms(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, x.size());
  if (from >= to) return 0.0;
  double sum = 0.0;
  for (size_t i = from; i < to; ++i) sum += x[i] * x[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// RMS of a - b relative to the louder of the two: 0 for equal signals, about
// 1.4 for unrelated ones of equal level.
inline double RelativeDifference(const std::vector<double>& a, const std::vector<double>& b, size_t from = 0) {
  const size_t n = std::min(a.size(), b.size());
  std::vector<double> d(n > from ? n - from : 0);
  for (size_t i = from; i < n; ++i) d[i - from] = a[i] - b[i];
  const double level = std::max(Rms(a, from, n), Rms(b, from, n));
  return level > 0.0 ? Rms(d) / level : Rms(d);
}

// Frequency from the rising zero crossings in [from, to), interpolated
// between samples; 0 when there are fewer than two.
inline double ZeroCrossingFrequency(const std::vector<double>& x, double sampleRate, size_t from, size_t to) {
  to = std::min(to, x.size());
  double first = -1.0, last = -1.0;
  int count = 0;
  for (size_t i = std::max<size_t>(from, 1); i < to; ++i) {
    if (x[i - 1] < 0.0 && x[i] >= 0.0) {
      const double t = static_cast<double>(i - 1) + (-x[i - 1]) / (x[i] - x[i - 1]);
      if (count == 0) first = t;
      last = t;
      ++count;
    }
  }
  return count >= 2 ? (count - 1) * sampleRate / (last - first) : 0.0;
}

// ---- Little-endian bytes of the state ---------------------------------------------------

inline void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutLE64Double(std::vector<uint8_t>& out, double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

inline uint32_t GetLE32(const std::vector<uint8_t>& in, size_t pos) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in.at(pos + static_cast<size_t>(i))) << (8 * i);
  return v;
}

inline double GetLE64Double(const std::vector<uint8_t>& in, size_t pos) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(in.at(pos + static_cast<size_t>(i))) << (8 * i);
  double v = 0.0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

// One process call as a host prepares it: n frames of stereo output in the
// given sample size, parameter changes, events and, after Tempo, a context.
struct Call {
  ParameterChanges changes;
  EventList events;
  ProcessContext context{};
  std::vector<float> l32, r32;
  std::vector<double> l64, r64;
  float* ch32[2] = {nullptr, nullptr};
  double* ch64[2] = {nullptr, nullptr};
  AudioBusBuffers bus;
  ProcessData data;

  explicit Call(int32 n, int32 sampleSize = kSample32)
      : l32(static_cast<size_t>(n)), r32(static_cast<size_t>(n)), l64(static_cast<size_t>(n)),
        r64(static_cast<size_t>(n)) {
    ch32[0] = l32.data();
    ch32[1] = r32.data();
    ch64[0] = l64.data();
    ch64[1] = r64.data();
    bus.numChannels = 2;
    if (sampleSize == kSample64)
      bus.channelBuffers64 = ch64;
    else
      bus.channelBuffers32 = ch32;
    data.symbolicSampleSize = sampleSize;
    data.numSamples = n;
    data.numOutputs = 1;
    data.outputs = &bus;
    data.inputParameterChanges = &changes;
    data.inputEvents = &events;
  }
  void Tempo(double bpm, bool valid = true) {
    context.tempo = bpm;
    context.state = valid ? ProcessContext::kTempoValid : 0;
    data.processContext = &context;
  }
};

}  // namespace vst3test

#pragma GCC diagnostic pop
