#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "../form/form1.h"

class LineList;
class QLabel;
class QPushButton;
class QTimer;
class Swatch;

// Form1 drawn with Qt Widgets: the controls are made from the design and show
// what the form holds; clicks, ticks and the close go to the form.
class Form1Window : public QWidget, private FormView {
    Q_OBJECT

public:
    explicit Form1Window(std::unique_ptr<Screen> screen, QWidget* parent = nullptr);
    ~Form1Window() override;

    const Form1& form() const { return form_; }

private:
    void swatchChanged(int index) override;
    void lineAppended(const std::string& line) override;
    void linesRemoved() override;
    void labelChanged() override;
    void setTimerArmed(bool armed) override;
    void showMessage(const std::string& title, const std::string& text, bool error) override;
    void endProgram(int status) override;

    std::unique_ptr<Screen> screen_;
    QLabel* Label1;
    LineList* lstRGB;
    QPushButton* Command1;
    std::array<Swatch*, kSwatchCount> ShPix;
    QTimer* Timer1;
    Form1 form_;
};
