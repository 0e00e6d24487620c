// The main window and the About window as the operator meets them: the real
// program, measured and worked from outside through the Win32 API at 96 DPI.
#include "ProgramUnderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include <olectl.h>

namespace hostwend::driver {
namespace {

constexpr wchar_t kText1[] = L"Select approriate connection type and \r\nclick on 'Apply'.\r\n";

enum class Kind { Command, Option, Frame, Text, Picture, Label, Other };

Kind KindOf(HWND control)
{
    std::wstring cls = ClassName(control);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (_wcsicmp(cls.c_str(), L"Edit") == 0)
        return Kind::Text;
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        LONG type = style & SS_TYPEMASK;
        bool picture = type == SS_OWNERDRAW || type == SS_BITMAP || type == SS_ICON || type == SS_ENHMETAFILE;
        return picture ? Kind::Picture : Kind::Label;
    }
    if (_wcsicmp(cls.c_str(), L"Button") != 0)
        return Kind::Other;
    switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON:
        return Kind::Command;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        return Kind::Option;
    case BS_GROUPBOX:
        return Kind::Frame;
    default:
        return Kind::Other;
    }
}

struct Place {
    int x, y, width, height;
    bool operator==(const Place&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Place& p)
{
    return out << "(" << p.x << ", " << p.y << ", " << p.width << " x " << p.height << ")";
}

Place PlaceOf(HWND control)
{
    RECT rect = PlaceInParent(control);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

struct TabledControl {
    const char* name;
    Kind kind;
    const wchar_t* caption;
    Place place;  // pixels at 96 DPI in the client area; frame children offset by the frame
    int tabIndex;
};

const TabledControl kForm1Controls[] = {
    {"Command1", Kind::Command, L"&About", {174, 162, 72, 24}, 11},
    {"Picture4", Kind::Picture, L"", {0, 6, 34, 35}, 10},
    {"Text1", Kind::Text, kText1, {34, 4, 275, 38}, 9},
    {"CmdClose", Kind::Command, L"&Close", {94, 162, 72, 24}, 5},
    {"CmdApply", Kind::Command, L"&Apply", {15, 162, 72, 24}, 4},
    {"Frame1", Kind::Frame, L"Connection Type", {0, 44, 310, 112}, 0},
    {"OptOthers", Kind::Option, L"&Others", {239, 109, 57, 21}, 13},
    {"Picture5", Kind::Picture, L"", {180, 73, 47, 36}, 12},
    {"Picture3", Kind::Picture, L"", {248, 71, 41, 34}, 8},
    {"Picture2", Kind::Picture, L"", {109, 73, 41, 34}, 7},
    {"Picture1", Kind::Picture, L"", {17, 72, 38, 35}, 6},
    {"OptVsat", Kind::Option, L"&Vsat", {178, 110, 57, 21}, 3},
    {"OptVPN", Kind::Option, L"V&PN", {107, 111, 57, 21}, 2},
    {"OptLan", Kind::Option, L"Lan / &Dial-up", {14, 111, 90, 21}, 1},
};

// The child of the tabled kind and caption; among several (the picture
// boxes, which have no caption) the one at the tabled place.
HWND FindControl(HWND window, const TabledControl& tabled)
{
    std::vector<HWND> found;
    for (HWND child : Children(window))
        if (KindOf(child) == tabled.kind && WindowText(child) == tabled.caption)
            found.push_back(child);
    if (found.size() == 1)
        return found.front();
    for (HWND child : found)
        if (PlaceOf(child) == tabled.place)
            return child;
    return nullptr;
}

std::string NameOf(HWND window, HWND child)
{
    for (const TabledControl& tabled : kForm1Controls)
        if (FindControl(window, tabled) == child)
            return tabled.name;
    return "(untabled)";
}

// The pictures the program embeds, found from this source file's place.
std::wstring ImagePath(const std::wstring& name)
{
    std::string file = __FILE__;
    std::wstring root(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.rfind("tests")));
    std::replace(root.begin(), root.end(), L'/', L'\\');
    return (root.starts_with(L"\\") ? L"Z:" : L"") + root + L"res\\images\\" + name;  // Z: is Wine's Unix root
}

// --- References drawn in this process -------------------------------------

Pixels Render(int width, int height, COLORREF background, const std::function<void(HDC)>& draw)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    draw(dc);
    Pixels pixels{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.colours.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

void DrawBitmap(HDC dc, HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

// An image file as a picture box should show it: unscaled at the top-left
// corner of its client area, on its background, icons at 32x32.
Pixels RenderImage(const std::wstring& file, SIZE box, COLORREF background)
{
    return Render(box.cx, box.cy, background, [&](HDC dc) {
        if (file.ends_with(L".ico")) {
            auto icon = static_cast<HICON>(LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
            DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
            DestroyIcon(icon);
        } else if (file.ends_with(L".bmp")) {
            auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
            DrawBitmap(dc, bitmap);
            DeleteObject(bitmap);
        } else {  // the JPEG, through the system's own decoder
            IPicture* picture = nullptr;
            if (FAILED(OleLoadPicturePath(const_cast<LPOLESTR>(file.c_str()), nullptr, 0, 0, IID_IPicture,
                                          reinterpret_cast<void**>(&picture))))
                return;
            OLE_HANDLE handle = 0;
            picture->get_Handle(&handle);
            DrawBitmap(dc, reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle))));
            picture->Release();
        }
    });
}

struct FontSpec {
    const wchar_t* face;
    BYTE family;  // what a system without the face takes instead
    int centipoints;
    int weight;
    bool italic;
};

std::ostream& operator<<(std::ostream& out, const FontSpec& f)
{
    return out << std::string(f.face, f.face + wcslen(f.face)) << " " << f.centipoints / 100.0 << " pt weight "
               << f.weight << (f.italic ? " italic" : "");
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// The client area of a twin of another process's control: same class,
// styles, size and text, drawn here with the given font.
Pixels RenderTwin(HWND shown, const FontSpec& expected)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HostwendTest.Plain";
    RegisterClassW(&windowClass);
    HWND parent = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);  // never shown
    Place place = PlaceOf(shown);
    HWND twin = CreateWindowExW(static_cast<DWORD>(GetWindowLongW(shown, GWL_EXSTYLE)), ClassName(shown).c_str(),
                                WindowText(shown).c_str(), static_cast<DWORD>(GetWindowLongW(shown, GWL_STYLE)), 0,
                                0, place.width, place.height, parent, nullptr, windowClass.hInstance, nullptr);
    LOGFONTW logFont{};
    logFont.lfHeight = -MulDiv(expected.centipoints, 96, 7200);
    logFont.lfWeight = expected.weight;
    logFont.lfItalic = expected.italic;
    logFont.lfCharSet = ANSI_CHARSET;
    logFont.lfPitchAndFamily = static_cast<BYTE>(VARIABLE_PITCH | expected.family);
    lstrcpynW(logFont.lfFaceName, expected.face, LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&logFont);
    SendMessageW(twin, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SIZE size = ClientSize(twin);
    Pixels pixels = Render(size.cx, size.cy, RGB(255, 255, 255), [&](HDC dc) {
        SendMessageW(twin, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    });
    DestroyWindow(parent);
    DeleteObject(font);
    return pixels;
}

// --- Comparing pixels -------------------------------------------------------

Pixels Crop(const Pixels& pixels, POINT from, int width, int height)
{
    Pixels part{width, height, {}};
    for (int y = from.y; y < from.y + height; ++y)
        for (int x = from.x; x < from.x + width; ++x)
            part.colours.push_back(pixels.At(x, y));
    return part;
}

// What the screen shows of a control's client area within its window's
// client area, and where that part starts in the control's client area.
struct VisiblePart {
    Pixels pixels;
    POINT offset;
};

VisiblePart CaptureVisible(HWND control)
{
    RECT own{}, window{}, visible{};
    GetClientRect(control, &own);
    MapWindowPoints(control, HWND_DESKTOP, reinterpret_cast<POINT*>(&own), 2);
    GetClientRect(GetParent(control), &window);
    MapWindowPoints(GetParent(control), HWND_DESKTOP, reinterpret_cast<POINT*>(&window), 2);
    IntersectRect(&visible, &own, &window);
    return {CaptureScreen(visible), {visible.left - own.left, visible.top - own.top}};
}

std::size_t CountDifferent(const std::vector<bool>& a, const std::vector<bool>& b)
{
    if (a.size() != b.size())
        return a.size() + b.size();
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        count += a[i] != b[i];
    return count;
}

std::size_t CountColour(const Pixels& pixels, COLORREF colour)
{
    return static_cast<std::size_t>(std::count(pixels.colours.begin(), pixels.colours.end(), colour));
}

std::size_t PixelsDifferent(const Pixels& a, const Pixels& b)
{
    if (a.colours.size() != b.colours.size())
        return a.colours.size() + b.colours.size();
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.colours.size(); ++i)
        count += a.colours[i] != b.colours[i];
    return count;
}

// Which pixels are ink: all but those of the most common colour, the background.
std::vector<bool> Ink(const Pixels& pixels)
{
    std::map<COLORREF, int> counts;
    for (COLORREF colour : pixels.colours)
        ++counts[colour];
    auto background = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    std::vector<bool> ink;
    for (COLORREF colour : pixels.colours)
        ink.push_back(colour != background->first);
    return ink;
}

// --- The program, started with a profile so that its main window opens ----

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        program.WriteFile(L"HWD.ini", "[SETUP]\r\nLanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n");
        program.Start();
        form = program.MainWindow();
        ASSERT_NE(form, nullptr) << "the main window did not appear";
        program.WaitForIdle();
    }

    HWND Control(const std::string& name) const
    {
        for (const TabledControl& tabled : kForm1Controls)
            if (name == tabled.name)
                return FindControl(form, tabled);
        return nullptr;
    }

    // Clicks About; the About window it opened.
    HWND OpenAbout() const
    {
        std::vector<HWND> before = program.TopLevelWindows(L"Hostwend.Form2");
        Click(Control("Command1"));
        HWND opened = nullptr;
        WaitUntil([&] {
            for (HWND window : program.TopLevelWindows(L"Hostwend.Form2"))
                if (std::find(before.begin(), before.end(), window) == before.end())
                    opened = window;
            return opened != nullptr;
        });
        program.WaitForIdle();
        return opened;
    }

    // An About window's picture box and labels, the labels from top to bottom.
    struct AboutControls {
        HWND picture = nullptr;
        std::vector<HWND> labels;
    };
    static AboutControls ControlsOf(HWND about)
    {
        AboutControls controls;
        for (HWND child : Children(about)) {
            if (KindOf(child) == Kind::Picture)
                controls.picture = child;
            else if (KindOf(child) == Kind::Label)
                controls.labels.push_back(child);
        }
        std::sort(controls.labels.begin(), controls.labels.end(),
                  [](HWND a, HWND b) { return PlaceOf(a).y < PlaceOf(b).y; });
        return controls;
    }

    std::string CheckedOptions() const
    {
        std::string names;
        for (const char* name : {"OptLan", "OptVPN", "OptVsat", "OptOthers"}) {
            if (SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED) {
                if (!names.empty())
                    names += '+';
                names += name;
            }
        }
        return names;
    }

    std::string Focused() const { return NameOf(form, FocusIn(form)); }

    ProgramUnderTest program;
    HWND form = nullptr;
};

