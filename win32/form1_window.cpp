#include "form1_window.h"

#include <string>

#include "../sampler/screen.h"

namespace {

constexpr wchar_t kWindowClass[] = L"PixelSamplerForm1";
constexpr wchar_t kPaneClass[] = L"PixelSamplerPane";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kTimer1 = 1;
// Dialog navigation sends IDOK (1) and IDCANCEL (2): the controls stay clear of them.
constexpr int kLabel1Id = 100;
constexpr int kListId = 101;
constexpr int kCommand1Id = 102;
constexpr int kFirstSwatchId = 200;
constexpr UINT kCheckScreen = WM_APP;

std::wstring wide(const std::string& utf8) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(),
                        length);
    return result;
}

HFONT makeFont(const design::Font& f, int dpi) {
    return CreateFontW(-MulDiv(f.emPixels, dpi, kBaseDpi), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL,
                       FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       wide(f.face).c_str());
}

void fill(HDC dc, const RECT& rect, ColorValue colour) {
    // A packed colour is a COLORREF already: red in the low byte.
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(colour));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

HWND makeChild(HWND parent, HINSTANCE instance, DWORD exStyle, const wchar_t* cls,
               const design::Control& control, DWORD style, int id) {
    return CreateWindowExW(exStyle, cls, wide(control.accessibleName).c_str(),
                           WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

}  // namespace

Form1Window::Form1Window(std::unique_ptr<Screen> screen)
    : screen_(std::move(screen)), form_(*screen_, *this) {}

Form1Window::~Form1Window() {
    for (HFONT font : {labelFont_, listFont_, buttonFont_}) {
        if (font) {
            DeleteObject(font);
        }
    }
    if (accessibility_) {
        accessibility_->Release();
        CoUninitialize();
    }
}

int Form1Window::run(HINSTANCE instance, int show) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = windowProc;
    cls.hInstance = instance;
    cls.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = kWindowClass;
    RegisterClassExW(&cls);
    WNDCLASSEXW pane{};
    pane.cbSize = sizeof pane;
    pane.lpfnWndProc = paneProc;
    pane.hInstance = instance;
    pane.hCursor = cls.hCursor;
    pane.lpszClassName = kPaneClass;
    RegisterClassExW(&pane);

    window_ = CreateWindowExW(0, kWindowClass, wide(design::kCaption).c_str(), kWindowStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
    if (!window_) {
        return 1;
    }
    createControls(instance);
    layOut(GetDpiForWindow(window_), nullptr);
    form_.start();
    ShowWindow(window_, show);
    UpdateWindow(window_);
    SetFocus(lstRGB);
    PostMessageW(window_, kCheckScreen, 0, 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab moves between the list and the button, as in a dialog.
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return exitStatus_;
}

void Form1Window::createControls(HINSTANCE instance) {
    // Screen readers name a list box after a label before it, not after its
    // window text, so every control is named through MSAA's property service.
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) &&
        FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&accessibility_)))) {
        accessibility_ = nullptr;
        CoUninitialize();
    }
    // Created in tab order.
    Label1 = makeChild(window_, instance, 0, kPaneClass, design::kLabel1, 0, kLabel1Id);
    lstRGB = makeChild(window_, instance, WS_EX_CLIENTEDGE, L"LISTBOX", design::kList,
                       WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT, kListId);
    Command1 = makeChild(window_, instance, 0, L"BUTTON", design::kCommand1,
                         WS_TABSTOP | BS_PUSHBUTTON, kCommand1Id);
    // The button's accessible name is its caption.
    SetWindowTextW(Command1, wide(design::kCommand1Text).c_str());
    for (int k = 0; k < kSwatchCount; ++k) {
        ShPix[k] =
            makeChild(window_, instance, 0, kPaneClass, design::swatch(k), 0, kFirstSwatchId + k);
        describe(ShPix[k], PROPID_ACC_NAME, design::swatch(k).accessibleName);
        swatchChanged(k);
    }
    describe(Label1, PROPID_ACC_NAME, design::kLabel1.accessibleName);
    describe(lstRGB, PROPID_ACC_NAME, design::kList.accessibleName);
    describe(Command1, PROPID_ACC_NAME, design::kCommand1.accessibleName);
    labelChanged();
}

void Form1Window::describe(HWND control, MSAAPROPID property, const std::string& text) {
    if (accessibility_) {
        accessibility_->SetHwndPropStr(control, OBJID_CLIENT, CHILDID_SELF, property,
                                       wide(text).c_str());
    }
}

