#pragma once
// The main window: the parameter controls, the two experiment commands, and the
// chart, picture and result labels in which an experiment shows its outcome.

#include "Experiment/Develop.h"
#include "FuzzySet/FuzzySet.h"
#include "FuzzySet/Random.h"
#include "ZELWorldHome/DialogService.h"
#include "ZELWorldHome/QtDisplay.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class TZELListForm;

class TZELWorldHomeForm final : public QMainWindow {
public:
  // Dialogs and message boxes go through Dialogs; without one they are shown to the user.
  explicit TZELWorldHomeForm(TDialogService* Dialogs = nullptr);
  ~TZELWorldHomeForm() override;

  // The window that lists the best programs of the last experiment.
  void SetListForm(TZELListForm* Form) { ZELListForm = Form; }

  void FormCreate(QObject* Sender);
  void FormDestroy(QObject* Sender);
  void ImagePanelResize(QObject* Sender);
  void pmutTrackBarChange(QObject* Sender);
  void pnoiseTrackBarChange(QObject* Sender);
  void PCrossTrackBarChange(QObject* Sender);
  void RatesCheckBoxClick(QObject* Sender);
  void ReprodRadioGroupClick(QObject* Sender);
  void SaveImageToolButtonClick(QObject* Sender);
  void SaveGraphToolButtonClick(QObject* Sender);
  void StartToolButtonClick(QObject* Sender);
  void BatchToolButtonClick(QObject* Sender);

  // The selected item of ReprodRadioGroup: 0 "Phenotpe (ZEL)", 1 "Genotype", 2 "Both".
  int ReprodItemIndex() const;
  void SetReprodItemIndex(int Index);
  // A spin edit's value: its text as a decimal integer brought into range, or its
  // minimum when the text is not an integer.
  static int SpinValue(const QSpinBox* SpinEdit);
  // Develops a program of the list window with the current elements and blocks over the
  // environment of the last experiment and shows it; FirstIndex is the first list entry that
  // holds it. An empty text shows that nothing was selected.
  void ShowProgram(const std::string& Text, int FirstIndex);
  // Shows measures in the result labels.
  void ShowMeasures(const TMeasures& M);
  // The second panel of the status bar.
  void SetStatusText(const std::string& Text);
  std::string StatusText() const;
  TDialogService& Dialogs() { return *DialogService; }

  // The one generator of the window and its list window.
  TRandom Random;
  // The environment of the last experiment and the set of the agent on display.
  TFuzzySet EnvironmentSet;
  TFuzzySet DevelopedSet;

  QToolBar* ZELToolBar;
  QToolButton* StartToolButton;
  QToolButton* BatchToolButton;
  QToolButton* SaveImageToolButton;
  QToolButton* SaveGraphToolButton;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  QLabel* StatusPanel1;
  TEvolProgressBar* EvolProgressBar;
  QWidget* FSControlsPanel;
  QWidget* ReproductionPanel;
  QGroupBox* ReprodRadioGroup;
  QButtonGroup* ReprodButtons;
  QCheckBox* RandomFitCheckBox;
  QCheckBox* RatesCheckBox;
  QWidget* GAPanel;
  QSpinBox* PopSpinEdit;
  QSpinBox* GenSpinEdit;
  QSpinBox* XElementsSpinEdit;
  QSpinBox* NBlocksSpinEdit;
  QLabel* Label7;
  QSlider* pmutTrackBar;
  QLineEdit* pmutEdit;
  QLabel* Label8;
  QSlider* pnoiseTrackBar;
  QLineEdit* pnoiseEdit;
  QLabel* Label10;
  QSlider* PCrossTrackBar;
  QLineEdit* PCrossEdit;
  QGroupBox* GroupBox1;
  QLabel* CardinalityLabel;
  QLabel* SubSethoodLabel;
  QLabel* HammingLabel;
  QLabel* FitnessLabel;
  QLabel* GenLabel;
  QWidget* ImagePanel;
  QSplitter* GraphSplitter;
  TEvolChart* EvolChart;
  TFSImage* FSImage;
  TSaveDialog SaveDialog1;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  // Closing the main window ends the program, even while the list window is open.
  void closeEvent(QCloseEvent* Event) override;

private:
  void BuildControls();
  QWidget* BuildReproductionPanel();
  QWidget* BuildGAPanel();
  QGroupBox* BuildDescriptionBox();
  // Runs a command, reporting an error that ends it in a modal box.
  void Guarded(const std::function<void()>& Command);
  void RunExperiment(bool Batch);
  void DisplayDevelopment(const TDevelopment& Development, int G);
  // Shows the save dialog for an image; Write gets the chosen name when the user accepts.
  void SaveWithDialog(const char* Title, const std::function<void(const std::string&)>& Write);

  std::unique_ptr<TDialogService> OwnDialogs;
  TDialogService* DialogService;
  TZELListForm* ZELListForm = nullptr;
};

// The fixed texts that each probability track bar writes into its edit box, by position.
std::string MutationText(int Position);
std::string CrossoverText(int Position);
