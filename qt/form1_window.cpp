#include "form1_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "../sampler/screen.h"
#include "line_list.h"
#include "qtcolour.h"
#include "swatch.h"

namespace {

// Qt lays out in logical pixels and scales them itself.
QRect toQRect(const TwipsRect& twips) {
    const PixelRect r = twips.toPixels();
    return {r.x, r.y, r.width, r.height};
}

// "MS Sans Serif" is rarely installed outside Windows; the style hint lets Qt
// fall back to the machine's sans at the same pixel size.
QFont toQFont(const design::Font& f) {
    QFont font(QString::fromUtf8(f.face));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(f.emPixels);
    font.setBold(f.bold);
    return font;
}

template <typename Widget>
Widget* place(Widget* widget, const design::Control& control) {
    widget->setObjectName(QString::fromUtf8(control.name));
    widget->setGeometry(toQRect(control.rect));
    widget->setAccessibleName(QString::fromUtf8(control.accessibleName));
    return widget;
}

// Qt breaks lines at LF alone and would draw the CR.
QString shownText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

Form1Window::Form1Window(std::unique_ptr<Screen> screen, QWidget* parent)
    : QWidget(parent),
      screen_(std::move(screen)),
      Label1(place(new QLabel(this), design::kLabel1)),
      lstRGB(place(new LineList(design::kListRowPixels, design::kListFramePixels, this),
                   design::kList)),
      Command1(place(new QPushButton(QString::fromUtf8(design::kCommand1Text), this),
                     design::kCommand1)),
      ShPix{},
      Timer1(new QTimer(this)),
      form_(*screen_, *this) {
    setWindowTitle(QString::fromUtf8(design::kCaption));
    const QRect client = toQRect({0, 0, design::kClientWidth, design::kClientHeight});
    setFixedSize(client.size());

    Label1->setAutoFillBackground(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setFont(toQFont(design::kLabelFont));
    labelChanged();

    lstRGB->setFont(toQFont(design::kDialogFont));
    Command1->setFont(toQFont(design::kCommand1Font));
    connect(Command1, &QPushButton::clicked, this, [this] { form_.command1Click(); });

    for (int k = 0; k < kSwatchCount; ++k) {
        const design::Control cell = design::swatch(k);
        ShPix[k] = place(new Swatch(form_.swatchFill(k), this), cell);
        ShPix[k]->setObjectName(QStringLiteral("ShPix(%1)").arg(k));
    }

    setTabOrder(lstRGB, Command1);
    lstRGB->setFocus();

    // So that the desktop's dialog for sharing the screen stands over this window.
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        screen_->parentWindow = "x11:" + QString::number(winId(), 16).toStdString();
    }

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(design::kTimerIntervalMs);
    connect(Timer1, &QTimer::timeout, this, [this] { form_.timer1Tick(); });
    form_.start();
    // After the window is up, so that a notice has a window to stand in front of.
    QTimer::singleShot(0, this, [this] { form_.checkScreen(); });
}

Form1Window::~Form1Window() = default;

void Form1Window::swatchChanged(int index) {
    ShPix.at(index)->setFill(form_.swatchFill(index));
}

void Form1Window::lineAppended(const std::string& line) {
    lstRGB->addItem(QString::fromStdString(line));
}

void Form1Window::linesRemoved() {
    lstRGB->clear();
}

void Form1Window::labelChanged() {
    QPalette colours = Label1->palette();
    colours.setColor(QPalette::Window, toQColor(form_.labelBack()));
    colours.setColor(QPalette::WindowText, toQColor(design::kLabelFore));
    Label1->setPalette(colours);
    Label1->setText(shownText(form_.labelCaption()));
    Label1->setAccessibleDescription(QString::fromStdString(decimal(form_.labelBack())));
}

void Form1Window::setTimerArmed(bool armed) {
    if (armed) {
        Timer1->start();
    } else {
        Timer1->stop();
    }
}

void Form1Window::showMessage(const std::string& title, const std::string& text, bool error) {
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information,
                    QString::fromStdString(title), shownText(text), QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void Form1Window::endProgram(int status) {
    QCoreApplication::exit(status);
}