void Form1Window::layOut(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    // Windows' suggestion, where it made one, is taken as it stands: a frame
    // that grew at its old place could reach back onto the monitor it left
    // and change the DPI again.
    RECT frame{0, 0, twipsToPixels(design::kClientWidth, dpi),
               twipsToPixels(design::kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, 0, dpi);
    const RECT& r = suggested ? *suggested : frame;
    SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));

    auto place = [dpi](HWND control, const TwipsRect& twips) {
        const PixelRect r = twips.toPixels(dpi);
        MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
    };
    place(Label1, design::kLabel1.rect);
    place(lstRGB, design::kList.rect);
    place(Command1, design::kCommand1.rect);
    for (int k = 0; k < kSwatchCount; ++k) {
        place(ShPix[k], design::swatch(k).rect);
    }

    HFONT old[] = {labelFont_, listFont_, buttonFont_};
    labelFont_ = makeFont(design::kLabelFont, dpi);
    listFont_ = makeFont(design::kDialogFont, dpi);
    buttonFont_ = makeFont(design::kCommand1Font, dpi);
    SendMessageW(lstRGB, WM_SETFONT, reinterpret_cast<WPARAM>(listFont_), TRUE);
    SendMessageW(Command1, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_), TRUE);
    // Fixed rows whatever font stands in, so that one sample's nine lines fill
    // the list inside its frame: 13 pixels at 96 dpi, and at other densities
    // what the rounded edges leave (19 at 144 dpi, not 19.5 rounded up).
    RECT inside;
    GetClientRect(lstRGB, &inside);
    SendMessageW(lstRGB, LB_SETITEMHEIGHT, 0, (inside.bottom - inside.top) / kSwatchCount);
    for (HFONT font : old) {
        if (font) {
            DeleteObject(font);
        }
    }
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK Form1Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Form1Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Form1Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kCommand1Id && HIWORD(wParam) == BN_CLICKED) {
                form_.command1Click();
            }
            return 0;
        case WM_TIMER:
            if (wParam == kTimer1) {
                form_.timer1Tick();
            }
            return 0;
        case kCheckScreen:
            form_.checkScreen();
            return 0;
        case WM_DPICHANGED:
            // Moved to a monitor of another density.
            layOut(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_ACTIVATE:
            // Dialog navigation does not give the focus back on its own: the
            // control that had it when the user switched away gets it again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                focused_ = GetFocus();
            } else if (focused_ && IsChild(window_, focused_)) {
                SetFocus(focused_);
                return 0;
            }
            return DefWindowProcW(window_, message, wParam, lParam);
        case WM_DESTROY:
            KillTimer(window_, kTimer1);
            PostQuitMessage(exitStatus_);
            return 0;
        default:
            return DefWindowProcW(window_, message, wParam, lParam);
    }
}

LRESULT CALLBACK Form1Window::paneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) {
        return DefWindowProcW(pane, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrW(GetParent(pane), GWLP_USERDATA));
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(pane, &paint);
    if (self) {
        self->paintPane(pane, dc);
    }
    EndPaint(pane, &paint);
    return 0;
}

void Form1Window::paintPane(HWND pane, HDC dc) {
    RECT rect;
    GetClientRect(pane, &rect);
    const int id = GetDlgCtrlID(pane);
    if (id != kLabel1Id) {
        fill(dc, rect, design::kSwatchOutline);
        InflateRect(&rect, -1, -1);
        fill(dc, rect, form_.swatchFill(id - kFirstSwatchId));
        return;
    }
    fill(dc, rect, form_.labelBack());
    HGDIOBJ old = SelectObject(dc, labelFont_);
    SetTextColor(dc, static_cast<COLORREF>(design::kLabelFore));
    SetBkMode(dc, TRANSPARENT);
    const std::wstring caption = wide(form_.labelCaption());
    // DrawText starts a new line at CR LF and centres each line on its own.
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect,
              DT_CENTER | DT_TOP | DT_NOPREFIX);
    SelectObject(dc, old);
}

void Form1Window::swatchChanged(int index) {
    InvalidateRect(ShPix.at(index), nullptr, FALSE);
    describe(ShPix.at(index), PROPID_ACC_DESCRIPTION, decimal(form_.swatchFill(index)));
}

void Form1Window::lineAppended(const std::string& line) {
    SendMessageW(lstRGB, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(line).c_str()));
}

void Form1Window::linesRemoved() {
    SendMessageW(lstRGB, LB_RESETCONTENT, 0, 0);
}

void Form1Window::labelChanged() {
    InvalidateRect(Label1, nullptr, FALSE);
    describe(Label1, PROPID_ACC_DESCRIPTION, decimal(form_.labelBack()));
}

void Form1Window::setTimerArmed(bool armed) {
    // SetTimer on a running timer starts its count again.
    if (armed) {
        SetTimer(window_, kTimer1, design::kTimerIntervalMs, nullptr);
    } else {
        KillTimer(window_, kTimer1);
    }
}

void Form1Window::showMessage(const std::string& title, const std::string& text, bool error) {
    MessageBoxW(window_, wide(text).c_str(), wide(title).c_str(),
                MB_OK | MB_APPLMODAL | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

void Form1Window::endProgram(int status) {
    exitStatus_ = status;
    DestroyWindow(window_);
}
