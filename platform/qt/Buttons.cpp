// Push buttons, check boxes and disclosure triangles.
#include <QCheckBox>
#include <QPushButton>
#include <QToolButton>

#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/WindowImpl.h"

namespace platform {

namespace {
QString ToQt(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

// --- PushButton ---

PushButton::PushButton(Window& window) : Control(window) {
  auto* button = new QPushButton(window.impl().content);
  button->setAutoDefault(false);
  impl().Adopt(button);
  impl().connections.push_back(
      QObject::connect(button, &QPushButton::clicked, [this] { RaiseEvent("Action"); }));
}

void PushButton::SetProperties(const Properties& props) {
  isDefault_ = props.isDefault;
  cancel_ = props.cancel;
  if (auto* button = qobject_cast<QPushButton*>(impl().widget.data())) {
    button->setText(ToQt(props.caption));
    // Drawn as the default button; Return reaches it through the window.
    button->setDefault(props.isDefault);
  }
  caption_ = props.caption;
  ApplyCommon(props);
}

std::string PushButton::Caption() const { return caption_; }

void PushButton::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  if (auto* button = qobject_cast<QPushButton*>(impl().widget.data()))
    button->setText(ToQt(caption_));
}

bool PushButton::IsDefault() const { return isDefault_; }
bool PushButton::IsCancel() const { return cancel_; }

void PushButton::Push() {
  if (auto* button = qobject_cast<QPushButton*>(impl().widget.data())) button->click();
}

// --- CheckBox ---

CheckBox::CheckBox(Window& window) : Control(window) {
  auto* box = new QCheckBox(window.impl().content);
  impl().Adopt(box);
  // clicked, not toggled: a value set by the program raises nothing.
  impl().connections.push_back(
      QObject::connect(box, &QCheckBox::clicked, [this] { RaiseEvent("Action"); }));
}

void CheckBox::SetProperties(const Properties& props) {
  caption_ = props.caption;
  if (auto* box = qobject_cast<QCheckBox*>(impl().widget.data())) {
    box->setText(ToQt(props.caption));
    box->setChecked(props.value);
  }
  ApplyCommon(props);
}

std::string CheckBox::Caption() const { return caption_; }

bool CheckBox::Value() const {
  auto* box = qobject_cast<QCheckBox*>(impl().widget.data());
  return box && box->isChecked();
}

void CheckBox::SetValue(bool value) {
  if (auto* box = qobject_cast<QCheckBox*>(impl().widget.data())) box->setChecked(value);
}

void CheckBox::Click() {
  if (auto* box = qobject_cast<QCheckBox*>(impl().widget.data())) box->click();
}

// --- DisclosureTriangle ---

// An arrow that points right while closed and down while open; not a toggle button, whose
// pressed look would hide the arrow's turn.
DisclosureTriangle::DisclosureTriangle(Window& window) : Control(window) {
  auto* button = new QToolButton(window.impl().content);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  impl().Adopt(button);
  ShowValue();
  impl().connections.push_back(QObject::connect(button, &QToolButton::clicked, [this] {
    value_ = !value_;
    ShowValue();
    RaiseEvent("Action");
  }));
}

void DisclosureTriangle::ShowValue() {
  if (auto* button = qobject_cast<QToolButton*>(impl().widget.data()))
    button->setArrowType(value_ ? Qt::DownArrow : Qt::RightArrow);
}

void DisclosureTriangle::SetProperties(const Properties& props) {
  value_ = props.value;
  ShowValue();
  ApplyCommon(props);
  if (impl().widget)
    impl().widget->setFocusPolicy(props.acceptFocus && props.tabStop ? Qt::TabFocus : Qt::NoFocus);
}

bool DisclosureTriangle::Value() const { return value_; }

void DisclosureTriangle::Click() {
  if (auto* button = qobject_cast<QToolButton*>(impl().widget.data())) button->click();
}

}  // namespace platform
