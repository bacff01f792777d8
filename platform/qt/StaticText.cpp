// Static text over QLabel: plain text, every CR, LF or CR LF a line break.
#include <QLabel>
#include <QPalette>

#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/WindowImpl.h"

namespace platform {

namespace {

QString WithLineBreaks(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

Qt::Alignment AlignmentFor(int textAlign) {
  switch (textAlign) {
    case 2:
      return Qt::AlignHCenter;
    case 3:
      return Qt::AlignRight;
    default:
      return Qt::AlignLeft;
  }
}

}  // namespace

StaticText::StaticText(Window& window) : Control(window) {
  auto* label = new QLabel(window.impl().content);
  label->setTextFormat(Qt::PlainText);
  impl().Adopt(label);
}

void StaticText::SetProperties(const Properties& props) {
  text_ = props.text;
  if (auto* label = qobject_cast<QLabel*>(impl().widget.data())) {
    label->setText(WithLineBreaks(props.text));
    label->setWordWrap(props.multiline);
    label->setAlignment(AlignmentFor(props.textAlign) | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(props.textColor & 0xFFFFFFu));
    label->setPalette(palette);
  }
  ApplyCommon(props);
}

std::string StaticText::Text() const { return text_; }

}  // namespace platform
