// Host test: loads the built bundle exactly as a host does and checks the
// module's identity, the instance's interfaces, buses, parameters, processing,
// MIDI mapping, tempo and state through the VST 3 interfaces alone.
//
// Every instance has its own circuit variation (a seed the state does not
// hold), so two instances never render bit for bit alike. Sound comparisons
// therefore use a voice with "Age" at 0, where the variation is at most
// 0.11 cents of tuning per instance and 0.002 octaves of cutoff. Two instances
// playing the same 440 Hz note for 0.3 s then drift apart by at most
// 2 pi x 440 Hz x 0.22 / 1731 x 0.3 s = 0.1 of a cycle's phase, about 7 % of
// the level as RMS (kSameSound allows 15 %); the changes the tests look for
// (another tempo, another sound) move the signal by 80 % or more
// (kDifferentSound asks for 50 %).
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "Host.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/vstspeaker.h"

namespace vst3test {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kRate = 48000.0;
constexpr double kSameSound = 0.15;
constexpr double kDifferentSound = 0.5;
constexpr int kNumPlugParams = 59;
constexpr size_t kStateBytesWithoutPath = 484;  // 59 x 8 + tag + length + bypass word

IPluginFactory* Factory() { return ModuleEnvironment::Factory(); }

std::u16string U16(const TChar* s, size_t max = 128) {
  std::u16string out;
  for (size_t i = 0; i < max && s[i]; ++i) out += static_cast<char16_t>(s[i]);
  return out;
}

// ---- The parameter set as the design declares it -------------------------------------

struct ParamRow {
  const char* name;
  const char* group;
  char kind;  // 'd' double, 'i' int, 'b' bool, 'e' enumeration
  double def, min, max;
  const char* label;
  bool pow3;
};

constexpr ParamRow kParams[kNumPlugParams] = {
    {"Amp Level", "Amp Envelope", 'd', 70, 0, 100, "%", false},
    {"Body", "", 'd', 55, 0, 100, "%", false},
    {"Color", "", 'd', 55, 0, 100, "%", false},
    {"Cutoff", "", 'd', 70, 0, 100, "%", false},
    {"Motion", "", 'd', 12, 0, 100, "%", false},
    {"Age", "", 'd', 12, 0, 100, "%", false},
    {"Space", "", 'd', 12, 0, 100, "%", false},
    {"Ring", "", 'd', 0, 0, 100, "%", false},
    {"Attack", "Envelope", 'd', 12, 1, 2000, "ms", true},
    {"Release", "Envelope", 'd', 280, 10, 4000, "ms", true},
    {"Osc 1 Level", "Oscillators", 'd', 80, 0, 100, "%", false},
    {"Osc 1 Pulse", "Oscillators", 'd', 40, 0, 100, "%", false},
    {"Osc 1 Range", "Oscillators", 'i', 0, -2, 2, " oct", false},
    {"Osc 2 Level", "Oscillators", 'd', 80, 0, 100, "%", false},
    {"Osc 2 Pulse", "Oscillators", 'd', 40, 0, 100, "%", false},
    {"Osc 2 Range", "Oscillators", 'i', 0, -2, 2, " oct", false},
    {"Osc 2 Fine", "Oscillators", 'd', 0, -50, 50, " cents", false},
    {"Pulse Width", "Oscillators", 'd', 50, 0, 100, "%", false},
    {"Resonance", "Filter", 'd', 15, 0, 100, "%", false},
    {"High Pass", "Filter", 'd', 0, 0, 100, "%", false},
    {"Filter Env Amount", "Filter", 'd', 25, 0, 100, "%", false},
    {"Amp Decay", "Amp Envelope", 'd', 180, 1, 4000, "ms", true},
    {"Amp Sustain", "Amp Envelope", 'd', 72, 0, 100, "%", false},
    {"Filter Attack", "Filter Envelope", 'd', 10, 1, 4000, "ms", true},
    {"Filter Decay", "Filter Envelope", 'd', 280, 1, 4000, "ms", true},
    {"Filter Sustain", "Filter Envelope", 'd', 25, 0, 100, "%", false},
    {"Filter Release", "Filter Envelope", 'd', 380, 1, 4000, "ms", true},
    {"LFO Rate", "LFO", 'd', 33, 0, 100, "%", false},
    {"LFO Pitch", "LFO", 'd', 50, 0, 100, "%", false},
    {"LFO Filter", "LFO", 'd', 45, 0, 100, "%", false},
    {"Glide", "Oscillators", 'd', 1, 1, 4000, "ms", true},
    {"Bank Mix", "Filter Bank", 'd', 25, 0, 100, "%", false},
    {"250 Hz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"350 Hz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"500 Hz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"700 Hz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"1 kHz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"1.4 kHz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"2 kHz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"2.8 kHz", "Filter Bank", 'd', 75, 0, 100, "%", false},
    {"Voice Mode", "", 'e', 0, 0, 2, "", false},
    {"Fat", "Character", 'd', 12, 0, 100, "%", false},
    {"Width", "Character", 'd', 12, 0, 100, "%", false},
    {"Fuzz", "Character", 'd', 0, 0, 100, "%", false},
    {"Span", "Character", 'd', 35, 0, 100, "%", false},
    {"Fat On", "", 'b', 1, 0, 1, "", false},
    {"Width On", "", 'b', 1, 0, 1, "", false},
    {"Fuzz On", "", 'b', 1, 0, 1, "", false},
    {"Fat Tune", "Open Circuit", 'd', 50, 0, 100, "%", false},
    {"Fuzz Warmth", "Open Circuit", 'd', 50, 0, 100, "%", false},
    {"Width Motion", "Open Circuit", 'd', 50, 0, 100, "%", false},
    {"Osc 1 Wave", "", 'e', 0, 0, 6, "", false},
    {"Osc 2 Wave", "", 'e', 0, 0, 6, "", false},
    {"Osc 1 Wave Fine", "", 'b', 0, 0, 1, "", false},
    {"Osc 2 Wave Fine", "", 'b', 0, 0, 1, "", false},
    {"Motion Sync", "", 'e', 0, 0, 5, "", false},
    {"Space Sync", "", 'e', 0, 0, 5, "", false},
    {"Master Gain", "Output", 'd', 100, 0, 200, "%", false},
    {"Vrel Bite", "Open Circuit", 'd', 0, 0, 100, "%", false},
};

// n = ((v - min) / (max - min)), to the power 1/3 for the time parameters.
double DesignNormalized(const ParamRow& p, double plain) {
  const double n = (plain - p.min) / (p.max - p.min);
  return p.pow3 ? std::cbrt(n) : n;
}

std::vector<double> DefaultValues() {
  std::vector<double> v;
  for (const ParamRow& p : kParams) v.push_back(p.def);
  return v;
}

int IndexOf(const std::string& name) {
  for (int i = 0; i < kNumPlugParams; ++i)
    if (name == kParams[i].name) return i;
  ADD_FAILURE() << "no parameter " << name;
  return 0;
}

// A state stream as the design lays it out, with every field open to damage.
struct StateSpec {
  std::vector<double> values = DefaultValues();
  std::string path;
  uint32_t tag = 0x56425331;  // 'VBS1'
  std::optional<uint32_t> length;  // none: the path's length
  bool withBypass = true;
  uint32_t bypass = 0;
};

std::vector<uint8_t> MakeState(const StateSpec& s) {
  std::vector<uint8_t> out;
  for (double v : s.values) PutLE64Double(out, v);
  PutLE32(out, s.tag);
  PutLE32(out, s.length.value_or(static_cast<uint32_t>(s.path.size())));
  out.insert(out.end(), s.path.begin(), s.path.end());
  if (s.withBypass) PutLE32(out, s.bypass);
  return out;
}

// ---- Sound set-ups ----------------------------------------------------------------------

// One plain oscillator straight through: no circuit age, no motion, no layers,
// no effects, the filter open, instant attack and short release.
Block PlainVoice(Instance& in, const std::vector<std::pair<std::string, double>>& extra = {}) {
  std::vector<std::pair<std::string, double>> plain = {
      {"Age", 0},         {"Motion", 0},       {"Body", 0},           {"Ring", 0},         {"Space", 0},
      {"Bank Mix", 0},    {"Fat On", 0},       {"Width On", 0},       {"Fuzz On", 0},      {"LFO Filter", 0},
      {"Osc 2 Level", 0}, {"Osc 1 Level", 100}, {"Osc 1 Wave", 4},     {"Cutoff", 100},     {"Resonance", 0},
      {"Attack", 1},      {"Release", 10},     {"Amp Sustain", 100}, {"Filter Env Amount", 0}, {"Vrel Bite", 0},
      {"LFO Pitch", 0},   {"Motion Sync", 0},
  };
  plain.insert(plain.end(), extra.begin(), extra.end());
  Block b;
  for (const auto& [name, v] : plain) b.params.emplace_back(in.Id(name), in.Norm(name, v));
  return b;
}

ParamID MappedId(Instance& in, CtrlNumber controller) {
  ParamID id = kNoParamId;
  EXPECT_EQ(in.mapping->getMidiControllerAssignment(0, 0, controller, id), kResultTrue) << "controller " << controller;
  return id;
}

// ---- Module and factory ----------------------------------------------------------------

TEST(Module, ExportsOnlyTheEntryPoints) {
  LoadedModule& m = ModuleEnvironment::Module();
#if SMTG_OS_WINDOWS
  for (const char* name : {"GetPluginFactory", "InitDll", "ExitDll"})
    EXPECT_NE(m.Symbol(name), nullptr) << name;
  for (const char* name : {"ModuleEntry", "ModuleExit", "DllMain"}) EXPECT_EQ(m.Symbol(name), nullptr) << name;
#else
  for (const char* name : {"GetPluginFactory", "ModuleEntry", "ModuleExit"})
    EXPECT_NE(m.Symbol(name), nullptr) << name;
  // The plug-in's own functions stay inside the module.
  for (const char* name : {"InitDll", "ExitDll", "_ZN2fw8MakePlugERKNS_12InstanceInfoE"})
    EXPECT_EQ(m.Symbol(name), nullptr) << name;
#endif
}

TEST(Module, EntryAndExitAreCounted) {
  LoadedModule& m = ModuleEnvironment::Module();
  // The environment entered once; a nested pair leaves the module entered.
  EXPECT_TRUE(m.Enter());
  EXPECT_TRUE(m.Exit());
  Instance still;
  EXPECT_TRUE(still.Ok()) << "the module stopped working after a nested exit";
}

TEST(Factory, FactoryInformation) {
  PFactoryInfo info;
  ASSERT_EQ(Factory()->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Orvandel Interactive");
  EXPECT_STREQ(info.url, "");
  EXPECT_STREQ(info.email, "");
  EXPECT_EQ(info.flags, 16) << "strings are Unicode";
  EXPECT_EQ(Factory()->getFactoryInfo(nullptr), kInvalidArgument);
  EXPECT_EQ(Factory()->countClasses(), 1);
}

TEST(Factory, ClassInformationFieldByField) {
  PClassInfo c1;
  ASSERT_EQ(Factory()->getClassInfo(0, &c1), kResultOk);
  EXPECT_EQ(c1.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(c1.category, "Audio Module Class");
  EXPECT_STREQ(c1.name, "Vrel Bazzit");

  IPluginFactory2* f2 = nullptr;
  ASSERT_EQ(Factory()->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&f2)), kResultOk);
  PClassInfo2 c2;
  ASSERT_EQ(f2->getClassInfo2(0, &c2), kResultOk);
  EXPECT_EQ(std::memcmp(c2.cid, c1.cid, sizeof(TUID)), 0) << "both descriptions carry the same class id";
  EXPECT_EQ(c2.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(c2.category, "Audio Module Class");
  EXPECT_STREQ(c2.name, "Vrel Bazzit");
  EXPECT_EQ(c2.classFlags, 2u) << "simple mode supported";
  EXPECT_STREQ(c2.subCategories, "Instrument|Synth");
  EXPECT_STREQ(c2.vendor, "") << "no class vendor: hosts use the factory's";
  EXPECT_STREQ(c2.version, "0.10.11");
  EXPECT_STREQ(c2.sdkVersion, "VST 3.8.1");
  EXPECT_EQ(f2->getClassInfo2(1, &c2), kInvalidArgument);
  EXPECT_EQ(f2->getClassInfo2(-1, &c2), kInvalidArgument);
  f2->release();

  IPluginFactory3* f3 = nullptr;
  ASSERT_EQ(Factory()->queryInterface(IPluginFactory3::iid, reinterpret_cast<void**>(&f3)), kResultOk);
  PClassInfoW cw;
  ASSERT_EQ(f3->getClassInfoUnicode(0, &cw), kResultOk);
  EXPECT_EQ(std::memcmp(cw.cid, c1.cid, sizeof(TUID)), 0);
  EXPECT_EQ(cw.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(cw.category, "Audio Module Class");
  EXPECT_EQ(U16(cw.name), u"Vrel Bazzit");
  EXPECT_EQ(cw.classFlags, 2u);
  EXPECT_STREQ(cw.subCategories, "Instrument|Synth");
  EXPECT_EQ(U16(cw.vendor), u"");
  EXPECT_EQ(U16(cw.version), u"0.10.11");
  EXPECT_EQ(U16(cw.sdkVersion), u"VST 3.8.1");
  EXPECT_EQ(f3->getClassInfoUnicode(1, &cw), kInvalidArgument);
  EXPECT_EQ(f3->setHostContext(nullptr), kResultOk);
  f3->release();
  EXPECT_EQ(Factory()->getClassInfo(1, &c1), kInvalidArgument);
}

TEST(Factory, ClassIdBytesInTheSdkOrderOfThePlatform) {
  // Words 0xF2AEE70D, 0x00DE4F4E, 'OrVd' = 0x4F725664, 'VrBz' = 0x5672427A.
#if SMTG_OS_WINDOWS
  // COM-compatible: word 1 least significant byte first, word 2's high half
  // then its low half, each least significant byte first; words 3 and 4 most
  // significant byte first.
  const uint8_t expected[16] = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                0x4F, 0x72, 0x56, 0x64, 0x56, 0x72, 0x42, 0x7A};
#else
  // Elsewhere every word most significant byte first.
  const uint8_t expected[16] = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                0x4F, 0x72, 0x56, 0x64, 0x56, 0x72, 0x42, 0x7A};
#endif
  PClassInfo info;
  ASSERT_EQ(Factory()->getClassInfo(0, &info), kResultOk);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(static_cast<uint8_t>(info.cid[i]), expected[i]) << "class id byte " << i;

  // The SDK reads the same four words back and writes the same text on
  // every platform.
  const FUID id = FUID::fromTUID(info.cid);
  EXPECT_EQ(id.getLong1(), 0xF2AEE70Du);
  EXPECT_EQ(id.getLong2(), 0x00DE4F4Eu);
  EXPECT_EQ(id.getLong3(), 0x4F725664u);
  EXPECT_EQ(id.getLong4(), 0x5672427Au);
  EXPECT_EQ(id, FUID(0xF2AEE70D, 0x00DE4F4E, 0x4F725664, 0x5672427A));
  char text[40] = {};
  id.toString(text);
  EXPECT_STREQ(text, "F2AEE70D00DE4F4E4F7256645672427A");
  id.toRegistryString(text);
  EXPECT_STREQ(text, "{F2AEE70D-00DE-4F4E-4F72-56645672427A}");
}

TEST(Factory, SecondGetPluginFactoryReturnsTheSameFactoryWithOneMoreReference) {
  IPluginFactory* f = Factory();
  auto refs = [f] {
    f->addRef();
    return f->release();
  };
  const uint32 before = refs();
  IPluginFactory* again = ModuleEnvironment::Module().GetFactory();
  EXPECT_EQ(again, f);
  EXPECT_EQ(refs(), before + 1);
  EXPECT_EQ(again->release(), before);
}

TEST(Factory, CreateInstanceRefusesUnknownClassesAndInterfaces) {
  PClassInfo info;
  ASSERT_EQ(Factory()->getClassInfo(0, &info), kResultOk);
  TUID otherClass = {};
  void* obj = reinterpret_cast<void*>(&info);
  EXPECT_EQ(Factory()->createInstance(otherClass, IComponent::iid, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  obj = reinterpret_cast<void*>(&info);
  EXPECT_EQ(Factory()->createInstance(info.cid, IPluginFactory::iid, &obj), kNoInterface)
      << "an instance is no factory (and the one made for the question is freed)";
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(Factory()->createInstance(info.cid, IComponent::iid, nullptr), kInvalidArgument);
  EXPECT_EQ(Factory()->createInstance(nullptr, IComponent::iid, &obj), kInvalidArgument);

  // The audio processor is a valid way in too.
  IAudioProcessor* processor = nullptr;
  ASSERT_EQ(Factory()->createInstance(info.cid, IAudioProcessor::iid, reinterpret_cast<void**>(&processor)),
            kResultOk);
  ASSERT_NE(processor, nullptr);
  EXPECT_EQ(processor->release(), 0u);
}

// ---- Instance: interfaces and buses ----------------------------------------------------

TEST(Instance, EveryInterfaceLeadsBackToTheSameObject) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  FUnknown* identity = nullptr;
  ASSERT_EQ(in.component->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&identity)), kResultOk);

  struct Route {
    const char* name;
    FUnknown* from;
  } routes[] = {{"IComponent", in.component},         {"IAudioProcessor", in.processor},
                {"IEditController", in.controller},   {"IMidiMapping", in.mapping},
                {"IUnitInfo", in.units}};
  const std::pair<const char*, const TUID*> interfaces[] = {
      {"FUnknown", &FUnknown::iid.toTUID()},
      {"IPluginBase", &IPluginBase::iid.toTUID()},
      {"IComponent", &IComponent::iid.toTUID()},
      {"IAudioProcessor", &IAudioProcessor::iid.toTUID()},
      {"IEditController", &IEditController::iid.toTUID()},
      {"IMidiMapping", &IMidiMapping::iid.toTUID()},
      {"IUnitInfo", &IUnitInfo::iid.toTUID()},
      {"IProcessContextRequirements", &IProcessContextRequirements::iid.toTUID()}};
  for (const Route& r : routes) {
    FUnknown* back = nullptr;
    ASSERT_EQ(r.from->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&back)), kResultOk) << r.name;
    EXPECT_EQ(back, identity) << "FUnknown from " << r.name;
    back->release();
    for (const auto& [iname, iid] : interfaces) {
      void* a = nullptr;
      void* b = nullptr;
      ASSERT_EQ(r.from->queryInterface(*iid, &a), kResultOk) << iname << " from " << r.name;
      ASSERT_EQ(in.component->queryInterface(*iid, &b), kResultOk) << iname;
      EXPECT_EQ(a, b) << iname << " from " << r.name << " differs from the component's";
      static_cast<FUnknown*>(a)->release();
      static_cast<FUnknown*>(b)->release();
    }
  }
  void* none = identity;
  EXPECT_EQ(in.component->queryInterface(IPluginFactory::iid, &none), kNoInterface);
  EXPECT_EQ(none, nullptr);
  identity->release();

  TUID controllerClass = {};
  EXPECT_NE(in.component->getControllerClassId(controllerClass), kResultOk)
      << "a single component names no separate controller class";
  EXPECT_EQ(in.controller->createView("no such view"), nullptr);
  IPlugView* view = in.controller->createView("editor");
  // The editor's view (EditorHostTest.cpp, and WinEditorHostTest.cpp under
  // wine, open it); given back unopened.
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->release(), 0u);
}

