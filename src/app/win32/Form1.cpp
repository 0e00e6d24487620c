#include "app/win32/Form1.h"

#include "app/ApplyCommand.h"
#include "app/Startup.h"
#include "app/win32/Form2.h"
#include "app/win32/Layout.h"
#include "app/win32/resource.h"

#include <optional>

namespace hostwend {
namespace {

constexpr wchar_t kClassName[] = L"Hostwend.Form1";
constexpr wchar_t kCaption[] = L"Hostwend 2.1 (Only for TARN 6.x)";
constexpr int kClientWidthTwips = 4740;
constexpr int kClientHeightTwips = 2880;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Frame1's children are placed from the frame's own top-left corner.
constexpr int kFrameLeft = 0;
constexpr int kFrameTop = 660;

enum class Kind { Button, DefaultButton, Picture, Text, Frame, Option };

struct ControlSpec {
    int id;
    Kind kind;
    bool inFrame;
    int left, top, width, height;  // twips
    const wchar_t* text;
};

// In tab order: Windows tabs through controls in the order they were created.
constexpr ControlSpec kControls[] = {
    {IDC_FRAME1, Kind::Frame, false, 0, 660, 4650, 1680, L"Connection Type"},
    {IDC_OPTLAN, Kind::Option, true, 210, 1005, 1350, 315, L"Lan / &Dial-up"},
    {IDC_OPTVPN, Kind::Option, true, 1605, 1005, 855, 315, L"V&PN"},
    {IDC_OPTVSAT, Kind::Option, true, 2670, 990, 855, 315, L"&Vsat"},
    {IDC_CMDAPPLY, Kind::DefaultButton, false, 225, 2430, 1080, 360, L"&Apply"},
    {IDC_CMDCLOSE, Kind::Button, false, 1410, 2430, 1080, 360, L"&Close"},
    {IDC_PICTURE1, Kind::Picture, true, 255, 420, 570, 525, L""},
    {IDC_PICTURE2, Kind::Picture, true, 1635, 435, 615, 510, L""},
    {IDC_PICTURE3, Kind::Picture, true, 3720, 405, 615, 510, L""},
    {IDC_TEXT1, Kind::Text, false, 510, 60, 4125, 570,
     L"Select approriate connection type and \r\nclick on 'Apply'.\r\n"},
    {IDC_PICTURE4, Kind::Picture, false, 0, 90, 510, 525, L""},
    {IDC_COMMAND1, Kind::Button, false, 2610, 2430, 1080, 360, L"&About"},
    {IDC_PICTURE5, Kind::Picture, true, 2700, 435, 705, 540, L""},
    {IDC_OPTOTHERS, Kind::Option, true, 3585, 975, 855, 315, L"&Others"},
};

// The four option buttons in the order the Apply command tests them.
constexpr int kOptionIds[] = {IDC_OPTLAN, IDC_OPTVPN, IDC_OPTVSAT, IDC_OPTOTHERS};

// What each picture box shows; Form1::pictures_ follows this order.
struct PictureSource {
    int controlId;
    int resourceId;
    bool jpeg;
};
constexpr PictureSource kPictures[] = {
    {IDC_PICTURE4, IDI_IMAGE_A, false},
    {IDC_PICTURE1, IDI_IMAGE_B, false},  // Lan / Dial-up
    {IDC_PICTURE2, IDI_IMAGE_C, false},  // VPN
    {IDC_PICTURE3, IDI_IMAGE_D, false},  // Others
    {IDC_PICTURE5, IDR_IMAGE_E, true},   // VSAT
};

// Text colours of the frame caption and the option buttons, on the face colour.
struct TextColour {
    int controlId;
    COLORREF colour;
};
constexpr TextColour kTextColours[] = {
    {IDC_FRAME1, RGB(0, 0, 192)},
    {IDC_OPTLAN, RGB(0, 0, 192)},
    {IDC_OPTVPN, RGB(255, 0, 0)},
    {IDC_OPTVSAT, RGB(0, 0, 0)},
    {IDC_OPTOTHERS, RGB(0, 0, 0)},
};
constexpr COLORREF kText1Colour = RGB(255, 0, 0);
constexpr COLORREF kText1Background = RGB(255, 255, 192);
constexpr COLORREF kPictureBackground = RGB(192, 192, 192);

struct ControlClass {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
    bool frameless;  // nothing to paint outside its client area
};

ControlClass ClassOf(Kind kind)
{
    switch (kind) {
    case Kind::Button:
        return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, true};
    case Kind::DefaultButton:
        return {L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, true};
    case Kind::Picture:
        // Its flat one-pixel border is drawn with its picture (OnDrawItem):
        // inside it every 32x32 icon shows whole.
        return {L"STATIC", SS_OWNERDRAW, 0, true};
    case Kind::Text:
        // Enter starts a new line in it, as in any multi-line text box.
        return {L"EDIT", WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_LEFT, WS_EX_CLIENTEDGE, false};
    case Kind::Frame:
        return {L"BUTTON", BS_GROUPBOX, 0, true};
    case Kind::Option:
        // Not auto radio buttons: OptOthers is last in the tab order, away from
        // the other three, and Windows only groups neighbours. Form1 keeps
        // exactly one set itself.
        return {L"BUTTON", BS_RADIOBUTTON, 0, true};
    }
    return {L"STATIC", 0, 0, false};
}

// A control without a border has nothing to paint outside its client area:
// Windows' own WM_NCPAINT draws nothing there. Wine still takes a device
// context for it, at several round trips to its server each; for these
// thirteen controls that was a third of the window's first paint.
LRESULT CALLBACK SkipNonClientPaint(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCPAINT)
        return 0;
    // The control's own class procedure, which this one stands in front of.
    auto classProcedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(control, GCLP_WNDPROC));
    return CallWindowProcW(classProcedure, control, message, wParam, lParam);
}

} // namespace