TEST_F(Windows, BothAreCentredWithTheirCaptionAndClientSize)
{
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    struct Case {
        HWND window;
        const wchar_t* caption;
        SIZE client;
    } cases[] = {
        {form, L"Hostwend 2.1 (Only for TARN 6.x)", {316, 192}},  // 4740 x 2880 twips
        {about, L"About", {292, 210}},                            // 4380 x 3150 twips
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "window " << (c.window == form ? "Form1" : "Form2"));
        EXPECT_EQ(WindowText(c.window), c.caption);
        SIZE client = ClientSize(c.window);
        EXPECT_EQ(client.cx, c.client.cx);
        EXPECT_EQ(client.cy, c.client.cy);
        RECT rect = PlaceInParent(c.window);
        EXPECT_LE(std::abs(rect.left + rect.right - GetSystemMetrics(SM_CXSCREEN)), 1) << "not centred across";
        EXPECT_LE(std::abs(rect.top + rect.bottom - GetSystemMetrics(SM_CYSCREEN)), 1) << "not centred down";
    }
}

TEST_F(Windows, MainWindowControlsHaveTheirKindCaptionPlaceAndTabOrder)
{
    EXPECT_EQ(Children(form).size(), std::size(kForm1Controls)) << "controls beyond the table";
    std::map<int, std::string> byTabIndex;
    for (const TabledControl& tabled : kForm1Controls) {
        SCOPED_TRACE(tabled.name);
        HWND control = FindControl(form, tabled);
        ASSERT_NE(control, nullptr) << "no such control";
        EXPECT_EQ(PlaceOf(control), tabled.place);
        byTabIndex[tabled.tabIndex] = tabled.name;
    }
    // Windows tabs through the controls in z-order.
    std::vector<std::string> expected, zOrder;
    for (const auto& [index, name] : byTabIndex)
        expected.push_back(name);
    for (HWND child : Children(form))
        zOrder.push_back(NameOf(form, child));
    EXPECT_EQ(zOrder, expected);
}

