#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "../core/runtime_error.h"
#include "../sampler/offsets.h"
#include "../sampler/tick.h"

class CaptionLabel;
class LineList;
class QPushButton;
class QTimer;
class Screen;
class Swatch;

// The program's one window: a button, the list of sampled values, the 3 x 3
// swatches and the label with the neighbourhood mean. It samples two seconds
// after it is created and two seconds after each press that finds it idle.
class Form1 : public QWidget, private SampleControls {
    Q_OBJECT

public:
    static constexpr int kTimerIntervalMs = 2000;

    using ErrorReporter = std::function<void(const RuntimeError&)>;

    explicit Form1(std::unique_ptr<Screen> screen, QWidget* parent = nullptr);
    ~Form1() override;

    // An error that no trap caught ends the program once the user has read it.
    // Tests put a recorder here in place of the message box.
    void setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

    // What Timer1 runs: one sample around the cursor into the controls.
    void tick();

private:
    void onCommand1Click();
    template <typename Handler>
    void handleEvent(Handler&& handler);
    void endWithError(const RuntimeError& error);
    void showErrorAndQuit(const RuntimeError& error);

    ColorValue swatchFillColour(int index) const override;
    void setSwatchFillColour(int index, ColorValue colour) override;
    void appendListLine(const std::string& line) override;
    void disarmTimer() override;
    void setLabelBackColour(ColorValue colour) override;
    void setLabelCaption(const std::string& caption) override;

    std::unique_ptr<Screen> screen_;
    ErrorReporter reporter_;
    bool ending_ = false;

    QPushButton* Command1;
    LineList* lstRGB;
    QTimer* Timer1;
    std::array<Swatch*, kSwatchCount> ShPix;
    CaptionLabel* Label1;
};
