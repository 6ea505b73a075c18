#include "qt/state_applier.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>

#include "qt/control_text.h"
#include "qt/font_map.h"
#include "qt/ip_address_edit.h"

namespace {

template <class T>
bool Changed(const ControlState* before, const T ControlState::*field, const ControlState& now) {
    return !before || !(before->*field == now.*field);
}

void ApplyGeometry(QWidget* w, const ControlState& s, const BaseUnits& units) {
    if (s.parentIndex >= 0) {
        w->setGeometry(s.pixelRect.left, s.pixelRect.top, s.pixelRect.width, s.pixelRect.height);
        return;
    }
    QRect r = units.ToPixels(s.rect);
    // A combo's rectangle includes its dropped-down list; the closed box is one line high.
    if (s.kind == ControlKind::ComboBox)
        r.setHeight(std::min(r.height(), w->sizeHint().height()));
    w->setGeometry(r);
}

void ApplyLabel(QLabel* label, const ControlState& s, const BaseUnits& units) {
    label->setText(ToQString(s.text));
    // Static text wraps at words when there is room for a second line; a one-line label
    // keeps its text on that line rather than losing its last word below the bottom.
    label->setWordWrap(units.ToPixels(s.rect).height() >= 2 * label->fontMetrics().height());
}

void ApplyEditText(QWidget* w, const ControlState& s) {
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QString text = ToQString(s.text);
        if (edit->text() != text)
            edit->setText(text);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) {
        if (FromDisplayLines(multi->toPlainText()) != s.text)
            multi->setPlainText(ToDisplayLines(s.text));
    }
}

void ApplyItems(QListWidget* list, const ControlState& now, const ControlState* before) {
    const bool itemsChanged = Changed(before, &ControlState::items, now);
    if (itemsChanged) {
        list->clear();
        for (const std::string& item : now.items)
            list->addItem(ToQString(item));
    }
    if (itemsChanged || Changed(before, &ControlState::selection, now) ||
        Changed(before, &ControlState::caret, now)) {
        if (now.selection >= 0 && now.selection < list->count()) {
            list->setCurrentRow(now.selection);
        } else {
            list->clearSelection();
            list->setCurrentRow(-1);
        }
    }
}

void ApplyCombo(QComboBox* combo, const ControlState& now, const ControlState* before) {
    const bool itemsChanged = Changed(before, &ControlState::items, now);
    if (itemsChanged) {
        combo->clear();
        for (const std::string& item : now.items)
            combo->addItem(ToQString(item));
    }
    if (itemsChanged || Changed(before, &ControlState::selection, now))
        combo->setCurrentIndex(now.selection < combo->count() ? now.selection : -1);
    if (combo->isEditable() && combo->currentText() != ToQString(now.text)) {
        QSignalBlocker block(combo->lineEdit());
        combo->setEditText(ToQString(now.text));
    }
}

void ApplyReportStyles(QTableWidget* list, std::uint32_t styles) {
    list->setShowGrid((styles & kStyleGridLines) != 0);
    list->setSelectionBehavior((styles & kStyleFullRowSelect) ? QAbstractItemView::SelectRows
                                                              : QAbstractItemView::SelectItems);
    list->setSelectionMode((styles & kStyleSingleSelection) ? QAbstractItemView::SingleSelection
                                                            : QAbstractItemView::ExtendedSelection);
}