TEST_F(Windows, TabVisitsTheStopsInTabOrderAndEnterPressesApply)
{
    // The set option button is its group's one stop; pictures and the frame are none.
    ASSERT_TRUE(WaitUntil([&] { return Focused() == "OptLan"; })) << Focused();
    auto expectTabs = [&](std::vector<const char*> stops) {
        for (const char* next : stops) {
            PressKey(FocusIn(form), VK_TAB);
            EXPECT_TRUE(WaitUntil([&] { return Focused() == next; }, 3s))
                << "expected " << next << ", at " << Focused();
        }
    };
    expectTabs({"CmdApply", "CmdClose", "Text1", "Command1", "OptLan"});
    // OptOthers, once set, is the last stop, after Command1.
    PressAccessKey(FocusIn(form), L'o');
    ASSERT_TRUE(WaitUntil([&] { return Focused() == "OptOthers"; }, 3s)) << Focused();
    expectTabs({"CmdApply", "CmdClose", "Text1", "Command1", "OptOthers"});

    PressKey(FocusIn(form), VK_RETURN);
    HWND box = program.WaitForMessageBox(5s);
    ASSERT_NE(box, nullptr) << "Enter did not press Apply, whose confirmation box is expected";
    Click(ChildById(box, IDCANCEL));
    EXPECT_TRUE(WaitUntil([&] { return program.TopLevelWindows(L"#32770").empty(); }));
}

