// Loads the built bundle as a host does (the module file inside the bundle,
// its entry point, GetPluginFactory) and drives instances through the VST 3
// interfaces only.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "HostSupport.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/ivstunits.h"

#if SMTG_OS_WINDOWS
#include "framework/plug/WinApi.h"
#else
#include <dlfcn.h>
#endif

namespace vst3test {

// The bundle folder: $VB_VST3_BUNDLE when set (CTest sets it), else the one
// this build made.
inline std::string BundlePath() {
  const char* env = std::getenv("VB_VST3_BUNDLE");
  return (env && *env) ? std::string(env) : std::string(VB_VST3_BUNDLE_DEFAULT);
}

// The module file inside the bundle, where hosts look for it.
inline std::string ModuleFilePath() {
#if SMTG_OS_WINDOWS
  std::string path = BundlePath() + "/Contents/x86_64-win/VrelBazzit.vst3";
  // Under wine a Unix path is reached through drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
#else
  return BundlePath() + "/Contents/x86_64-linux/VrelBazzit.so";
#endif
}

class LoadedModule {
public:
  using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();

  bool Load(std::string& error) { return Load(std::filesystem::path(ModuleFilePath()), error); }

  // The module file at path; on Windows through the wide call, as hosts do.
  bool Load(const std::filesystem::path& path, std::string& error) {
#if SMTG_OS_WINDOWS
    mHandle = reinterpret_cast<void*>(LoadLibraryW(path.c_str()));
    if (!mHandle) error = "LoadLibrary failed, error " + std::to_string(GetLastError());
#else
    mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mHandle) error = std::string("dlopen failed: ") + dlerror();
#endif
    return mHandle != nullptr;
  }

  void* Symbol(const char* name) const {
    if (!mHandle) return nullptr;
#if SMTG_OS_WINDOWS
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
#else
    return dlsym(mHandle, name);
#endif
  }

  // ModuleEntry(handle) on Linux, InitDll() on Windows.
  bool Enter() const {
#if SMTG_OS_WINDOWS
    auto init = reinterpret_cast<bool (*)()>(Symbol("InitDll"));
    return init && init();
#else
    auto entry = reinterpret_cast<bool (*)(void*)>(Symbol("ModuleEntry"));
    return entry && entry(mHandle);
#endif
  }

  bool Exit() const {
    auto exitProc = reinterpret_cast<bool (*)()>(Symbol(SMTG_OS_WINDOWS ? "ExitDll" : "ModuleExit"));
    return exitProc && exitProc();
  }

  IPluginFactory* GetFactory() const {
    auto get = reinterpret_cast<GetFactoryProc>(Symbol("GetPluginFactory"));
    return get ? get() : nullptr;
  }

  void Unload() {
    if (!mHandle) return;
#if SMTG_OS_WINDOWS
    FreeLibrary(static_cast<HMODULE>(mHandle));
#else
    dlclose(mHandle);
#endif
    mHandle = nullptr;
  }

private:
  void* mHandle = nullptr;
};

// Loads and enters the module once per test program and takes the factory;
// at the end gives back the factory (its last reference), exits and unloads.
class ModuleEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(Module().Load(error)) << error;
    ASSERT_TRUE(Module().Enter()) << "module entry point failed";
    FactoryRef() = Module().GetFactory();
    ASSERT_NE(FactoryRef(), nullptr) << "GetPluginFactory returned null";
  }
  void TearDown() override {
    if (FactoryRef()) {
      EXPECT_EQ(FactoryRef()->release(), 0u) << "references to the factory left behind";
      FactoryRef() = nullptr;
    }
    EXPECT_TRUE(Module().Exit()) << "module exit failed";
    Module().Unload();
  }
  static LoadedModule& Module() {
    static LoadedModule module;
    return module;
  }
  static IPluginFactory* Factory() { return FactoryRef(); }

private:
  static IPluginFactory*& FactoryRef() {
    static IPluginFactory* factory = nullptr;
    return factory;
  }
};

struct Stereo {
  std::vector<double> left, right;
};

// What the host hands over with one process call.
struct Block {
  std::vector<std::pair<ParamID, double>> params;  // one queue each, in order
  struct Point {
    ParamID id;
    double value;
    int32 offset;
  };
  std::vector<Point> points;  // further queue points, each at its sample offset
  std::vector<Event> events;
  std::optional<double> tempo;  // a process context with a valid tempo; none: no context
};

