#include "ZELWorldHome/ControlKit.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>

QLabel* NewLabel(const char* Name, const QString& Text) {
  auto* label = new QLabel(Text);
  label->setObjectName(Name);
  return label;
}

QAction* NewAction(QObject* Owner, const char* Name, const QString& Caption, const QString& Tip) {
  auto* action = new QAction(Caption, Owner);
  action->setObjectName(Name);
  action->setToolTip(Tip);
  return action;
}

void SetShortcut(QAction* Action, const QKeySequence& Keys) {
  Action->setShortcut(Keys);
  Action->setToolTip(Action->toolTip() + " (" + Keys.toString(QKeySequence::NativeText) + ")");
}

QToolButton* NewToolButton(const char* Name, QAction* Action, int MinWidth) {
  auto* button = new QToolButton;
  button->setObjectName(Name);
  if (Action->isCheckable()) {
    button->setDefaultAction(Action);
  } else {
    // A command of fixed text follows its action's enabled state alone: a default action
    // sets the button's icon anew at every change of the action, and with it lays the whole
    // tool bar out again.
    button->setText(Action->iconText());
    button->setToolTip(Action->toolTip());
    button->setEnabled(Action->isEnabled());
    QObject::connect(button, &QToolButton::clicked, Action, &QAction::trigger);
    QObject::connect(Action, &QAction::enabledChanged, button, &QWidget::setEnabled);
  }
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  // Never narrower than its caption: a tool bar too short for its buttons puts the last of
  // them behind its extension arrow instead of cutting their captions.
  button->setMinimumSize(std::max(MinWidth, button->sizeHint().width()), 21);
  return button;
}

QSize TElidedLabel::minimumSizeHint() const {
  return {0, QLabel::minimumSizeHint().height()};
}

QString TElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void TElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, ShownText());
}

bool TElidedLabel::event(QEvent* Event) {
  if (Event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
    const QString shown = ShownText();
    if (shown != text())
      QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), text(), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QLabel::event(Event);
}