TEST(Instance, BusesAndSpeakerArrangements) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  struct Count {
    MediaType type;
    BusDirection dir;
    int32 expected;
  } counts[] = {{kAudio, kInput, 0}, {kAudio, kOutput, 1}, {kEvent, kInput, 1}, {kEvent, kOutput, 0}};
  for (const Count& c : counts)
    EXPECT_EQ(in.component->getBusCount(c.type, c.dir), c.expected) << "type " << c.type << " dir " << c.dir;

  BusInfo bus{};
  ASSERT_EQ(in.component->getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
  EXPECT_EQ(bus.mediaType, kAudio);
  EXPECT_EQ(bus.direction, kOutput);
  EXPECT_EQ(bus.channelCount, 2);
  EXPECT_EQ(bus.busType, kMain);
  EXPECT_TRUE(bus.flags & BusInfo::kDefaultActive);
  ASSERT_EQ(in.component->getBusInfo(kEvent, kInput, 0, bus), kResultOk);
  EXPECT_EQ(bus.mediaType, kEvent);
  EXPECT_EQ(bus.direction, kInput);
  EXPECT_EQ(bus.channelCount, 16);
  EXPECT_EQ(in.component->getBusInfo(kAudio, kInput, 0, bus), kInvalidArgument);
  EXPECT_EQ(in.component->getBusInfo(kAudio, kOutput, 1, bus), kInvalidArgument);
  EXPECT_EQ(in.component->activateBus(kAudio, kOutput, 0, true), kResultOk);
  EXPECT_EQ(in.component->activateBus(kAudio, kInput, 0, true), kInvalidArgument);

  SpeakerArrangement arr = 0;
  ASSERT_EQ(in.processor->getBusArrangement(kOutput, 0, arr), kResultOk);
  EXPECT_EQ(arr, SpeakerArr::kStereo);
  EXPECT_EQ(in.processor->getBusArrangement(kInput, 0, arr), kInvalidArgument);

  struct Offer {
    const char* what;
    std::vector<SpeakerArrangement> ins, outs;
    tresult expected;
  } offers[] = {
      {"stereo out", {}, {SpeakerArr::kStereo}, kResultTrue},
      {"mono out", {}, {SpeakerArr::kMono}, kResultFalse},
      {"5.1 out", {}, {SpeakerArr::k51}, kResultFalse},
      {"stereo in and out", {SpeakerArr::kStereo}, {SpeakerArr::kStereo}, kResultFalse},
      {"two outputs", {}, {SpeakerArr::kStereo, SpeakerArr::kStereo}, kResultFalse},
      {"no output", {}, {}, kResultFalse},
  };
  for (Offer& o : offers) {
    EXPECT_EQ(in.processor->setBusArrangements(o.ins.data(), static_cast<int32>(o.ins.size()), o.outs.data(),
                                               static_cast<int32>(o.outs.size())),
              o.expected)
        << o.what;
    ASSERT_EQ(in.processor->getBusArrangement(kOutput, 0, arr), kResultOk);
    EXPECT_EQ(arr, SpeakerArr::kStereo) << "arrangement after offering " << o.what;
  }

  EXPECT_EQ(in.processor->canProcessSampleSize(kSample32), kResultTrue);
  EXPECT_EQ(in.processor->canProcessSampleSize(kSample64), kResultTrue);
  EXPECT_EQ(in.processor->canProcessSampleSize(2), kResultFalse);
  EXPECT_EQ(in.processor->getLatencySamples(), 0u);

  IProcessContextRequirements* req = nullptr;
  ASSERT_EQ(in.component->queryInterface(IProcessContextRequirements::iid, reinterpret_cast<void**>(&req)),
            kResultOk);
  EXPECT_TRUE(req->getProcessContextRequirements() & IProcessContextRequirements::kNeedTempo);
  req->release();
}

