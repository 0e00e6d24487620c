// Starts hostwend.exe, waits for its main window (and, with --about, an About
// window), saves a picture of that window as a BMP and ends the program.
//   snap.exe PROGRAM_DIRECTORY OUTPUT.bmp [--about]
// The program is started where it lies, so its HWD.ini and registry are used.
#include "ProgramUnderTest.h"

#include <cstdio>
#include <string>

using namespace hostwend::driver;

namespace {

bool SaveWindowBitmap(HWND window, const std::wstring& path)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::string pixels(stride * static_cast<DWORD>(height), '\0');
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&header), sizeof(header));
    bytes += pixels;
    WriteBytes(path, bytes);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fputs("usage: snap PROGRAM_DIRECTORY OUTPUT.bmp [--about]\n", stderr);
        return 2;
    }
    bool about = argc > 3 && std::wstring(argv[3]) == L"--about";
    try {
        ProgramUnderTest program(argv[1]);
        program.Start();
        HWND window = program.MainWindow(20s);
        if (!window) {
            std::fputs("the main window did not appear\n", stderr);
            return 1;
        }
        if (about) {
            Click(ChildByText(window, L"&About"));
            window = program.WaitForWindow(L"Hostwend.Form2", 10s);
            if (!window) {
                std::fputs("the About window did not appear\n", stderr);
                return 1;
            }
        }
        // Drawn once the program has nothing left to do.
        program.WaitForIdle();
        SaveWindowBitmap(window, argv[2]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
