#pragma once

#include <oleacc.h>
#include <windows.h>

#include <array>
#include <memory>

#include "../form/form1.h"

// Form1 drawn with plain Win32 controls at the window's own DPI: a button, a
// list box, and panes of the program's own for the swatches and the label.
class Form1Window final : private FormView {
public:
    explicit Form1Window(std::unique_ptr<Screen> screen);
    ~Form1Window();
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Creates and shows the window and runs the message loop until it ends;
    // returns the program's exit status.
    int run(HINSTANCE instance, int show);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK paneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls(HINSTANCE instance);
    // Frame, controls and fonts at `dpi`; the frame where Windows suggests, if it does.
    void layOut(int dpi, const RECT* suggested);
    void paintPane(HWND pane, HDC dc);
    void describe(HWND control, MSAAPROPID property, const std::string& text);

    void swatchChanged(int index) override;
    void lineAppended(const std::string& line) override;
    void linesRemoved() override;
    void labelChanged() override;
    void setTimerArmed(bool armed) override;
    void showMessage(const std::string& title, const std::string& text, bool error) override;
    void endProgram(int status) override;

    std::unique_ptr<Screen> screen_;
    Form1 form_;
    HWND window_ = nullptr;
    HWND Label1 = nullptr;
    HWND lstRGB = nullptr;
    HWND Command1 = nullptr;
    std::array<HWND, kSwatchCount> ShPix{};
    IAccPropServices* accessibility_ = nullptr;
    HFONT labelFont_ = nullptr;
    HFONT listFont_ = nullptr;
    HFONT buttonFont_ = nullptr;
    HWND focused_ = nullptr;  // the control that has the focus while the window is inactive
    int dpi_ = kBaseDpi;
    int exitStatus_ = 0;
};
