#include "DropDownComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace lumvaris::ui {

// Paints an item as usual, then its description, dimmed, from a column that starts after the
// widest item text of the list.
class DescriptionDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void SetTextColumnWidth(int width) { textColumn_ = width; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QString description = index.data(DropDownComboBox::kDescriptionRole).toString();
        if (description.isEmpty()) {
            return;
        }
        const QRect area = option.rect.adjusted(textColumn_, 0, -Margin(option), 0);
        if (area.width() <= 0) {
            return;
        }
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->setFont(option.font);
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(description, Qt::ElideRight, area.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString description = index.data(DropDownComboBox::kDescriptionRole).toString();
        if (!description.isEmpty()) {
            size.setWidth(
                std::max(size.width(),
                         textColumn_ + option.fontMetrics.horizontalAdvance(description) + Margin(option)));
        }
        return size;
    }

    static int Margin(const QStyleOptionViewItem& option) {
        const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
        return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    }

  private:
    int textColumn_ = 0;
};

DropDownComboBox::DropDownComboBox(QWidget* parent)
    : QComboBox(parent), delegate_(new DescriptionDelegate(this)) {
    setItemDelegate(delegate_);
}

void DropDownComboBox::showPopup() {
    emit DropDown();

    // The description column starts a gap after the widest text; the list is made wide enough
    // for the longest description, the combo box itself keeps its width.
    const QFontMetrics metrics = view()->fontMetrics();
    int widestText = 0;
    bool described = false;
    for (int i = 0; i < count(); ++i) {
        widestText = std::max(widestText, metrics.horizontalAdvance(itemText(i)));
        described = described || !itemData(i, kDescriptionRole).toString().isEmpty();
    }
    const int gap = metrics.horizontalAdvance(QStringLiteral("MMM"));
    delegate_->SetTextColumnWidth(described ? widestText + gap : 0);
    int widest = 0;
    if (described) {
        QStyleOptionViewItem option;
        option.initFrom(view());
        option.font = view()->font();
        option.fontMetrics = metrics;
        option.widget = view();
        for (int i = 0; i < count(); ++i) {
            widest = std::max(widest, delegate_->sizeHint(option, model()->index(i, modelColumn())).width());
        }
        widest += 2 * view()->frameWidth() + view()->verticalScrollBar()->sizeHint().width();
    }
    view()->setMinimumWidth(widest);
    QComboBox::showPopup();
}

void DropDownComboBox::SetEntries(const std::vector<std::pair<QString, QString>>& entries) {
    const QString text = currentText();
    const QSignalBlocker quiet(this);
    clear();
    for (const auto& [entry, description] : entries) {
        addItem(entry);
        setItemData(count() - 1, description, kDescriptionRole);
        setItemData(count() - 1, description, Qt::ToolTipRole);
    }
    setEditText(text);
}

}  // namespace lumvaris::ui
