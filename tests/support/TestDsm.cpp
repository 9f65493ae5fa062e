// A small data source manager for the tests and for twacquire without an
// installed manager. It does what the real manager does for a 1.x/2.x source on
// 64-bit Linux: assigns application and source ids, probes each source library
// (load, DAT_IDENTITY/MSG_GET, unload) when the application opens the manager,
// refuses sources whose identity the real manager would refuse, loads the
// library again at MSG_OPENDS and unloads it after MSG_CLOSEDS, routes
// triplets to DS_Entry, and hands the DAT_NULL notifications of a source to the
// application's callback synchronously, on the sending thread. Memory it hands
// out comes from calloc and is released with free.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestDsmApi.h"

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest,
                                                                       TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                                                       TW_MEMREF pData);

namespace {

struct CatalogEntry {
  std::string path;
  TW_IDENTITY identity{};  // as probed, Id = the entry's id
};

struct OpenSource {
  TW_IDENTITY identity{};
  void* library = nullptr;
  DSENTRYPROC entry = nullptr;
  TWAINCALLBACKPROC callback = nullptr;
};

struct Application {
  TW_IDENTITY identity{};
  TW_UINT16 conditionCode = TWCC_SUCCESS;
  std::vector<CatalogEntry> catalog;
  std::size_t nextIndex = 0;  // for MSG_GETNEXT
  std::map<TW_UINT32, OpenSource> sources;
};

// Calls into a source or an application callback never hold this lock: either
// may call DSM_Entry again, from any thread.
std::recursive_mutex g_lock;
std::map<TW_UINT32, Application> g_applications;
TW_UINT32 g_nextApplicationId = 1;
std::optional<std::string> g_sourcePath;
std::vector<TestDsmNotification> g_notifications;
int g_sourceLoads = 0;

std::vector<std::string> SourcePaths() {
  std::lock_guard lock(g_lock);
  if (g_sourcePath) return {*g_sourcePath};
  const char* fromEnvironment = std::getenv("VELLORAN_TEST_DS");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return {fromEnvironment};
  return {};
}

void* LoadLibrary(const std::string& path, DSENTRYPROC& entry) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  {
    std::lock_guard lock(g_lock);
    ++g_sourceLoads;
  }
  entry = reinterpret_cast<DSENTRYPROC>(dlsym(library, "DS_Entry"));
  if (entry == nullptr) {
    dlclose(library);
    return nullptr;
  }
  return library;
}

// The manager on 64-bit Linux takes a source with protocol 1.0 to 1.4, or one
// without both data groups, for one built with a 64-bit long, and skips it.
bool IsAcceptableIdentity(const TW_IDENTITY& identity) {
  if ((identity.SupportedGroups & (DG_CONTROL | DG_IMAGE)) != (DG_CONTROL | DG_IMAGE)) return false;
  const unsigned major = identity.ProtocolMajor;
  const unsigned minor = identity.ProtocolMinor;
  if (major == 1) return (minor >= 5 && minor <= 9) || minor == 91;
  return major >= 2 && minor <= 9;
}

// Loads the library, asks its identity and unloads it again.
std::optional<TW_IDENTITY> ProbeSource(const std::string& path, TW_IDENTITY* application) {
  DSENTRYPROC entry = nullptr;
  void* library = LoadLibrary(path, entry);
  if (library == nullptr) return std::nullopt;
  TW_IDENTITY identity{};
  const TW_UINT16 rc = entry(application, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity);
  dlclose(library);
  if (rc != TWRC_SUCCESS || !IsAcceptableIdentity(identity)) return std::nullopt;
  return identity;
}

// Identities are packed: their Id may sit misaligned, so it is read by value
// before a container takes it by reference.
TW_UINT32 IdOf(const TW_IDENTITY& identity) { return identity.Id; }

TW_UINT16 Refuse(Application* application, TW_UINT16 conditionCode) {
  if (application != nullptr) application->conditionCode = conditionCode;
  return TWRC_FAILURE;
}

Application* FindApplication(const TW_IDENTITY* identity) {
  if (identity == nullptr) return nullptr;
  const auto it = g_applications.find(IdOf(*identity));
  return it == g_applications.end() ? nullptr : &it->second;
}

