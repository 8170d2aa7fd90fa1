// KRVLib.dll: the recorder's device library. Reads the recorder's card store
// (see cardstore.h for the format) from the volume on a given physical disk
// and makes play files, AVI conversions and photo extracts from it.
//
// Entry points the viewer relies on behave as documented with each function.
// Every other entry point returns 0 ("not supported") without touching its
// arguments, except the three read-only queries KRV_Check_Krv_Device,
// KRV_Get_Device_Name and KRV_Get_Config_Data. KRV_Write, KRV_Format and
// KRV_Set_Config_Data refuse: the library never writes to the card.
//
// Threads: one context may be used from several threads at once (the
// viewer's window thread, its prefetch worker and its export worker). The
// card's index is guarded by the context's lock; file making runs outside it
// on copies, so KRV_Stop_Make_Play_File from another thread stops a running
// make at its next chunk.
#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "card.h"
#include "cardstore.h"

namespace {

constexpr uint32_t kContextMagic = 0x4B525643;  // "CVRK"
constexpr size_t kPictureBufferBytes = 2u << 20;
constexpr size_t kMaxFolderBytes = 260;

struct Context {
  uint32_t magic = kContextMagic;
  CRITICAL_SECTION lock;
  krv::Card card;
  uint8_t disk = 0;
  std::string folder;                        // last folder set by any thread
  std::map<DWORD, std::string> threadFolder;  // last folder set by each thread
  volatile LONG stopEpoch = 0;
};

// Live contexts, so that a stale or foreign handle is refused, not used.
CRITICAL_SECTION g_registryLock;
std::set<Context*>* g_contexts = nullptr;

struct Locked {
  explicit Locked(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
  ~Locked() { LeaveCriticalSection(&cs_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  CRITICAL_SECTION& cs_;
};

Context* lookup(void* handle) {
  if (!handle) return nullptr;
  Locked l(g_registryLock);
  auto* c = static_cast<Context*>(handle);
  return g_contexts && g_contexts->count(c) && c->magic == kContextMagic ? c : nullptr;
}

// Physical disk number of a drive letter's volume: the first disk extent, or,
// where the volume reports no extent (card readers under some systems), the
// storage device number. -1 when neither is known.
int diskNumberOf(char letter) {
  char path[] = "\\\\.\\X:";
  path[4] = letter;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  int result = -1;
  union {
    VOLUME_DISK_EXTENTS ext;
    unsigned char raw[256];
  } buf;
  DWORD got = 0;
  if (DeviceIoControl(h, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &buf, sizeof buf, &got, nullptr) &&
      buf.ext.NumberOfDiskExtents >= 1) {
    result = int(buf.ext.Extents[0].DiskNumber);
  } else {
    STORAGE_DEVICE_NUMBER sdn = {};
    if (DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &sdn, sizeof sdn, &got, nullptr))
      result = int(sdn.DeviceNumber);
  }
  CloseHandle(h);
  return result;
}

// The root ("E:\") of the card volume on physical disk `disk`, or empty.
std::string findCardRoot(uint8_t disk) {
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::string found;
  DWORD drives = GetLogicalDrives();
  for (int i = 2; i < 26 && found.empty(); ++i) {  // A: and B: are never cards
    if (!(drives & (1u << i))) continue;
    char letter = char('A' + i);
    std::string root = std::string(1, letter) + ":\\";
    UINT type = GetDriveTypeA(root.c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN || type == DRIVE_REMOTE || type == DRIVE_CDROM) continue;
    if (diskNumberOf(letter) != disk) continue;
    if (GetFileAttributesA(krv::indexPath(root).c_str()) != INVALID_FILE_ATTRIBUTES) found = root;
  }
  SetErrorMode(oldMode);
  return found;
}

// Deletes a stopped make's temporary file on a thread of its own, so that the
// stop is not held up by the file system. The thread keeps the library loaded
// until it is done.
DWORD WINAPI discardThread(void* p) {
  auto* path = static_cast<std::string*>(p);
  DeleteFileA(path->c_str());
  delete path;
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&discardThread), &self);
  FreeLibraryAndExitThread(self, 0);
  return 0;
}

void discardLater(const std::string& path) {
  HMODULE self = nullptr;
  auto* copy = new (std::nothrow) std::string(path);
  if (copy && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&discardThread),
                                 &self)) {
    HANDLE h = CreateThread(nullptr, 0, discardThread, copy, 0, nullptr);
    if (h) {
      CloseHandle(h);
      return;
    }
    FreeLibrary(self);
  }
  delete copy;
  DeleteFileA(path.c_str());
}

// A recording's data file mapped into memory: reading it costs no system calls.
class MappedSource : public krv::MemorySource {
 public:
  MappedSource(const void* view, size_t size) : krv::MemorySource(static_cast<const uint8_t*>(view), size), view_(view) {}
  ~MappedSource() override { UnmapViewOfFile(view_); }
  MappedSource(const MappedSource&) = delete;
  MappedSource& operator=(const MappedSource&) = delete;