std::unique_ptr<Form1> Form1::Create(AppContext& app)
{
    RegisterFormClass(app.instance, kClassName, IDI_HOSTWEND, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    std::unique_ptr<Form1> form(new Form1(app));
    form->dpi_ = SystemDpi();
    HWND window = CreateCentred(app.instance, kClassName, kCaption, kStyle, kClientWidthTwips, kClientHeightTwips,
                                form->dpi_, form.get());
    if (!window)
        return nullptr;
    app.windows.Opened();
    form->CreateControls();
    return form;
}

Form1::~Form1()
{
    if (window_)
        DestroyWindow(window_);
}

void Form1::CreateControls()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi_, SystemDpi());
    uiFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    text1Font_ = CreatePointFont(L"Arial", FF_SWISS, 900, FW_NORMAL, true, dpi_);
    text1Brush_.reset(CreateSolidBrush(kText1Background));
    pictureBrush_.reset(CreateSolidBrush(kPictureBackground));
    static_assert(std::size(kPictures) == std::tuple_size_v<decltype(pictures_)>);
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        const PictureSource& source = kPictures[i];
        pictures_[i] = source.jpeg ? PictureImage::Jpeg(app_.instance, source.resourceId)
                                   : PictureImage::Icon(app_.instance, source.resourceId);
    }

    for (const ControlSpec& entry : kControls) {
        ControlClass cls = ClassOf(entry.kind);
        TwipsRect place{entry.left + (entry.inFrame ? kFrameLeft : 0), entry.top + (entry.inFrame ? kFrameTop : 0),
                        entry.width, entry.height};
        // A picture box has neither text nor font; under Wine each costs a request.
        const bool picture = entry.kind == Kind::Picture;
        HWND control = CreateChild(window_, app_.instance, entry.id, cls.className, picture ? nullptr : entry.text,
                                   cls.style, cls.exStyle, place, dpi_);
        HFONT font = entry.id == IDC_TEXT1 ? text1Font_.get() : uiFont_.get();
        if (!picture)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (cls.frameless)
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SkipNonClientPaint));
    }
}

std::array<HWND, 4> Form1::OptionButtons() const
{
    return {Control(kOptionIds[0]), Control(kOptionIds[1]), Control(kOptionIds[2]), Control(kOptionIds[3])};
}

void Form1::Show()
{
    // The first control that takes the focus is OptLan, and an option button
    // that receives the focus becomes the set one. Set before the window shows,
    // it is drawn set in the first paint instead of once more.
    SetOption(0);
    ShowWindow(window_, SW_SHOW);
    SetFocus(Control(kOptionIds[0]));
    UpdateWindow(window_);
}