// ---- Parameters ---------------------------------------------------------------------------

TEST(Parameters, PublishedListAndUnitTree) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  // 59 sound parameters, the bypass and six hidden MIDI-mapping parameters.
  ASSERT_EQ(in.controller->getParameterCount(), kNumPlugParams + 1 + 6);

  std::map<UnitID, std::string> unitNames;
  ASSERT_EQ(in.units->getUnitCount(), 11) << "the root and ten groups";
  for (int32 u = 0; u < in.units->getUnitCount(); ++u) {
    UnitInfo info{};
    ASSERT_EQ(in.units->getUnitInfo(u, info), kResultOk);
    EXPECT_EQ(info.parentUnitId, info.id == kRootUnitId ? kNoParentUnitId : kRootUnitId) << "unit " << u;
    EXPECT_EQ(info.programListId, kNoProgramListId) << "unit " << u;
    EXPECT_TRUE(unitNames.emplace(info.id, Instance::Title(info.name)).second) << "unit id " << info.id << " twice";
  }
  ASSERT_EQ(unitNames.count(kRootUnitId), 1u);
  EXPECT_EQ(in.units->getProgramListCount(), 0) << "no VST 3 program list";
  UnitInfo none{};
  EXPECT_EQ(in.units->getUnitInfo(11, none), kInvalidArgument);

  for (int i = 0; i < kNumPlugParams; ++i) {
    const ParamRow& p = kParams[i];
    ParameterInfo info{};
    ASSERT_EQ(in.controller->getParameterInfo(i, info), kResultOk) << p.name;
    EXPECT_EQ(info.id, static_cast<ParamID>(i)) << p.name << ": the id is the index";
    EXPECT_EQ(Instance::Title(info.title), p.name);
    EXPECT_EQ(Instance::Title(info.units), p.label) << p.name;
    const int32 steps = p.kind == 'd' ? 0 : static_cast<int32>(p.max - p.min);
    EXPECT_EQ(info.stepCount, steps) << p.name;
    EXPECT_NEAR(info.defaultNormalizedValue, DesignNormalized(p, p.def), 1e-12) << p.name;
    EXPECT_EQ(info.flags, ParameterInfo::kCanAutomate | (p.kind == 'e' ? ParameterInfo::kIsList : 0)) << p.name;
    ASSERT_EQ(unitNames.count(info.unitId), 1u) << p.name << " in an unknown unit";
    if (*p.group) {
      EXPECT_EQ(unitNames[info.unitId], p.group) << p.name;
    } else {
      EXPECT_EQ(info.unitId, kRootUnitId) << p.name << " stays at the top level";
    }
  }

  ParameterInfo bypass{};
  ASSERT_EQ(in.controller->getParameterInfo(kNumPlugParams, bypass), kResultOk);
  EXPECT_EQ(bypass.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass);
  EXPECT_EQ(bypass.stepCount, 1);
  EXPECT_EQ(bypass.defaultNormalizedValue, 0.0);

  // The MIDI-mapping parameters: hidden, not automatable, beyond the 59, the
  // same one for every channel.
  struct Mapped {
    CtrlNumber controller;
    int32 steps;
  } mapped[] = {{kCtrlModWheel, 127}, {kCtrlSustainOnOff, 127}, {kCtrlAllSoundsOff, 127},
                {kCtrlAllNotesOff, 127}, {kAfterTouch, 127}, {kPitchBend, 16383}};
  std::set<ParamID> ids;
  for (const Mapped& m : mapped) {
    const ParamID id = MappedId(in, m.controller);
    EXPECT_GT(id, static_cast<ParamID>(kNumPlugParams)) << "controller " << m.controller;
    ids.insert(id);
    for (int16 channel = 1; channel < 16; ++channel) {
      ParamID other = kNoParamId;
      ASSERT_EQ(in.mapping->getMidiControllerAssignment(0, channel, m.controller, other), kResultTrue);
      EXPECT_EQ(other, id) << "controller " << m.controller << " channel " << channel;
    }
    ParameterInfo info{};
    ASSERT_EQ(in.controller->getParameterInfo(static_cast<int32>(id), info), kResultOk);
    EXPECT_EQ(info.id, id);
    EXPECT_TRUE(info.flags & ParameterInfo::kIsHidden) << "controller " << m.controller;
    EXPECT_FALSE(info.flags & ParameterInfo::kCanAutomate) << "controller " << m.controller;
    EXPECT_EQ(info.stepCount, m.steps) << "controller " << m.controller;
  }
  EXPECT_EQ(ids.size(), 6u) << "one parameter per controller";

  ParamID id = kNoParamId;
  for (CtrlNumber other : {CtrlNumber(kCtrlVolume), CtrlNumber(kCtrlResetAllCtrlers), CtrlNumber(kCtrlProgramChange)})
    EXPECT_EQ(in.mapping->getMidiControllerAssignment(0, 0, other, id), kResultFalse) << "controller " << other;
  EXPECT_EQ(in.mapping->getMidiControllerAssignment(1, 0, kCtrlModWheel, id), kResultFalse) << "no second bus";
  EXPECT_EQ(in.mapping->getMidiControllerAssignment(0, 16, kCtrlModWheel, id), kResultFalse) << "channel 17";
  ParameterInfo info{};
  EXPECT_EQ(in.controller->getParameterInfo(in.controller->getParameterCount(), info), kInvalidArgument);
}

