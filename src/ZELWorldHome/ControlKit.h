#pragma once
// Small makers of the controls that the parts of the main window share.

#include <QString>

#include <string>

class QAction;
class QLabel;
class QObject;
class QToolButton;

inline QString ToQString(const std::string& S) {
  return QString::fromStdString(S);
}

// A label found by its object name.
QLabel* NewLabel(const char* Name, const QString& Text);
// An action with a tooltip (not a status tip: a status message would hide the status bar's panels).
QAction* NewAction(QObject* Owner, const char* Name, const QString& Caption, const QString& Tip);
// A tool button showing Action's caption; a checkable action becomes its default action.
QToolButton* NewToolButton(const char* Name, QAction* Action);