TW_HANDLE MemAllocate(TW_UINT32 size) { return std::calloc(size, 1); }
void MemFree(TW_HANDLE handle) { std::free(handle); }
TW_MEMREF MemLock(TW_HANDLE handle) { return handle; }
void MemUnlock(TW_HANDLE) {}

TW_UINT16 OpenManager(TW_IDENTITY* origin) {
  if (origin == nullptr) return TWRC_FAILURE;
  std::vector<std::string> paths = SourcePaths();
  TW_UINT32 id = 0;
  {
    std::lock_guard lock(g_lock);
    if (origin->Id != 0 && g_applications.count(IdOf(*origin)) != 0) {
      return Refuse(&g_applications[IdOf(*origin)], TWCC_SEQERROR);
    }
    id = g_nextApplicationId++;
    origin->Id = id;
    origin->SupportedGroups |= DF_DSM2;
    g_applications[id].identity = *origin;
  }
  std::vector<CatalogEntry> catalog;
  for (const std::string& path : paths) {
    std::optional<TW_IDENTITY> identity = ProbeSource(path, origin);
    if (!identity) continue;
    identity->Id = static_cast<TW_UINT32>(catalog.size() + 1);
    catalog.push_back({path, *identity});
  }
  std::lock_guard lock(g_lock);
  g_applications[id].catalog = std::move(catalog);
  return TWRC_SUCCESS;
}

TW_UINT16 CloseManager(TW_IDENTITY* origin) {
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  if (application == nullptr) return TWRC_FAILURE;
  if (!application->sources.empty()) return Refuse(application, TWCC_SEQERROR);
  g_applications.erase(IdOf(*origin));
  return TWRC_SUCCESS;
}

const CatalogEntry* ChooseSource(const Application& application, const TW_IDENTITY& wanted) {
  if (application.catalog.empty()) return nullptr;
  for (const CatalogEntry& entry : application.catalog) {
    if (wanted.Id != 0 && entry.identity.Id == wanted.Id) return &entry;
    if (wanted.Id == 0 && wanted.ProductName[0] != '\0' &&
        std::strncmp(entry.identity.ProductName, wanted.ProductName, sizeof(TW_STR32)) == 0) {
      return &entry;
    }
  }
  if (wanted.Id == 0 && wanted.ProductName[0] == '\0') return &application.catalog.front();
  return nullptr;
}

TW_UINT16 OpenDataSource(TW_IDENTITY* origin, TW_IDENTITY* wanted) {
  CatalogEntry chosen;
  {
    std::lock_guard lock(g_lock);
    Application* application = FindApplication(origin);
    if (application == nullptr) return TWRC_FAILURE;
    if (wanted == nullptr) return Refuse(application, TWCC_BADVALUE);
    const CatalogEntry* entry = ChooseSource(*application, *wanted);
    if (entry == nullptr) return Refuse(application, TWCC_NODS);
    if (application->sources.count(IdOf(entry->identity)) != 0) return Refuse(application, TWCC_SEQERROR);
    chosen = *entry;
  }
  OpenSource source;
  source.library = LoadLibrary(chosen.path, source.entry);
  if (source.library == nullptr) {
    std::lock_guard lock(g_lock);
    return Refuse(FindApplication(origin), TWCC_NODS);
  }
  source.identity = chosen.identity;
  if (source.identity.SupportedGroups & DF_DS2) {
    TW_ENTRYPOINT entryPoint{sizeof(TW_ENTRYPOINT), &DSM_Entry, &MemAllocate, &MemFree, &MemLock, &MemUnlock};
    if (source.entry(origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entryPoint) != TWRC_SUCCESS) {
      dlclose(source.library);
      std::lock_guard lock(g_lock);
      return Refuse(FindApplication(origin), TWCC_OPERATIONERROR);
    }
  }
  // The source gets the application's own (temporary) identity and our copy of its identity.
  TW_IDENTITY identity = source.identity;
  const TW_UINT16 rc = source.entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
  if (rc != TWRC_SUCCESS) {
    dlclose(source.library);
    std::lock_guard lock(g_lock);
    return Refuse(FindApplication(origin), TWCC_OPERATIONERROR);
  }
  *wanted = source.identity;
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  if (application == nullptr) {  // the application closed the manager meanwhile
    dlclose(source.library);
    return TWRC_FAILURE;
  }
  application->sources[IdOf(source.identity)] = source;
  return TWRC_SUCCESS;
}

