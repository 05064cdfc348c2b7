// The bundle used from several threads at once, as hosts do: instances and
// factories requested on many threads, and the state saved and restored on a
// host thread while the audio thread processes. Run under ThreadSanitizer too.
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "Host.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

namespace vst3test {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

constexpr int kThreads = 6;

// Starts the threads together so that their calls overlap.
template <typename Body>
void RunTogether(int n, Body body) {
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < n; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (ready.load() < n) std::this_thread::yield();
      body(t);
    });
  }
  for (auto& th : threads) th.join();
}

TEST(Threads, InstancesCreatedOnSeveralThreadsAtOnce) {
  constexpr int kPerThread = 3;
  PClassInfo info;
  ASSERT_EQ(ModuleEnvironment::Factory()->getClassInfo(0, &info), kResultOk);
  std::vector<std::vector<IComponent*>> made(kThreads);
  RunTogether(kThreads, [&](int t) {
    for (int k = 0; k < kPerThread; ++k) {
      IComponent* c = nullptr;
      ModuleEnvironment::Factory()->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&c));
      made[static_cast<size_t>(t)].push_back(c);
    }
  });
  std::set<IComponent*> distinct;
  for (const auto& list : made) {
    for (IComponent* c : list) {
      ASSERT_NE(c, nullptr);
      distinct.insert(c);
      IEditController* controller = nullptr;
      ASSERT_EQ(c->queryInterface(IEditController::iid, reinterpret_cast<void**>(&controller)), kResultOk);
      // Each one is whole: every parameter at its default.
      for (int32 i = 0; i < 59; ++i) {
        ParameterInfo p{};
        ASSERT_EQ(controller->getParameterInfo(i, p), kResultOk);
        EXPECT_EQ(controller->getParamNormalized(p.id), p.defaultNormalizedValue) << "parameter " << i;
      }
      controller->release();
    }
  }
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread));
  for (IComponent* c : distinct) EXPECT_EQ(c->release(), 0u);
}

TEST(Threads, GetPluginFactoryOnSeveralThreadsGivesTheOneFactory) {
  std::vector<IPluginFactory*> got(kThreads, nullptr);
  RunTogether(kThreads, [&](int t) { got[static_cast<size_t>(t)] = ModuleEnvironment::Module().GetFactory(); });
  for (IPluginFactory* f : got) EXPECT_EQ(f, ModuleEnvironment::Factory());
  for (IPluginFactory* f : got) f->release();
}

// A state of this instance's parameter values with another "Cutoff",
// "Voice Mode" and skin path.
std::vector<uint8_t> StateWith(const std::vector<uint8_t>& base, double cutoff, double voiceMode,
                               const std::string& path) {
  std::vector<uint8_t> s;
  for (size_t i = 0; i < 59; ++i) PutLE64Double(s, i == 3 ? cutoff : i == 40 ? voiceMode : GetLE64Double(base, 8 * i));
  PutLE32(s, 0x56425331);
  PutLE32(s, static_cast<uint32_t>(path.size()));
  s.insert(s.end(), path.begin(), path.end());
  PutLE32(s, 0);
  return s;
}

TEST(Threads, StateSavedAndRestoredWhileTheAudioThreadProcesses) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  in.Start(48000.0, 128);
  const ParamID cutoff = in.Id("Cutoff");
  const ParamID voiceMode = in.Id("Voice Mode");
  const ParamID bend = [&] {
    ParamID id = kNoParamId;
    in.mapping->getMidiControllerAssignment(0, 0, kPitchBend, id);
    return id;
  }();
  const std::vector<uint8_t> base = in.SaveState();
  const std::vector<uint8_t> states[2] = {StateWith(base, 20, 1, "/skins/one/skin.vbskin"),
                                          StateWith(base, 80, 2, "/skins/two/skin.vbskin")};

  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    for (long i = 0; !stop.load(); ++i) {
      Block b;
      b.tempo = 100.0 + static_cast<double>(i % 50);
      if (i % 8 == 0) b.events = {NoteOn(static_cast<int16>(48 + i % 24), 0.8f)};
      if (i % 8 == 5) b.events = {NoteOff(static_cast<int16>(48 + (i - 5) % 24))};
      if (i % 3 == 0) b.params = {{cutoff, static_cast<double>(i % 10) / 10.0}, {voiceMode, (i % 6) / 5.0}};
      if (i % 4 == 1) b.params.emplace_back(bend, static_cast<double>(i % 7) / 6.0);
      if (in.Process(128, b) != kResultOk) failures.fetch_add(1);
      blocks.fetch_add(1);
    }
  });

  // The host's thread: restores, saves and sets values while the audio runs.
  for (int k = 0; k < 150; ++k) {
    EXPECT_EQ(in.RestoreState(states[k % 2]), kResultOk) << "restore " << k;
    const std::vector<uint8_t> saved = in.SaveState();
    ASSERT_GE(saved.size(), 484u);
    EXPECT_EQ(GetLE32(saved, 472), 0x56425331u) << "save " << k;
    EXPECT_EQ(saved.size(), 484u + GetLE32(saved, 476)) << "save " << k;
    EXPECT_EQ(in.controller->setParamNormalized(in.Id("Resonance"), (k % 5) / 4.0), kResultOk);
  }
  while (blocks.load() < 200) std::this_thread::yield();
  stop.store(true);
  audio.join();
  EXPECT_EQ(failures.load(), 0);

  // With the audio thread gone the last restore holds exactly.
  in.Stop();
  ASSERT_EQ(in.RestoreState(states[1]), kResultOk);
  EXPECT_EQ(in.SaveState(), states[1]);
}

}  // namespace
}  // namespace vst3test
