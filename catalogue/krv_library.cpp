#include "krv_library.h"
#include <string>

// Slots in declaration order; the lookup order differs (see kLookupOrder).
enum KrvLibrary::Slot : size_t {
    kCreate,
    kDelete,
    kOpen,
    kClose,
    kRead,
    kWrite,
    kFormat,
    kCheckKrvDevice,
    kCheckVersion,
    kGetFileFrameCnt,
    kGetFileIndexInfo,
    kGetFileCnt,
    kGetFileList,
    kGetFileFlag,
    kFindStartStop,
    kGetPbPos,
    kSetSeekPos,
    kPbInit,
    kPbDeInit,
    kPbStart,
    kPbStop,
    kFatPbStart,
    kFatPbStop,
    kReadFrame,
    kMakeAviFile,
    kMakeKrvFile,
    kMakePlayFile,
    kStopMakePlayFile,
    kMakeDataFile,
    kSetPcfolder,
    kSetConfigData,
    kGetConfigData,
    kGetDeviceName,
    kSetDevice,
    kMakePictureFile
};

namespace {
const char* const kNames[KrvLibrary::kEntryPointCount] = {
    "KRV_Create",
    "KRV_Delete",
    "KRV_Open",
    "KRV_Close",
    "KRV_Read",
    "KRV_Write",
    "KRV_Format",
    "KRV_Check_Krv_Device",
    "KRV_Check_Version",
    "KRV_Get_File_Frame_Cnt",
    "KRV_Get_File_Index_Info",
    "KRV_Get_File_Cnt",
    "KRV_Get_File_List",
    "KRV_Get_File_Flag",
    "KRV_Find_Start_Stop",
    "KRV_Get_PB_Pos",
    "KRV_Set_Seek_Pos",
    "KRV_PB_Init",
    "KRV_PB_DeInit",
    "KRV_PB_Start",
    "KRV_PB_Stop",
    "KRV_FAT_PB_Start",
    "KRV_FAT_PB_Stop",
    "KRV_Read_Frame",
    "KRV_Make_Avi_File",
    "KRV_Make_Krv_File",
    "KRV_Make_Play_File",
    "KRV_Stop_Make_Play_File",
    "KRV_Make_Data_File",
    "KRV_Set_Pcfolder",
    "KRV_Set_Config_Data",
    "KRV_Get_Config_Data",
    "KRV_Get_Device_Name",
    "KRV_Set_Device",
    "KRV_Make_Picture_File",
};

// Slot order, except that the folder call is looked up right after the seek call.
const size_t kLookupOrder[KrvLibrary::kEntryPointCount] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 29,
    17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 30, 31, 32, 33, 34,
};

// Entry points that may be missing.
bool Optional(size_t slot) {
    return slot == 6 /*Format*/ || slot == 8 /*Check_Version*/ || slot == 21 /*FAT_PB_Start*/ ||
           slot == 22 /*FAT_PB_Stop*/;
}

using CreateFn = void* (*)();
using CtxFn = int (*)(void*);
using SetDeviceFn = int (*)(void*, unsigned char*);
using FileFlagFn = int (*)(void*, unsigned char*, unsigned char*, unsigned short*, unsigned int*);
using FileCntFn = int (*)(void*, unsigned char);
using FileListFn = int (*)(void*, unsigned char, int, void*, int*, int*);
using TextFn = int (*)(void*, const char*);
using PlayFileFn = int (*)(void*, const char*, unsigned char*, unsigned char*);
using PictureFn = int (*)(void*, const char*, unsigned int*, unsigned char*);

template <typename F>
F As(void* p) {
    return reinterpret_cast<F>(p);
}

const wchar_t kFileName[] = L"KRVLib.dll";
}  // namespace

const char* KrvLibrary::EntryPointName(size_t slot) { return slot < kEntryPointCount ? kNames[slot] : nullptr; }

bool KrvLibrary::RequiredPresent() const {
    if (!m_module) return false;
    for (size_t i = 0; i < kEntryPointCount; ++i)
        if (!Optional(i) && !m_slots[i]) return false;
    return true;
}