TEST(Parameters, NormalisedAndPlainValues) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  struct Case {
    const char* name;
    double normalized, plain;
  } cases[] = {
      {"Attack", 0.5, 250.875},  // 1 + 0.5^3 x 1999, not rounded to the step
      {"Attack", 0.0, 1.0},         {"Attack", 1.0, 2000.0},     {"Release", 0.0, 10.0},
      {"Glide", 0.0, 1.0},          {"Amp Decay", 0.5, 500.875}, {"Osc 1 Range", 0.5, 0.0},
      {"Osc 1 Range", 0.3, -1.0},  // -2 + 1.2, rounded
      {"Osc 2 Fine", 0.5, 0.0},     {"Osc 2 Fine", 0.0, -50.0},  {"Voice Mode", 0.5, 1.0},
      {"Osc 1 Wave", 1.0, 6.0},     {"Motion Sync", 0.55, 3.0},  {"Master Gain", 0.25, 50.0},
      {"Fat On", 0.49, 0.0},        {"Fat On", 0.5, 1.0},        {"Amp Level", 0.123, 12.3},
  };
  for (const Case& c : cases) {
    const ParamID id = in.Id(c.name);
    EXPECT_NEAR(in.controller->normalizedParamToPlain(id, c.normalized), c.plain, 1e-9)
        << c.name << " at " << c.normalized;
    ASSERT_EQ(in.controller->setParamNormalized(id, c.normalized), kResultOk) << c.name;
    const double expectedNorm = DesignNormalized(kParams[IndexOf(c.name)], c.plain);
    EXPECT_NEAR(in.controller->getParamNormalized(id), expectedNorm, 1e-12) << c.name << " at " << c.normalized;
    EXPECT_NEAR(in.controller->plainParamToNormalized(id, c.plain), expectedNorm, 1e-12) << c.name;
  }

  // The value set is the value saved: "Attack" at 0.5 is 250.875 ms.
  ASSERT_EQ(in.controller->setParamNormalized(in.Id("Attack"), 0.5), kResultOk);
  const std::vector<uint8_t> state = in.SaveState();
  EXPECT_EQ(GetLE64Double(state, 8 * 8), 250.875);
}

TEST(Parameters, ValuesOutsideTheRangeAreLimitedAndNonNumbersRefused) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  const ParamID cutoff = in.Id("Cutoff");
  struct Case {
    const char* what;
    double value;
    tresult result;
    double after;  // normalised value afterwards
  } cases[] = {
      {"below 0", -0.5, kResultOk, 0.0}, {"above 1", 1.5, kResultOk, 1.0},  {"in range", 0.25, kResultOk, 0.25},
      {"NaN", kNaN, kInvalidArgument, 0.25}, {"+infinity", kInf, kInvalidArgument, 0.25},
      {"-infinity", -kInf, kInvalidArgument, 0.25},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(in.controller->setParamNormalized(cutoff, c.value), c.result) << c.what;
    EXPECT_EQ(in.controller->getParamNormalized(cutoff), c.after) << c.what;
  }
  EXPECT_EQ(in.controller->setParamNormalized(9999, 0.5), kInvalidArgument) << "unknown id";
  EXPECT_EQ(in.controller->getParamNormalized(9999), 0.0);

  // The same through the process call: out-of-range points are limited,
  // points that are no number leave the value alone.
  in.Start();
  struct QueueCase {
    const char* what;
    double value, after;
  } queued[] = {{"below 0", -3.0, 0.0}, {"above 1", 7.0, 1.0}, {"in range", 0.4, 0.4},
                {"NaN", kNaN, 0.4},      {"+infinity", kInf, 0.4}, {"-infinity", -kInf, 0.4}};
  for (const QueueCase& c : queued) {
    Block b;
    b.params = {{cutoff, c.value}};
    EXPECT_EQ(in.Process(64, b), kResultOk) << c.what;
    EXPECT_NEAR(in.controller->getParamNormalized(cutoff), c.after, 1e-12) << c.what;
  }
}

