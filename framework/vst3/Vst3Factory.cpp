#include "Vst3Factory.h"

#include <cstring>
#include <mutex>

namespace fw::vst3 {

using namespace Steinberg;

namespace {

// Guards the module's factory pointer, and a factory's last release against a
// GetPluginFactory call that would hand the dying factory out again.
std::mutex& ModuleFactoryMutex() {
  static std::mutex mutex;
  return mutex;
}
PluginFactory* gPluginFactory = nullptr;

}  // namespace

PluginFactory::PluginFactory(const PFactoryInfo& info) : mInfo(info) {}

PluginFactory::~PluginFactory() = default;

bool PluginFactory::registerClass(const PClassInfo2* info, CreateInstanceFunc create, void* context) {
  if (!info || !create) return false;
  for (const ClassEntry& e : mClasses) {
    if (std::memcmp(e.info->cid, info->cid, sizeof(TUID)) == 0) return false;
  }
  try {
    mClasses.push_back({info, create, context});
  } catch (...) {
    return false;
  }
  return true;
}

tresult PLUGIN_API PluginFactory::queryInterface(const TUID queriedIid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(queriedIid, FUnknown::iid) || FUnknownPrivate::iidEqual(queriedIid, IPluginFactory::iid) ||
      FUnknownPrivate::iidEqual(queriedIid, IPluginFactory2::iid) || FUnknownPrivate::iidEqual(queriedIid, IPluginFactory3::iid)) {
    addRef();
    *obj = static_cast<IPluginFactory3*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API PluginFactory::addRef() { return mRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32 PLUGIN_API PluginFactory::release() {
  std::unique_lock<std::mutex> lock(ModuleFactoryMutex());
  const uint32 remaining = mRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining == 0) {
    if (gPluginFactory == this) gPluginFactory = nullptr;
    lock.unlock();
    delete this;
  }
  return remaining;
}

tresult PLUGIN_API PluginFactory::getFactoryInfo(PFactoryInfo* info) {
  if (!info) return kInvalidArgument;
  *info = mInfo;
  return kResultOk;
}

int32 PLUGIN_API PluginFactory::countClasses() { return static_cast<int32>(mClasses.size()); }

const PluginFactory::ClassEntry* PluginFactory::Find(int32 index) const {
  return (index >= 0 && index < static_cast<int32>(mClasses.size())) ? &mClasses[static_cast<size_t>(index)] : nullptr;
}

tresult PLUGIN_API PluginFactory::getClassInfo(int32 index, PClassInfo* info) {
  const ClassEntry* e = Find(index);
  if (!info || !e) return kInvalidArgument;
  *info = PClassInfo(e->info->cid, e->info->cardinality, e->info->category, e->info->name);
  return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfo2(int32 index, PClassInfo2* info) {
  const ClassEntry* e = Find(index);
  if (!info || !e) return kInvalidArgument;
  *info = *e->info;
  return kResultOk;
}

tresult PLUGIN_API PluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  const ClassEntry* e = Find(index);
  if (!info || !e) return kInvalidArgument;
  *info = PClassInfoW();
  info->fromAscii(*e->info);
  return kResultOk;
}

tresult PLUGIN_API PluginFactory::createInstance(FIDString cid, FIDString interfaceIid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !interfaceIid) return kInvalidArgument;
  for (const ClassEntry& e : mClasses) {
    if (std::memcmp(e.info->cid, cid, sizeof(TUID)) != 0) continue;
    FUnknown* instance = e.create(e.context);
    if (!instance) return kOutOfMemory;
    const tresult result = instance->queryInterface(interfaceIid, obj);
    instance->release();  // the reference of the creation; the caller holds the queried one
    if (result != kResultOk) {
      *obj = nullptr;
      return kNoInterface;
    }
    return kResultOk;
  }
  return kNoInterface;
}

tresult PLUGIN_API PluginFactory::setHostContext(FUnknown* /*context*/) {
  // Instances get the host's context through IPluginBase::initialize; the
  // factory itself needs nothing from the host.
  return kResultOk;
}

IPluginFactory* AcquireModuleFactory(PluginFactory* (*create)()) {
  std::lock_guard<std::mutex> lock(ModuleFactoryMutex());
  if (gPluginFactory) {
    gPluginFactory->addRef();
    return gPluginFactory;
  }
  gPluginFactory = create ? create() : nullptr;
  return gPluginFactory;
}

}  // namespace fw::vst3
