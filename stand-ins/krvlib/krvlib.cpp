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

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

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
    std::string folder;                         // last folder set by any thread
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
    if (copy &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&discardThread), &self)) {
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

// The card's read speed in bytes per second when the environment variable
// KRVLIB_CARD_MBPS gives one (MB/s, for tests that need a make to take as
// long as it does from a real card); 0: as fast as the file system reads.
uint64_t cardBytesPerSecond() {
    char text[32] = {};
    DWORD n = GetEnvironmentVariableA("KRVLIB_CARD_MBPS", text, sizeof text);
    if (n == 0 || n >= sizeof text) return 0;
    double mbps = std::atof(text);
    return mbps > 0 && mbps < 1e6 ? uint64_t(mbps * 1e6) : 0;
}

// A recording's data file read with ReadFile in large blocks: straight into
// the caller's memory for large reads (a make reads the whole file so, and
// writes the AVI from where it was read: one copy in, one out, as a plain
// file copy), else through a block buffer that chunks are lent from. With a
// card speed set, reads are paced to it in steps of at most 4 MiB.
class BlockSource : public krv::ByteSource {
public:
    explicit BlockSource(HANDLE f) : f_(f), pace_(cardBytesPerSecond()), start_(GetTickCount64()) {}
    ~BlockSource() override { CloseHandle(f_); }
    BlockSource(const BlockSource&) = delete;
    BlockSource& operator=(const BlockSource&) = delete;

    size_t read(void* dst, size_t n) override {
        size_t done = 0;
        if (pos_ == end_ && n >= kBlock / 2) {  // large reads go straight to the caller
            started_ = true;
            while (done < n && !eof_) {
                DWORD got = 0;
                DWORD step = DWORD(std::min<size_t>(n - done, pace_ ? 4u << 20 : 64u << 20));
                if (!ReadFile(f_, static_cast<uint8_t*>(dst) + done, step, &got, nullptr) || got == 0) eof_ = true;
                done += got;
                paced(got);
            }
            return done;
        }
        while (done < n) {
            if (pos_ == end_ && !fill(1)) break;
            size_t step = std::min(n - done, end_ - pos_);
            std::memcpy(static_cast<uint8_t*>(dst) + done, buf_.data() + pos_, step);
            pos_ += step;
            done += step;
        }
        return done;
    }
    bool totalSize(uint64_t& bytes) override {
        LARGE_INTEGER n;
        if (started_ || !GetFileSizeEx(f_, &n)) return false;
        bytes = uint64_t(n.QuadPart);
        return true;
    }
    bool skip(uint64_t n) override {
        started_ = true;
        if (n <= end_ - pos_) {
            pos_ += size_t(n);
            return true;
        }
        LARGE_INTEGER by;
        by.QuadPart = LONGLONG(n - (end_ - pos_));
        pos_ = end_ = 0;
        return SetFilePointerEx(f_, by, nullptr, FILE_CURRENT) != 0;
    }
    const uint8_t* view(size_t n) override {
        if (!fill(n)) return nullptr;
        const uint8_t* at = buf_.data() + pos_;
        pos_ += n;
        return at;
    }

private:
    static constexpr size_t kBlock = 8u << 20;
    // Makes at least n bytes available from pos_ (moving the rest to the front
    // and reading on); false at the end of the file before n bytes.
    bool fill(size_t n) {
        started_ = true;
        if (end_ - pos_ >= n) return true;
        if (eof_) return false;
        if (buf_.empty()) buf_.resize(kBlock);
        if (n > buf_.size()) buf_.resize(n);
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        while (end_ < buf_.size()) {
            DWORD got = 0;
            if (!ReadFile(f_, buf_.data() + end_, DWORD(buf_.size() - end_), &got, nullptr) || got == 0) {
                eof_ = true;
                break;
            }
            end_ += got;
            paced(got);
        }
        return end_ >= n;
    }
    // Waits until the bytes read so far would have taken as long at the card's speed.
    void paced(DWORD got) {
        if (!pace_) return;
        read_ += got;
        const uint64_t due = start_ + read_ * 1000 / pace_, now = GetTickCount64();
        if (due > now) Sleep(DWORD(due - now));
    }
    HANDLE f_;
    const uint64_t pace_;
    const uint64_t start_;
    uint64_t read_ = 0;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false, started_ = false;
};

std::unique_ptr<krv::ByteSource> openSource(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<krv::ByteSource>(new (std::nothrow) BlockSource(f));
}

// Output through WriteFile: small writes gather in a 1 MiB buffer (each
// WriteFile costs far more than copying a frame); shared pieces are written
// by a thread of the sink's own while the maker reads and prepares the next
// ones, and every other call waits until they are all written. Pieces go to
// the file in steps of 256 KiB: much larger writes make the kernel look for
// large page-cache folios, which on a virtual machine whose free memory went
// back to the host stalls for hundreds of milliseconds now and then.
class Win32Sink : public krv::ByteSink {
public:
    explicit Win32Sink(HANDLE f) : f_(f), buf_(kBuffer) {
        InitializeCriticalSection(&lock_);
        InitializeConditionVariable(&changed_);
    }
    ~Win32Sink() override {
        finish();
        DeleteCriticalSection(&lock_);
    }
    Win32Sink(const Win32Sink&) = delete;
    Win32Sink& operator=(const Win32Sink&) = delete;

    bool write(const void* data, size_t n) override {
        if (!drain()) return false;
        if (n >= kBuffer) return flush() && put(data, n);
        if (used_ + n > buf_.size() && !flush()) return false;
        std::memcpy(buf_.data() + used_, data, n);
        used_ += n;
        return true;
    }
    bool writeShared(const void* data, size_t n) override {
        if (used_ && !(drain() && flush())) return false;  // buffered bytes go first
        if (!ok_) return false;
        if (!startWriter()) return write(data, n);
        Locked l(lock_);
        while (pending_ >= kSharedHeld && !writeFailed_) SleepConditionVariableCS(&changed_, &lock_, INFINITE);
        if (writeFailed_) return ok_ = false;
        queue_[(head_ + pending_) % kSharedHeld] = Piece{static_cast<const char*>(data), n};
        ++pending_;
        WakeAllConditionVariable(&changed_);
        return true;
    }
    bool patch(uint64_t offset, const void* data, size_t n) override {
        if (!drain() || !flush()) return false;
        LARGE_INTEGER at, zero = {};
        at.QuadPart = LONGLONG(offset);
        ok_ = SetFilePointerEx(f_, at, nullptr, FILE_BEGIN) && put(data, n) &&
              SetFilePointerEx(f_, zero, nullptr, FILE_END);
        return ok_;
    }
    bool finish() override {
        drain();
        stopWriter();
        if (f_ == INVALID_HANDLE_VALUE) return ok_;
        flush();
        if (!CloseHandle(f_)) ok_ = false;
        f_ = INVALID_HANDLE_VALUE;
        return ok_;
    }

private:
    static constexpr size_t kBuffer = 1u << 20;
    static constexpr size_t kWriteStep = 256u << 10;
    struct Piece {
        const char* data;
        size_t n;
    };

    // Used by both threads: touches nothing but the file.
    bool writeAll(const void* data, size_t n) {
        const char* p = static_cast<const char*>(data);
        while (n) {
            DWORD step = DWORD(std::min(n, kWriteStep)), done = 0;
            if (!WriteFile(f_, p, step, &done, nullptr) || done != step) return false;
            p += step;
            n -= step;
        }
        return true;
    }
    // The maker's thread only, from here on.
    bool put(const void* data, size_t n) {
        if (ok_ && !writeAll(data, n)) ok_ = false;
        return ok_;
    }
    bool flush() {
        if (used_ && ok_) put(buf_.data(), used_);
        used_ = 0;
        return ok_;
    }
    bool startWriter() {
        if (writer_) return true;
        if (f_ == INVALID_HANDLE_VALUE) return false;
        writer_ = CreateThread(nullptr, 0, &Win32Sink::writerMain, this, 0, nullptr);
        return writer_ != nullptr;
    }
    // Waits until every shared piece is written.
    bool drain() {
        if (!writer_) return ok_;
        Locked l(lock_);
        while (pending_) SleepConditionVariableCS(&changed_, &lock_, INFINITE);
        if (writeFailed_) ok_ = false;
        return ok_;
    }
    void stopWriter() {
        if (!writer_) return;
        {
            Locked l(lock_);
            quit_ = true;
            WakeAllConditionVariable(&changed_);
        }
        WaitForSingleObject(writer_, INFINITE);
        CloseHandle(writer_);
        writer_ = nullptr;
    }

    // The writer thread. After a failure it drops the pieces still queued.
    static DWORD WINAPI writerMain(void* self) {
        static_cast<Win32Sink*>(self)->writeLoop();
        return 0;
    }
    void writeLoop() {
        Locked l(lock_);
        for (;;) {
            while (pending_ == 0 && !quit_) SleepConditionVariableCS(&changed_, &lock_, INFINITE);
            if (pending_ == 0) return;
            Piece piece = queue_[head_];
            bool skip = writeFailed_;
            LeaveCriticalSection(&lock_);
            bool ok = skip || writeAll(piece.data, piece.n);
            EnterCriticalSection(&lock_);
            if (!ok) writeFailed_ = true;
            head_ = (head_ + 1) % kSharedHeld;
            --pending_;
            WakeAllConditionVariable(&changed_);
        }
    }

    HANDLE f_;
    std::vector<char> buf_;
    size_t used_ = 0;
    bool ok_ = true;
    // Shared pieces, guarded by lock_.
    CRITICAL_SECTION lock_;
    CONDITION_VARIABLE changed_;
    HANDLE writer_ = nullptr;
    Piece queue_[kSharedHeld] = {};
    size_t head_ = 0, pending_ = 0;
    bool quit_ = false, writeFailed_ = false;
};

// The output is created new: truncating a file, even an empty one, makes
// some file systems (ext4) write the whole file out when it is closed, which
// costs as much as writing it.
std::unique_ptr<krv::ByteSink> createSink(const std::string& path) {
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;
    DeleteFileA(path.c_str());
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, flags, nullptr);
    if (f == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS)
        f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, flags, nullptr);
    if (f == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<krv::ByteSink>(new (std::nothrow) Win32Sink(f));
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
    return krv::makePlayFile(job.root, job.entry, job.folder, gsensor, gps, stopped, discardLater, openSource,
                             createSink) == krv::MakeResult::Ok;
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
    return krv::makePlayFile(job.root, job.entry, job.folder, nullptr, nullptr, nullptr, nullptr, openSource,
                             createSink) == krv::MakeResult::Ok;
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