 private:
  const void* view_;
};

std::unique_ptr<krv::ByteSource> openMapped(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (f == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size = {};
  std::unique_ptr<krv::ByteSource> src;
  if (GetFileSizeEx(f, &size) && size.QuadPart > 0 && uint64_t(size.QuadPart) < (uint64_t(1) << 40)) {
    HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (m) {
      if (const void* view = MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0))
        src.reset(new (std::nothrow) MappedSource(view, size_t(size.QuadPart)));
      CloseHandle(m);
    }
  }
  CloseHandle(f);
  if (!src) {  // empty or unmappable: read it the ordinary way
    auto file = std::make_unique<krv::FileSource>(path);
    if (file->ok()) src = std::move(file);
  }
  return src;
}

// What a make call needs, copied out under the lock.
struct Job {
  std::string root, folder;
  krv::IndexEntry entry;
};

bool prepareJob(Context* c, const char* name, uint8_t wantType, Job& job) {
  if (!krv::isPlainName(name)) return false;
  Locked l(c->lock);
  if (!c->card.loaded()) return false;
  const krv::IndexEntry* e = c->card.find(name);
  if (!e && c->card.load(c->card.root())) e = c->card.find(name);  // the card may have changed
  if (!e || (wantType == krv::kPhoto) != (e->type == krv::kPhoto)) return false;
  job.root = c->card.root();
  job.entry = *e;
  auto it = c->threadFolder.find(GetCurrentThreadId());
  job.folder = it != c->threadFolder.end() ? it->second : c->folder;
  return true;
}

}  // namespace

