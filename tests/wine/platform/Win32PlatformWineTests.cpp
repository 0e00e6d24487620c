#include "platform/win32/Win32ProfileFiles.h"
#include "platform/win32/Win32Registry.h"
#include "ProgramUnderTest.h"
#include "TarnRegistry.h"

#include <gtest/gtest.h>


namespace hostwend {
namespace {

// A scratch key in HKLM, removed from both registry views before and after each test.
constexpr char kScratch[] = "SOFTWARE\\HostwendPlatformTest";

class Win32PlatformRegistry : public ::testing::Test {
protected:
    void SetUp() override { Wipe(); }
    void TearDown() override { Wipe(); }

    static void Wipe()
    {
        // Each view by name: the native view of a 32-bit test is the 32-bit one.
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            HKEY software = nullptr;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) ==
                ERROR_SUCCESS) {
                RegDeleteTreeA(software, "HostwendPlatformTest");
                ::RegCloseKey(software);
            }
        }
    }

    static void Seed(REGSAM view, const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    Win32Registry registry;
};

TEST_F(Win32PlatformRegistry, ReachesThe32BitViewAndWritesBytesAsGiven)
{
    Seed(KEY_WOW64_32KEY, "Port", REG_DWORD, "\x01\x00\x00\x00", 4);

    RegKey key = 0;
    ASSERT_EQ(registry.RegOpenKeyExA(kHkeyLocalMachine, kScratch, 0, kKeyQueryValue | kKeySetValue | kKeyWow64_32Key, key),
              kErrorSuccess);
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(registry.RegQueryValueExA(key, "Port", type, size), kErrorSuccess);
    EXPECT_EQ(type, kRegDword);
    EXPECT_EQ(size, 4u);
    const std::uint8_t data[] = {0x61, 0x1E, 0x00, 0x00};
    EXPECT_EQ(registry.RegSetValueExA(key, "Port", kRegDword, data, 4), kErrorSuccess);
    EXPECT_NE(registry.RegQueryValueExA(key, "Absent", type, size), kErrorSuccess);
    EXPECT_EQ(registry.RegCloseKey(key), kErrorSuccess);

    HKEY check = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, KEY_READ | KEY_WOW64_32KEY, &check), ERROR_SUCCESS);
    DWORD number = 0, numberSize = sizeof(number), numberType = 0;
    EXPECT_EQ(::RegQueryValueExA(check, "Port", nullptr, &numberType, reinterpret_cast<BYTE*>(&number), &numberSize),
              ERROR_SUCCESS);
    ::RegCloseKey(check);
    EXPECT_EQ(number, 7777u);
}

// A wide read takes a value in one read when it fits the first buffer and in
// another when it does not: each length around that buffer comes back whole.
TEST_F(Win32PlatformRegistry, AWideReadReturnsEveryLengthWholeAndNothingForAMissingValue)
{
    for (DWORD length : {0u, 1u, 255u, 256u, 257u, 4000u}) {
        SCOPED_TRACE(length);
        std::vector<std::uint8_t> bytes(length);
        for (DWORD i = 0; i < length; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        Seed(KEY_WOW64_32KEY, "Blob", REG_BINARY, bytes.data(), length);
        RegKey key = 0;
        ASSERT_EQ(registry.RegOpenKeyExA(kHkeyLocalMachine, kScratch, 0, kKeyQueryValue | kKeyWow64_32Key, key),
                  kErrorSuccess);
        std::uint32_t type = 0;
        std::vector<std::uint8_t> read{0xEE};
        EXPECT_EQ(registry.RegQueryValueExW(key, L"Blob", type, read), kErrorSuccess);
        EXPECT_EQ(type, static_cast<std::uint32_t>(REG_BINARY));
        EXPECT_EQ(read, bytes);
        read.assign(3, 0xEE);
        EXPECT_EQ(registry.RegQueryValueExW(key, L"Absent", type, read), kErrorFileNotFound);
        EXPECT_TRUE(read.empty());
        registry.RegCloseKey(key);
    }
}

TEST_F(Win32PlatformRegistry, AKeyOnlyInThe64BitViewIsNotFoundAndNotTouched)
{
    Seed(KEY_WOW64_64KEY, "Server", REG_SZ, "keep", 5);

    RegKey key = 0;
    if (driver::OneRegistryView()) {
        // 32-bit Windows: both flags name its one view, the client's own.
        ASSERT_EQ(registry.RegOpenKeyExA(kHkeyLocalMachine, kScratch, 0, kKeyQueryValue | kKeySetValue | kKeyWow64_32Key, key),
                  kErrorSuccess);
        EXPECT_EQ(registry.RegCloseKey(key), kErrorSuccess);
    } else {
        EXPECT_NE(registry.RegOpenKeyExA(kHkeyLocalMachine, kScratch, 0, kKeyQueryValue | kKeySetValue | kKeyWow64_32Key, key),
                  kErrorSuccess);
    }

    HKEY check = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kScratch, 0, KEY_READ | KEY_WOW64_64KEY, &check), ERROR_SUCCESS);
    char text[16] = {};
    DWORD size = sizeof(text);
    EXPECT_EQ(::RegQueryValueExA(check, "Server", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    ::RegCloseKey(check);
    EXPECT_STREQ(text, "keep");
}

class Win32PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        directory = std::wstring(temp) + L"hostwend-filetest-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(directory.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const wchar_t* name : {L"plain.ini", L"hidden.ini", L"system.ini", L"Mixed.INI"}) {
            std::wstring path = directory + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
        RemoveDirectoryW((directory + L"\\folder.ini").c_str());
        RemoveDirectoryW(directory.c_str());
    }
    std::wstring Make(const wchar_t* name, DWORD attributes = FILE_ATTRIBUTE_NORMAL)
    {
        std::wstring path = directory + L"\\" + name;
        driver::WriteBytes(path, "x");
        SetFileAttributesW(path.c_str(), attributes);
        return path;
    }

    std::wstring directory;
    Win32ProfileFiles files;
};