TEST(Parameters, ValueToTextAndBack) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  auto text = [&](ParamID id, double n) {
    String128 s = {};
    EXPECT_EQ(in.controller->getParamStringByValue(id, n, s), kResultOk);
    return Instance::Title(s);
  };
  struct ToText {
    const char* name;
    double normalized;
    const char* text;
  } toText[] = {
      {"Attack", 0.5, "251"},       {"Release", 0.0, "10"},        {"Amp Level", 0.7, "70.0"},
      {"Osc 1 Range", 0.25, "-1"},  {"Osc 2 Fine", 0.0, "-50.0"},  {"Osc 2 Fine", 0.5, "0.0"},
      {"Voice Mode", 0.0, "Split"}, {"Voice Mode", 0.5, "Mono"},   {"Voice Mode", 1.0, "Poly"},
      {"Osc 1 Wave", 1.0, "Hollow"}, {"Osc 2 Wave", 4.0 / 6, "Sine"}, {"Motion Sync", 0.6, "Dotted 1/8"},
      {"Fat On", 0.0, "off"},        {"Fat On", 1.0, "on"},         {"Master Gain", 1.0, "200.0"},
  };
  for (const ToText& c : toText) EXPECT_EQ(text(in.Id(c.name), c.normalized), c.text) << c.name << " at " << c.normalized;
  EXPECT_EQ(text(in.Id("Bypass"), 1.0), "on");
  EXPECT_EQ(text(MappedId(in, kPitchBend), 0.5), "8192") << "pitch bend centre";

  auto value = [&](ParamID id, const std::u16string& s, double& n) {
    std::vector<TChar> buf(s.begin(), s.end());
    buf.push_back(0);
    return in.controller->getParamValueByString(id, buf.data(), n);
  };
  struct FromText {
    const char* name;
    std::u16string text;
    double normalized;
  } fromText[] = {
      {"Attack", u"250.875", 0.5},
      {"Attack", u"12 ms", DesignNormalized(kParams[8], 12)},
      {"Osc 2 Fine", u"-25", 0.25},
      {"Osc 2 Fine", u" -25 cents ", 0.25},
      {"Voice Mode", u"Poly", 1.0},
      {"Osc 1 Wave", u"Hollow", 1.0},
      {"Motion Sync", u"1/4", 0.8},
      {"Fat On", u"on", 1.0},
      {"Master Gain", u"250", 1.0},  // limited to 200 %
  };
  for (const FromText& c : fromText) {
    double n = -1.0;
    EXPECT_EQ(value(in.Id(c.name), c.text, n), kResultOk) << c.name;
    EXPECT_NEAR(n, c.normalized, 1e-12) << c.name;
  }
  struct Refused {
    const char* name;
    std::u16string text;
  } refused[] = {{"Attack", u"fast"}, {"Attack", u""}, {"Voice Mode", u"Stereo"}, {"Osc 1 Range", u"1 cents"}};
  for (const Refused& c : refused) {
    double n = 0.0;
    EXPECT_EQ(value(in.Id(c.name), c.text, n), kResultFalse) << c.name;
  }

  // Every parameter's own text turns back into a value with the same text.
  for (int i = 0; i < kNumPlugParams; ++i) {
    for (double n : {0.0, 0.13, 0.5, 0.77, 1.0}) {
      const std::string shown = text(static_cast<ParamID>(i), n);
      double back = -1.0;
      ASSERT_EQ(value(static_cast<ParamID>(i), std::u16string(shown.begin(), shown.end()), back), kResultOk)
          << kParams[i].name << " text \"" << shown << "\"";
      EXPECT_EQ(text(static_cast<ParamID>(i), back), shown) << kParams[i].name << " at " << n;
    }
  }
  String128 s = {};
  EXPECT_EQ(in.controller->getParamStringByValue(in.Id("Attack"), kNaN, s), kInvalidArgument);
  EXPECT_EQ(in.controller->getParamStringByValue(9999, 0.5, s), kInvalidArgument);
}

// ---- Processing --------------------------------------------------------------------------

TEST(Processing, ANoteSoundsIn32And64BitAlike) {
  Stereo renders[2];
  const int32 sizes[2] = {kSample32, kSample64};
  for (int k = 0; k < 2; ++k) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    // 1000-frame blocks: more than the binding renders at once for 32 bits.
    in.Start(kRate, 1000, sizes[k]);
    Block first = PlainVoice(in);
    first.events = {NoteOn(60, 0.8f)};
    renders[k] = in.Render(9600, first);
    for (const auto* ch : {&renders[k].left, &renders[k].right}) {
      EXPECT_GT(Rms(*ch, 4800), 0.01) << (k ? "64" : "32") << "-bit output silent";
      for (double x : *ch) ASSERT_TRUE(std::isfinite(x) && std::fabs(x) < 4.0) << "sample " << x;
    }
  }
  EXPECT_LT(RelativeDifference(renders[0].left, renders[1].left), kSameSound);
  EXPECT_LT(RelativeDifference(renders[0].right, renders[1].right), kSameSound);
}

// Index of the first sample whose magnitude exceeds threshold, or -1.
long FirstSound(const std::vector<double>& x, double threshold = 0.0) {
  for (size_t i = 0; i < x.size(); ++i)
    if (std::fabs(x[i]) > threshold) return static_cast<long>(i);
  return -1;
}

TEST(Processing, ANoteSoundsFromItsSampleOffsetIn32And64Bit) {
  // 1024-frame blocks: more than the binding renders at once for 32 bits, so
  // the offset also crosses its inner chunks.
  for (const int32 size : {kSample32, kSample64}) {
    for (const int32 offset : {0, 255, 256, 700, 1023}) {
      Instance in;
      ASSERT_TRUE(in.Ok());
      in.Start(kRate, 1024, size);
      Block b = PlainVoice(in);
      b.events = {NoteOn(69, 1.0f, 0, offset)};
      Stereo out;
      ASSERT_EQ(in.Process(1024, b, &out), kResultOk);
      ASSERT_EQ(in.Process(1024, {}, &out), kResultOk);
      EXPECT_EQ(FirstSound(out.left), offset) << (size == kSample64 ? "64" : "32") << "-bit, offset " << offset;
    }
  }
}

TEST(Processing, APedalAndANoteOffInOneBlockActInTheirOrder) {
  struct Case {
    const char* what;
    int32 pedalOffset, noteOffOffset;
    bool held;
  } cases[] = {
      {"pedal down, then the key up: the note is held", 200, 600, true},
      {"key up, then the pedal down: the note is released", 600, 200, false},
  };
  for (const Case& c : cases) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    in.Start(kRate, 1024);
    Block first = PlainVoice(in);
    first.events = {NoteOn(69, 1.0f)};
    ASSERT_EQ(in.Process(1024, first), kResultOk);
    Block b;
    b.points = {{MappedId(in, kCtrlSustainOnOff), 1.0, c.pedalOffset}};
    b.events = {NoteOff(69, 0, c.noteOffOffset)};
    Stereo out;
    ASSERT_EQ(in.Process(1024, b, &out), kResultOk);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(in.Process(1024, {}, &out), kResultOk);
    // The release is 10 ms (480 frames): a released note is silent long before the end.
    const double tail = Rms(out.left, 4096);
    if (c.held)
      EXPECT_GT(tail, 0.01) << c.what;
    else
      EXPECT_LT(tail, 1e-4) << c.what;
  }
}

TEST(Processing, NoteEventsAreTurnedIntoMidiNotes) {
  struct Case {
    const char* what;
    std::vector<Event> events;
    bool sounds;
  } cases[] = {
      {"note on", {NoteOn(69, 0.5f)}, true},
      {"note on, channel 16", {NoteOn(69, 0.5f, 15)}, true},
      {"note on at velocity 0 is a note off", {NoteOn(69, 0.0f)}, false},
      {"note on, then its note off", {NoteOn(69, 0.5f), NoteOff(69)}, false},
      {"note off of another channel releases it", {NoteOn(69, 0.5f, 0), NoteOff(69, 3)}, false},
      {"pitch 128 is ignored", {NoteOn(128, 1.0f)}, false},
      {"pitch -1 is ignored", {NoteOn(-1, 1.0f)}, false},
  };
  for (const Case& c : cases) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    in.Start();
    Block b = PlainVoice(in);
    b.events = c.events;
    const Stereo out = in.Render(4800, b);
    if (c.sounds) {
      EXPECT_GT(Rms(out.left, 2400), 0.01) << c.what;
    } else {
      EXPECT_LT(Rms(out.left, 2400), 1e-3) << c.what;
    }
  }
}

