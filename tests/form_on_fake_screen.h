#pragma once

#include <QPushButton>
#include <QTimer>
#include <memory>
#include <vector>

#include "fake_screen.h"
#include "window/caption_label.h"
#include "window/form1.h"
#include "window/line_list.h"
#include "window/swatch.h"

// A window on a fake screen, with its controls found the way a user sees them:
// by their design names.
struct FormOnFakeScreen {
    enum class Errors { Recorded, Reported };

    explicit FormOnFakeScreen(FakeScreen::ColourAt colourAt = distinctColour,
                              Errors errors = Errors::Recorded) {
        auto owned = std::make_unique<FakeScreen>(std::move(colourAt));
        screen = owned.get();
        form = std::make_unique<Form1>(std::move(owned));
        if (errors == Errors::Recorded) {
            form->setErrorReporter(
                [this](const RuntimeError& e) { reported.push_back(e.number()); });
        }
    }

    template <typename T>
    T* child(const QString& name) const {
        return form->findChild<T*>(name);
    }
    Swatch* swatch(int k) const { return child<Swatch>(QStringLiteral("ShPix(%1)").arg(k)); }
    ColorValue fill(int k) const { return swatch(k)->fillColour(); }
    LineList* list() const { return child<LineList>("lstRGB"); }
    QStringList lines() const { return list()->lines(); }
    QTimer* timer() const { return child<QTimer>("Timer1"); }
    QPushButton* button() const { return child<QPushButton>("Command1"); }
    CaptionLabel* label() const { return child<CaptionLabel>("Label1"); }

    void sampleAt(int x, int y) {
        screen->cursor = {x, y};
        form->tick();
    }

    FakeScreen* screen;
    std::unique_ptr<Form1> form;
    std::vector<int> reported;
};
