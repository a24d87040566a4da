#include "line_list.h"

#include <QStyledItemDelegate>

namespace {

class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), LineList::kRowHeight};
    }
};

}  // namespace

LineList::LineList(QWidget* parent) : QListWidget(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kFrameWidth);
    setItemDelegate(new FixedRowDelegate(this));
    setUniformItemSizes(true);
    setSpacing(0);
    setSortingEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setViewportMargins(0, 0, 0, 0);
}

void LineList::appendLine(const QString& line) {
    addItem(line);
}

void LineList::removeAllLines() {
    clear();
}

QStringList LineList::lines() const {
    QStringList result;
    for (int row = 0; row < count(); ++row) {
        result << item(row)->text();
    }
    return result;
}