// A ProcessData for the damaged calls below.
struct RawCall {
  std::vector<float> l = std::vector<float>(256, 7.0f), r = std::vector<float>(256, 7.0f);
  float* channels[2] = {l.data(), r.data()};
  AudioBusBuffers bus;
  ProcessData data;
  RawCall() {
    bus.numChannels = 2;
    bus.channelBuffers32 = channels;
    data.symbolicSampleSize = kSample32;
    data.numSamples = 256;
    data.numOutputs = 1;
    data.outputs = &bus;
  }
};

TEST(Processing, DamagedProcessCallsAreRefusedWithoutHarm) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  {
    RawCall call;
    EXPECT_EQ(in.processor->process(call.data), kNotInitialized) << "before setActive";
  }
  in.Start();
  struct Case {
    const char* what;
    void (*damage)(RawCall&);
    tresult result;
    bool untouched;  // the output buffers keep their contents
  } cases[] = {
      {"zero frames", [](RawCall& c) { c.data.numSamples = 0; }, kResultOk, true},
      {"no output bus (parameter flush)", [](RawCall& c) { c.data.numOutputs = 0; c.data.outputs = nullptr; },
       kResultOk, true},
      {"no channels", [](RawCall& c) { c.bus.numChannels = 0; }, kResultOk, true},
      {"no channel array", [](RawCall& c) { c.bus.channelBuffers32 = nullptr; }, kInvalidArgument, true},
      {"a null channel", [](RawCall& c) { c.channels[1] = nullptr; }, kInvalidArgument, true},
      {"one channel", [](RawCall& c) { c.bus.numChannels = 1; }, kInvalidArgument, true},
      {"sample size 2", [](RawCall& c) { c.data.symbolicSampleSize = 2; }, kInvalidArgument, true},
      {"negative frames", [](RawCall& c) { c.data.numSamples = -1; }, kInvalidArgument, true},
  };
  for (const Case& c : cases) {
    RawCall call;
    c.damage(call);
    EXPECT_EQ(in.processor->process(call.data), c.result) << c.what;
    if (c.untouched) {
      for (float x : call.l) ASSERT_EQ(x, 7.0f) << c.what << ": output written";
    }
  }
  // The instance still plays.
  Block b = PlainVoice(in);
  b.events = {NoteOn(69, 1.0f)};
  EXPECT_GT(Rms(in.Render(4800, b).left, 2400), 0.01);
}

TEST(Processing, SetupIsCheckedAndOnlyAcceptedWhileInactive) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  struct Case {
    const char* what;
    ProcessSetup setup;
    tresult result;
  } cases[] = {
      {"48 kHz, 32 bit", {kRealtime, kSample32, 512, 48000.0}, kResultOk},
      {"96 kHz, 64 bit", {kRealtime, kSample64, 64, 96000.0}, kResultOk},
      {"rate 0", {kRealtime, kSample32, 512, 0.0}, kInvalidArgument},
      {"negative rate", {kRealtime, kSample32, 512, -48000.0}, kInvalidArgument},
      {"NaN rate", {kRealtime, kSample32, 512, kNaN}, kInvalidArgument},
      {"infinite rate", {kRealtime, kSample32, 512, kInf}, kInvalidArgument},
      {"absurd rate", {kRealtime, kSample32, 512, 1e12}, kInvalidArgument},
      {"block 0", {kRealtime, kSample32, 0, 48000.0}, kInvalidArgument},
      {"sample size 5", {kRealtime, 5, 512, 48000.0}, kInvalidArgument},
  };
  for (Case& c : cases) EXPECT_EQ(in.processor->setupProcessing(c.setup), c.result) << c.what;
  in.Start();
  ProcessSetup again{kRealtime, kSample32, 512, 44100.0};
  EXPECT_EQ(in.processor->setupProcessing(again), kResultFalse) << "while active";
}

// getTailSamples: how long the instrument can sound after its last note.
// By hand: the release falls to -96 dB in release x ln(10^4.8) = release x
// 11.052408 s; the echo's repeats 0.34 x Space x 0.3^(k-1) count while at or
// above 10^-4.8, their passes alternating the right and left echo times.
TEST(Processing, TailIsTheReleaseAndTheEchoAtTheCurrentSettings) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  // Defaults: 0.28 s release; Space 12 %: 7 repeats, 4 x 0.43048 s + 3 x 0.29048 s
  // (Age 12 % adds 0.48 ms a pass): (3.094674 + 2.59336) s x 48000 = 273025.6.
  EXPECT_EQ(in.processor->getTailSamples(), 273026u) << "a new instance";
  in.Start(96000.0);
  EXPECT_EQ(in.processor->getTailSamples(), 546052u) << "at 96 kHz: 546051.3";

  // Release 2000 ms, Space 100 % (9 repeats: 5 x 0.43 s + 4 x 0.29 s), Age 0:
  // (22.104817 + 3.31) s x 96000 = 2439822.4.
  Block b;
  b.params = {{in.Id("Release"), in.Norm("Release", 2000.0)},
              {in.Id("Space"), 1.0},
              {in.Id("Age"), 0.0}};
  ASSERT_EQ(in.Process(64, b), kResultOk);
  EXPECT_EQ(in.processor->getTailSamples(), 2439823u);

  // "Space" 0: the release alone, 22.104817 s x 96000 = 2122062.4.
  b.params = {{in.Id("Space"), 0.0}};
  ASSERT_EQ(in.Process(64, b), kResultOk);
  EXPECT_EQ(in.processor->getTailSamples(), 2122063u);
}

TEST(Processing, BypassSilencesTheOutput) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  in.Start();
  Block b = PlainVoice(in);
  b.params.emplace_back(in.Id("Bypass"), 1.0);
  b.events = {NoteOn(69, 1.0f)};
  const Stereo out = in.Render(2400, b);
  EXPECT_EQ(Rms(out.left), 0.0);
  EXPECT_EQ(in.controller->getParamNormalized(in.Id("Bypass")), 1.0);
  Block on;
  on.params = {{in.Id("Bypass"), 0.0}};
  EXPECT_GT(Rms(in.Render(2400, on).left, 1200), 0.01) << "the held note sounds once the bypass is off";
}

// ---- MIDI-mapped controllers and pressure ---------------------------------------------------

TEST(MidiMapping, PitchBendBendsTwoSemitones) {
  struct Case {
    double normalized, hz;
  } cases[] = {
      {0.5, 440.0},                                          // 8192, the centre
      {1.0, 440.0 * std::exp2(2.0 * 8191 / 8192 / 12)},      // 16383
      {0.0, 440.0 * std::exp2(-2.0 / 12)},                   // 0
      {0.75, 440.0 * std::exp2(2.0 * (12287 - 8192) / 8192 / 12)},
  };
  for (const Case& c : cases) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    in.Start();
    Block b = PlainVoice(in);
    b.params.emplace_back(MappedId(in, kPitchBend), c.normalized);
    b.events = {NoteOn(69, 1.0f)};
    const Stereo out = in.Render(19200, b);
    const double hz = ZeroCrossingFrequency(out.left, kRate, 4800, 19200);
    EXPECT_NEAR(hz, c.hz, c.hz * 0.002) << "bend " << c.normalized;
  }
}

TEST(MidiMapping, SustainPedalHoldsReleasedNotesFromValue64) {
  struct Case {
    double value;
    bool held;
  } cases[] = {{63.0 / 127, false}, {64.0 / 127, true}, {1.0, true}, {0.0, false}};
  for (const Case& c : cases) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    in.Start();
    Block b = PlainVoice(in);
    b.params.emplace_back(MappedId(in, kCtrlSustainOnOff), c.value);
    b.events = {NoteOn(69, 1.0f)};
    in.Render(2400, b);
    Block off;
    off.events = {NoteOff(69)};
    const Stereo after = in.Render(9600, off);
    const double level = Rms(after.left, 4800);
    if (c.held) {
      EXPECT_GT(level, 0.01) << "sustain " << c.value * 127;
    } else {
      EXPECT_LT(level, 1e-3) << "sustain " << c.value * 127;
    }
  }
}

