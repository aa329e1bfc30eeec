#pragma once
// Small makers of the controls that the parts of the main window share.

#include <QKeySequence>
#include <QLabel>
#include <QString>

#include <string>

class QAction;
class QObject;
class QToolButton;

inline QString ToQString(const std::string& S) {
  return QString::fromStdString(S);
}

// A label found by its object name.
QLabel* NewLabel(const char* Name, const QString& Text);
// An action with a tooltip (not a status tip: a status message would hide the status bar's panels).
QAction* NewAction(QObject* Owner, const char* Name, const QString& Caption, const QString& Tip);
// Gives Action a keyboard shortcut and names it in its tooltip; the menus show it beside the caption.
void SetShortcut(QAction* Action, const QKeySequence& Keys);
// A tool button showing Action's caption whole, at least MinWidth wide; a checkable action
// becomes its default action.
QToolButton* NewToolButton(const char* Name, QAction* Action, int MinWidth = 80);

// A label that shows as much of its text as fits, cut short with "…", and the whole text in
// its tooltip when it is cut; its text() stays whole. It asks for no width of its own, so a
// long message never widens the window.
class TElidedLabel final : public QLabel {
public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override { return minimumSizeHint(); }
  // The text as it is shown.
  QString ShownText() const;

protected:
  void paintEvent(QPaintEvent* Event) override;
  bool event(QEvent* Event) override;
};
