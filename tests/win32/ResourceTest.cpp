// The program file's resources, read back as Windows reads them: the version record's Japanese
// block (whose texts a resource compiler reading the script in the wrong code page would garble)
// and the icon, which must be the cat-paw drawing in 16 colours with its mask; and what the
// manifest's per-monitor awareness asks of the windows.

#include "FormFixture.h"
#include "common/CatPaw.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace {

// The test program lives in tests/ below the program file.
std::wstring programFile() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path = path.substr(0, path.find_last_of(L"\\/"));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"tapirun.exe";
}

std::wstring fromUtf8(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

} // namespace

TEST(VersionRecord, JapaneseBlockHoldsTheProgramsNames) {
    const std::wstring path = programFile();
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &unused);
    ASSERT_GT(size, 0u) << "no version record in the program file";
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 5);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 6);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 1);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0411) << "Japanese";
    EXPECT_EQ(translation[1], 0x04B0) << "Unicode";

    struct Row {
        const wchar_t* name;
        const char* value;
    };
    for (const Row& r :
         {Row{L"FileVersion", "1.5.6.1"}, Row{L"ProductVersion", "1.5"},
          Row{L"FileDescription", "タイピング練習ソフト"}, Row{L"Comments", "毎日練習に励みましょう"},
          Row{L"ProductName", "Tapirun"}, Row{L"CompanyName", "Zunobe"}}) {
        SCOPED_TRACE(r.value);
        wchar_t* text = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + r.name;
        ASSERT_TRUE(VerQueryValueW(record.data(), key.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_EQ(std::wstring(text), fromUtf8(r.value));
    }
}

// The icon group's one image, decoded by hand: rows bottom first, two pixels per byte (the left
// one in the high half), then the mask with one bit per pixel.
TEST(ProgramIcon, IsTheCatPawDrawingWithItsMask) {
    HMODULE module = LoadLibraryExW(programFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_EQ(dir[4] | dir[5] << 8, 1) << "one image";
    const int imageId = dir[6 + 12] | dir[6 + 13] << 8;
    HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(imageId), MAKEINTRESOURCEW(3)); // RT_ICON
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(SizeofResource(module, image), 744u);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, image)));
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    ASSERT_EQ(header->biBitCount, 4);
    ASSERT_EQ(header->biWidth, 32);
    ASSERT_EQ(header->biHeight, 64) << "colour part and mask";
    const auto* palette = reinterpret_cast<const RGBQUAD*>(bytes + header->biSize);
    const BYTE* colours = bytes + header->biSize + 16 * sizeof(RGBQUAD);
    const BYTE* mask = colours + 32 * 16;

    const platform::Picture& drawing = catpaw::icon();
    int differing = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int row = 31 - y;
            const int packed = colours[row * 16 + x / 2];
            const RGBQUAD& c = palette[x % 2 == 0 ? packed >> 4 : packed & 0x0F];
            const platform::Colour colour =
                static_cast<platform::Colour>(c.rgbRed) | c.rgbGreen << 8 | c.rgbBlue << 16;
            const bool clear = (mask[row * 4 + x / 8] & (0x80 >> (x % 8))) != 0;
            const auto i = static_cast<std::size_t>(y * 32 + x);
            if (clear != drawing.mask[i] || (!clear && colour != drawing.pixels[i])) ++differing;
        }
    EXPECT_EQ(differing, 0);
    FreeLibrary(module);
}

// The manifest Windows reads before the program starts: per-monitor DPI awareness (v2, with the
// older per-monitor for Windows 8.1 and early 10 and the system-wide one for 7), every supported
// Windows from 7 to 11, and no common controls 6, which would theme the About box's classic button.
TEST(ProgramManifest, DeclaresPerMonitorAwarenessAndTheSupportedWindows) {
    HMODULE module = LoadLibraryExW(programFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr) << "no manifest: Windows would stretch the program's picture as a bitmap";
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(bytes, SizeofResource(module, found));
    FreeLibrary(module);
    const auto has = [&](const std::string& part) { return manifest.find(part) != std::string::npos; };
    EXPECT_TRUE(has("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                    "PerMonitorV2, PerMonitor</dpiAwareness>"));
    EXPECT_TRUE(
        has("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>"));
    struct Row {
        const char* windows;
        const char* id;
    };
    for (Row r : {Row{"7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"},
                  Row{"8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"},
                  Row{"8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"},
                  Row{"10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}})
        EXPECT_TRUE(has(std::string("<supportedOS Id=\"") + r.id + "\"/>")) << "Windows " << r.windows;
    EXPECT_TRUE(has("level=\"asInvoker\""));
    EXPECT_FALSE(has("Microsoft.Windows.Common-Controls"));
}

// Aware of each monitor's DPI, the window is told when it reaches a monitor of another: it takes the
// rectangle offered and draws its controls there at the new factor, the drill going on untouched.
TEST_F(FormTest, AMonitorOfAnotherDpiDrawsTheWindowAtItsFactor) {
    f1();
    type(" ");
    const char shown = target();
    const int left = x(MainControl::Panel6), top = y(MainControl::Panel6);
    HWND hwnd = FindWindowW(L"TapirunForm", L"Tapirun");
    RECT offered{};
    GetWindowRect(hwnd, &offered);
    OffsetRect(&offered, 4, 2);
    for (const int dpi : {192, 96}) {
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&offered));
        const int f = dpi / 96;
        RECT now{};
        GetWindowRect(hwnd, &now);
        EXPECT_TRUE(EqualRect(&now, &offered)) << dpi;
        EXPECT_EQ(platform::test::grab(w()).width, w().clientWidth() * f) << dpi;
        EXPECT_EQ(x(MainControl::Panel6), left) << dpi;
        EXPECT_EQ(y(MainControl::Panel6), top) << dpi;
    }
    EXPECT_EQ(target(), shown);
}
