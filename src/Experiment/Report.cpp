#include "Experiment/Report.h"

namespace {
const char* const Hyphens = "----------------------------------------";

void WriteCommonHeader(TReportFile& Report, const TExperimentSettings& S) {
  const std::string title = ModeTitle(S.ReproductionType, S.RatesSelection);
  if (!title.empty()) Report.WriteLine(title);
  Report.WriteLine("PopSize: " + FormatInt(S.PopSize) +
                   " Number of Generations: " + FormatInt(S.Generations));
  Report.WriteLine("Fitness Elements: " + FormatInt(S.Elements) + " ZEL Blocks: " + FormatInt(S.Blocks));
  Report.WriteLine("PCrossover:" + FormatReal(S.PCrossover, 6, 5) +
                   " PMutation:" + FormatReal(S.PMutation, 6, 5) + " PNoise:" + FormatReal(S.PNoise, 6, 5));
  Report.WriteLine("");
  Report.WriteLine(Hyphens);
}
} // namespace

std::string ModeTitle(int ReproductionType, bool RatesSelection) {
  static const char* const stems[3] = {"Reproduction of ZELs alone", "Reproduction with GA with ZEL encoding",
                                       "Coexistence of Agents with both reproduction types"};
  if (ReproductionType < 0 || ReproductionType > 2) return {};
  return std::string(stems[ReproductionType]) + (RatesSelection ? " (Rates of Reproduction)" : " (Elite)");
}

std::string GenerationLine(const TGenerationRecord& R) {
  return FormatInt(R.Generation, 5) + FormatReal(R.AvgFitness, 8, 1) + FormatInt(R.GenFitMax, 7) +
         FormatInt(R.GenFitMin, 7) + FormatInt(R.MaxFitAll, 7) + "   " + FormatInt(R.GenotypeRatio) +
         "      " + FormatInt(R.Fitness) + "   " + R.BestText;
}

std::string RunLine(const TRunRecord& R) {
  return FormatInt(R.Run, 5) + FormatInt(R.MaxFitAll, 7) + "   " + FormatInt(R.GenotypeRatio) + "     " +
         FormatInt(R.GenAllGenotype) + "      " + FormatInt(R.Fitness) + "   " + R.BestText;
}

std::string AveragesLine(const TBatchOutcome& O) {
  return FormatReal(O.AvgFitness, 6, 2) + "   " + FormatReal(O.AvgGenotypeRatio, 6, 2) + "    " +
         FormatReal(O.AvgGenAllGenotype, 6, 2);
}

TRunReport::TRunReport(const std::string& FileName) : File(FileName) {}

void TRunReport::WriteHeader(const TExperimentSettings& Settings) {
  WriteCommonHeader(File, Settings);
  File.WriteLine(
      "Gen#   Average    GenFitMax    GenFitMin    MaxFitAll           GenotypeRatio     Fitness   "
      "GenBestZEL");
}

void TRunReport::WriteGeneration(const TGenerationRecord& Record) {
  File.WriteLine(GenerationLine(Record));
}

void TRunReport::WriteStopped(int Generation, int Generations) {
  File.WriteLine("Stopped after generation " + FormatInt(Generation) + " of " + FormatInt(Generations));
}

TBatchReport::TBatchReport(const std::string& FileName) : File(FileName) {}

void TBatchReport::WriteHeader(const TExperimentSettings& Settings) {
  File.WriteLine("Batch of " + FormatInt(BatchRunCount) + " runs.");
  WriteCommonHeader(File, Settings);
  File.WriteLine(std::string("Run# ") + "    Max Fitness" +
                 "        GenotypeRatio     Gen All Genetic     Fitness   BestZEL");
}

void TBatchReport::WriteRun(const TRunRecord& Record) {
  File.WriteLine(RunLine(Record));
}

void TBatchReport::WriteFooter(const TBatchOutcome& Outcome) {
  File.WriteLine("_________________");
  File.WriteLine("Batch Averages for a batch of " + FormatInt(Outcome.Runs));
  File.WriteLine("Fitness     Fraction w/ genotype      Gen with all Genotypes");
  File.WriteLine(AveragesLine(Outcome));
}

void TBatchReport::WriteStopped(int Runs) {
  File.WriteLine("Stopped after run " + FormatInt(Runs) + " of " + FormatInt(BatchRunCount));
}