void Form1::SetOption(int index)
{
    for (int i = 0; i < 4; ++i) {
        HWND option = Control(kOptionIds[i]);
        SendMessageW(option, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        // Only the set option is a Tab stop, as in any radio group.
        LONG_PTR style = GetWindowLongPtrW(option, GWL_STYLE);
        style = i == index ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrW(option, GWL_STYLE, style);
    }
}

bool Form1::PreTranslateMessage(const MSG& message)
{
    // The object outlives its window when an About window keeps the program running.
    if (!window_ || message.message != WM_KEYDOWN)
        return false;
    int step = 0;
    switch (message.wParam) {
    case VK_LEFT:
    case VK_UP:
        step = 3;
        break;
    case VK_RIGHT:
    case VK_DOWN:
        step = 1;
        break;
    default:
        return false;
    }
    // Arrow keys move through the four option buttons, which Windows cannot
    // group because they are not neighbours in the tab order.
    for (int i = 0; i < 4; ++i) {
        if (message.hwnd == Control(kOptionIds[i])) {
            int next = (i + step) % 4;
            SetOption(next);
            SetFocus(Control(kOptionIds[next]));
            return true;
        }
    }
    return false;
}

DWORD Form1::WaitAnswering(HANDLE object, DWORD milliseconds)
{
    // Windows calls a window that leaves its messages for seconds "Not
    // responding"; this one keeps painting and answering while it waits.
    waitingForTurn_ = true;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    std::optional<WPARAM> quit;
    DWORD waited = WAIT_TIMEOUT;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        waited = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_ALLINPUT);
        if (waited != WAIT_OBJECT_0 + 1)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = message.wParam;  // for the main loop, once the apply is over
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    waitingForTurn_ = false;
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (quit)
        PostQuitMessage(static_cast<int>(*quit));
    return waited;
}

void Form1::OnCommand(int controlId, int notification)
{
    // A click while Apply waits its turn would start a second apply inside the first.
    if (notification != BN_CLICKED || waitingForTurn_)
        return;
    for (int i = 0; i < 4; ++i) {
        if (controlId == kOptionIds[i]) {
            SetOption(i);
            return;
        }
    }
    switch (controlId) {
    case IDC_CMDAPPLY:
        CmdApply_Click(app_.platform, app_.Module1);
        break;
    case IDC_CMDCLOSE:
        CmdClose_Click(app_.platform.desk);
        break;
    case IDC_COMMAND1:
        Command1_Click();
        break;
    default:
        break;
    }
}

// A new About window on every click, modeless and unowned: it lives on its own
// until it is closed, and the main window stays usable meanwhile.
void Form1::Command1_Click() { Form2::Open(app_); }

// The controls are the classic ones (the manifest asks for no visual styles),
// and classic buttons, group boxes and edits draw their text in the colours
// set here. A themed radio button or group box would ignore the text colour.
HBRUSH Form1::OnControlColour(HDC dc, HWND control)
{
    int id = GetDlgCtrlID(control);
    if (id == IDC_TEXT1) {
        SetTextColor(dc, kText1Colour);
        SetBkColor(dc, kText1Background);
        return text1Brush_.get();
    }
    for (const TextColour& entry : kTextColours) {
        if (entry.controlId == id) {
            SetTextColor(dc, entry.colour);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return GetSysColorBrush(COLOR_BTNFACE);
        }
    }
    return nullptr;
}

bool Form1::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        if (static_cast<int>(item.CtlID) == kPictures[i].controlId) {
            DrawPictureBox(item, pictures_[i], pictureBrush_.get(), GetSysColorBrush(COLOR_WINDOWFRAME));
            return true;
        }
    }
    return false;
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(brush);
        return DefWindowProcW(window_, message, wParam, lParam);
    case WM_DRAWITEM:
        if (OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
            return TRUE;
        return DefWindowProcW(window_, message, wParam, lParam);
    case WM_COMMAND:
        if (lParam != 0)
            OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SETCURSOR:
        if (waitingForTurn_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        return DefWindowProcW(window_, message, wParam, lParam);
    case WM_CLOSE:
        // Closed mid-apply, the window would be gone under the handler that waits.
        if (waitingForTurn_)
            return 0;
        return DefWindowProcW(window_, message, wParam, lParam);
    case DM_GETDEFID:
        return MAKELRESULT(IDC_CMDAPPLY, DC_HASDEFID);
    case WM_NEXTDLGCTL:
        // A multi-line edit takes every key and asks its parent to move the
        // focus on Tab, as a dialog would; without this Tab stops in Text1.
        if (HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                       : GetNextDlgTabItem(window_, GetFocus(), wParam != 0))
            SetFocus(next);
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Form1::OnDestroyed() { app_.windows.Closed(); }

} // namespace hostwend
