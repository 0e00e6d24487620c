#include "app/win32/Form2.h"

#include "app/win32/Layout.h"
#include "app/win32/resource.h"

#include <memory>

namespace hostwend {
namespace {

constexpr wchar_t kClassName[] = L"Hostwend.Form2";
constexpr wchar_t kCaption[] = L"About";
constexpr int kClientWidthTwips = 4380;
constexpr int kClientHeightTwips = 3150;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);

enum class Kind { Label, CompanyLabel, Picture };

struct ControlSpec {
    int id;
    Kind kind;
    TwipsRect place;
    const wchar_t* text;
};

// Nothing here takes the focus; the order is the tab order all the same.
// Label1 and Label2 reach 390 twips past the right edge, so their line ends
// are cut off there; Picture1 and Label3 sit on the bottom edge.
constexpr ControlSpec kControls[] = {
    {IDC_FORM2_LABEL1, Kind::Label, {30, 120, 4740, 525},
     L" Hostwend 2.1 by Wendlebrook Ltd : points TARN 6.x clients at a new server."},
    {IDC_FORM2_LABEL2, Kind::Label, {30, 780, 4740, 525},
     L" > New IPaddress will get affected in ODBC System Datasouce."},
    {IDC_FORM2_PICTURE1, Kind::Picture, {-15, 1530, 1620, 1620}, L""},
    {IDC_FORM2_LABEL3, Kind::CompanyLabel, {1680, 2775, 2700, 375}, L"Wendlebrook Ltd"},
};

} // namespace

void Form2::Open(AppContext& app)
{
    RegisterFormClass(app.instance, kClassName, IDI_ABOUT, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    std::unique_ptr<Form2> form(new Form2(app));
    form->dpi_ = SystemDpi();
    // No owner: the main window can come in front of it, and closing either
    // leaves the other open.
    HWND window = CreateCentred(app.instance, kClassName, kCaption, kStyle, kClientWidthTwips, kClientHeightTwips,
                                form->dpi_, form.get());
    if (!window)
        return;
    form->ownedByWindow_ = true;
    app.windows.Opened();
    Form2* about = form.release();
    about->CreateControls();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
}

void Form2::CreateControls()
{
    labelFont_ = CreatePointFont(L"Arial", FF_SWISS, 900, FW_NORMAL, false, dpi_);
    companyFont_ = CreatePointFont(L"Times New Roman", FF_ROMAN, 1425, FW_BOLD, false, dpi_);
    logo_ = PictureImage::Bitmap(app_.instance, IDB_LOGO);

    for (const ControlSpec& entry : kControls) {
        bool picture = entry.kind == Kind::Picture;
        // Labels wrap at word boundaries and show what fits in their height.
        DWORD style = picture ? SS_OWNERDRAW : SS_LEFT | SS_NOPREFIX;
        HWND control =
            CreateChild(window_, app_.instance, entry.id, L"STATIC", entry.text, style, 0, entry.place, dpi_);
        if (!picture) {
            HFONT font = entry.kind == Kind::CompanyLabel ? companyFont_.get() : labelFont_.get();
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }
}

HBRUSH Form2::OnControlColour(HDC dc, HWND control)
{
    bool company = GetDlgCtrlID(control) == IDC_FORM2_LABEL3;
    SetTextColor(dc, company ? kBlue : kNavy);
    SetBkColor(dc, kWhite);
    // The company name has no background of its own: the window's white shows.
    if (company)
        SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

LRESULT Form2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        HBRUSH brush = OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return reinterpret_cast<LRESULT>(brush);
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID != IDC_FORM2_PICTURE1)
            return DefWindowProcW(window_, message, wParam, lParam);
        DrawPictureBox(item, logo_, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return TRUE;
    }
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Form2::OnDestroyed()
{
    // Until Open hands the object to its window, Open still owns it.
    if (!ownedByWindow_)
        return;
    app_.windows.Closed();
    delete this;
}

} // namespace hostwend
