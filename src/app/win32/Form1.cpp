#include "app/win32/Form1.h"

#include "app/ApplyCommand.h"
#include "app/Startup.h"
#include "app/win32/Layout.h"
#include "app/win32/resource.h"

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

struct ControlClass {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(Kind kind)
{
    switch (kind) {
    case Kind::Button:
        return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case Kind::DefaultButton:
        return {L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 0};
    case Kind::Picture:
        return {L"STATIC", SS_NOTIFY | SS_OWNERDRAW, WS_EX_CLIENTEDGE};
    case Kind::Text:
        return {L"EDIT", WS_TABSTOP | ES_MULTILINE | ES_LEFT, WS_EX_CLIENTEDGE};
    case Kind::Frame:
        return {L"BUTTON", BS_GROUPBOX, 0};
    case Kind::Option:
        // Not auto radio buttons: OptOthers is last in the tab order, away from
        // the other three, and Windows only groups neighbours. Form1 keeps
        // exactly one set itself.
        return {L"BUTTON", BS_RADIOBUTTON, 0};
    }
    return {L"STATIC", 0, 0};
}

} // namespace

std::unique_ptr<Form1> Form1::Create(AppContext& app)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = app.instance;
    windowClass.hIcon = LoadIconW(app.instance, MAKEINTRESOURCEW(IDI_HOSTWEND));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(app.instance, MAKEINTRESOURCEW(IDI_HOSTWEND), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    std::unique_ptr<Form1> form(new Form1(app));
    form->dpi_ = SystemDpi();
    RECT rect = CentredWindowRect(TwipsToPixels(kClientWidthTwips, form->dpi_),
                                  TwipsToPixels(kClientHeightTwips, form->dpi_), kStyle, 0);
    HWND window = CreateWindowExW(0, kClassName, kCaption, kStyle, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr, app.instance, form.get());
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

    LOGFONTW arial{};
    arial.lfHeight = -MulDiv(9, dpi_, 72);
    arial.lfWeight = FW_NORMAL;
    arial.lfItalic = TRUE;
    arial.lfCharSet = ANSI_CHARSET;
    lstrcpynW(arial.lfFaceName, L"Arial", LF_FACESIZE);
    text1Font_.reset(CreateFontIndirectW(&arial));

    for (const ControlSpec& spec : kControls) {
        ControlClass cls = ClassOf(spec.kind);
        int left = spec.left + (spec.inFrame ? kFrameLeft : 0);
        int top = spec.top + (spec.inFrame ? kFrameTop : 0);
        HWND control = CreateWindowExW(cls.exStyle, cls.className, spec.text, WS_CHILD | WS_VISIBLE | cls.style,
                                       TwipsToPixels(left, dpi_), TwipsToPixels(top, dpi_),
                                       TwipsToPixels(spec.width, dpi_), TwipsToPixels(spec.height, dpi_), window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), app_.instance,
                                       nullptr);
        HFONT font = spec.id == IDC_TEXT1 ? text1Font_.get() : uiFont_.get();
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

std::array<HWND, 4> Form1::OptionButtons() const
{
    return {Control(kOptionIds[0]), Control(kOptionIds[1]), Control(kOptionIds[2]), Control(kOptionIds[3])};
}

void Form1::Show()
{
    ShowWindow(window_, SW_SHOW);
    // The first control that takes the focus is OptLan, and an option button
    // that receives the focus becomes the set one.
    SetOption(0);
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
    if (message.message != WM_KEYDOWN)
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

void Form1::OnCommand(int controlId, int notification)
{
    if (notification != BN_CLICKED)
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
        CmdClose_Click(app_.platform);
        break;
    default:
        break;
    }
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0)
            OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDC_CMDAPPLY, DC_HASDEFID);
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Form1::OnDestroyed() { app_.windows.Closed(); }

} // namespace hostwend