TEST_F(Windows, ExactlyOneOptionButtonIsSetWhicheverWayItIsChosen)
{
    EXPECT_EQ(CheckedOptions(), "OptLan") << "when the window opens";
    // What is pressed: a button clicked, Alt and a letter, or an arrow key.
    const std::map<std::string, UINT> arrows{{"right", VK_RIGHT}, {"left", VK_LEFT}, {"up", VK_UP}, {"down", VK_DOWN}};
    struct Step {
        const char* press;
        const char* expected;
    } steps[] = {
        {"OptOthers", "OptOthers"}, {"OptVsat", "OptVsat"}, {"OptVsat", "OptVsat"},  // the set one stays set
        {"OptVPN", "OptVPN"},       {"OptLan", "OptLan"},   {"Alt+O", "OptOthers"},
        {"Alt+P", "OptVPN"},        {"Alt+V", "OptVsat"},   {"Alt+D", "OptLan"},
        {"right", "OptVPN"},        {"down", "OptVsat"},    {"right", "OptOthers"},
        {"right", "OptLan"},  // round from the last to the first
        {"left", "OptOthers"},      {"up", "OptVsat"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.press);
        std::string press = step.press;
        if (press.starts_with("Alt+"))
            PressAccessKey(FocusIn(form), static_cast<wchar_t>(std::tolower(press.back())));
        else if (arrows.contains(press))
            PressKey(FocusIn(form), arrows.at(press));
        else
            Click(Control(press));
        EXPECT_TRUE(WaitUntil([&] { return CheckedOptions() == step.expected; }, 3s)) << "set: " << CheckedOptions();
        program.WaitForIdle();
        EXPECT_EQ(CheckedOptions(), step.expected) << "once the program is idle";
        if (!press.starts_with("Opt")) {
            EXPECT_EQ(Focused(), step.expected) << "the focus goes with the set option";
        }
    }
}

