// The device library wrapper against test doubles of the library: where it
// looks for the library, which entry points it requires, and what it forwards.
//   krv_library_test VARIANTS_DIR [gtest options]
//   krv_library_test --child-load FOLDER   (used by the tests: load, report, exit)
#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "krv_library.h"

namespace {
std::wstring g_variants;  // folder holding one sub-folder per library variant

std::wstring Variant(const wchar_t* name) { return g_variants + L"\\" + name + L"\\KRVLib.dll"; }

template <typename F>
F Export(const char* name) {
    HMODULE m = GetModuleHandleW(L"KRVLib.dll");
    return m ? reinterpret_cast<F>(GetProcAddress(m, name)) : nullptr;
}
std::string LastCall() {
    auto f = Export<const char* (*)()>("KRVTEST_LastCall");
    return f ? f() : "";
}
int Calls() {
    auto f = Export<int (*)()>("KRVTEST_Calls");
    return f ? f() : -1;
}
std::string Ptr(const void* p) {
    char b[32];
    std::snprintf(b, sizeof b, "%p", p);
    return b;
}

// A scratch folder tree removed at the end of a test.
class Scratch {
public:
    Scratch() {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        m_root = std::wstring(tmp) + L"krvtest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(GetTickCount());
        CreateDirectoryW(m_root.c_str(), nullptr);
    }
    ~Scratch() { Remove(m_root); }
    std::wstring Dir(const wchar_t* name) {
        std::wstring d = m_root + L"\\" + name;
        CreateDirectoryW(d.c_str(), nullptr);
        return d;
    }
    static void Remove(const std::wstring& dir) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring n = fd.cFileName;
                if (n == L"." || n == L"..") continue;
                std::wstring p = dir + L"\\" + n;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove(p);
                else DeleteFileW(p.c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }

private:
    std::wstring m_root;
};

// Runs a copy of this program placed in appDir with --child-load folder and
// returns its report: "result=N id=ID".
std::string RunChild(const std::wstring& appDir, const std::wstring& folder, const std::wstring& path) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe = appDir + L"\\krv_child.exe";
    CopyFileW(self, exe.c_str(), FALSE);
    std::wstring cmd = L"\"" + exe + L"\" --child-load \"" + folder + L"\"";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE rd, wr;
    CreatePipe(&rd, &wr, &sa, 0);
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = wr;
    si.hStdError = wr;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    wchar_t oldPath[32767];
    DWORD n = GetEnvironmentVariableW(L"PATH", oldPath, 32767);
    SetEnvironmentVariableW(L"PATH", path.c_str());
    BOOL ok = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, appDir.c_str(), &si, &pi);
    SetEnvironmentVariableW(L"PATH", n ? oldPath : nullptr);
    CloseHandle(wr);
    std::string out;
    if (ok) {
        char buf[256];
        DWORD got;
        while (ReadFile(rd, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(rd);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

int ChildLoad(const wchar_t* folder) {
    KrvLibrary lib;
    int r = lib.Load(folder);
    auto id = Export<const char* (*)()>("KRVTEST_Id");
    std::printf("result=%d id=%s\n", r, id ? id() : "none");
    std::fflush(stdout);
    return 0;
}

std::wstring SystemPath() {
    wchar_t sys[MAX_PATH];
    GetSystemDirectoryW(sys, MAX_PATH);
    return sys;
}
}  // namespace

TEST(KrvLibraryLoad, SearchesGivenFolderThenExeFolderThenPlatform) {
    Scratch s;
    std::wstring app = s.Dir(L"app"), given = s.Dir(L"given"), onPath = s.Dir(L"onpath");
    std::wstring path = SystemPath() + L";" + onPath;
    ASSERT_TRUE(CopyFileW(Variant(L"given").c_str(), (given + L"\\KRVLib.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Variant(L"exe").c_str(), (app + L"\\KRVLib.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Variant(L"path").c_str(), (onPath + L"\\KRVLib.dll").c_str(), FALSE));

    EXPECT_EQ(RunChild(app, given, path), "result=1 id=given");
    EXPECT_EQ(RunChild(app, L"", path), "result=1 id=exe") << "empty folder text skips step 1";
    EXPECT_EQ(RunChild(app, s.Dir(L"empty"), path), "result=1 id=exe");
    DeleteFileW((app + L"\\KRVLib.dll").c_str());
    EXPECT_EQ(RunChild(app, L"", path), "result=1 id=path") << "bare name left to the platform search";
    EXPECT_EQ(RunChild(app, L"", SystemPath()), "result=0 id=none");
}

TEST(KrvLibraryLoad, RequiresAllButFourEntryPointsAndAContext) {
    Scratch s;
    std::wstring app = s.Dir(L"app");
    struct Case {
        const wchar_t* variant;
        const char* expected;
    } cases[] = {
        {L"full", "result=1 id=full"},
        {L"no-optional", "result=1 id=no-optional"},  // Format, Check_Version, FAT_PB_* may be missing
        {L"no-required", "result=0 id=none"},         // a required one missing: unloaded again
        {L"no-context", "result=0 id=none"},          // KRV_Create gave no context: unloaded again
    };
    for (const Case& c : cases) {
        std::wstring folder = s.Dir(c.variant);
        ASSERT_TRUE(CopyFileW(Variant(c.variant).c_str(), (folder + L"\\KRVLib.dll").c_str(), FALSE));
        EXPECT_EQ(RunChild(app, folder, SystemPath()), c.expected);
    }
}

TEST(KrvLibraryForwarding, PassesTheContextFirstAndTheArgumentsInOrder) {
    KrvLibrary lib;
    ASSERT_EQ(lib.Load((g_variants + L"\\full").c_str()), 1);
    ASSERT_TRUE(lib.HasContext());
    EXPECT_EQ(lib.Load((g_variants + L"\\full").c_str()), 0) << "a second Load with a context open";
    // The fake library's context is the address of its token; its log shows it.
    std::string created = LastCall();
    unsigned char disk = 3, a = 0, b = 0;
    unsigned short c = 0;
    unsigned int d[4] = {};
    int ia[2], ib[2];
    unsigned char records[80], g[16], p[16], pic[16];
    unsigned int len = 0;

    EXPECT_EQ(lib.SetDevice(&disk), 1);
    std::string call = LastCall();
    std::string ctx = call.substr(call.find(' ') + 1, call.rfind(' ') - call.find(' ') - 1);
    EXPECT_EQ(call, "Set_Device " + ctx + " 3");
    EXPECT_EQ(lib.GetFileFlag(&a, &b, &c, d), 7);
    EXPECT_EQ(LastCall(), "Get_File_Flag " + ctx + " " + Ptr(&a) + " " + Ptr(&b) + " " + Ptr(&c) + " " + Ptr(d));
    EXPECT_EQ(lib.GetFileCnt(2), 42);
    EXPECT_EQ(LastCall(), "Get_File_Cnt " + ctx + " 2");
    EXPECT_EQ(lib.GetFileList(3, 2, records, ia, ib), 2);
    EXPECT_EQ(LastCall(), "Get_File_List " + ctx + " 3 2 " + Ptr(records) + " " + Ptr(ia) + " " + Ptr(ib));
    EXPECT_EQ(lib.SetPcfolder("C:\\prog\\"), 1);
    EXPECT_EQ(LastCall(), "Set_Pcfolder " + ctx + " C:\\prog\\");
    EXPECT_EQ(lib.MakePlayFile("R_1.avi", g, p), 11);
    EXPECT_EQ(LastCall(), "Make_Play_File " + ctx + " R_1.avi " + Ptr(g) + " " + Ptr(p));
    EXPECT_EQ(lib.StopMakePlayFile(), 12);
    EXPECT_EQ(LastCall(), "Stop_Make_Play_File " + ctx);
    EXPECT_EQ(lib.MakePictureFile("P.jpg", &len, pic), 13);
    EXPECT_EQ(LastCall(), "Make_Picture_File " + ctx + " P.jpg " + Ptr(&len) + " " + Ptr(pic));
    EXPECT_EQ(lib.MakeAviFile("R_2.avi"), 14);
    EXPECT_EQ(LastCall(), "Make_Avi_File " + ctx + " R_2.avi");

    lib.Release();
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(GetModuleHandleW(L"KRVLib.dll"), nullptr) << "Release unloads the library";
}

TEST(KrvLibraryForwarding, EveryOperationReturnsZeroWithoutAContext) {
    KrvLibrary lib;  // never loaded
    unsigned char disk = 1, a, b, g[4], p[4];
    unsigned short c;
    unsigned int d, len;
    int ia, ib;
    EXPECT_EQ(lib.SetDevice(&disk), 0);
    EXPECT_EQ(lib.GetFileFlag(&a, &b, &c, &d), 0);
    EXPECT_EQ(lib.GetFileCnt(1), 0);
    EXPECT_EQ(lib.GetFileList(1, 1, g, &ia, &ib), 0);
    EXPECT_EQ(lib.SetPcfolder("x"), 0);
    EXPECT_EQ(lib.MakePlayFile("x", g, p), 0);
    EXPECT_EQ(lib.StopMakePlayFile(), 0);
    EXPECT_EQ(lib.MakePictureFile("x", &len, g), 0);
    EXPECT_EQ(lib.MakeAviFile("x"), 0);

    // A library whose KRV_Create fails leaves the wrapper unloaded, and the
    // calls still do nothing.
    KrvLibrary failed;
    EXPECT_EQ(failed.Load((g_variants + L"\\no-context").c_str()), 0);
    EXPECT_FALSE(failed.IsLoaded());
    EXPECT_EQ(failed.GetFileCnt(1), 0);
    EXPECT_EQ(Calls(), -1) << "the failed library is not left loaded";
}

TEST(KrvLibraryForwarding, ReleaseDeletesTheContext) {
    KrvLibrary lib;
    ASSERT_EQ(lib.Load((g_variants + L"\\full").c_str()), 1);
    auto lastCall = Export<const char* (*)()>("KRVTEST_LastCall");
    auto calls = Export<int (*)()>("KRVTEST_Calls");
    ASSERT_TRUE(lastCall && calls);
    // Keep the module alive across Release to read its log.
    HMODULE extra = LoadLibraryW((g_variants + L"\\full\\KRVLib.dll").c_str());
    unsigned char disk = 0;
    lib.SetDevice(&disk);
    std::string call = lastCall();
    std::string ctx = call.substr(call.find(' ') + 1, call.rfind(' ') - call.find(' ') - 1);
    lib.Release();
    EXPECT_EQ(std::string(lastCall()), "Delete " + ctx);
    int before = calls();
    EXPECT_EQ(lib.GetFileCnt(0), 0);
    EXPECT_EQ(calls(), before) << "no call after Release";
    FreeLibrary(extra);
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--child-load") return ChildLoad(argv[2]);
    if (argc < 2) {
        std::fprintf(stderr, "usage: krv_library_test VARIANTS_DIR [gtest options]\n");
        return 2;
    }
    g_variants = argv[1];
    int gargc = argc - 1;
    std::vector<char*> gargv;
    std::vector<std::string> store;
    store.push_back("krv_library_test");
    for (int i = 2; i < argc; ++i) {
        char buf[1024];
        WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, buf, sizeof buf, nullptr, nullptr);
        store.push_back(buf);
    }
    for (auto& s : store) gargv.push_back(&s[0]);
    gargc = static_cast<int>(gargv.size());
    testing::InitGoogleTest(&gargc, gargv.data());
    return RUN_ALL_TESTS();
}
