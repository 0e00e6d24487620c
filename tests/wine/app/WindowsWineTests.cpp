// The main window and the About window as the operator meets them: the real
// program, measured and worked from outside through the Win32 API at 96 DPI.
#include "ProgramUnderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#include <olectl.h>

namespace hostwend::driver {
namespace {

constexpr wchar_t kMainCaption[] = L"Hostwend 2.1 (Only for TARN 6.x)";
constexpr wchar_t kText1[] = L"Select approriate connection type and \r\nclick on 'Apply'.\r\n";
constexpr char kProfile[] = "[SETUP]\r\nLanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n";

enum class Kind { CommandButton, OptionButton, Frame, TextBox, PictureBox, Label, Other };

Kind KindOf(HWND control)
{
    std::wstring cls = ClassName(control);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON:
            return Kind::CommandButton;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return Kind::OptionButton;
        case BS_GROUPBOX:
            return Kind::Frame;
        default:
            return Kind::Other;
        }
    }
    if (_wcsicmp(cls.c_str(), L"Edit") == 0)
        return Kind::TextBox;
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        switch (style & SS_TYPEMASK) {
        case SS_OWNERDRAW:
        case SS_BITMAP:
        case SS_ICON:
        case SS_ENHMETAFILE:
            return Kind::PictureBox;
        default:
            return Kind::Label;
        }
    }
    return Kind::Other;
}

struct Place {
    int x, y, width, height;
    bool operator==(const Place&) const = default;
};