TEST_F(Win32PlatformFiles, FileTestFindsOrdinaryFilesOnly)
{
    EXPECT_EQ(files.FileTest(Make(L"plain.ini")).name, L"plain.ini");
    EXPECT_EQ(files.FileTest(Make(L"hidden.ini", FILE_ATTRIBUTE_HIDDEN)).name, L"");
    EXPECT_EQ(files.FileTest(Make(L"system.ini", FILE_ATTRIBUTE_SYSTEM)).name, L"");
    EXPECT_EQ(files.FileTest(Make(L"readonly.ini", FILE_ATTRIBUTE_READONLY)).name, L"readonly.ini");
    SetFileAttributesW((directory + L"\\readonly.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((directory + L"\\readonly.ini").c_str());
    CreateDirectoryW((directory + L"\\folder.ini").c_str(), nullptr);
    EXPECT_EQ(files.FileTest(directory + L"\\folder.ini").name, L"");
    // Not there is told apart from a search that failed for another reason.
    const FoundFile absent = files.FileTest(directory + L"\\absent.ini");
    EXPECT_EQ(absent.name, L"");
    EXPECT_EQ(absent.error, kWin32FileNotFound);
    EXPECT_FALSE(absent.errorText.empty());
    EXPECT_EQ(files.FileTest(directory + L"\\no folder\\HWD.ini").error, kWin32PathNotFound);
    // The name comes back as stored, whatever case was asked for.
    Make(L"Mixed.INI");
    EXPECT_EQ(files.FileTest(directory + L"\\mixed.ini").name, L"Mixed.INI");
}

TEST(Win32PlatformProgram, ProgramDirectoryHoldsTheExecutable)
{
    Win32ProfileFiles files;
    std::wstring directory = files.ProgramDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), L'\\');
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(std::wstring(self).rfind(directory + L"\\", 0), 0u);
}

TEST(Win32PlatformText, AnsiConversionLosesWhatTheCodePageLacks)
{
    Win32Registry registry;
    EXPECT_EQ(registry.ToAnsi(L"10.0.0.5:7777:0"), "10.0.0.5:7777:0");
    EXPECT_EQ(registry.FromAnsi("SERVER1"), L"SERVER1");
    EXPECT_EQ(registry.ToAnsi(L""), "");
    // Western code page, as Wine's default: what it has is one byte, what it lacks a '?'.
    if (GetACP() == 1252) {
        EXPECT_EQ(registry.ToAnsi(L"\u00e9\u4e2d"), "\xE9?");
        EXPECT_EQ(registry.FromAnsi("\x80"), L"\u20ac");
    }
}

} // namespace
} // namespace hostwend
