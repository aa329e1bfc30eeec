#include "Experiment/RunDriver.h"

#include "Experiment/Report.h"

namespace {
void PrepareDisplays(TProgressIndicator& Bar, int BarMax, TEvolutionChart& Chart, int AxisMax,
                     const char* AxisTitle) {
  Bar.SetVisible(true);
  Bar.SetMin(1);
  Bar.SetMax(BarMax);
  Chart.SetBottomAxisRange(0, AxisMax);
  Chart.SetBottomAxisTitle(AxisTitle);
}

void RepaintAt(TProgressIndicator& Bar, int Position) {
  Bar.SetPosition(Position);
  Bar.Repaint();
}

void Show(TRunDisplays& D, double Fitness, int Ratio, const std::string& Text) {
  D.Chart.AppendValue(0, Fitness);
  D.Chart.AppendValue(1, Ratio);
  D.BestList.push_back(Text);
}

// A run from its beginning, or from a thawed population, whose generation reached was
// reported by the run that froze it.
TOutcome Drive(TExperiment& E, const std::string& FileName, TRunDisplays& D, bool Thawed) {
  TRunReport report(FileName);
  const int generations = E.Settings().Generations;
  PrepareDisplays(D.ProgressBar, (Thawed ? E.FirstGeneration() : 0) + generations, D.Chart, generations,
                  "Generations");
  D.ProgressBar.Repaint();
  const TGenerationRecord first = Thawed ? TGenerationRecord{} : E.Begin();
  if (D.AfterBegin) D.AfterBegin();
  report.WriteHeader(E.Settings());
  if (!Thawed) report.WriteGeneration(first);
  D.Chart.ClearSeries(0);
  D.Chart.ClearSeries(1);
  D.BestList.clear();
  if (!Thawed) Show(D, first.Fitness, first.GenotypeRatio, first.BestText);
  while (!E.Done()) {
    const TGenerationRecord r = E.Step();
    report.WriteGeneration(r);
    Show(D, r.Fitness, r.GenotypeRatio, r.BestText);
    D.Image.Update();
    RepaintAt(D.ProgressBar, r.Generation);
  }
  report.Close();
  D.Messages.ShowMessage("Your Report on file " + FileName);
  RepaintAt(D.ProgressBar, 1);
  return E.Finish();
}
} // namespace

TOutcome Run(TExperiment& E, const std::string& FileName, TRunDisplays D) {
  return Drive(E, FileName, D, false);
}

TOutcome Continue(TExperiment& E, const std::string& FileName, TRunDisplays D) {
  return Drive(E, FileName, D, true);
}

TBatchOutcome RunBatch(TBatch& B, const std::string& FileName, TRunDisplays D) {
  TBatchReport report(FileName);
  PrepareDisplays(D.ProgressBar, BatchRunCount, D.Chart, BatchRunCount - 1, "Runs");
  RepaintAt(D.ProgressBar, 1);
  B.Begin();
  if (D.AfterBegin) D.AfterBegin();
  report.WriteHeader(B.Experiment().Settings());
  D.Chart.ClearSeries(0);
  D.Chart.ClearSeries(1);
  D.BestList.clear();
  while (!B.Done()) {
    const TRunRecord r = B.StepRun();
    report.WriteRun(r);
    Show(D, r.Fitness, r.GenotypeRatio, r.BestText);
    D.Image.Update();
    RepaintAt(D.ProgressBar, D.ProgressBar.GetPosition() + 1);
  }
  const TBatchOutcome outcome = B.Finish();
  report.WriteFooter(outcome);
  report.Close();
  D.Messages.ShowMessage("Your Report on file " + FileName);
  RepaintAt(D.ProgressBar, 1);
  return outcome;
}
