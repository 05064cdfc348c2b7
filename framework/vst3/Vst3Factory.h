// The module's plug-in factory (IPluginFactory3): the factory information, the
// registered classes with their descriptions, and instance creation by class
// id. One factory per loaded module, shared by every GetPluginFactory call.
#pragma once

#include <atomic>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"

namespace fw::vst3 {

// Creates one object of a registered class with one reference, or null.
// Must not throw.
using CreateInstanceFunc = Steinberg::FUnknown* (*)(void* context);

// The SDK's interfaces have no virtual destructors by design: objects are
// destroyed by their own release(), never deleted through an interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class PluginFactory final : public Steinberg::IPluginFactory3 {
public:
  explicit PluginFactory(const Steinberg::PFactoryInfo& info);
  PluginFactory(const PluginFactory&) = delete;
  PluginFactory& operator=(const PluginFactory&) = delete;

  // The description is kept by pointer: it must outlive the factory (a static).
  // False for a null description or function, or a class id already registered.
  bool registerClass(const Steinberg::PClassInfo2* info, CreateInstanceFunc create, void* context = nullptr);

  // FUnknown
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

  // IPluginFactory
  Steinberg::tresult PLUGIN_API getFactoryInfo(Steinberg::PFactoryInfo* info) override;
  Steinberg::int32 PLUGIN_API countClasses() override;
  Steinberg::tresult PLUGIN_API getClassInfo(Steinberg::int32 index, Steinberg::PClassInfo* info) override;
  Steinberg::tresult PLUGIN_API createInstance(Steinberg::FIDString cid, Steinberg::FIDString iid,
                                               void** obj) override;
  // IPluginFactory2
  Steinberg::tresult PLUGIN_API getClassInfo2(Steinberg::int32 index, Steinberg::PClassInfo2* info) override;
  // IPluginFactory3
  Steinberg::tresult PLUGIN_API getClassInfoUnicode(Steinberg::int32 index, Steinberg::PClassInfoW* info) override;
  Steinberg::tresult PLUGIN_API setHostContext(Steinberg::FUnknown* context) override;

private:
  ~PluginFactory();

  struct ClassEntry {
    const Steinberg::PClassInfo2* info;
    CreateInstanceFunc create;
    void* context;
  };
  const ClassEntry* Find(Steinberg::int32 index) const;

  Steinberg::PFactoryInfo mInfo;
  std::vector<ClassEntry> mClasses;
  std::atomic<Steinberg::uint32> mRefCount{1};
};

#pragma GCC diagnostic pop

// The module's factory: when one exists it gains a reference and is returned,
// otherwise `create` makes it (with one reference) and it becomes the module's
// factory until its last reference is released. Thread-safe.
Steinberg::IPluginFactory* AcquireModuleFactory(PluginFactory* (*create)());

}  // namespace fw::vst3