TEST_F(Windows, TextsShowInTheirColours)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE), white = RGB(255, 255, 255);
    const std::vector<COLORREF> tabled = {RGB(0, 0, 192), RGB(255, 0, 0), RGB(0, 0, 128), RGB(0, 0, 255)};
    auto expect = [&](HWND control, COLORREF text, COLORREF background) {
        Pixels pixels = CaptureVisible(control).pixels;
        // Within the caption only: above the frame's children, right of a round button.
        if (KindOf(control) == Kind::Frame)
            pixels = Crop(pixels, {0, 0}, pixels.width, 16);
        else if (KindOf(control) == Kind::Option)
            pixels = Crop(pixels, {16, 0}, pixels.width - 16, pixels.height);
        EXPECT_GT(CountColour(pixels, text), 10u) << "too little text in its colour";
        EXPECT_GT(CountColour(pixels, background), pixels.colours.size() / 2) << "not on its background";
        for (COLORREF other : tabled) {
            if (other != text) {
                EXPECT_EQ(CountColour(pixels, other), 0u) << "text in another control's colour";
            }
        }
    };
    struct Case {
        const char* name;
        COLORREF text;
        COLORREF background;
    } cases[] = {
        {"Text1", RGB(255, 0, 0), RGB(255, 255, 192)},
        {"Frame1", RGB(0, 0, 192), face},
        {"OptLan", RGB(0, 0, 192), face},
        {"OptVPN", RGB(255, 0, 0), face},
        {"OptVsat", RGB(0, 0, 0), face},
        {"OptOthers", RGB(0, 0, 0), face},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expect(Control(c.name), c.text, c.background);
    }
    HWND about = OpenAbout();  // over the main window
    ASSERT_NE(about, nullptr);
    AboutControls controls = ControlsOf(about);
    ASSERT_EQ(controls.labels.size(), 3u);
    Pixels window = CaptureClient(about);
    EXPECT_EQ(window.At(window.width - 1, 95), white) << "the About window's background";
    const COLORREF labelColours[] = {RGB(0, 0, 128), RGB(0, 0, 128), RGB(0, 0, 255)};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(testing::Message() << "Label" << i + 1);
        expect(controls.labels[i], labelColours[i], white);
    }
}

TEST_F(Windows, PicturesShowTheirImagesUnscaledOnTheirBackground)
{
    const COLORREF grey = RGB(192, 192, 192);
    auto expect = [](HWND picture, const wchar_t* image, COLORREF background) {
        ASSERT_NE(picture, nullptr);
        VisiblePart shown = CaptureVisible(picture);
        Pixels all = RenderImage(ImagePath(image), ClientSize(picture), background);
        ASSERT_LT(CountColour(all, background), all.colours.size()) << "the reference shows no image";
        Pixels expected = Crop(all, shown.offset, shown.pixels.width, shown.pixels.height);
        EXPECT_EQ(PixelsDifferent(shown.pixels, expected), 0u) << "not the image drawn at the top-left corner";
    };
    // The main window's boxes draw their one-pixel border themselves, in the
    // colour of a window border: the image starts inside it, and what does
    // not fit is cut off by the border, not drawn over it.
    auto expectFramed = [](HWND picture, const wchar_t* image, COLORREF background) {
        ASSERT_NE(picture, nullptr);
        Pixels shown = CaptureClient(picture);
        const SIZE box = ClientSize(picture);
        ASSERT_EQ(shown.colours.size(), static_cast<std::size_t>(box.cx * box.cy)) << "not wholly visible";
        const COLORREF border = GetSysColor(COLOR_WINDOWFRAME);
        for (int x = 0; x < box.cx; ++x)
            ASSERT_TRUE(shown.At(x, 0) == border && shown.At(x, box.cy - 1) == border) << "border, column " << x;
        for (int y = 0; y < box.cy; ++y)
            ASSERT_TRUE(shown.At(0, y) == border && shown.At(box.cx - 1, y) == border) << "border, row " << y;
        Pixels expected = RenderImage(ImagePath(image), {box.cx - 2, box.cy - 2}, background);
        ASSERT_LT(CountColour(expected, background), expected.colours.size()) << "the reference shows no image";
        EXPECT_EQ(PixelsDifferent(Crop(shown, {1, 1}, box.cx - 2, box.cy - 2), expected), 0u)
            << "not the image drawn at the top-left corner inside the border";
    };
    struct Case {
        const char* name;
        const wchar_t* image;
    } cases[] = {
        {"Picture4", L"image-a.ico"}, {"Picture1", L"image-b.ico"},  // Lan / Dial-up
        {"Picture2", L"image-c.ico"},                                // VPN
        {"Picture3", L"image-d.ico"},                                // Others
        {"Picture5", L"image-e.jpg"},                                // VSAT, cut off at right and bottom
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectFramed(Control(c.name), c.image, grey);
    }
    // The logo's box starts one pixel left of the About window's client area.
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    SCOPED_TRACE("About logo");
    expect(ControlsOf(about).picture, L"logo.bmp", RGB(255, 255, 255));
}