Qt::Alignment ColumnAlignment(const ListColumn& column) {
    return (column.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

void ApplyReport(QTableWidget* list, const ControlState& now, const ControlState* before) {
    QSignalBlocker blockHeader(list->horizontalHeader());
    if (Changed(before, &ControlState::styles, now))
        ApplyReportStyles(list, now.styles);
    const int columns = static_cast<int>(now.columns.size());
    bool columnsChanged = !before || before->columns.size() != now.columns.size();
    for (std::size_t c = 0; !columnsChanged && c < now.columns.size(); ++c) {
        columnsChanged = !(before->columns[c] == now.columns[c]);
    }
    if (columnsChanged) {
        list->setColumnCount(columns);
        QStringList headings;
        for (const ListColumn& col : now.columns)
            headings << ToQString(col.heading);
        list->setHorizontalHeaderLabels(headings);
        // Widths are pixels at 96 dots per inch; a larger system font (a higher logical DPI)
        // widens them with the text, so no heading or value is cut short.
        const int dpi = list->logicalDpiX() > 0 ? list->logicalDpiX() : 96;
        for (int c = 0; c < columns; ++c) {
            const ListColumn& col = now.columns[static_cast<std::size_t>(c)];
            list->setColumnWidth(c, dpi > 96 ? col.widthPixels * dpi / 96 : col.widthPixels);
            if (QTableWidgetItem* heading = list->horizontalHeaderItem(c))
                heading->setTextAlignment(ColumnAlignment(col));
        }
    }
    if (columnsChanged || Changed(before, &ControlState::rows, now)) {
        const int rows = static_cast<int>(now.rows.size());
        if (list->rowCount() != rows)
            list->setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const auto& cells = now.rows[static_cast<std::size_t>(r)];
            for (int c = 0; c < columns; ++c) {
                const QString text = static_cast<std::size_t>(c) < cells.size()
                                         ? ToQString(cells[static_cast<std::size_t>(c)])
                                         : QString();
                QTableWidgetItem* item = list->item(r, c);
                if (!item) {
                    item = new QTableWidgetItem(text);
                    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                    item->setTextAlignment(
                        ColumnAlignment(now.columns[static_cast<std::size_t>(c)]));
                    list->setItem(r, c, item);
                } else if (item->text() != text) {
                    item->setText(text);
                }
            }
        }
    }
    if (before && Changed(before, &ControlState::selection, now)) {
        if (now.selection >= 0 && now.selection < list->rowCount())
            list->selectRow(now.selection);
        else
            list->clearSelection();
    }
}

void ApplyProgress(QProgressBar* bar, const ControlState& s) {
    // An empty range would make the bar a busy indicator; show it empty instead.
    const int high = s.rangeHigh > s.rangeLow ? s.rangeHigh : s.rangeLow + 1;
    bar->setRange(s.rangeLow, high);
    bar->setValue(std::clamp(s.position, s.rangeLow, s.rangeHigh > s.rangeLow ? high : s.rangeLow));
}

void ApplyKindState(QWidget* w, const ControlState& now, const ControlState* before,
                    const BaseUnits& units) {
    const bool textChanged = Changed(before, &ControlState::text, now);
    switch (now.kind) {
        case ControlKind::StaticText:
            if (auto* label = qobject_cast<QLabel*>(w); label && (textChanged || !before))
                ApplyLabel(label, now, units);
            break;
        case ControlKind::GroupBox:
            if (auto* box = qobject_cast<QGroupBox*>(w); box && textChanged)
                box->setTitle(ToQString(now.text));
            break;
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton:
            if (auto* button = qobject_cast<QPushButton*>(w); button && textChanged)
                button->setText(ToQString(now.text));
            break;
        case ControlKind::CheckBox:
            if (auto* check = qobject_cast<QCheckBox*>(w)) {
                if (textChanged)
                    check->setText(ToQString(now.text));
                check->setChecked(now.checked != 0);
            }
            break;
        case ControlKind::Edit:
            if (Changed(before, &ControlState::styles, now)) {
                const bool readOnly = (now.styles & kStyleReadOnly) != 0;
                if (auto* edit = qobject_cast<QLineEdit*>(w))
                    edit->setReadOnly(readOnly);
                else if (auto* multi = qobject_cast<QPlainTextEdit*>(w))
                    multi->setReadOnly(readOnly);
            }
            ApplyEditText(w, now);
            break;
        case ControlKind::ListBox:
            if (auto* list = qobject_cast<QListWidget*>(w))
                ApplyItems(list, now, before);
            break;
        case ControlKind::ListView:
            if (auto* list = qobject_cast<QTableWidget*>(w))
                ApplyReport(list, now, before);
            break;
        case ControlKind::ComboBox:
            if (auto* combo = qobject_cast<QComboBox*>(w))
                ApplyCombo(combo, now, before);
            break;
        case ControlKind::ProgressBar:
            if (auto* bar = qobject_cast<QProgressBar*>(w))
                ApplyProgress(bar, now);
            break;
        case ControlKind::IpAddress:
            if (auto* ip = dynamic_cast<IpAddressEdit*>(w))
                ip->SetFields(now.ipFields);
            break;
    }
}

}  // namespace

void ApplyControlState(QWidget* w, const ControlState& now, const ControlState* before,
                       const BaseUnits& units) {
    QSignalBlocker block(w);
    if (!before || before->fontFace != now.fontFace ||
        before->fontTenthPoints != now.fontTenthPoints) {
        if (!now.fontFace.empty())
            w->setFont(ControlFont(now.fontFace, now.fontTenthPoints));
        else if (before)
            w->setFont(QFont());
    }
    ApplyKindState(w, now, before, units);
    if (!before || !(before->rect == now.rect) || !(before->pixelRect == now.pixelRect))
        ApplyGeometry(w, now, units);
    if (Changed(before, &ControlState::enabled, now))
        w->setEnabled(now.enabled);
    const bool visible = now.visible && !now.destroyed;
    if (w->isVisibleTo(w->parentWidget()) != visible || !before)
        w->setVisible(visible);
}
