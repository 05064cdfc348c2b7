// The plug-in base: parameter list, sample rate, the host's time information,
// the overrides a plug-in implements and the calls a host binding (VST 3 or the
// offline driver) makes into it.
//
// Threads. A binding runs Process on the audio thread, one process call at a
// time. Everything else runs on the main thread. A parameter change made off the audio thread while processing is
// active (editor, patches, a state restore on a host thread) never calls
// OnParamChange there: the index is marked and the audio thread runs
// OnParamChange for it at the start of its next process call. So OnParamChange
// never overlaps ProcessBlock, and the plug-in's engine needs no lock.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Config.h"
#include "IByteChunk.h"
#include "IMidiMsg.h"
#include "IMidiQueue.h"
#include "IParam.h"

namespace fw {

class IGraphics;

enum EParamSource { kReset, kHost, kPresetRecall, kUI, kDelegate, kRecompile, kUnknown };

// The host's transport information for the current block.
struct ITimeInfo {
  double mTempo = 120.0;
  double mSamplePos = -1.0;
  double mPPQPos = -1.0;
  bool mTransportIsRunning = false;
};

// The editor side as the plug-in sees it: where control messages and
// parameter values sent "from the delegate" go. The editor implements it.
class IEditorSink {
public:
  virtual ~IEditorSink() = default;
  virtual void OnControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) = 0;
  virtual void OnParameterValueFromDelegate(int paramIdx, double value, bool normalized) = 0;
};

// Where editor-originated parameter changes are reported to the host.
class IHostSink {
public:
  virtual ~IHostSink() = default;
  virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int paramIdx) = 0;
  // Main thread: the tail (GetTailSize) changed; the host should ask again.
  virtual void InformHostOfTailChange() {}
};

class IPlugBase;

// One process call as a host delivers it. IPlugBase::Process asks for its
// parts in the one order every binding shares:
//   1. the time information;
//   2. the plug-in parameter changes (the last point of each, at the block's
//      start), through ApplyHostParamNormalized / ApplyHostParamPlain;
//   3. the controllers, channel pressure and pitch bend, through ApplyHostMidi,
//      each with its own sample offset;
//   4. the note and polyphonic pressure events, through ApplyHostMidi, in list order;
//   5. the outputs, through one or more Render calls covering NumFrames().
// Messages at the same frame reach the plug-in in the order of 3 then 4.
class IProcessSource {
public:
  virtual ~IProcessSource() = default;
  virtual int NumFrames() const = 0;
  // Null when the host gave no time information: the previous values stay.
  virtual const ITimeInfo* TimeInfo() = 0;
  virtual void DeliverParamChanges(IPlugBase& plug) = 0;
  virtual void DeliverControllers(IPlugBase& plug) = 0;
  virtual void DeliverEvents(IPlugBase& plug) = 0;
  virtual void RenderOutputs(IPlugBase& plug) = 0;
};

// The constructor creates config.nParams parameters; the plug-in's own
// constructor then declares each with GetParam(i)->Init*(...).
class IPlugBase {
public:
  static constexpr int kMaxParams = 256;

  IPlugBase(const InstanceInfo& info, const Config& config);
  virtual ~IPlugBase();
  IPlugBase(const IPlugBase&) = delete;
  IPlugBase& operator=(const IPlugBase&) = delete;