TEST_F(Windows, AboutWindowControlsHaveTheirPlacesAndCaptions)
{
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    AboutControls controls = ControlsOf(about);
    ASSERT_EQ(Children(about).size(), 4u);
    ASSERT_EQ(controls.labels.size(), 3u);
    ASSERT_NE(controls.picture, nullptr);
    HWND label1 = controls.labels[0], label2 = controls.labels[1], label3 = controls.labels[2];

    EXPECT_EQ(PlaceOf(controls.picture), (Place{-1, 102, 108, 108}));
    EXPECT_EQ(PlaceOf(label2), (Place{2, 52, 316, 35}));
    EXPECT_EQ(WindowText(label2), L" > New IPaddress will get affected in ODBC System Datasouce.");
    Place top = PlaceOf(label1), company = PlaceOf(label3);
    EXPECT_EQ(top.x, 2);
    EXPECT_EQ(top.width, 316) << "as wide as Label2";
    EXPECT_LE(top.y + top.height, 52) << "above Label2";
    EXPECT_GE(company.x, -1 + 108) << "right of the logo";
    EXPECT_EQ(company.y + company.height, 210) << "on the bottom edge";

    std::wstring title = WindowText(label1), maker = WindowText(label3);
    EXPECT_TRUE(title.starts_with(L" Hostwend")) << "Label1 begins with a space and names the utility";
    EXPECT_FALSE(maker.empty());
    EXPECT_NE(title.find(maker), std::wstring::npos) << "Label1 names the maker";
    for (HWND label : controls.labels)
        EXPECT_EQ(WindowText(label).find(L'&'), std::wstring::npos) << "no access keys";
}

