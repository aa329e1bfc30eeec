#pragma once
// The window's dialogs and message boxes, behind an interface so that a test can
// answer them and drive a whole command without a person.

#include <string>

// The settings of the window's one save dialog, and the name chosen in it.
struct TSaveDialog {
  static constexpr const char* ResultsTitle = "Results File";
  static constexpr const char* ResultsFilter = "text files|*.txt|bitmap files|*.bmp|all files|*.*";

  std::string Title = ResultsTitle;
  // Pairs of description and pattern, separated by '|'.
  std::string Filter = ResultsFilter;
  // Index of the selected filter, counting from 0.
  int FilterIndex = 0;
  bool OverwritePrompt = true;
  // The chosen file name, exactly as entered: no extension is added.
  std::string FileName;
};

// The settings of an open dialog, and the name chosen in it.
struct TOpenDialog {
  std::string Title;
  std::string Filter;
  std::string FileName;
};

class TDialogService {
public:
  virtual ~TDialogService() = default;
  // True, with Dialog.FileName set, when the user accepts; false when cancelled.
  virtual bool ExecuteSaveDialog(TSaveDialog& Dialog) = 0;
  // True, with Dialog.FileName set to an existing file, when the user accepts. A service
  // that opens no files cancels.
  virtual bool ExecuteOpenDialog(TOpenDialog&) { return false; }
  // A modal message with an OK button.
  virtual void ShowMessage(const std::string& Text) = 0;
  // The modal report of an error that ended a command.
  virtual void ShowError(const std::string& Text) = 0;
};
