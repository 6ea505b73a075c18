#include "qt/ip_address_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(digits);
        field->setMinimumWidth(0);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { FieldEdited(i); });
        layout->addWidget(field, 1);
        m_fields[static_cast<std::size_t>(i)] = field;
    }
    setFocusProxy(m_fields[0]);
}

std::array<int, 4> IpAddressEdit::Fields() const {
    std::array<int, 4> fields{};
    for (std::size_t i = 0; i < 4; ++i) {
        const QString text = m_fields[i]->text();
        fields[i] = text.isEmpty() ? -1 : std::min(text.toInt(), 255);
    }
    return fields;
}

void IpAddressEdit::SetFields(const std::array<int, 4>& fields) {
    for (std::size_t i = 0; i < 4; ++i) {
        const QString text = fields[i] < 0 ? QString() : QString::number(std::min(fields[i], 255));
        if (m_fields[i]->text() != text)
            m_fields[i]->setText(text);
    }
}

void IpAddressEdit::SetReadOnly(bool readOnly) {
    for (QLineEdit* field : m_fields)
        field->setReadOnly(readOnly);
}

void IpAddressEdit::FieldEdited(int index) {
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    // A field holds 0..255; a larger number is cut to 255 as it is typed.
    if (field->text().toInt() > 255)
        field->setText(QStringLiteral("255"));
    if (field->text().size() == 3 && index < 3) {
        m_fields[static_cast<std::size_t>(index + 1)]->setFocus();
        m_fields[static_cast<std::size_t>(index + 1)]->selectAll();
    }
    if (onEdited)
        onEdited();
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    int index = 0;
    while (index < 4 && m_fields[static_cast<std::size_t>(index)] != watched)
        ++index;
    if (index == 4)
        return false;
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    // A dot moves on from a field that holds a typed number, as does a third digit. In a field
    // nothing was typed into yet (empty, or wholly selected just after such a move) it is
    // ignored, so "192.168.1.7" can be typed whole.
    if (key->text() == QStringLiteral(".")) {
        const bool untouched = field->text().isEmpty() || field->selectedText() == field->text();
        if (untouched || index == 3)
            return true;
        m_fields[static_cast<std::size_t>(index + 1)]->setFocus();
        m_fields[static_cast<std::size_t>(index + 1)]->selectAll();
        return true;
    }
    if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && index > 0) {
        m_fields[static_cast<std::size_t>(index - 1)]->setFocus();
        return true;
    }
    return false;
}