void KrvLibrary::Unload() {
    if (m_module) ::FreeLibrary(m_module);
    m_module = nullptr;
    for (auto& s : m_slots) s = nullptr;
}

int KrvLibrary::Load(const wchar_t* folder) {
    if (m_context) return 0;
    if (!RequiredPresent()) {
        if (m_module) Unload();
        // 1. the given folder
        if (folder && *folder) {
            std::wstring path = std::wstring(folder) + L"\\" + kFileName;
            m_module = ::LoadLibraryW(path.c_str());
        }
        // 2. the executable's folder
        if (!m_module) {
            wchar_t exe[MAX_PATH] = {};
            DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
            if (n > 0 && n < MAX_PATH) {
                std::wstring path(exe, n);
                size_t slash = path.rfind(L'\\');
                if (slash != std::wstring::npos) {
                    path = path.substr(0, slash) + L"\\" + kFileName;
                    m_module = ::LoadLibraryW(path.c_str());
                }
            }
        }
        // 3. the platform's own search
        if (!m_module) m_module = ::LoadLibraryW(kFileName);
        if (!m_module) return 0;
        for (size_t k = 0; k < kEntryPointCount; ++k) {
            size_t slot = kLookupOrder[k];
            m_slots[slot] = reinterpret_cast<void*>(::GetProcAddress(m_module, kNames[slot]));
        }
    }
    if (RequiredPresent()) {
        void* ctx = As<CreateFn>(m_slots[kCreate])();
        if (ctx) {
            m_context = ctx;
            return 1;
        }
    }
    Unload();
    return 0;
}

void KrvLibrary::Release() {
    if (m_context) {
        if (m_slots[kDelete]) As<CtxFn>(m_slots[kDelete])(m_context);
        m_context = nullptr;
    }
    Unload();
}

void* KrvLibrary::Entry(size_t slot) const {
    if (!m_module || !m_context) return nullptr;
    return m_slots[slot];
}

int KrvLibrary::SetDevice(unsigned char* disk) {
    void* f = Entry(kSetDevice);
    return f ? As<SetDeviceFn>(f)(m_context, disk) : 0;
}

int KrvLibrary::GetFileFlag(unsigned char* flagA, unsigned char* flagB, unsigned short* flagC, unsigned int* flagD) {
    void* f = Entry(kGetFileFlag);
    return f ? As<FileFlagFn>(f)(m_context, flagA, flagB, flagC, flagD) : 0;
}

int KrvLibrary::GetFileCnt(unsigned char type) {
    void* f = Entry(kGetFileCnt);
    return f ? As<FileCntFn>(f)(m_context, type) : 0;
}

int KrvLibrary::GetFileList(unsigned char type, int count, void* records, int* firstValues, int* secondValues) {
    void* f = Entry(kGetFileList);
    return f ? As<FileListFn>(f)(m_context, type, count, records, firstValues, secondValues) : 0;
}

int KrvLibrary::SetPcfolder(const char* folder) {
    void* f = Entry(kSetPcfolder);
    return f ? As<TextFn>(f)(m_context, folder) : 0;
}

int KrvLibrary::MakePlayFile(const char* name, unsigned char* gsensor, unsigned char* gps) {
    void* f = Entry(kMakePlayFile);
    return f ? As<PlayFileFn>(f)(m_context, name, gsensor, gps) : 0;
}

int KrvLibrary::StopMakePlayFile() {
    void* f = Entry(kStopMakePlayFile);
    return f ? As<CtxFn>(f)(m_context) : 0;
}

int KrvLibrary::MakePictureFile(const char* name, unsigned int* length, unsigned char* buffer) {
    void* f = Entry(kMakePictureFile);
    return f ? As<PictureFn>(f)(m_context, name, length, buffer) : 0;
}

int KrvLibrary::MakeAviFile(const char* name) {
    void* f = Entry(kMakeAviFile);
    return f ? As<TextFn>(f)(m_context, name) : 0;
}