// Looks up the open source `destination` of application `origin`.
std::optional<OpenSource> FindOpenSource(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT16& rc) {
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  rc = TWRC_FAILURE;
  if (application == nullptr) return std::nullopt;
  const auto it = application->sources.find(IdOf(*destination));
  if (it == application->sources.end()) {
    Refuse(application, TWCC_BADDEST);
    return std::nullopt;
  }
  return it->second;
}

TW_UINT16 CloseDataSource(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_MEMREF data) {
  TW_UINT16 rc = TWRC_FAILURE;
  std::optional<OpenSource> source = FindOpenSource(origin, destination, rc);
  if (!source) return rc;
  rc = source->entry(origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, data);
  if (rc != TWRC_SUCCESS) return rc;
  {
    std::lock_guard lock(g_lock);
    if (Application* application = FindApplication(origin)) application->sources.erase(IdOf(*destination));
  }
  dlclose(source->library);
  return rc;
}

TW_UINT16 RegisterCallback(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_MEMREF data) {
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  if (application == nullptr) return TWRC_FAILURE;
  if (data == nullptr) return Refuse(application, TWCC_BADVALUE);
  const auto it = application->sources.find(IdOf(*destination));
  if (it == application->sources.end()) return Refuse(application, TWCC_BADDEST);
  TW_CALLBACK callback;
  std::memcpy(&callback, data, sizeof(callback));
  it->second.callback = reinterpret_cast<TWAINCALLBACKPROC>(callback.CallBackProc);
  return TWRC_SUCCESS;
}

// A source's DAT_NULL notification: origin is the source, destination the application.
TW_UINT16 Notify(TW_IDENTITY* source, TW_IDENTITY* destination, TW_UINT16 msg) {
  TestDsmNotification record{};
  record.sourceId = source != nullptr ? source->Id : 0;
  record.applicationId = destination != nullptr ? destination->Id : 0;
  record.msg = msg;
  record.threadHash = std::hash<std::thread::id>{}(std::this_thread::get_id());

  TWAINCALLBACKPROC callback = nullptr;
  TW_IDENTITY application{};
  {
    std::lock_guard lock(g_lock);
    if (Application* found = FindApplication(destination)) {
      application = found->identity;
      const auto it = found->sources.find(record.sourceId);
      if (it != found->sources.end()) callback = it->second.callback;
    }
  }
  if (callback != nullptr) {
    record.delivered = 1;
    record.callbackResult = callback(source, &application, DG_CONTROL, DAT_NULL, msg, nullptr);
  }
  std::lock_guard lock(g_lock);
  g_notifications.push_back(record);
  return TWRC_SUCCESS;
}

TW_UINT16 ManagerStatus(TW_IDENTITY* origin, TW_MEMREF data) {
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  if (application == nullptr || data == nullptr) return TWRC_FAILURE;
  auto* status = static_cast<TW_STATUS*>(data);
  status->ConditionCode = application->conditionCode;
  status->Reserved = 0;
  application->conditionCode = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

TW_UINT16 ManagerIdentity(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data) {
  if (msg == MSG_OPENDS) return OpenDataSource(origin, static_cast<TW_IDENTITY*>(data));
  if (msg == MSG_CLOSEDS) {
    if (data == nullptr) {
      std::lock_guard lock(g_lock);
      return Refuse(FindApplication(origin), TWCC_BADVALUE);
    }
    return CloseDataSource(origin, static_cast<TW_IDENTITY*>(data), data);
  }
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  if (application == nullptr) return TWRC_FAILURE;
  if (data == nullptr) return Refuse(application, TWCC_BADVALUE);
  auto* identity = static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_GETDEFAULT:
    case MSG_USERSELECT:
      if (application->catalog.empty()) return Refuse(application, TWCC_NODS);
      *identity = application->catalog.front().identity;
      return TWRC_SUCCESS;
    case MSG_GETFIRST:
      application->nextIndex = 0;
      [[fallthrough]];
    case MSG_GETNEXT:
      if (application->nextIndex >= application->catalog.size()) return TWRC_ENDOFLIST;
      *identity = application->catalog[application->nextIndex++].identity;
      return TWRC_SUCCESS;
    default:
      return Refuse(application, TWCC_BADPROTOCOL);
  }
}