TEST_F(Windows, TextsShowInTheirFonts)
{
    const FontSpec arial9Italic{L"Arial", FF_SWISS, 900, FW_NORMAL, true};
    const FontSpec arial9{L"Arial", FF_SWISS, 900, FW_NORMAL, false};
    struct Case {
        const char* name;
        FontSpec font;
        std::vector<FontSpec> wrong;  // each must look different, and further off
    } cases[] = {
        {"Text1", arial9Italic,
         {arial9, {L"Arial", FF_SWISS, 900, FW_BOLD, true}, {L"Arial", FF_SWISS, 1000, FW_NORMAL, true},
          {L"Times New Roman", FF_ROMAN, 900, FW_NORMAL, true}}},
        {"Label2", arial9,
         {arial9Italic, {L"Arial", FF_SWISS, 900, FW_BOLD, false}, {L"Arial", FF_SWISS, 800, FW_NORMAL, false},
          {L"Times New Roman", FF_ROMAN, 900, FW_NORMAL, false}}},
        {"Label3", {L"Times New Roman", FF_ROMAN, 1425, FW_BOLD, false},
         {{L"Times New Roman", FF_ROMAN, 1425, FW_NORMAL, false}, {L"Arial", FF_SWISS, 1425, FW_BOLD, false},
          {L"Times New Roman", FF_ROMAN, 1200, FW_BOLD, false}}},
    };
    // Text1 first: the About window opens over it.
    std::map<std::string, HWND> controls{{"Text1", Control("Text1")}};
    std::map<std::string, VisiblePart> shown{{"Text1", CaptureVisible(controls["Text1"])}};
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    AboutControls inAbout = ControlsOf(about);
    ASSERT_EQ(inAbout.labels.size(), 3u);
    controls["Label2"] = inAbout.labels[1];
    controls["Label3"] = inAbout.labels[2];
    shown["Label2"] = CaptureVisible(controls["Label2"]);
    shown["Label3"] = CaptureVisible(controls["Label3"]);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Another process's font cannot be read from here (under Wine even
        // WM_GETFONT fails across processes), so the font is judged by what
        // the screen shows: a twin control drawn here with the right font
        // must match it, and twins with nearly right fonts must not.
        const VisiblePart& screen = shown[c.name];
        std::vector<bool> seen = Ink(screen.pixels);
        auto twinInk = [&](const FontSpec& font) {
            Pixels twin = RenderTwin(controls[c.name], font);
            return Ink(Crop(twin, screen.offset, screen.pixels.width, screen.pixels.height));
        };
        std::vector<bool> right = twinInk(c.font);
        auto ink = static_cast<std::size_t>(std::count(right.begin(), right.end(), true));
        ASSERT_GT(ink, 100u) << "the twin shows no text";
        std::size_t rightDifference = CountDifferent(seen, right);
        EXPECT_LE(rightDifference, ink / 20) << "does not look like " << c.font;
        for (const FontSpec& wrong : c.wrong) {
            SCOPED_TRACE(testing::Message() << "against " << wrong);
            std::vector<bool> other = twinInk(wrong);
            EXPECT_GT(CountDifferent(right, other), ink / 10) << "the check cannot tell the two apart";
            EXPECT_GT(CountDifferent(seen, other), rightDifference * 2 + ink / 20) << "looks like the wrong font";
        }
    }
}

TEST_F(Windows, EachAboutClickOpensAnotherInFrontAndTheMainWindowStaysUsable)
{
    HWND first = OpenAbout();
    HWND second = OpenAbout();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(program.TopLevelWindows(L"Hostwend.Form2").size(), 2u);
    EXPECT_EQ(GetWindow(first, GW_OWNER), nullptr) << "unowned";
    EXPECT_EQ(GetWindow(second, GW_OWNER), nullptr) << "unowned";
    EXPECT_EQ(PlaceOf(first), PlaceOf(second)) << "the second lies exactly over the first";
    EXPECT_EQ(program.TopLevelWindows().front(), second) << "the new one is in front";

    Click(Control("OptVPN"));
    EXPECT_TRUE(WaitUntil([&] { return CheckedOptions() == "OptVPN"; }, 3s)) << "the main window does not respond";
    // Closing one About window leaves the other and the main window open.
    PostMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(first); }));
    EXPECT_TRUE(IsWindowVisible(second));
    EXPECT_TRUE(IsWindowVisible(form));
}

TEST_F(Windows, CloseEndsTheProgramWithItsAboutWindows)
{
    ASSERT_NE(OpenAbout(), nullptr);
    Click(Control("CmdClose"));
    auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "still running after Close";
    EXPECT_EQ(*code, 0u);
}

TEST_F(Windows, ClosingTheMainWindowLeavesTheProgramRunningUntilTheLastAboutWindowCloses)
{
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(form); })) << "the main window did not close";
    // Two round trips through the program's message loop after the main
    // window went: a program about to quit would not take the second.
    for (int trip = 1; trip <= 2; ++trip)
        EXPECT_NE(SendMessageTimeoutW(about, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr), 0) << "trip " << trip;
    EXPECT_TRUE(IsWindowVisible(about));

    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "still running after its last window closed";
    EXPECT_EQ(*code, 0u);
}

} // namespace
} // namespace hostwend::driver
