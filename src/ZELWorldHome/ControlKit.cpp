#include "ZELWorldHome/ControlKit.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>

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

QToolButton* NewToolButton(const char* Name, QAction* Action) {
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
  button->setMinimumSize(80, 21);
  return button;
}
