#pragma once
// The single-run and batch drivers: loops over an experiment that write its report and
// feed the display objects, generation by generation (run by run in a batch).

#include "Display/DisplayServices.h"
#include "Experiment/Experiment.h"

#include <functional>
#include <string>

struct TRunDisplays {
  TProgressIndicator& ProgressBar;
  TEvolutionChart& Chart;
  TImageSurface& Image;
  TStringList& BestList;
  TMessageBox& Messages;
  // Called once the population and the environment exist, before generation 0 is reported.
  std::function<void()> AfterBegin;
};

// Begins the experiment and runs it to its last generation, reporting to FileName.
TOutcome Run(TExperiment& Experiment, const std::string& FileName, TRunDisplays Displays);
// Runs a thawed experiment (TExperiment::Thaw) to its last generation, reporting to FileName:
// the report's generation lines go on from the generation after the one reached, and the
// chart and the list receive those generations only.
TOutcome Continue(TExperiment& Experiment, const std::string& FileName, TRunDisplays Displays);
// Begins the batch and runs its ten runs, reporting to FileName.
TBatchOutcome RunBatch(TBatch& Batch, const std::string& FileName, TRunDisplays Displays);
