// A test double of the device library with every entry point, built in
// several variants (FAKE_ID names the variant; FAKE_NO_* leave entry points
// out; FAKE_CREATE_FAILS makes KRV_Create return no context). Each call is
// recorded so that tests can check what the wrapper forwarded.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#define EXPORT extern "C" __declspec(dllexport)

namespace {
char g_log[4096];
int g_calls;
int g_context_token = 0x5eed;

void Record(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Record(const char* fmt, ...) {
    ++g_calls;
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(g_log, sizeof g_log, fmt, args);
    va_end(args);
}
}  // namespace

// Test interface.
EXPORT const char* KRVTEST_Id() { return FAKE_ID; }
EXPORT const char* KRVTEST_LastCall() { return g_log; }
EXPORT int KRVTEST_Calls() { return g_calls; }

EXPORT void* KRV_Create() {
    Record("Create");
#ifdef FAKE_CREATE_FAILS
    return nullptr;
#else
    return &g_context_token;
#endif
}
EXPORT int KRV_Delete(void* c) {
    Record("Delete %p", c);
    return 1;
}
EXPORT int KRV_Set_Device(void* c, unsigned char* d) {
    Record("Set_Device %p %d", c, d ? *d : -1);
    return 1;
}
EXPORT int KRV_Get_File_Flag(void* c, unsigned char* a, unsigned char* b, unsigned short* s, unsigned int* u) {
    Record("Get_File_Flag %p %p %p %p %p", c, (void*)a, (void*)b, (void*)s, (void*)u);
    return 7;
}
EXPORT int KRV_Get_File_Cnt(void* c, unsigned char t) {
    Record("Get_File_Cnt %p %d", c, t);
    return 40 + t;
}
EXPORT int KRV_Get_File_List(void* c, unsigned char t, int n, void* r, int* a, int* b) {
    Record("Get_File_List %p %d %d %p %p %p", c, t, n, r, (void*)a, (void*)b);
    return n;
}
EXPORT int KRV_Set_Pcfolder(void* c, const char* f) {
    Record("Set_Pcfolder %p %s", c, f ? f : "(null)");
    return 1;
}
EXPORT int KRV_Make_Play_File(void* c, const char* n, unsigned char* g, unsigned char* p) {
    Record("Make_Play_File %p %s %p %p", c, n ? n : "(null)", (void*)g, (void*)p);
    return 11;
}
EXPORT int KRV_Stop_Make_Play_File(void* c) {
    Record("Stop_Make_Play_File %p", c);
    return 12;
}
#ifndef FAKE_NO_REQUIRED
EXPORT int KRV_Make_Picture_File(void* c, const char* n, unsigned int* len, unsigned char* buf) {
    Record("Make_Picture_File %p %s %p %p", c, n ? n : "(null)", (void*)len, (void*)buf);
    return 13;
}
#endif
EXPORT int KRV_Make_Avi_File(void* c, const char* n) {
    Record("Make_Avi_File %p %s", c, n ? n : "(null)");
    return 14;
}

// Looked up by the wrapper but never called by the viewer.
#define UNCALLED(name)       \
    EXPORT int name(void*) { \
        Record(#name);       \
        return 0;            \
    }
UNCALLED(KRV_Open)
UNCALLED(KRV_Close)
UNCALLED(KRV_Read)
UNCALLED(KRV_Write)
UNCALLED(KRV_Check_Krv_Device)
UNCALLED(KRV_Get_File_Frame_Cnt)
UNCALLED(KRV_Get_File_Index_Info)
UNCALLED(KRV_Find_Start_Stop)
UNCALLED(KRV_Get_PB_Pos)
UNCALLED(KRV_Set_Seek_Pos)
UNCALLED(KRV_PB_Init)
UNCALLED(KRV_PB_DeInit)
UNCALLED(KRV_PB_Start)
UNCALLED(KRV_PB_Stop)
UNCALLED(KRV_Read_Frame)
UNCALLED(KRV_Make_Krv_File)
UNCALLED(KRV_Make_Data_File)
UNCALLED(KRV_Set_Config_Data)
UNCALLED(KRV_Get_Config_Data)
UNCALLED(KRV_Get_Device_Name)
#ifndef FAKE_NO_OPTIONAL
UNCALLED(KRV_Format)
UNCALLED(KRV_Check_Version)
UNCALLED(KRV_FAT_PB_Start)
UNCALLED(KRV_FAT_PB_Stop)
#endif