// One instance as a host holds it: its interfaces, a component handler, and
// processing set up at a rate and block size.
class Instance {
public:
  explicit Instance(IPluginFactory* factory = ModuleEnvironment::Factory()) {
    PClassInfo info;
    if (!factory || factory->getClassInfo(0, &info) != kResultOk) return;
    if (factory->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component)) != kResultOk ||
        !component)
      return;
    component->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&processor));
    component->queryInterface(IEditController::iid, reinterpret_cast<void**>(&controller));
    component->queryInterface(IMidiMapping::iid, reinterpret_cast<void**>(&mapping));
    component->queryInterface(IUnitInfo::iid, reinterpret_cast<void**>(&units));
    if (!processor || !controller || !mapping || !units) return;
    component->initialize(nullptr);
    controller->setComponentHandler(&handler);
    for (int32 i = 0; i < controller->getParameterCount(); ++i) {
      ParameterInfo p{};
      if (controller->getParameterInfo(i, p) == kResultOk) mIds[Title(p.title)] = p.id;
    }
  }

  ~Instance() { Close(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool Ok() const { return component && processor && controller && mapping && units; }

  // Stops processing, detaches the host and releases every interface; the
  // last release must destroy the object. Returns the count the last one gave.
  uint32 Close() {
    if (!component) return 0;
    if (mActive) Stop();
    if (controller) controller->setComponentHandler(nullptr);
    component->terminate();
    for (FUnknown* i : {static_cast<FUnknown*>(processor), static_cast<FUnknown*>(controller),
                        static_cast<FUnknown*>(mapping), static_cast<FUnknown*>(units)}) {
      if (i) i->release();
    }
    const uint32 last = component->release();
    EXPECT_EQ(last, 0u) << "the instance outlived its last reference";
    EXPECT_EQ(handler.RefCount(), 1u) << "the component handler is still held";
    component = nullptr;
    processor = nullptr;
    controller = nullptr;
    mapping = nullptr;
    units = nullptr;
    return last;
  }

  static std::string Title(const TChar* t) {
    std::string s;
    for (int i = 0; i < 128 && t[i]; ++i) s += static_cast<char>(t[i]);
    return s;
  }

  ParamID Id(const std::string& title) const {
    auto it = mIds.find(title);
    EXPECT_NE(it, mIds.end()) << "no parameter titled \"" << title << "\"";
    return it == mIds.end() ? kNoParamId : it->second;
  }

  // The normalised value of a plain one, through the plug-in's own conversion.
  double Norm(const std::string& title, double plain) { return controller->plainParamToNormalized(Id(title), plain); }

  void Start(double rate = 48000.0, int32 maxBlock = 512, int32 sampleSize = kSample32) {
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, rate};
    ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
    ASSERT_EQ(component->setActive(true), kResultOk);
    ASSERT_EQ(processor->setProcessing(true), kResultOk);
    mRate = rate;
    mMaxBlock = maxBlock;
    mSampleSize = sampleSize;
    mActive = true;
  }

  void Stop() {
    processor->setProcessing(false);
    component->setActive(false);
    mActive = false;
  }

  // One process call of n frames into out (appended when given).
  tresult Process(int32 n, const Block& block, Stereo* out = nullptr) {
    ParameterChanges changes;
    for (const auto& [id, value] : block.params) changes.Add(id, value);
    for (const Block::Point& p : block.points) changes.Add(p.id, p.value, p.offset);
    EventList events(block.events);
    ProcessContext context{};
    context.sampleRate = mRate;
    if (block.tempo) {
      context.state = ProcessContext::kTempoValid;
      context.tempo = *block.tempo;
    }

    std::vector<float> l32(static_cast<size_t>(n)), r32(static_cast<size_t>(n));
    std::vector<double> l64(static_cast<size_t>(n)), r64(static_cast<size_t>(n));
    float* ch32[2] = {l32.data(), r32.data()};
    double* ch64[2] = {l64.data(), r64.data()};
    AudioBusBuffers bus;
    bus.numChannels = 2;
    if (mSampleSize == kSample64)
      bus.channelBuffers64 = ch64;
    else
      bus.channelBuffers32 = ch32;

    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = mSampleSize;
    data.numSamples = n;
    data.numOutputs = 1;
    data.outputs = &bus;
    data.inputParameterChanges = &changes;
    data.inputEvents = &events;
    data.processContext = block.tempo ? &context : nullptr;
    const tresult result = processor->process(data);
    if (out) {
      for (int32 i = 0; i < n; ++i) {
        out->left.push_back(mSampleSize == kSample64 ? l64[static_cast<size_t>(i)] : l32[static_cast<size_t>(i)]);
        out->right.push_back(mSampleSize == kSample64 ? r64[static_cast<size_t>(i)] : r32[static_cast<size_t>(i)]);
      }
    }
    return result;
  }

  // n frames in blocks of the maximum size; the first block carries the
  // parameter changes and events, every block the tempo.
  Stereo Render(int32 n, const Block& first = {}) {
    Stereo out;
    bool isFirst = true;
    while (n > 0) {
      const int32 m = std::min(n, mMaxBlock);
      Block b;
      if (isFirst) b = first;
      b.tempo = first.tempo;
      EXPECT_EQ(Process(m, b, &out), kResultOk);
      isFirst = false;
      n -= m;
    }
    return out;
  }

  std::vector<uint8_t> SaveState() {
    MemoryStream stream;
    EXPECT_EQ(component->getState(&stream), kResultOk);
    EXPECT_EQ(stream.RefCount(), 1u) << "getState kept the stream";
    return stream.data;
  }

  tresult RestoreState(const std::vector<uint8_t>& bytes) {
    MemoryStream stream(bytes);
    const tresult r = component->setState(&stream);
    EXPECT_EQ(stream.RefCount(), 1u) << "setState kept the stream";
    return r;
  }

  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  IMidiMapping* mapping = nullptr;
  IUnitInfo* units = nullptr;
  ComponentHandler handler;

private:
  std::map<std::string, ParamID> mIds;
  double mRate = 48000.0;
  int32 mMaxBlock = 512;
  int32 mSampleSize = kSample32;
  bool mActive = false;
};

}  // namespace vst3test