TEST(MidiMapping, AllSoundOffAndAllNotesOffReleaseHeldNotes) {
  Instance probe;
  ASSERT_TRUE(probe.Ok());
  const ParamID none = kNoParamId;
  struct Case {
    const char* what;
    ParamID id;
    bool silent;
  } cases[] = {{"nothing", none, false},
               {"controller 120", MappedId(probe, kCtrlAllSoundsOff), true},
               {"controller 123", MappedId(probe, kCtrlAllNotesOff), true}};
  for (const Case& c : cases) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    in.Start();
    Block b = PlainVoice(in);
    b.events = {NoteOn(69, 1.0f), NoteOn(76, 1.0f)};
    in.Render(2400, b);
    Block off;
    if (c.id != none) off.params = {{c.id, 0.0}};
    const double level = Rms(in.Render(9600, off).left, 4800);
    if (c.silent) {
      EXPECT_LT(level, 1e-3) << c.what;
    } else {
      EXPECT_GT(level, 0.01) << c.what;
    }
  }
}

// Renders the plain voice (with extra settings) and a controller value.
Stereo RenderWith(const std::vector<std::pair<std::string, double>>& extra, CtrlNumber controller, double value,
                  std::vector<Event> events) {
  Instance in;
  EXPECT_TRUE(in.Ok());
  in.Start();
  Block b = PlainVoice(in, extra);
  if (controller >= 0) {
    b.params.emplace_back(MappedId(in, controller), value);
  }
  b.events = std::move(events);
  Stereo out = in.Render(14400, b);
  if (controller >= 0) {
    EXPECT_NEAR(in.controller->getParamNormalized(MappedId(in, controller)), value, 1e-12)
        << "the host sees the controller's last value";
  }
  return out;
}

TEST(MidiMapping, ModulationWheelDrivesTheMotionLfo) {
  // LFO to pitch at full depth, "Motion" at 0: only the wheel moves it.
  const std::vector<std::pair<std::string, double>> lfo = {{"LFO Pitch", 100}, {"LFO Rate", 60}};
  const Stereo still = RenderWith(lfo, -1, 0.0, {NoteOn(69, 1.0f)});
  const Stereo wheelDown = RenderWith(lfo, kCtrlModWheel, 0.0, {NoteOn(69, 1.0f)});
  const Stereo wheelUp = RenderWith(lfo, kCtrlModWheel, 1.0, {NoteOn(69, 1.0f)});
  EXPECT_LT(RelativeDifference(still.left, wheelDown.left), kSameSound);
  EXPECT_GT(RelativeDifference(still.left, wheelUp.left), kDifferentSound);
}

TEST(MidiMapping, ChannelAndPolyphonicPressureOpenTheFilter) {
  // A saw through a closed filter: pressure raises the cutoff by up to 0.8
  // octaves, so more harmonics pass and the level rises.
  const std::vector<std::pair<std::string, double>> dark = {{"Osc 1 Wave", 1}, {"Cutoff", 20}};
  const double base = Rms(RenderWith(dark, -1, 0.0, {NoteOn(45, 1.0f)}).left, 4800);
  struct Case {
    const char* what;
    CtrlNumber controller;
    double value;
    std::vector<Event> events;
    bool opens;
  } cases[] = {
      {"channel pressure 127", kAfterTouch, 1.0, {NoteOn(45, 1.0f)}, true},
      {"channel pressure 0", kAfterTouch, 0.0, {NoteOn(45, 1.0f)}, false},
      {"key pressure on the note", -1, 0.0, {NoteOn(45, 1.0f), PolyPressure(45, 1.0f)}, true},
      {"key pressure on another key", -1, 0.0, {NoteOn(45, 1.0f), PolyPressure(50, 1.0f)}, false},
  };
  for (const Case& c : cases) {
    const double level = Rms(RenderWith(dark, c.controller, c.value, c.events).left, 4800);
    if (c.opens) {
      EXPECT_GT(level, base * 1.15) << c.what;
    } else {
      EXPECT_NEAR(level, base, base * 0.02) << c.what;
    }
  }
}

// ---- Host tempo ------------------------------------------------------------------------------

TEST(Tempo, TakenFrom30To300AndKeptOtherwise) {
  // The Motion LFO at a 1/16 note, full depth to pitch: its rate follows the tempo.
  const std::vector<std::pair<std::string, double>> synced = {
      {"Motion", 100}, {"LFO Pitch", 100}, {"Motion Sync", 1}};
  auto render = [&](std::vector<std::optional<double>> tempos) {
    Instance in;
    EXPECT_TRUE(in.Ok());
    in.Start(kRate, 480);
    Stereo out;
    for (size_t i = 0; i < tempos.size(); ++i) {
      Block b;
      if (i == 0) {
        b = PlainVoice(in, synced);
        b.events = {NoteOn(69, 1.0f)};
      }
      b.tempo = tempos[i];
      EXPECT_EQ(in.Process(480, b, &out), kResultOk);
    }
    return out.left;
  };
  constexpr size_t kBlocks = 30;  // 0.3 s
  auto constant = [](std::optional<double> t) { return std::vector<std::optional<double>>(kBlocks, t); };
  const std::vector<double> at120 = render(constant(std::nullopt));  // the engine starts at 120

  struct Case {
    const char* what;
    double tempo;
    bool taken;
  } cases[] = {{"30", 30.0, true},        {"300", 300.0, true},     {"29.9", 29.9, false}, {"300.1", 300.1, false},
               {"0", 0.0, false},          {"-120", -120.0, false},  {"infinity", kInf, false},
               {"NaN", kNaN, false}};
  for (const Case& c : cases) {
    const double d = RelativeDifference(render(constant(c.tempo)), at120);
    if (c.taken) {
      EXPECT_GT(d, kDifferentSound) << "tempo " << c.what << " was not taken";
    } else {
      EXPECT_LT(d, kSameSound) << "tempo " << c.what << " was taken";
    }
  }

  // A taken tempo stays through blocks without a context or with a bad one.
  const std::vector<double> at300 = render(constant(300.0));
  std::vector<std::optional<double>> mixed(kBlocks, std::nullopt);
  mixed[0] = 300.0;
  for (size_t i = 1; i < kBlocks; i += 3) mixed[i] = kNaN;
  EXPECT_LT(RelativeDifference(render(mixed), at300), kSameSound);
}

// ---- State ------------------------------------------------------------------------------------

TEST(State, ByteLayoutWithAnEmptySkinPath) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  ASSERT_EQ(in.RestoreState(MakeState({})), kResultOk);
  ASSERT_EQ(in.controller->setParamNormalized(in.Id("Attack"), 0.5), kResultOk);
  ASSERT_EQ(in.controller->setParamNormalized(in.Id("Osc 1 Range"), 1.0), kResultOk);
  ASSERT_EQ(in.controller->setParamNormalized(in.Id("Voice Mode"), 1.0), kResultOk);

  const std::vector<uint8_t> s = in.SaveState();
  ASSERT_EQ(s.size(), kStateBytesWithoutPath);
  std::vector<double> expected = DefaultValues();
  expected[8] = 250.875;
  expected[12] = 2.0;
  expected[40] = 2.0;
  for (int i = 0; i < kNumPlugParams; ++i)
    EXPECT_EQ(GetLE64Double(s, static_cast<size_t>(8 * i)), expected[static_cast<size_t>(i)]) << kParams[i].name;
  EXPECT_EQ(std::vector<uint8_t>(s.begin() + 472, s.begin() + 476), (std::vector<uint8_t>{0x31, 0x53, 0x42, 0x56}))
      << "the tag 'VBS1'";
  EXPECT_EQ(GetLE32(s, 476), 0u) << "path length";
  EXPECT_EQ(GetLE32(s, 480), 0u) << "bypass word";

  // A fresh instance saves the same layout with whatever skin path it starts with.
  Instance fresh;
  const std::vector<uint8_t> f = fresh.SaveState();
  ASSERT_GE(f.size(), kStateBytesWithoutPath);
  const uint32_t length = GetLE32(f, 476);
  EXPECT_LE(length, 4096u);
  EXPECT_EQ(f.size(), kStateBytesWithoutPath + length);
  for (uint32_t i = 0; i < length; ++i) EXPECT_NE(f[480 + i], 0) << "zero byte in the saved path";
}

