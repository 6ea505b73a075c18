#include "qt/accessible_names.h"

#include <QLabel>
#include <algorithm>

#include "qt/control_text.h"

namespace {

// How far, in dialog units, a label may overlap the field it names.
constexpr int kSlack = 4;
// How far to the right of a field its unit text may stand.
constexpr int kUnitReach = 12;
constexpr int kComboLineHeight = 12;

bool IsField(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
        case ControlKind::ListBox:
        case ControlKind::ListView:
        case ControlKind::ComboBox:
        case ControlKind::ProgressBar:
        case ControlKind::IpAddress:
            return true;
        default:
            return false;
    }
}

int Right(const DialogRect& r) {
    return r.x + r.width;
}
int Bottom(const DialogRect& r) {
    return r.y + r.height;
}
bool SameRow(const DialogRect& a, const DialogRect& b) {
    return a.y < Bottom(b) && b.y < Bottom(a);
}
bool Inside(const DialogRect& inner, const DialogRect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && Right(inner) <= Right(outer) &&
           Bottom(inner) <= Bottom(outer);
}

// A label's text as a name: without its closing colon.
QString AsName(const std::string& text) {
    QString name = ToQString(text).trimmed();
    while (name.endsWith(u':') || name.endsWith(QChar(0xFF1A)))
        name.chop(1);
    return name.trimmed();
}

struct Shown {
    int index;
    const ControlState* state;
    DialogRect rect;
};

}  // namespace

void NameFieldsAfterLabels(const std::vector<std::optional<ControlState>>& states,
                           const std::vector<QPointer<QWidget>>& widgets) {
    std::vector<Shown> shown;
    for (std::size_t i = 0; i < states.size() && i < widgets.size(); ++i) {
        const auto& s = states[i];
        if (!s || !widgets[i] || !s->visible || s->destroyed || s->parentIndex >= 0)
            continue;
        DialogRect rect = s->rect;
        // A combo's rectangle holds its dropped-down list; closed it is one line high.
        if (s->kind == ControlKind::ComboBox)
            rect.height = std::min(rect.height, kComboLineHeight);
        shown.push_back({static_cast<int>(i), &*s, rect});
    }
    // The innermost group box around a control; null when none.
    auto groupOf = [&](const DialogRect& r) {
        const Shown* group = nullptr;
        for (const Shown& c : shown) {
            if (c.state->kind == ControlKind::GroupBox && Inside(r, c.rect) &&
                (!group || Inside(c.rect, group->rect)))
                group = &c;
        }
        return group;
    };
    auto widgetOf = [&](const Shown& c) { return widgets[static_cast<std::size_t>(c.index)]; };

    for (const Shown& field : shown) {
        if (!IsField(field.state->kind))
            continue;
        const DialogRect& f = field.rect;
        const Shown* group = groupOf(f);
        // The label before the field on its row and in its frame: the nearest static text to
        // its left. The unit text, if any, follows it.
        const Shown* label = nullptr;
        const Shown* unit = nullptr;
        for (const Shown& c : shown) {
            if (c.state->kind != ControlKind::StaticText || c.state->text.empty() ||
                !SameRow(c.rect, f) || groupOf(c.rect) != group)
                continue;
            if (Right(c.rect) <= f.x + kSlack && (!label || Right(c.rect) > Right(label->rect)))
                label = &c;
            if (c.rect.x >= Right(f) - kSlack && c.rect.x <= Right(f) + kUnitReach)
                unit = &c;
        }
        // Another field between label and field: the label is that one's buddy.
        bool labelIsOwn = label != nullptr;
        for (const Shown& c : shown) {
            if (label && &c != &field && IsField(c.state->kind) && SameRow(c.rect, f) &&
                c.rect.x >= Right(label->rect) - kSlack && Right(c.rect) <= f.x)
                labelIsOwn = false;
        }
        QString name = label ? AsName(label->state->text) : QString();
        if (name.isEmpty() && group) {
            // No label: the frame's caption, or else the button in the frame that the field
            // serves.
            name = AsName(group->state->text);
            for (const Shown& c : shown) {
                if (name.isEmpty() && c.state->kind == ControlKind::PushButton &&
                    Inside(c.rect, group->rect))
                    name = AsName(c.state->text);
            }
        }
        QWidget* w = widgetOf(field);
        if (!name.isEmpty())
            w->setAccessibleName(name);
        if (unit)
            w->setAccessibleDescription(AsName(unit->state->text));
        if (label && labelIsOwn) {
            if (auto* text = qobject_cast<QLabel*>(widgetOf(*label).data()))
                text->setBuddy(w);
        }
    }
}
