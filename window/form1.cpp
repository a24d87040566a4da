#include "form1.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "../core/twips.h"
#include "../sampler/screen.h"
#include "caption_label.h"
#include "line_list.h"
#include "swatch.h"

namespace {

// The window as designed, in twips.
constexpr int kClientWidth = 4680;
constexpr int kClientHeight = 3630;
constexpr TwipsRect kCommand1{720, 3120, 3315, 435};
constexpr TwipsRect kListRect{2280, 1140, 2235, 1815};
constexpr TwipsRect kLabelRect{30, 0, 4635, 1125};
// The grid mirrors the pixels: column by dx, row by dy, 630 twips apart.
constexpr int kGridLeft = 150;
constexpr int kGridTop = 1140;
constexpr int kGridStep = 630;
constexpr int kSwatchWidth = 615;
constexpr int kSwatchHeight = 585;

constexpr ColorValue kLabelBack = 8388608;  // dark blue, 0x800000
constexpr ColorValue kLabelFore = 8454016;  // light green, 0x80FF80

const char* const kSwatchNames[kSwatchCount] = {
    "Pixel under markören",       "Pixel ovanför",      "Pixel ovanför till höger",
    "Pixel till höger",           "Pixel nedanför",     "Pixel nedanför till höger",
    "Pixel ovanför till vänster", "Pixel till vänster", "Pixel nedanför till vänster"};

QRect toPixels(const TwipsRect& r) {
    return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
            twipsToPixels(r.height)};
}

// "MS Sans Serif" is rarely installed outside Windows; the style hint lets Qt
// fall back to the machine's sans at the same pixel size.
QFont dialogFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace

Form1::Form1(std::unique_ptr<Screen> screen, QWidget* parent)
    : QWidget(parent),
      screen_(std::move(screen)),
      reporter_([this](const RuntimeError& e) { showErrorAndQuit(e); }),
      Command1(new QPushButton(QStringLiteral("Kolla pixlar  om 2 sek"), this)),
      lstRGB(new LineList(this)),
      Timer1(new QTimer(this)),
      ShPix{},
      Label1(new CaptionLabel(QStringLiteral("RGB medeltal"), kLabelBack, kLabelFore, this)) {
    setWindowTitle(QStringLiteral("RGB = GetPixelColor"));
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(toPixels(kLabelRect));
    Label1->setFont(dialogFont(18, true));
    Label1->setAccessibleName(QStringLiteral("RGB medeltal"));

    for (int k = 0; k < kSwatchCount; ++k) {
        Swatch* swatch = new Swatch(this);
        swatch->setObjectName(QStringLiteral("ShPix(%1)").arg(k));
        const TwipsRect cell{kGridLeft + kGridStep * (kSampleOffsets[k].dx + 1),
                             kGridTop + kGridStep * (kSampleOffsets[k].dy + 1), kSwatchWidth,
                             kSwatchHeight};
        swatch->setGeometry(toPixels(cell));
        swatch->setAccessibleName(QString::fromUtf8(kSwatchNames[k]));
        ShPix[k] = swatch;
    }

    lstRGB->setObjectName(QStringLiteral("lstRGB"));
    lstRGB->setGeometry(toPixels(kListRect));
    lstRGB->setFont(dialogFont(11, false));
    lstRGB->setAccessibleName(QStringLiteral("RGB-värden"));

    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(toPixels(kCommand1));
    Command1->setFont(dialogFont(13, true));
    Command1->setAccessibleName(QStringLiteral("Kolla pixlar om 2 sek"));
    connect(Command1, &QPushButton::clicked, this, &Form1::onCommand1Click);

    // The list first, then the button; the label never takes the focus.
    setTabOrder(lstRGB, Command1);
    lstRGB->setFocus();

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &Form1::tick);
    Timer1->start();
}

Form1::~Form1() = default;

void Form1::onCommand1Click() {
    handleEvent([this] {
        lstRGB->removeAllLines();
        // A press while armed restarts the count; either way one sample follows.
        Timer1->start();
    });
}

void Form1::tick() {
    handleEvent([this] { runTick(*screen_, *this); });
}

// Nothing may throw through Qt's event loop: every handler ends here.
template <typename Handler>
void Form1::handleEvent(Handler&& handler) {
    if (ending_) {
        return;
    }
    try {
        handler();
    } catch (const RuntimeError& error) {
        endWithError(error);
    } catch (const std::bad_alloc&) {
        endWithError(RuntimeError(7, "Out of memory"));
    } catch (const std::exception& error) {
        endWithError(RuntimeError(51, error.what()));
    }
}

void Form1::endWithError(const RuntimeError& error) {
    // No further tick may run while the report is up, nor after it.
    ending_ = true;
    Timer1->stop();
    reporter_(error);
}

void Form1::showErrorAndQuit(const RuntimeError& error) {
    QMessageBox box(QMessageBox::Critical, windowTitle(),
                    QStringLiteral("Fel %1:\n\n%2")
                        .arg(error.number())
                        .arg(QString::fromStdString(error.text())),
                    QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    QCoreApplication::exit(1);
}

ColorValue Form1::swatchFillColour(int index) const {
    return ShPix.at(index)->fillColour();
}

void Form1::setSwatchFillColour(int index, ColorValue colour) {
    ShPix.at(index)->setFillColour(colour);
}

void Form1::appendListLine(const std::string& line) {
    lstRGB->appendLine(QString::fromStdString(line));
}

void Form1::disarmTimer() {
    Timer1->stop();
}

void Form1::setLabelBackColour(ColorValue colour) {
    Label1->setBackColour(colour);
}

void Form1::setLabelCaption(const std::string& caption) {
    Label1->setCaption(QString::fromStdString(caption));
}