TEST(State, RestoreSetsValuesPathAndBypassAndSavesThemAgain) {
  StateSpec decl;
  decl.values[IndexOf("Cutoff")] = 33.3;
  decl.values[IndexOf("Attack")] = 250.875;
  decl.values[IndexOf("Osc 1 Wave")] = 5;
  decl.values[IndexOf("Fat On")] = 0;
  decl.path = "/home/someone/Skins/Mine/skin.vbskin";
  decl.bypass = 1;
  const std::vector<uint8_t> state = MakeState(decl);

  Instance in;
  ASSERT_TRUE(in.Ok());
  ASSERT_EQ(in.RestoreState(state), kResultOk);
  EXPECT_EQ(in.SaveState(), state);
  EXPECT_EQ(in.controller->getParamNormalized(in.Id("Bypass")), 1.0);
  EXPECT_NEAR(in.controller->getParamNormalized(in.Id("Cutoff")), 0.333, 1e-12);
  const auto calls = in.handler.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().what, "restart") << "the host is told to read the values again";
  EXPECT_EQ(calls.back().id, static_cast<ParamID>(kParamValuesChanged));

  // A path of exactly 4096 bytes restores and saves.
  decl.path = std::string(4096, 'p');
  decl.bypass = 0;
  ASSERT_EQ(in.RestoreState(MakeState(decl)), kResultOk);
  EXPECT_EQ(in.SaveState(), MakeState(decl));

  // Stored values outside a range are limited, stepped ones rounded, and a
  // NaN leaves the value as it was.
  StateSpec odd;
  odd.values[IndexOf("Amp Level")] = 250;
  odd.values[IndexOf("Osc 1 Range")] = 1.6;
  odd.values[IndexOf("Voice Mode")] = -7;
  odd.values[IndexOf("Cutoff")] = kNaN;
  ASSERT_EQ(in.RestoreState(MakeState(odd)), kResultOk);
  const std::vector<uint8_t> saved = in.SaveState();
  EXPECT_EQ(GetLE64Double(saved, 8 * IndexOf("Amp Level")), 100.0);
  EXPECT_EQ(GetLE64Double(saved, 8 * IndexOf("Osc 1 Range")), 2.0);
  EXPECT_EQ(GetLE64Double(saved, 8 * IndexOf("Voice Mode")), 0.0);
  EXPECT_EQ(GetLE64Double(saved, 8 * IndexOf("Cutoff")), 33.3);
}

TEST(State, TheStreamIsReadWhereverItStartsAndHoweverItIsCut) {
  StateSpec decl;
  decl.values[IndexOf("Release")] = 1234;
  decl.path = "skin path";
  decl.bypass = 1;
  const std::vector<uint8_t> state = MakeState(decl);

  struct Case {
    const char* what;
    size_t prefix;
    int32 maxChunk;
    bool seekFails;
  } cases[] = {{"whole reads", 0, 0, false},
               {"7 bytes per read", 0, 7, false},
               {"behind 13 bytes of the host's own", 13, 0, false},
               {"behind a prefix, 5 bytes per read", 13, 5, false},
               {"a stream that cannot seek back", 0, 0, true}};
  for (const Case& c : cases) {
    Instance in;
    ASSERT_TRUE(in.Ok());
    MemoryStream stream;
    stream.data.assign(c.prefix, 0xEE);
    stream.data.insert(stream.data.end(), state.begin(), state.end());
    stream.data.insert(stream.data.end(), {1, 2, 3});  // the host's data after ours
    stream.pos = static_cast<int64>(c.prefix);
    stream.maxChunk = c.maxChunk;
    stream.seekFails = c.seekFails;
    ASSERT_EQ(in.component->setState(&stream), kResultOk) << c.what;
    EXPECT_EQ(in.SaveState(), state) << c.what;
    if (!c.seekFails) {
      EXPECT_EQ(stream.pos, static_cast<int64>(c.prefix + state.size())) << c.what << ": left after the bypass word";
    }
  }
}

TEST(State, DamagedOrForeignStatesAreRefusedAndChangeNothing) {
  StateSpec good;
  good.values[IndexOf("Cutoff")] = 12.5;
  good.values[IndexOf("Voice Mode")] = 2;
  good.path = "/skins/current/skin.vbskin";
  const std::vector<uint8_t> valid = MakeState(good);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  auto decl = [&](const char* what, auto change) {
    StateSpec s;
    s.values.assign(kNumPlugParams, 50.0);
    s.path = "/other/skin.vbskin";
    change(s);
    cases.emplace_back(what, MakeState(s));
  };
  decl("wrong tag", [](StateSpec& s) { s.tag = 0x56425332; });
  decl("length over 4096", [](StateSpec& s) {
    s.path = std::string(4097, 'x');
  });
  decl("declared length runs past the end", [](StateSpec& s) { s.length = 40; });
  decl("no bypass word", [](StateSpec& s) { s.withBypass = false; });
  decl("zero byte in the path", [](StateSpec& s) { s.path = std::string("ab\0cd", 5); });
  cases.emplace_back("empty", std::vector<uint8_t>{});
  std::vector<uint8_t> foreign(900);
  for (size_t i = 0; i < foreign.size(); ++i) foreign[i] = static_cast<uint8_t>(i * 37 + 11);
  cases.emplace_back("another plug-in's state", foreign);
  // Cut anywhere: inside the values, the tag, the length, the path, the bypass word.
  StateSpec other;
  other.values.assign(kNumPlugParams, 50.0);
  other.path = "/other/skin.vbskin";
  const std::vector<uint8_t> full = MakeState(other);
  for (size_t cut = 0; cut < full.size(); ++cut)
    cases.emplace_back("cut to " + std::to_string(cut) + " bytes", std::vector<uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));

  Instance in;
  ASSERT_TRUE(in.Ok());
  ASSERT_EQ(in.RestoreState(valid), kResultOk);
  for (const auto& [what, bytes] : cases) {
    EXPECT_EQ(in.RestoreState(bytes), kResultFalse) << what;
    ASSERT_EQ(in.SaveState(), valid) << what << ": the sound or the skin path changed";
  }
  EXPECT_EQ(in.component->setState(nullptr), kInvalidArgument);
  EXPECT_EQ(in.component->getState(nullptr), kInvalidArgument);

  // A stream the state cannot be written to fails the save.
  MemoryStream broken;
  broken.writeFails = true;
  EXPECT_EQ(in.component->getState(&broken), kResultFalse);
}

TEST(State, ARestoredInstanceSoundsLikeTheOriginal) {
  const std::vector<std::pair<std::string, double>> sound = {
      {"Osc 1 Range", 1}, {"Osc 1 Wave", 1}, {"Cutoff", 45}, {"Resonance", 40}, {"Master Gain", 60}};
  Instance original;
  ASSERT_TRUE(original.Ok());
  original.Start();
  Block b = PlainVoice(original, sound);
  b.events = {NoteOn(57, 1.0f)};
  const Stereo reference = original.Render(9600, b);
  const std::vector<uint8_t> state = original.SaveState();

  // Restored while processing: the values reach the engine with the next process call.
  Instance restored;
  ASSERT_TRUE(restored.Ok());
  restored.Start();
  ASSERT_EQ(restored.RestoreState(state), kResultOk);
  Block note;
  note.events = {NoteOn(57, 1.0f)};
  const Stereo again = restored.Render(9600, note);
  EXPECT_LT(RelativeDifference(reference.left, again.left), kSameSound);
  EXPECT_LT(RelativeDifference(reference.right, again.right), kSameSound);
  EXPECT_EQ(restored.SaveState(), state);

  // Without the state the same note sounds clearly different.
  Instance fresh;
  ASSERT_TRUE(fresh.Ok());
  fresh.Start();
  const Stereo other = fresh.Render(9600, note);
  EXPECT_GT(RelativeDifference(reference.left, other.left), kDifferentSound);
}

TEST(State, ControllerStateIsEmptyAndComponentStateIsNotAppliedTwice) {
  Instance in;
  ASSERT_TRUE(in.Ok());
  MemoryStream controllerState;
  EXPECT_EQ(in.controller->getState(&controllerState), kResultOk);
  EXPECT_TRUE(controllerState.data.empty());
  EXPECT_EQ(in.controller->setState(&controllerState), kResultOk);

  const std::vector<uint8_t> before = in.SaveState();
  StateSpec decl;
  decl.values[IndexOf("Cutoff")] = 1.0;
  MemoryStream componentState(MakeState(decl));
  // The host hands the component's state to the controller as well; the one
  // object already holds it, so nothing is read or set.
  EXPECT_EQ(in.controller->setComponentState(&componentState), kResultOk);
  EXPECT_EQ(componentState.pos, 0);
  EXPECT_EQ(in.SaveState(), before);
}

}  // namespace
}  // namespace vst3test
