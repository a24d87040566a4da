#pragma once

#include <QListWidget>

// A one-column list of text lines in fixed 13-pixel rows inside a 2-pixel
// sunken frame, so that a 121-pixel list shows exactly one sample's nine lines.
class LineList : public QListWidget {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 13;
    static constexpr int kFrameWidth = 2;

    explicit LineList(QWidget* parent = nullptr);

    void appendLine(const QString& line);
    void removeAllLines();
    QStringList lines() const;
};