  // ---- Overrides ---------------------------------------------------------
  // Main thread, never during a process call: processing set up (sample rate
  // known) or switched off.
  virtual void OnReset() {}
  // A parameter's value changed. Audio thread while processing, else main thread.
  virtual void OnParamChange(int /*paramIdx*/) {}
  // A parameter changed on the editor side (main thread).
  virtual void OnParamChangeUI(int /*paramIdx*/, EParamSource /*source*/) {}
  // Audio thread: one incoming MIDI message, at the frame it is due.
  virtual void ProcessMidiMsg(const IMidiMsg& /*msg*/) {}
  // Audio thread: render nFrames into outputs (NOutChannels() channels). A
  // plug-in that plays messages on their frame calls ApplyMidiDueAt(frame)
  // before rendering each frame it returned; messages it leaves are applied
  // after the block.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames);
  // Main thread, every 20 ms.
  virtual void OnIdle() {}
  // Host state. Default: the parameters' plain values.
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  virtual int UnserializeState(const IByteChunk& chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  // After a state restore, once every parameter has been notified. Default: nothing.
  virtual void OnRestoreState();
  virtual void OnUIClose() {}

  // ---- Information -------------------------------------------------------
  const Config& GetConfig() const { return mConfig; }
  int NParams() const { return static_cast<int>(mParams.size()); }
  IParam* GetParam(int idx) { return (idx >= 0 && idx < NParams()) ? mParams[idx].get() : nullptr; }
  const IParam* GetParam(int idx) const { return (idx >= 0 && idx < NParams()) ? mParams[idx].get() : nullptr; }
  int NOutChannels() const { return mNOutChans; }
  int NInChannels() const { return mNInChans; }
  double GetSampleRate() const { return mSampleRate; }
  int GetBlockSize() const { return mBlockSize; }
  double GetTempo() const { return mTimeInfo.mTempo; }
  const ITimeInfo& GetTimeInfo() const { return mTimeInfo; }
  // Any thread: how many samples the plug-in can keep sounding after its last
  // input (0: it stops at once). Set by the plug-in with SetTailSize.
  uint32_t GetTailSize() const { return mTailSize.load(std::memory_order_relaxed); }

  // ---- Parameter state -----------------------------------------------------
  // Bytes SerializeParams writes: one little-endian double per parameter.
  static constexpr int kBytesPerParamValue = 8;
  int ParamsChunkSize() const { return NParams() * kBytesPerParamValue; }
  // The plain values of every parameter in index order, as doubles.
  bool SerializeParams(IByteChunk& chunk) const;
  // Reads them back; returns the position after them or -1. Every value is read
  // before any is set, so a chunk that ends inside them changes nothing. After a
  // successful read every parameter is notified as by NotifyParamsRestored.
  int UnserializeParams(const IByteChunk& chunk, int startPos);
  // After values were set as a whole (state restore): NotifyParamChange and
  // OnParamChangeUI with the preset-recall source for every parameter.
  void NotifyParamsRestored();

  // Runs OnParamChange for a parameter whose value was set off the audio
  // thread: at once while processing is off, else deferred to the audio thread.
  void NotifyParamChange(int paramIdx);

  // ---- Delegate calls (main thread) ---------------------------------------------
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data);
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);
  // An editor gesture: sets the parameter, tells the host, runs OnParamChange
  // (deferred while processing) and OnParamChangeUI with the editor source.
  void SendParameterValueFromUI(int paramIdx, double normalizedValue);
  void BeginInformHostOfParamChangeFromUI(int paramIdx);
  void EndInformHostOfParamChangeFromUI(int paramIdx);

  void SetEditorSink(IEditorSink* sink) { mEditor = sink; }
  IEditorSink* GetEditorSink() const { return mEditor; }
  bool HasEditor() const { return mEditor != nullptr; }
  void SetHostSink(IHostSink* sink) { mHost = sink; }
  // Any thread, also the audio thread (no lock, no allocation): the new tail.
  void SetTailSize(uint32_t samples) { mTailSize.store(samples, std::memory_order_relaxed); }
  // Main thread only: tells the host that GetTailSize changed. Ignored when
  // called from inside a process call.
  void InformHostOfTailChange();

  // ---- Editor (main thread) ------------------------------------------------------
  // The plug-in's constructor installs both: the make-graphics function creates
  // the editor's graphics context, the layout function fills it with controls.
  // The view calls them when the host opens the editor.
  std::function<IGraphics*()> mMakeGraphicsFunc;
  std::function<void(IGraphics*)> mLayoutFunc;
  // The open editor's graphics context, or null; set by the context itself.
  IGraphics* GetUI() const { return mUI; }
  void SetUI(IGraphics* ui) { mUI = ui; }

  // ---- Binding side ----------------------------------------------------------
  // Main thread, processing off.
  void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
  void SetBlockSize(int blockSize) { mBlockSize = blockSize; }
  // Main thread: processing switched on or off. Switching off waits for a
  // process call that is running to end (none starts afterwards) and then
  // applies any deferred parameter changes, so OnReset may follow at once.
  void SetProcessingActive(bool active);
  bool IsProcessingActive() const { return mProcessing.load(std::memory_order_acquire); }
  // True on the thread that is inside this plug-in's process call.
  bool IsInProcessCall() const;

  // Audio thread: one process call, in the order IProcessSource describes.
  // False, doing nothing, while processing is not active.
  bool Process(IProcessSource& source);

  // Audio thread, from the source's Deliver* calls.
  void ApplyHostParamNormalized(int paramIdx, double normalized);  // Set + OnParamChange
  void ApplyHostParamPlain(int paramIdx, double plain);
  // Queued for its frame (the offset is clamped into the block). When the
  // queue is full the message is applied at once, at the block's start.
  void ApplyHostMidi(const IMidiMsg& msg);
  // Audio thread, from the source's RenderOutputs: the next nFrames of the
  // call, with denormals flushed to zero.
  void Render(double** inputs, double** outputs, int nFrames);

  // Audio thread, from ProcessBlock: applies the queued messages due at or
  // before frame (counted from the start of this ProcessBlock's outputs) and
  // returns the frame of the next one, IMidiQueue::kNone when none is left.
  int ApplyMidiDueAt(int frame);

  // The steps of Process, for tests that drive a call by hand. BeginProcess
  // returns false, doing nothing, while processing is not active; after true,
  // EndProcess must follow.
  bool BeginProcess(const ITimeInfo* timeInfo, int nFrames = 0);
  void EndProcess();

private:
  void DrainDeferredParamChanges();
  void ApplyDueBefore(int absoluteFrame);

  Config mConfig;
  int mNInChans = 0;
  int mNOutChans = 2;
  std::vector<std::unique_ptr<IParam>> mParams;
  double mSampleRate = 48000.0;
  int mBlockSize = 1024;
  ITimeInfo mTimeInfo;
  IEditorSink* mEditor = nullptr;
  IHostSink* mHost = nullptr;
  IGraphics* mUI = nullptr;

  std::atomic<uint32_t> mTailSize{0};
  std::atomic<bool> mProcessing{false};
  // Process calls between BeginProcess and EndProcess (0 or 1).
  std::atomic<int> mCallsInFlight{0};
  // Audio thread only: the current call's frames, the frames rendered before
  // the running ProcessBlock, and the messages waiting for their frame.
  int mCallFrames = 0;
  int mRenderedFrames = 0;
  IMidiQueue mMidiQueue;
  // Taken by non-audio threads only. Recursive so that an OnParamChange run
  // under it (processing off) may itself change a parameter from the editor side.
  std::recursive_mutex mDeferMutex;
  std::array<std::atomic<bool>, kMaxParams> mDeferred{};
  std::atomic<bool> mAnyDeferred{false};
};

}  // namespace fw