Place PlaceOf(HWND control)
{
    RECT rect = PlaceInParent(control);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::ostream& operator<<(std::ostream& out, const Place& place)
{
    return out << "(" << place.x << ", " << place.y << ", " << place.width << " x " << place.height << ")";
}

struct TabledControl {
    const char* name;
    Kind kind;
    const wchar_t* caption;
    Place place;  // pixels at 96 DPI in the client area; frame children offset by the frame
    int tabIndex;
};

// Form1's controls as the layout tables them, in pixels at 96 DPI.
const TabledControl kForm1Controls[] = {
    {"Command1", Kind::CommandButton, L"&About", {174, 162, 72, 24}, 11},
    {"Picture4", Kind::PictureBox, L"", {0, 6, 34, 35}, 10},
    {"Text1", Kind::TextBox, kText1, {34, 4, 275, 38}, 9},
    {"CmdClose", Kind::CommandButton, L"&Close", {94, 162, 72, 24}, 5},
    {"CmdApply", Kind::CommandButton, L"&Apply", {15, 162, 72, 24}, 4},
    {"Frame1", Kind::Frame, L"Connection Type", {0, 44, 310, 112}, 0},
    {"OptOthers", Kind::OptionButton, L"&Others", {239, 109, 57, 21}, 13},
    {"Picture5", Kind::PictureBox, L"", {180, 73, 47, 36}, 12},
    {"Picture3", Kind::PictureBox, L"", {248, 71, 41, 34}, 8},
    {"Picture2", Kind::PictureBox, L"", {109, 73, 41, 34}, 7},
    {"Picture1", Kind::PictureBox, L"", {17, 72, 38, 35}, 6},
    {"OptVsat", Kind::OptionButton, L"&Vsat", {178, 110, 57, 21}, 3},
    {"OptVPN", Kind::OptionButton, L"V&PN", {107, 111, 57, 21}, 2},
    {"OptLan", Kind::OptionButton, L"Lan / &Dial-up", {14, 111, 90, 21}, 1},
};

const TabledControl& Tabled(const std::string& name)
{
    for (const TabledControl& control : kForm1Controls)
        if (name == control.name)
            return control;
    throw std::logic_error("no control " + name);
}

// The child of the kind and caption; among several (the picture boxes, which
// have no caption) the one at the given place.
HWND FindControl(HWND window, Kind kind, const std::wstring& caption, const Place& place)
{
    std::vector<HWND> found;
    for (HWND child : Children(window))
        if (KindOf(child) == kind && WindowText(child) == caption)
            found.push_back(child);
    if (found.size() == 1)
        return found.front();
    for (HWND child : found)
        if (PlaceOf(child) == place)
            return child;
    return nullptr;
}

// Which tabled control a child is, by the same rule.
std::string NameOf(HWND window, HWND child)
{
    for (const TabledControl& control : kForm1Controls)
        if (FindControl(window, control.kind, control.caption, control.place) == child)
            return control.name;
    std::wstring cls = ClassName(child);
    std::string name = "(untabled ";
    name.append(cls.begin(), cls.end());
    name += ')';
    return name;
}

bool IsChecked(HWND option) { return SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Directory of the pictures the program embeds, found from this source file.
std::wstring ImagePath(const std::wstring& name)
{
    std::string file = __FILE__;
    std::string root = file.substr(0, file.rfind("tests"));
    std::wstring path(root.begin(), root.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (!path.empty() && path.front() == L'\\')
        path = L"Z:" + path;  // Wine's drive for the Unix root
    return path + L"res\\images\\" + name;
}

// --- Rendering references in this process --------------------------------

// A memory bitmap of a given size, filled with a colour, to draw references on.
class Canvas {
public:
    Canvas(int width, int height, COLORREF background) : width_(width), height_(height)
    {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        HBRUSH brush = CreateSolidBrush(background);
        RECT all{0, 0, width, height};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    Pixels Read() const
    {
        Pixels pixels{width_, height_, {}};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                pixels.colours.push_back(GetPixel(dc_, x, y));
        return pixels;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

std::size_t CountDifferent(const Pixels& a, const Pixels& b)
{
    if (a.width != b.width || a.height != b.height)
        return static_cast<std::size_t>(-1);
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.colours.size(); ++i)
        count += a.colours[i] != b.colours[i];
    return count;
}

// An image file drawn unscaled at the top-left corner of a box of the given
// size on the given background, as a picture box should show it.
Pixels RenderImage(const std::wstring& file, int width, int height, COLORREF background)
{
    Canvas canvas(width, height, background);
    if (file.ends_with(L".ico")) {
        HICON icon = static_cast<HICON>(LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
        DrawIconEx(canvas.Dc(), 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    } else {
        // A JPEG, through the same system decoder any Windows program has.
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD size = GetFileSize(handle, nullptr);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        DWORD read = 0;
        ReadFile(handle, GlobalLock(memory), size, &read, nullptr);
        GlobalUnlock(memory);
        CloseHandle(handle);
        IStream* stream = nullptr;
        IPicture* picture = nullptr;
        if (SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream)) &&
            SUCCEEDED(OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                     reinterpret_cast<void**>(&picture)))) {
            OLE_HANDLE bitmap = 0;
            picture->get_Handle(&bitmap);
            HDC source = CreateCompatibleDC(canvas.Dc());
            HGDIOBJ old = SelectObject(source, reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(bitmap))));
            BitBlt(canvas.Dc(), 0, 0, width, height, source, 0, 0, SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
            picture->Release();
        }
        if (stream)
            stream->Release();
    }
    return canvas.Read();
}

struct FontSpec {
    const wchar_t* face;
    BYTE family;  // what a system without the face substitutes
    int centipoints;
    int weight;
    bool italic;

    LOGFONTW At96Dpi() const
    {
        LOGFONTW font{};
        font.lfHeight = -MulDiv(centipoints, 96, 7200);
        font.lfWeight = weight;
        font.lfItalic = italic;
        font.lfCharSet = ANSI_CHARSET;
        font.lfPitchAndFamily = static_cast<BYTE>(VARIABLE_PITCH | family);
        lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
        return font;
    }
};

LRESULT CALLBACK ReferenceParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// A twin of another process's control, of the same class, styles, size and
// text, with the given font, drawn in this process's memory: its client area.
Pixels RenderTwin(HWND shown, const FontSpec& fontSpec)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ReferenceParentProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HostwendTest.ReferenceParent";
    RegisterClassW(&windowClass);
    HWND parent = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);  // never shown
    RECT rect = PlaceInParent(shown);
    HWND twin = CreateWindowExW(static_cast<DWORD>(GetWindowLongW(shown, GWL_EXSTYLE)), ClassName(shown).c_str(),
                                WindowText(shown).c_str(), static_cast<DWORD>(GetWindowLongW(shown, GWL_STYLE)), 0,
                                0, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                windowClass.hInstance, nullptr);
    LOGFONTW logFont = fontSpec.At96Dpi();
    HFONT font = CreateFontIndirectW(&logFont);
    SendMessageW(twin, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SIZE size = ClientSize(twin);
    Canvas canvas(size.cx, size.cy, RGB(255, 255, 255));
    SendMessageW(twin, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
    Pixels pixels = canvas.Read();
    DestroyWindow(parent);
    DeleteObject(font);
    return pixels;
}

Pixels Crop(const Pixels& pixels, int left, int top, int width, int height)
{
    Pixels part{width, height, {}};
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            part.colours.push_back(pixels.At(x, y));
    return part;
}

// What the screen shows of a control's client area inside its window's
// client area, and where that part starts in the control's client area.
struct VisiblePart {
    Pixels pixels;
    POINT offset;
};
VisiblePart CaptureVisible(HWND control)
{
    RECT client{}, parent{}, visible{};
    GetClientRect(control, &client);
    MapWindowPoints(control, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    HWND window = GetParent(control);
    GetClientRect(window, &parent);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&parent), 2);
    IntersectRect(&visible, &client, &parent);
    return {CaptureScreen(visible), {visible.left - client.left, visible.top - client.top}};
}

// Which pixels are ink: any colour but the most common one, the background.
std::vector<bool> Ink(const Pixels& pixels)
{
    std::map<COLORREF, int> counts;
    for (COLORREF colour : pixels.colours)
        ++counts[colour];
    COLORREF background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                              return a.second < b.second;
                          })->first;
    std::vector<bool> ink;
    for (COLORREF colour : pixels.colours)
        ink.push_back(colour != background);
    return ink;
}

