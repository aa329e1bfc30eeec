// The single-run and batch drivers and their reports.

#include "FuzzySet/Extended.h"
#include "ZEL/ReportFormat.h"
#include "ZEL/ZELAgentPopulation.h"

namespace {
const char* const Hyphens = "----------------------------------------";

void WriteCommonHeader(TReportFile& Report, const TZELAgentPopulation& Pop, bool RatesSelection,
                       int NGenerations, double PCrossover, double PMutation, double PNoise) {
  const std::string title = ModeTitle(Pop.ReproductionType, RatesSelection);
  if (!title.empty()) Report.WriteLine(title);
  Report.WriteLine("PopSize: " + FormatInt(Pop.Count()) +
                   " Number of Generations: " + FormatInt(NGenerations));
  Report.WriteLine("Fitness Elements: " + FormatInt(Pop.BestAll.Elements) +
                   " ZEL Blocks: " + FormatInt(Pop.BestAll.BlockCount));
  Report.WriteLine("PCrossover:" + FormatReal(PCrossover, 6, 5) +
                   " PMutation:" + FormatReal(PMutation, 6, 5) + " PNoise:" + FormatReal(PNoise, 6, 5));
  Report.WriteLine("");
  Report.WriteLine(Hyphens);
}

std::string GenerationLine(int G, const TZELAgentPopulation& Pop, int Ratio, const std::string& Text) {
  return FormatInt(G, 5) + FormatReal(Pop.AvgFitness, 8, 1) + FormatInt(Pop.GenFitMax, 7) +
         FormatInt(Pop.GenFitMin, 7) + FormatInt(Pop.MaxFitAll, 7) + "   " + FormatInt(Ratio) + "      " +
         FormatInt(Pop.GenBest.Fitness) + "   " + Text;
}

// The probabilities after this are the ones used and reported.
void BringIntoRange(double& PCrossover, double& PMutation, double& PNoise) {
  PCrossover = ProbabilityInRange(PCrossover, 1.0);
  PMutation = ProbabilityInRange(PMutation, 0.0);
  PNoise = ProbabilityInRange(PNoise, 0.0);
}

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
} // namespace

void TZELAgentPopulation::Run(int NGenerations, const std::string& FileName, double PCrossover,
                              double PMutation, double PNoise, TProgressIndicator& ProgressBar,
                              const TFuzzySet& Environment, bool RatesSelection, TEvolutionChart& Chart,
                              TImageSurface& Image, TStringList& BestList, TMessageBox& Messages) {
  BringIntoRange(PCrossover, PMutation, PNoise);
  TReportFile report(FileName);
  PrepareDisplays(ProgressBar, NGenerations, Chart, NGenerations, "Generations");
  ProgressBar.Repaint();
  TFuzzySet runEnvironment;
  runEnvironment.Assign(Environment);

  Evaluate(runEnvironment);
  WriteCommonHeader(report, *this, RatesSelection, NGenerations, PCrossover, PMutation, PNoise);
  report.WriteLine(
      "Gen#   Average    GenFitMax    GenFitMin    MaxFitAll           GenotypeRatio     Fitness   "
      "GenBestZEL");
  UpdateStatistics();
  int ratio = GenotypeRatio();
  std::string text = GenBest.ZEL.ToText();
  report.WriteLine(GenerationLine(0, *this, ratio, text));
  Chart.ClearSeries(0);
  Chart.ClearSeries(1);
  Chart.AppendValue(0, GenBest.Fitness);
  Chart.AppendValue(1, ratio);
  BestList.clear();
  BestList.push_back(text);

  for (int g = 1; g <= NGenerations; ++g) {
    NextGeneration(RatesSelection, PCrossover, PMutation, PNoise);
    Evaluate(runEnvironment);
    UpdateStatistics();
    ratio = GenotypeRatio();
    text = GenBest.ZEL.ToText();
    report.WriteLine(GenerationLine(g, *this, ratio, text));
    Chart.AppendValue(0, GenBest.Fitness);
    Chart.AppendValue(1, ratio);
    BestList.push_back(text);
    Image.Update();
    RepaintAt(ProgressBar, g);
  }
  Messages.ShowMessage("Your Report on file " + FileName);
  RepaintAt(ProgressBar, 1);
  report.Close();
}

void TZELAgentPopulation::RunBatch(int PopSize, int BlockCount, int Elements, int NewReproductionType,
                                   int NGenerations, double PCrossover, double PMutation, double PNoise,
                                   const std::string& FileName, TProgressIndicator& ProgressBar,
                                   const TFuzzySet& Environment, bool RatesSelection, TEvolutionChart& Chart,
                                   TImageSurface& Image, TStringList& BestList, TMessageBox& Messages) {
  BringIntoRange(PCrossover, PMutation, PNoise);
  TReportFile report(FileName);
  PrepareDisplays(ProgressBar, BatchRunCount, Chart, BatchRunCount - 1, "Runs");
  RepaintAt(ProgressBar, 1);
  TFuzzySet runEnvironment;
  runEnvironment.Assign(Environment);

  report.WriteLine("Batch of " + FormatInt(BatchRunCount) + " runs.");
  WriteCommonHeader(report, *this, RatesSelection, NGenerations, PCrossover, PMutation, PNoise);
  report.WriteLine(std::string("Run# ") + "    Max Fitness" +
                   "        GenotypeRatio     Gen All Genetic     Fitness   BestZEL");
  Chart.ClearSeries(0);
  Chart.ClearSeries(1);
  BestList.clear();

  double ratioSum = 0, genAllSum = 0, fitnessSum = 0;
  for (int k = 1; k <= BatchRunCount; ++k) {
    Evaluate(runEnvironment);
    UpdateStatistics();
    int genAllGenotype = -1;
    for (int g = 1; g <= NGenerations; ++g) {
      NextGeneration(RatesSelection, PCrossover, PMutation, PNoise);
      Evaluate(runEnvironment);
      UpdateStatistics();
      if (genAllGenotype == -1 && GenotypeRatio() >= 100) genAllGenotype = g;
    }
    const int ratio = GenotypeRatio();
    ratioSum += ratio;
    genAllSum += genAllGenotype;
    fitnessSum += BestAll.Fitness;
    const std::string text = BestAll.ZEL.ToText();
    report.WriteLine(FormatInt(k, 5) + FormatInt(MaxFitAll, 7) + "   " + FormatInt(ratio) + "     " +
                     FormatInt(genAllGenotype) + "      " + FormatInt(BestAll.Fitness) + "   " + text);
    Chart.AppendValue(0, BestAll.Fitness);
    Chart.AppendValue(1, ratio);
    BestList.push_back(text);
    Image.Update();
    RepaintAt(ProgressBar, ProgressBar.GetPosition() + 1);
    if (k < BatchRunCount) {
      Clear();
      Create(PopSize, BlockCount, Elements, NewReproductionType);
    }
  }
  auto average = [](double Sum) { return Extended::ToDouble(TExtended(Sum) / TExtended(BatchRunCount)); };
  report.WriteLine("_________________");
  report.WriteLine("Batch Averages for a batch of " + FormatInt(BatchRunCount));
  report.WriteLine("Fitness     Fraction w/ genotype      Gen with all Genotypes");
  report.WriteLine(FormatReal(average(fitnessSum), 6, 2) + "   " + FormatReal(average(ratioSum), 6, 2) +
                   "    " + FormatReal(average(genAllSum), 6, 2));
  Messages.ShowMessage("Your Report on file " + FileName);
  RepaintAt(ProgressBar, 1);
  report.Close();
}
