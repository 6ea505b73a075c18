#pragma once
// An IP address control: four number fields separated by dots inside one frame. A blank
// field is -1.
#include <QFrame>
#include <array>
#include <functional>

class QLineEdit;

class IpAddressEdit : public QFrame {
  public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    std::array<int, 4> Fields() const;
    // Shows `fields` without reporting them as edited.
    void SetFields(const std::array<int, 4>& fields);
    QLineEdit* Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }
    void SetReadOnly(bool readOnly);

    // Called after the user changed a field.
    std::function<void()> onEdited;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FieldEdited(int index);

    std::array<QLineEdit*, 4> m_fields{};
};
