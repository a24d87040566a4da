#include "line_list.h"

#include <QStyledItemDelegate>

namespace {

class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int rowHeight, QObject* parent)
        : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
    }

private:
    int rowHeight_;
};

}  // namespace

LineList::LineList(int rowHeight, int frameWidth, QWidget* parent) : QListWidget(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(frameWidth);
    setItemDelegate(new FixedRowDelegate(rowHeight, this));
    setUniformItemSizes(true);
    setSpacing(0);
    setSortingEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setViewportMargins(0, 0, 0, 0);
}
