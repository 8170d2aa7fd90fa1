// Wrapper of the recorder maker's device library "KRVLib.dll": loads it at run
// time, looks up its entry points, holds its context and forwards calls. Every
// forwarding call returns 0 without calling when the library is not loaded, no
// context is open or the entry point is missing.
#pragma once
#include <windows.h>
#include <cstdint>

class KrvLibrary {
public:
    // Library record types.
    enum Type : unsigned char { Event = 0, Normal = 1, Park = 2, Photo = 3 };
    static constexpr size_t kEntryRecordSize = 40;
    static constexpr size_t kSensorBlockSize = 16384;
    static constexpr size_t kPictureBufferSize = 2097152;
    static constexpr size_t kEntryPointCount = 35;

    KrvLibrary() = default;
    ~KrvLibrary() { Release(); }
    KrvLibrary(const KrvLibrary&) = delete;
    KrvLibrary& operator=(const KrvLibrary&) = delete;

    // Loads the library (folder first when given, then the executable's
    // folder, then the platform's search) and opens a context; 1 or 0.
    int Load(const wchar_t* folder);
    // Deletes the context and unloads the library.
    void Release();

    bool IsLoaded() const { return m_module != nullptr; }
    bool HasContext() const { return m_context != nullptr; }
    // The name looked up in slot i (lookup order), for tests and diagnostics.
    static const char* EntryPointName(size_t slot);
    bool HasEntryPoint(size_t slot) const { return slot < kEntryPointCount && m_slots[slot] != nullptr; }

    // Forwarding operations (the context is passed first).
    int SetDevice(unsigned char* disk);
    // The library's file flags: two bytes, a 16-bit value and four bytes or
    // more; the viewer does not read them.
    int GetFileFlag(unsigned char* flagA, unsigned char* flagB, unsigned short* flagC, unsigned int* flagD);
    int GetFileCnt(unsigned char type);
    // Up to count 40-byte entry records, and per record two integers the
    // viewer keeps but does not read.
    int GetFileList(unsigned char type, int count, void* records, int* firstValues, int* secondValues);
    int SetPcfolder(const char* folder);
    int MakePlayFile(const char* name, unsigned char* gsensor, unsigned char* gps);
    int StopMakePlayFile();
    int MakePictureFile(const char* name, unsigned int* length, unsigned char* buffer);
    int MakeAviFile(const char* name);

private:
    enum Slot : size_t;
    bool RequiredPresent() const;
    void Unload();
    void* Entry(size_t slot) const;

    void* m_context = nullptr;
    HMODULE m_module = nullptr;
    void* m_slots[kEntryPointCount] = {};
};
