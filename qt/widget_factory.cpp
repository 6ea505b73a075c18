#include "qt/widget_factory.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include "qt/ip_address_edit.h"

namespace {

// A list box row is as high as its font's pixel height, as a platform list box draws it, not
// the font's full line spacing (which for a CJK face is nearly half as much again). The text
// keeps the face's own share of ascent and descent within that height, so no descender is cut.
class ListBoxRowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(QFontInfo(option.font).pixelSize());
        return size;
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        const QWidget* widget = item.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);  // selection, focus
        const QFontMetrics metrics(item.font);
        const int baseline = item.rect.top() + item.rect.height() * metrics.ascent() /
                                                   (metrics.ascent() + metrics.descent());
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        QPalette::ColorGroup group = QPalette::Disabled;
        if (item.state & QStyle::State_Enabled)
            group = (item.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
        painter->save();
        painter->setClipRect(item.rect);
        painter->setFont(item.font);
        painter->setPen(item.palette.color(group, (item.state & QStyle::State_Selected)
                                                      ? QPalette::HighlightedText
                                                      : QPalette::Text));
        painter->drawText(QPoint(item.rect.left() + margin, baseline), text);
        painter->restore();
    }
};

QWidget* CreateEdit(const ControlState& s, QWidget* parent) {
    const bool readOnly = (s.styles & kStyleReadOnly) != 0;
    if (s.styles & kStyleMultiLine) {
        auto* edit = new QPlainTextEdit(parent);
        // Without automatic horizontal scrolling a multi-line edit wraps at words.
        edit->setLineWrapMode((s.styles & kStyleAutoHScroll) ? QPlainTextEdit::NoWrap
                                                             : QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy((s.styles & kStyleVScroll) ? Qt::ScrollBarAsNeeded
                                                                    : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy((s.styles & kStyleHScroll) ? Qt::ScrollBarAsNeeded
                                                                      : Qt::ScrollBarAlwaysOff);
        edit->setReadOnly(readOnly);
        edit->setTabChangesFocus(true);
        return edit;
    }
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(readOnly);
    return edit;
}

QWidget* CreateListView(QWidget* parent) {
    auto* list = new QTableWidget(parent);
    list->setObjectName(QStringLiteral("reportList"));
    list->verticalHeader()->hide();
    list->setWordWrap(false);
    list->setCornerButtonEnabled(false);
    list->setTabKeyNavigation(false);
    // Cells are edited only by the program's own in-place editors.
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* header = list->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setMinimumSectionSize(0);
    // Rows as high as a line of the list's font, as a report list draws them.
    const int rowHeight = list->fontMetrics().height() + 4;
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(rowHeight);
    list->verticalHeader()->setMinimumSectionSize(rowHeight);
    return list;
}

}  // namespace

QWidget* CreateControlWidget(const ControlState& s, QWidget* window) {
    switch (s.kind) {
        case ControlKind::StaticText: {
            auto* label = new QLabel(window);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::GroupBox: {
            auto* box = new QGroupBox(window);
            box->setFocusPolicy(Qt::NoFocus);
            // A dialog frame: the caption interrupts the top line, it does not sit above it.
            box->setStyleSheet(QStringLiteral(
                "QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                " margin-top: 0.6em; }"
                "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                " left: 6px; padding: 0 2px; }"));
            return box;
        }
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(window);
            // Return is the dialog's business (HandleKeyDown), not the button's.
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(window);
        case ControlKind::Edit:
            return CreateEdit(s, window);
        case ControlKind::ListBox: {
            auto* list = new QListWidget(window);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setVerticalScrollBarPolicy((s.styles & kStyleVScroll) ? Qt::ScrollBarAsNeeded
                                                                        : Qt::ScrollBarAlwaysOff);
            list->setUniformItemSizes(true);
            list->setItemDelegate(new ListBoxRowDelegate(list));
            return list;
        }
        case ControlKind::ListView:
            return CreateListView(window);
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(window);
            combo->setEditable((s.styles & kStyleDropDown) != 0);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setMaxVisibleItems(12);
            return combo;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(window);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::IpAddress:
            return new IpAddressEdit(window);
    }
    return new QWidget(window);
}

QWidget* CreateInPlaceWidget(const ControlState& s, QWidget* parent) {
    QWidget* w = nullptr;
    if (s.kind == ControlKind::Edit && !(s.styles & kStyleMultiLine)) {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(true);
        w = edit;
    } else if (s.kind == ControlKind::ComboBox) {
        auto* combo = new QComboBox(parent);
        combo->setEditable((s.styles & kStyleDropDown) != 0);
        combo->setInsertPolicy(QComboBox::NoInsert);
        w = combo;
    } else {
        w = CreateControlWidget(s, parent);
    }
    w->hide();
    return w;
}