TW_UINT16 ManagerEntryPoint(TW_IDENTITY* origin, TW_UINT16 msg, TW_MEMREF data) {
  std::lock_guard lock(g_lock);
  Application* application = FindApplication(origin);
  if (application == nullptr) return TWRC_FAILURE;
  auto* entryPoint = static_cast<TW_ENTRYPOINT*>(data);
  if (msg != MSG_GET || entryPoint == nullptr || entryPoint->Size < sizeof(TW_ENTRYPOINT)) {
    return Refuse(application, TWCC_BADVALUE);
  }
  *entryPoint = TW_ENTRYPOINT{sizeof(TW_ENTRYPOINT), &DSM_Entry, &MemAllocate, &MemFree, &MemLock, &MemUnlock};
  return TWRC_SUCCESS;
}

}  // namespace

extern "C" {

TW_UINT16 DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                    TW_MEMREF pData) {
  if (DG == DG_CONTROL && DAT == DAT_NULL) return Notify(pOrigin, pDest, MSG);
  if (pOrigin == nullptr) return TWRC_FAILURE;
  if (DG == DG_CONTROL && DAT == DAT_PARENT) {
    if (MSG == MSG_OPENDSM) return OpenManager(pOrigin);
    if (MSG == MSG_CLOSEDSM) return CloseManager(pOrigin);
    std::lock_guard lock(g_lock);
    return Refuse(FindApplication(pOrigin), TWCC_BADPROTOCOL);
  }
  if (pDest == nullptr) {
    if (DG == DG_CONTROL && DAT == DAT_STATUS) return ManagerStatus(pOrigin, pData);
    if (DG == DG_CONTROL && DAT == DAT_IDENTITY) return ManagerIdentity(pOrigin, MSG, pData);
    if (DG == DG_CONTROL && DAT == DAT_ENTRYPOINT) return ManagerEntryPoint(pOrigin, MSG, pData);
    std::lock_guard lock(g_lock);
    return Refuse(FindApplication(pOrigin), TWCC_BADPROTOCOL);
  }
  if (DG == DG_CONTROL && DAT == DAT_CALLBACK && MSG == MSG_REGISTER_CALLBACK) {
    return RegisterCallback(pOrigin, pDest, pData);
  }
  if (DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_CLOSEDS) return CloseDataSource(pOrigin, pDest, pData);
  TW_UINT16 rc = TWRC_FAILURE;
  std::optional<OpenSource> source = FindOpenSource(pOrigin, pDest, rc);
  if (!source) return rc;
  return source->entry(pOrigin, DG, DAT, MSG, pData);
}

__attribute__((visibility("default"))) void TestDsm_SetSourcePath(const char* path) {
  std::lock_guard lock(g_lock);
  g_sourcePath = path != nullptr ? std::optional<std::string>(path) : std::nullopt;
}

__attribute__((visibility("default"))) int TestDsm_NotificationCount(void) {
  std::lock_guard lock(g_lock);
  return static_cast<int>(g_notifications.size());
}

__attribute__((visibility("default"))) int TestDsm_GetNotification(int index, TestDsmNotification* notification) {
  std::lock_guard lock(g_lock);
  if (notification == nullptr || index < 0 || static_cast<std::size_t>(index) >= g_notifications.size()) return 0;
  *notification = g_notifications[static_cast<std::size_t>(index)];
  return 1;
}

__attribute__((visibility("default"))) void TestDsm_ClearNotifications(void) {
  std::lock_guard lock(g_lock);
  g_notifications.clear();
}

__attribute__((visibility("default"))) int TestDsm_SourceLoadCount(void) {
  std::lock_guard lock(g_lock);
  return g_sourceLoads;
}

}  // extern "C"
