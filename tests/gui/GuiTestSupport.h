#pragma once
// The two windows with scripted dialogs, a scratch folder, and the engine's own
// run of the same experiment for comparison.

#include "Display/Headless.h"
#include "ZEL/ZELAgentPopulation.h"
#include "ZELList/ZELList.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include <QImage>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Answers the save dialog from a queue (nullopt: cancel) and records every box shown.
class TScriptedDialogs final : public TDialogService {
public:
  bool ExecuteSaveDialog(TSaveDialog& Dialog) override;
  void ShowMessage(const std::string& Text) override;
  void ShowError(const std::string& Text) override { Errors.push_back(Text); }

  std::deque<std::optional<std::string>> Answers;
  std::vector<TSaveDialog> Shown;
  std::vector<std::string> Messages, Errors;
  // Runs while the drivers' closing message is up, that is, before the command ends.
  std::function<void()> OnMessage;
};

struct TWindows {
  TWindows();
  TScriptedDialogs Dialogs;
  TZELWorldHomeForm Home{&Dialogs};
  TZELListForm List{Home};
};

// Lets the windows handle their pending layout and resize events.
void Settle();

class TScratchDir {
public:
  TScratchDir();
  ~TScratchDir();
  std::string File(const std::string& Name) const { return (Path / Name).string(); }
  std::filesystem::path Path;
};

// Expects DevelopedSet to be Developed, drawn in red over the blue environment, with its
// measures and Fitness in the result labels in their formats.
void ExpectAgentShown(const TZELWorldHomeForm& Home, const TFuzzySet& Developed, int Fitness);

std::string ReadFile(const std::string& FileName);
int CountPixels(const QImage& Image, QRgb Colour);

// The settings of one experiment, as the window's controls hold them.
struct TExperiment {
  int PopSize = 10, Generations = 4, Elements = 40, Blocks = 4, Reproduction = 2;
  double PCrossover = 1.0, PMutation = 0.0001, PNoise = 0.0001;
  bool Rates = false, RandomEnvironment = false;
  void ApplyTo(TZELWorldHomeForm& Home) const;
};

// What the engine produces for the experiment when called directly with headless displays.
struct TEngineRun {
  std::string Report;
  TStringList BestList;
  THeadlessChart Chart;
  TFuzzySet Environment;
  TZELAgent BestAll;
};
void RunEngine(const TExperiment& E, std::uint32_t Seed, bool Batch, const std::string& FileName,
               TEngineRun& Out);
