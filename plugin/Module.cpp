// The module's identity towards VST 3 hosts: the factory and class
// information, the class id, the instance constructor with its creation mutex,
// and the GetPluginFactory entry point. The binding itself is framework/vst3.
#include <memory>
#include <mutex>
#include <new>

#include "Config.h"
#include "VrelBazzit.h"
#include "framework/vst3/Vst3Component.h"
#ifdef VB_EDITOR_VIEW
#include "framework/graphics/platform/EditorContent.h"
#endif
#include "framework/vst3/Vst3Factory.h"
#include "framework/vst3/Vst3Module.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"

namespace vrelbazzit {

namespace {

using namespace Steinberg;

// The class id: two fixed words, then the manufacturer and plug-in codes.
constexpr uint32 kClassIdWord1 = 0xF2AEE70D;
constexpr uint32 kClassIdWord2 = 0x00DE4F4E;
constexpr const char* kSubCategories = "Instrument|Synth";
constexpr const char* kSdkVersion = "VST 3.8.1";

PClassInfo2 MakeComponentClass() {
  // FUID keeps the bytes in the SDK's order for the platform: on Windows the
  // COM-compatible order, elsewhere each word most significant byte first.
  const FUID classId(kClassIdWord1, kClassIdWord2, static_cast<uint32>(kManufacturerId), static_cast<uint32>(kUniqueId));
  return PClassInfo2(classId.toTUID(), PClassInfo::kManyInstances, kVstAudioEffectClass, kPluginName,
                     Vst::kSimpleModeSupported, kSubCategories, nullptr, kVersionString, kSdkVersion);
}

// The factory's creation function: one instance, handed out as its audio processor.
FUnknown* createInstance(void* /*context*/) {
  std::unique_ptr<fw::IPlugBase> plug(fw::MakePlug(fw::InstanceInfo{}));
  if (!plug) return nullptr;
  fw::vst3::ViewContentFactory viewFactory;
#ifdef VB_EDITOR_VIEW
  // The component owns the plug-in and every view it creates.
  viewFactory = [p = plug.get()]() -> std::unique_ptr<fw::platform::IViewContent> {
    return std::make_unique<fw::platform::EditorContent>(*p);
  };
#endif
  try {
    return static_cast<Vst::IAudioProcessor*>(new fw::vst3::SingleComponent(std::move(plug), std::move(viewFactory)));
  } catch (...) {
    return nullptr;
  }
}

fw::vst3::PluginFactory* CreateFactory() {
  static const PFactoryInfo factoryInfo(kManufacturerName, "", "", PFactoryInfo::kUnicode);
  auto* factory = new (std::nothrow) fw::vst3::PluginFactory(factoryInfo);
  if (!factory) return nullptr;
  static const PClassInfo2 componentClass = MakeComponentClass();
  factory->registerClass(&componentClass, createInstance, nullptr);
  return factory;
}

}  // namespace

}  // namespace vrelbazzit

namespace fw {

// Any host thread: construction is serialised by the process-wide creation mutex.
IPlugBase* MakePlug(const InstanceInfo& info) {
  static std::mutex sMutex;
  std::lock_guard<std::mutex> lock(sMutex);
  try {
    return new vrelbazzit::VrelBazzit(info);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace fw

extern "C" SMTG_EXPORT_SYMBOL Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
  return fw::vst3::AcquireModuleFactory(vrelbazzit::CreateFactory);
}