extern "C" {

// Opens a context; non-zero on success.
void* KRV_Create(void) {
  Context* c = new (std::nothrow) Context;
  if (!c) return nullptr;
  InitializeCriticalSection(&c->lock);
  Locked l(g_registryLock);
  if (!g_contexts) g_contexts = new (std::nothrow) std::set<Context*>;
  if (!g_contexts) {
    DeleteCriticalSection(&c->lock);
    delete c;
    return nullptr;
  }
  g_contexts->insert(c);
  return c;
}

int KRV_Delete(void* ctx) {
  Context* c = lookup(ctx);
  if (!c) return 0;
  {
    Locked l(g_registryLock);
    g_contexts->erase(c);
  }
  c->magic = 0;
  DeleteCriticalSection(&c->lock);
  delete c;
  return 1;
}

// Selects the card on physical disk *disk. Disk 0 (the system disk) and the
// character '0' deselect: nothing is read from them.
int KRV_Set_Device(void* ctx, unsigned char* disk) {
  Context* c = lookup(ctx);
  if (!c || !disk) return 0;
  uint8_t n = *disk;
  if (n == 0 || n == '0') {
    Locked l(c->lock);
    c->disk = 0;
    c->card.clear();
    return 1;
  }
  std::string root = findCardRoot(n);
  Locked l(c->lock);
  c->disk = n;
  c->card.clear();
  return !root.empty() && c->card.load(root) ? 1 : 0;
}

// Re-reads the card's index. a: 1 when a card is selected; b: format version;
// c, d: number of entries. Each output is written only when given.
int KRV_Get_File_Flag(void* ctx, unsigned char* a, unsigned char* b, unsigned short* cnt16, unsigned int* cnt32) {
  Context* c = lookup(ctx);
  if (!c) return 0;
  Locked l(c->lock);
  if (c->card.loaded()) c->card.load(c->card.root());
  size_t n = c->card.entries().size();
  if (a) *a = c->card.loaded() ? 1 : 0;
  if (b) *b = 1;
  if (cnt16) *cnt16 = static_cast<unsigned short>(n > 0xFFFF ? 0xFFFF : n);
  if (cnt32) *cnt32 = static_cast<unsigned int>(n);
  return c->card.loaded() ? 1 : 0;
}

// Number of recordings of a type: 0 Event, 1 Normal, 2 Park, 3 Photo.
int KRV_Get_File_Cnt(void* ctx, unsigned char type) {
  Context* c = lookup(ctx);
  if (!c) return 0;
  Locked l(c->lock);
  return c->card.count(type);
}

// Fills at most `count` 40-byte records (name, NUL padded) of that type; a and
// b, when given, receive each recording's seconds and size in KiB. Returns the
// number of records written.
int KRV_Get_File_List(void* ctx, unsigned char type, int count, void* records, int* a, int* b) {
  Context* c = lookup(ctx);
  if (!c) return 0;
  Locked l(c->lock);
  return c->card.list(type, count, static_cast<uint8_t*>(records), reinterpret_cast<int32_t*>(a),
                      reinterpret_cast<int32_t*>(b));
}

// Folder for the next make call of this thread (and of threads that never set
// one). A trailing backslash is optional.
int KRV_Set_Pcfolder(void* ctx, const char* folder) {
  Context* c = lookup(ctx);
  if (!c || !folder || strnlen(folder, kMaxFolderBytes + 1) > kMaxFolderBytes) return 0;
  Locked l(c->lock);
  c->folder = folder;
  c->threadFolder[GetCurrentThreadId()] = folder;
  return 1;
}

// Writes folder + name as an AVI and fills the 16384-byte G-sensor and GPS
// blocks. The file appears under its name only when complete.
int KRV_Make_Play_File(void* ctx, const char* name, unsigned char* gsensor, unsigned char* gps) {
  Context* c = lookup(ctx);
  if (!c || !name) return 0;
  Job job;
  LONG epoch = InterlockedCompareExchange(&c->stopEpoch, 0, 0);
  if (!prepareJob(c, name, krv::kNormal, job)) return 0;
  krv::StopFn stopped = [c, epoch] { return InterlockedCompareExchange(&c->stopEpoch, 0, 0) != epoch; };
  return krv::makePlayFile(job.root, job.entry, job.folder, gsensor, gps, stopped, discardLater, openMapped) ==
         krv::MakeResult::Ok;
}

// Stops every make of this context that is running now.
int KRV_Stop_Make_Play_File(void* ctx) {
  Context* c = lookup(ctx);
  if (!c) return 0;
  InterlockedIncrement(&c->stopEpoch);
  return 1;
}

// Copies a photo's JPEG into the caller's 2 MiB buffer; *length 0 on failure.
int KRV_Make_Picture_File(void* ctx, const char* name, unsigned int* length, unsigned char* buffer) {
  Context* c = lookup(ctx);
  if (!c || !length) return 0;
  *length = 0;
  if (!name || !buffer) return 0;
  Job job;
  if (!prepareJob(c, name, krv::kPhoto, job)) return 0;
  uint32_t n = 0;
  bool ok = krv::makePicture(job.root, job.entry, &n, buffer, kPictureBufferBytes);
  *length = n;
  return ok ? 1 : 0;
}

// Writes the recording as an AVI (the same file as the play file) into the
// folder last set.
int KRV_Make_Avi_File(void* ctx, const char* name) {
  Context* c = lookup(ctx);
  if (!c || !name) return 0;
  Job job;
  if (!prepareJob(c, name, krv::kNormal, job)) return 0;
  return krv::makePlayFile(job.root, job.entry, job.folder, nullptr, nullptr, nullptr, nullptr, openMapped) ==
         krv::MakeResult::Ok;
}

// 1 when a card is selected and its index was read.
int KRV_Check_Krv_Device(void* ctx) {
  Context* c = lookup(ctx);
  if (!c) return 0;
  Locked l(c->lock);
  return c->card.loaded() ? 1 : 0;
}

// The selected card's root ("E:\") into buf; the number of characters.
int KRV_Get_Device_Name(void* ctx, char* buf, int size) {
  Context* c = lookup(ctx);
  if (!c || !buf || size <= 0) return 0;
  Locked l(c->lock);
  const std::string& root = c->card.root();
  if (!c->card.loaded() || int(root.size()) >= size) return 0;
  std::memcpy(buf, root.c_str(), root.size() + 1);
  return int(root.size());
}

// The first `size` bytes of the card's menu.cfg into buf; the bytes read.
int KRV_Get_Config_Data(void* ctx, unsigned char* buf, int size) {
  Context* c = lookup(ctx);
  if (!c || !buf || size <= 0) return 0;
  std::string path;
  {
    Locked l(c->lock);
    if (!c->card.loaded()) return 0;
    path = krv::joinPath(c->card.root(), "menu.cfg");
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  size_t n = std::fread(buf, 1, size_t(size), f);
  std::fclose(f);
  return int(n);
}

// Writing to the card is refused: these touch nothing and return 0.
int KRV_Write(void*) { return 0; }
int KRV_Format(void*) { return 0; }
int KRV_Set_Config_Data(void*) { return 0; }

// Not supported by this library: 0.
int KRV_Open(void*) { return 0; }
int KRV_Close(void*) { return 0; }
int KRV_Read(void*) { return 0; }
int KRV_Check_Version(void*) { return 0; }
int KRV_Get_File_Frame_Cnt(void*) { return 0; }
int KRV_Get_File_Index_Info(void*) { return 0; }
int KRV_Find_Start_Stop(void*) { return 0; }
int KRV_Get_PB_Pos(void*) { return 0; }
int KRV_Set_Seek_Pos(void*) { return 0; }
int KRV_PB_Init(void*) { return 0; }
int KRV_PB_DeInit(void*) { return 0; }
int KRV_PB_Start(void*) { return 0; }
int KRV_PB_Stop(void*) { return 0; }
int KRV_FAT_PB_Start(void*) { return 0; }
int KRV_FAT_PB_Stop(void*) { return 0; }
int KRV_Read_Frame(void*) { return 0; }
int KRV_Make_Krv_File(void*) { return 0; }
int KRV_Make_Data_File(void*) { return 0; }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_registryLock);
  return TRUE;
}

}  // extern "C"
