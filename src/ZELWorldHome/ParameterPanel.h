#pragma once
// The parameter panel of the main window: how agents reproduce, the selection and
// environment switches, the four sizes, and the three probabilities, each track bar beside
// the box it writes its preset into. It turns its controls into experiment settings and
// back, and keeps their enabled states as the choices ask.

#include "Experiment/Experiment.h"
#include "Experiment/ExperimentSettings.h"

#include <QWidget>

#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSlider;
class TSpinEdit;

class TParameterPanel final : public QWidget {
  Q_OBJECT

public:
  explicit TParameterPanel(QWidget* Parent = nullptr);

  // The settings as the controls hold them, the typed values included. A probability text
  // that is not a number raises std::invalid_argument naming its control and the text.
  TExperimentSettings Settings() const;
  // Sets the controls to Settings, the enabled states as the handlers would.
  void SetSettings(const TExperimentSettings& Settings);

  // An environment of one's own fixes the number of elements to its size, FileName's, and
  // is never random; Elements 0 goes back to the built-in environment.
  void UseOwnEnvironment(int Elements, const std::string& FileName);
  bool RandomEnvironment() const;
  void SetRandomEnvironment(bool Random);
  // The values typed into the two spin edits that a program of the list is developed with.
  int Elements() const;
  int Blocks() const;

private slots:
  void pmutTrackBarChange();
  void pnoiseTrackBarChange();
  void PCrossTrackBarChange();
  void RatesCheckBoxClick();
  void ReprodRadioGroupClick();
  // A typed probability moves its track bar to the nearest preset.
  void pmutEditChange();
  void pnoiseEditChange();
  void PCrossEditChange();

private:
  // The value of a probability box; Caption names it when it is not a number.
  static double Probability(const QLineEdit* Edit, const char* Caption);
  // The value, or NaN when the text is not a number.
  static double ValueOf(const QLineEdit* Edit);
  static void Follow(const QLineEdit* Edit, QSlider* Bar, int Position);
  QWidget* BuildReproductionPanel();
  QWidget* BuildGAPanel();

  QWidget* ReproductionPanel;
  QGroupBox* ReprodRadioGroup;
  QButtonGroup* ReprodButtons;
  QCheckBox* RandomFitCheckBox;
  QCheckBox* RatesCheckBox;
  QWidget* GAPanel;
  TSpinEdit* PopSpinEdit;
  TSpinEdit* GenSpinEdit;
  TSpinEdit* XElementsSpinEdit;
  TSpinEdit* NBlocksSpinEdit;
  QLabel* MutationLabel;
  QSlider* pmutTrackBar;
  QLineEdit* pmutEdit;
  QLabel* NoiseLabel;
  QSlider* pnoiseTrackBar;
  QLineEdit* pnoiseEdit;
  QLabel* CrossoverLabel;
  QSlider* PCrossTrackBar;
  QLineEdit* PCrossEdit;
};