std::size_t InkDifference(const Pixels& a, const Pixels& b)
{
    if (a.width != b.width || a.height != b.height)
        return static_cast<std::size_t>(-1);
    std::vector<bool> inkA = Ink(a), inkB = Ink(b);
    std::size_t count = 0;
    for (std::size_t i = 0; i < inkA.size(); ++i)
        count += inkA[i] != inkB[i];
    return count;
}

std::size_t CountColour(const Pixels& pixels, COLORREF colour)
{
    return static_cast<std::size_t>(std::count(pixels.colours.begin(), pixels.colours.end(), colour));
}

// --- The program, started with a profile so that its main window opens ----

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        program.WriteFile(L"HWD.ini", kProfile);
        program.Start();
        form = program.MainWindow();
        ASSERT_NE(form, nullptr) << "the main window did not appear";
        program.WaitForIdle();
    }

    HWND Control(const std::string& name) const
    {
        const TabledControl& tabled = Tabled(name);
        return FindControl(form, tabled.kind, tabled.caption, tabled.place);
    }

    std::vector<HWND> AboutWindows() const { return program.TopLevelWindows(L"Hostwend.Form2"); }

    // Clicks About and returns the About window it opened.
    HWND OpenAbout() const
    {
        std::vector<HWND> before = AboutWindows();
        Click(Control("Command1"));
        HWND opened = nullptr;
        WaitUntil([&] {
            for (HWND window : AboutWindows())
                if (std::find(before.begin(), before.end(), window) == before.end())
                    opened = window;
            return opened != nullptr;
        });
        program.WaitForIdle();
        return opened;
    }

    std::string CheckedOption() const
    {
        std::string names;
        for (const char* name : {"OptLan", "OptVPN", "OptVsat", "OptOthers"})
            if (IsChecked(Control(name))) {
                if (!names.empty())
                    names += '+';
                names += name;
            }
        return names.empty() ? "none" : names;
    }

    std::string Focused() const
    {
        HWND focus = FocusIn(form);
        return focus ? NameOf(form, focus) : "nothing";
    }

    ProgramUnderTest program;
    HWND form = nullptr;
};

TEST_F(Windows, BothAreCentredWithTheirCaptionAndClientSize)
{
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    struct Case {
        const char* name;
        HWND window;
        const wchar_t* caption;
        SIZE client;
    } cases[] = {
        {"Form1", form, kMainCaption, {316, 192}},  // 4740 x 2880 twips
        {"Form2", about, L"About", {292, 210}},      // 4380 x 3150 twips
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowText(c.window), c.caption);
        SIZE client = ClientSize(c.window);
        EXPECT_EQ(client.cx, c.client.cx);
        EXPECT_EQ(client.cy, c.client.cy);
        RECT rect{};
        GetWindowRect(c.window, &rect);
        EXPECT_LE(std::abs(rect.left + rect.right - GetSystemMetrics(SM_CXSCREEN)), 1) << "not centred across";
        EXPECT_LE(std::abs(rect.top + rect.bottom - GetSystemMetrics(SM_CYSCREEN)), 1) << "not centred down";
    }
}

