#pragma once

#include <QListWidget>

// A one-column list of text lines in fixed rows inside a sunken frame, sized so
// that the list shows exactly one sample's nine lines.
class LineList : public QListWidget {
    Q_OBJECT

public:
    LineList(int rowHeight, int frameWidth, QWidget* parent = nullptr);
};