TEST_F(Windows, MainWindowControlsHaveTheirKindCaptionAndPlace)
{
    EXPECT_EQ(Children(form).size(), std::size(kForm1Controls)) << "controls beyond the table";
    for (const TabledControl& tabled : kForm1Controls) {
        SCOPED_TRACE(tabled.name);
        HWND control = FindControl(form, tabled.kind, tabled.caption, tabled.place);
        ASSERT_NE(control, nullptr) << "no such control";
        EXPECT_EQ(PlaceOf(control), tabled.place);
        EXPECT_TRUE(IsWindowVisible(control));
    }
}

TEST_F(Windows, MainWindowZOrderFollowsTheTabIndices)
{
    std::vector<const TabledControl*> byTabIndex;
    for (const TabledControl& tabled : kForm1Controls)
        byTabIndex.push_back(&tabled);
    std::sort(byTabIndex.begin(), byTabIndex.end(),
              [](const TabledControl* a, const TabledControl* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::string> expected, actual;
    for (const TabledControl* tabled : byTabIndex)
        expected.push_back(tabled->name);
    for (HWND child : Children(form))
        actual.push_back(NameOf(form, child));
    EXPECT_EQ(actual, expected);
}

TEST_F(Windows, TabVisitsTheStopsInTabOrderAndEnterPressesApply)
{
    // The set option button is the group's one stop; pictures and the frame are none.
    ASSERT_TRUE(WaitUntil([&] { return Focused() == "OptLan"; })) << Focused();
    for (const char* next : {"CmdApply", "CmdClose", "Text1", "Command1", "OptLan"}) {
        PressKey(FocusIn(form), VK_TAB);
        EXPECT_TRUE(WaitUntil([&] { return Focused() == next; }, 3s)) << "expected " << next << ", at " << Focused();
    }
    // OptOthers, once set, is the last stop, after Command1.
    PressAccessKey(FocusIn(form), L'o');
    ASSERT_TRUE(WaitUntil([&] { return Focused() == "OptOthers"; }, 3s)) << Focused();
    for (const char* next : {"CmdApply", "CmdClose", "Text1", "Command1", "OptOthers"}) {
        PressKey(FocusIn(form), VK_TAB);
        EXPECT_TRUE(WaitUntil([&] { return Focused() == next; }, 3s)) << "expected " << next << ", at " << Focused();
    }

    // Enter on an option button presses the default button: Apply asks to confirm.
    PressKey(FocusIn(form), VK_RETURN);
    HWND box = program.WaitForMessageBox(5s);
    ASSERT_NE(box, nullptr) << "Enter did not press Apply";
    Click(ChildById(box, IDCANCEL));
    EXPECT_TRUE(WaitUntil([&] { return program.TopLevelWindows(L"#32770").empty(); }));
}

TEST_F(Windows, ExactlyOneOptionButtonIsSetWhicheverWayItIsChosen)
{
    EXPECT_EQ(CheckedOption(), "OptLan") << "when the window opens";
    enum class By { Click, AccessKey, Arrow };
    struct Step {
        By by;
        const char* target;  // the button clicked, the access key's letter, or the arrow
        const char* expected;
    } steps[] = {
        {By::Click, "OptOthers", "OptOthers"},
        {By::Click, "OptVsat", "OptVsat"},
        {By::Click, "OptVsat", "OptVsat"},  // clicking the set one keeps it set
        {By::Click, "OptVPN", "OptVPN"},
        {By::Click, "OptLan", "OptLan"},
        {By::AccessKey, "o", "OptOthers"},
        {By::AccessKey, "p", "OptVPN"},
        {By::AccessKey, "v", "OptVsat"},
        {By::AccessKey, "d", "OptLan"},
        {By::Arrow, "right", "OptVPN"},
        {By::Arrow, "down", "OptVsat"},
        {By::Arrow, "right", "OptOthers"},
        {By::Arrow, "right", "OptLan"},  // round from the last to the first
        {By::Arrow, "left", "OptOthers"},
        {By::Arrow, "up", "OptVsat"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << (step.by == By::Click ? "click " : step.by == By::AccessKey ? "Alt+" : "arrow ")
                                        << step.target);
        switch (step.by) {
        case By::Click:
            Click(Control(step.target));
            break;
        case By::AccessKey:
            PressAccessKey(FocusIn(form), static_cast<wchar_t>(step.target[0]));
            break;
        case By::Arrow: {
            std::string arrow = step.target;
            UINT key = arrow == "right" ? VK_RIGHT : arrow == "left" ? VK_LEFT : arrow == "up" ? VK_UP : VK_DOWN;
            PressKey(FocusIn(form), key);
            break;
        }
        }
        EXPECT_TRUE(WaitUntil([&] { return CheckedOption() == step.expected; }, 3s)) << "set: " << CheckedOption();
        program.WaitForIdle();
        EXPECT_EQ(CheckedOption(), step.expected) << "after the program went idle";
        if (step.by != By::Click) {
            EXPECT_EQ(Focused(), step.expected) << "the focus goes with the set option";
        }
    }
}

TEST_F(Windows, ColouredTextShowsInItsColours)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF darkBlue = RGB(0, 0, 192), red = RGB(255, 0, 0), black = RGB(0, 0, 0);
    struct Case {
        const char* name;
        COLORREF text;
        COLORREF background;
    } cases[] = {
        {"Text1", red, RGB(255, 255, 192)},
        {"Frame1", darkBlue, face},
        {"OptLan", darkBlue, face},
        {"OptVPN", red, face},
        {"OptVsat", black, face},
        {"OptOthers", black, face},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND control = Control(c.name);
        ASSERT_NE(control, nullptr);
        RECT area{};
        GetClientRect(control, &area);
        if (std::string(c.name) == "Frame1")
            area.bottom = 16;  // the caption, above the frame's children
        else if (KindOf(control) == Kind::OptionButton)
            area.left = 16;  // the caption, right of the round button
        MapWindowPoints(control, HWND_DESKTOP, reinterpret_cast<POINT*>(&area), 2);
        Pixels pixels = CaptureScreen(area);
        EXPECT_GT(CountColour(pixels, c.text), 10u) << "too little text in its colour";
        EXPECT_GT(CountColour(pixels, c.background), pixels.colours.size() / 2) << "not on its background";
        for (COLORREF other : {darkBlue, red}) {
            if (other != c.text) {
                EXPECT_EQ(CountColour(pixels, other), 0u) << "text in another control's colour";
            }
        }
    }
}

TEST_F(Windows, PicturesShowTheirImagesUnscaledOnGrey)
{
    struct Case {
        const char* name;
        const wchar_t* image;
    } cases[] = {
        {"Picture4", L"image-a.ico"},
        {"Picture1", L"image-b.ico"},  // Lan / Dial-up
        {"Picture2", L"image-c.ico"},  // VPN
        {"Picture3", L"image-d.ico"},  // Others
        {"Picture5", L"image-e.jpg"},  // VSAT: cut off at the right and bottom
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND picture = Control(c.name);
        ASSERT_NE(picture, nullptr);
        SIZE size = ClientSize(picture);
        Pixels expected = RenderImage(ImagePath(c.image), size.cx, size.cy, RGB(192, 192, 192));
        ASSERT_LT(CountColour(expected, RGB(192, 192, 192)), expected.colours.size()) << "the reference shows no image";
        std::size_t different = 0;
        EXPECT_TRUE(WaitUntil([&] { return (different = CountDifferent(CaptureClient(picture), expected)) == 0; }, 3s))
            << different << " pixels differ from the image drawn at the top-left on grey";
    }
}

TEST_F(Windows, AboutWindowControlsHaveTheirPlacesAndCaptions)
{
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    HWND picture = nullptr, label1 = nullptr, label2 = nullptr, label3 = nullptr;
    std::vector<HWND> labels;
    for (HWND child : Children(about)) {
        Kind kind = KindOf(child);
        if (kind == Kind::PictureBox)
            picture = child;
        else if (kind == Kind::Label)
            labels.push_back(child);
    }
    ASSERT_EQ(Children(about).size(), 4u);
    ASSERT_EQ(labels.size(), 3u);
    ASSERT_NE(picture, nullptr);
    // By place: Label1 across the top, Label2 below it, Label3 at the bottom.
    std::sort(labels.begin(), labels.end(), [](HWND a, HWND b) { return PlaceOf(a).y < PlaceOf(b).y; });
    label1 = labels[0], label2 = labels[1], label3 = labels[2];

    EXPECT_EQ(PlaceOf(picture), (Place{-1, 102, 108, 108}));
    EXPECT_EQ(PlaceOf(label2), (Place{2, 52, 316, 35}));
    EXPECT_EQ(WindowText(label2), L" > New IPaddress will get affected in ODBC System Datasouce.");

    Place top = PlaceOf(label1);
    EXPECT_EQ(top.x, 2);
    EXPECT_EQ(top.width, 316) << "as wide as Label2";
    EXPECT_LE(top.y + top.height, 52) << "above Label2";
    Place company = PlaceOf(label3);
    EXPECT_GE(company.x, -1 + 108) << "right of the logo";
    EXPECT_EQ(company.y + company.height, 210) << "on the bottom edge";

    std::wstring title = WindowText(label1), maker = WindowText(label3);
    EXPECT_TRUE(title.starts_with(L" ")) << "Label1 begins with a space";
    EXPECT_NE(title.find(L"Hostwend"), std::wstring::npos) << "Label1 names the utility";
    EXPECT_FALSE(maker.empty());
    EXPECT_NE(title.find(maker), std::wstring::npos) << "Label1 names the maker";
    for (HWND label : labels)
        EXPECT_EQ(WindowText(label).find(L'&'), std::wstring::npos) << "no access keys";
}

TEST_F(Windows, AboutWindowShowsItsColoursAndTheLogoOnWhite)
{
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    const COLORREF white = RGB(255, 255, 255), navy = RGB(0, 0, 128), blue = RGB(0, 0, 255);
    std::vector<HWND> labels;
    HWND picture = nullptr;
    for (HWND child : Children(about)) {
        if (KindOf(child) == Kind::Label)
            labels.push_back(child);
        else
            picture = child;
    }
    ASSERT_EQ(labels.size(), 3u);
    std::sort(labels.begin(), labels.end(), [](HWND a, HWND b) { return PlaceOf(a).y < PlaceOf(b).y; });

    Pixels window = CaptureClient(about);
    EXPECT_EQ(window.At(window.width - 1, 95), white) << "the window's background";
    struct Case {
        const char* name;
        HWND label;
        COLORREF text;
    } cases[] = {{"Label1", labels[0], navy}, {"Label2", labels[1], navy}, {"Label3", labels[2], blue}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pixels pixels = CaptureVisible(c.label).pixels;
        EXPECT_GT(CountColour(pixels, c.text), 10u) << "too little text in its colour";
        EXPECT_GT(CountColour(pixels, white), pixels.colours.size() / 2) << "not on white";
    }

    // The logo, unscaled from the box's top-left corner; the box starts one
    // pixel left of the client area, so the screen shows it from its second column.
    SIZE size = ClientSize(picture);
    Canvas canvas(size.cx, size.cy, white);
    HBITMAP logo = static_cast<HBITMAP>(
        LoadImageW(nullptr, ImagePath(L"logo.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    HDC source = CreateCompatibleDC(canvas.Dc());
    HGDIOBJ old = SelectObject(source, logo);
    BitBlt(canvas.Dc(), 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(logo);
    VisiblePart shown = CaptureVisible(picture);
    EXPECT_EQ(shown.offset.x, 1) << "the box starts one pixel left of the client area";
    Pixels expected = Crop(canvas.Read(), shown.offset.x, shown.offset.y, shown.pixels.width, shown.pixels.height);
    std::size_t different = CountDifferent(shown.pixels, expected);
    EXPECT_EQ(different, 0u) << "the logo is not shown as drawn";
}

TEST_F(Windows, TextsShowInTheirFonts)
{
    const FontSpec arial9Italic{L"Arial", FF_SWISS, 900, FW_NORMAL, true};
    const FontSpec arial9{L"Arial", FF_SWISS, 900, FW_NORMAL, false};
    const FontSpec times14Bold{L"Times New Roman", FF_ROMAN, 1425, FW_BOLD, false};
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
        {"Label3", times14Bold,
         {{L"Times New Roman", FF_ROMAN, 1425, FW_NORMAL, false}, {L"Arial", FF_SWISS, 1425, FW_BOLD, false},
          {L"Times New Roman", FF_ROMAN, 1200, FW_BOLD, false}}},
    };
    // Text1 first: the About window opens over it.
    std::map<std::string, HWND> controls{{"Text1", Control("Text1")}};
    std::map<std::string, VisiblePart> shown{{"Text1", CaptureVisible(controls["Text1"])}};
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    std::vector<HWND> labels;
    for (HWND child : Children(about))
        if (KindOf(child) == Kind::Label)
            labels.push_back(child);
    ASSERT_EQ(labels.size(), 3u);
    std::sort(labels.begin(), labels.end(), [](HWND a, HWND b) { return PlaceOf(a).y < PlaceOf(b).y; });
    controls["Label2"] = labels[1];
    controls["Label3"] = labels[2];
    shown["Label2"] = CaptureVisible(labels[1]);
    shown["Label3"] = CaptureVisible(labels[2]);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Another process's font handle cannot be read here (under Wine even
        // WM_GETFONT fails across processes), so the font is judged by what
        // the screen shows: a twin control drawn here with the right font
        // must match it, and twins with nearly right fonts must not.
        const VisiblePart& screen = shown[c.name];
        auto twin = [&](const FontSpec& font) {
            return Crop(RenderTwin(controls[c.name], font), screen.offset.x, screen.offset.y, screen.pixels.width,
                        screen.pixels.height);
        };
        Pixels right = twin(c.font);
        std::vector<bool> rightInk = Ink(right);
        auto ink = static_cast<std::size_t>(std::count(rightInk.begin(), rightInk.end(), true));
        ASSERT_GT(ink, 100u) << "the twin shows no text";
        std::size_t rightDifference = InkDifference(screen.pixels, right);
        EXPECT_LE(rightDifference, ink / 20) << "does not look like the right font";
        for (const FontSpec& wrong : c.wrong) {
            SCOPED_TRACE(testing::Message() << "wrong font " << std::string(wrong.face, wrong.face + wcslen(wrong.face))
                                            << " " << wrong.centipoints << " weight " << wrong.weight
                                            << (wrong.italic ? " italic" : ""));
            Pixels other = twin(wrong);
            // The check can tell this font apart at all...
            EXPECT_GT(InkDifference(right, other), ink / 10);
            // ...and the screen is nearer the right one.
            EXPECT_GT(InkDifference(screen.pixels, other), rightDifference * 2 + ink / 20);
        }
    }
}

TEST_F(Windows, EachAboutClickOpensAnotherInFrontAndTheMainWindowStaysUsable)
{
    HWND first = OpenAbout();
    HWND second = OpenAbout();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(AboutWindows().size(), 2u);
    EXPECT_EQ(GetWindow(first, GW_OWNER), nullptr) << "unowned";
    EXPECT_EQ(GetWindow(second, GW_OWNER), nullptr) << "unowned";
    RECT a{}, b{};
    GetWindowRect(first, &a);
    GetWindowRect(second, &b);
    EXPECT_TRUE(EqualRect(&a, &b)) << "the second lies exactly over the first";
    std::vector<HWND> zOrder = program.TopLevelWindows();  // front to back
    EXPECT_EQ(zOrder.front(), second) << "the new one is in front";

    // The main window still works while both are open...
    Click(Control("OptVPN"));
    EXPECT_TRUE(WaitUntil([&] { return CheckedOption() == "OptVPN"; }, 3s));
    // ...and closing one About window leaves the other and the main window open.
    PostMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(first); }));
    EXPECT_TRUE(IsWindow(second));
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
    for (int trip = 0; trip < 2; ++trip)
        EXPECT_NE(SendMessageTimeoutW(about, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr), 0) << "trip " << trip;
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(IsWindowVisible(about));

    PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
    auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "still running after its last window closed";
    EXPECT_EQ(*code, 0u);
}

} // namespace
} // namespace hostwend::driver
