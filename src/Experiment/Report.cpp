#include "Experiment/Report.h"

#include <vector>

namespace {
const char* const Hyphens = "----------------------------------------";

void AppendCommonHeader(std::vector<std::string>& Lines, const TExperimentSettings& S) {
  Lines.insert(Lines.end(),
               {ModeTitle(S.Reproduction, S.RatesSelection),
                "PopSize: " + FormatInt(S.PopSize) + " Number of Generations: " + FormatInt(S.Generations),
                "Fitness Elements: " + FormatInt(S.Elements) + " ZEL Blocks: " + FormatInt(S.Blocks),
                "PCrossover:" + FormatReal(S.PCrossover, 6, 5) +
                    " PMutation:" + FormatReal(S.PMutation, 6, 5) + " PNoise:" + FormatReal(S.PNoise, 6, 5),
                "", Hyphens});
}
} // namespace

std::string ModeTitle(TReproduction Reproduction, bool RatesSelection) {
  static const char* const stems[3] = {"Reproduction of ZELs alone", "Reproduction with GA with ZEL encoding",
                                       "Coexistence of Agents with both reproduction types"};
  return std::string(stems[static_cast<std::size_t>(Reproduction)]) +
         (RatesSelection ? " (Rates of Reproduction)" : " (Elite)");
}

std::string GenerationLine(const TGenerationRecord& R) {
  // Built in place: one line a generation, and the whole of it known.
  std::string line;
  line.reserve(64 + R.BestText.size());
  line.append(FormatInt(R.Generation, 5))
      .append(FormatReal(R.AvgFitness, 8, 1))
      .append(FormatInt(R.GenFitMax, 7))
      .append(FormatInt(R.GenFitMin, 7))
      .append(FormatInt(R.MaxFitAll, 7))
      .append("   ")
      .append(FormatInt(R.GenotypeRatio))
      .append("      ")
      .append(FormatInt(R.Fitness))
      .append("   ")
      .append(R.BestText);
  return line;
}

std::string RunLine(const TRunRecord& R) {
  return FormatInt(R.Run, 5) + FormatInt(R.MaxFitAll, 7) + "   " + FormatInt(R.GenotypeRatio) + "     " +
         FormatInt(R.GenAllGenotype) + "      " + FormatInt(R.Fitness) + "   " + R.BestText;
}

std::string AveragesLine(const TBatchOutcome& O) {
  return FormatReal(O.AvgFitness, 6, 2) + "   " + FormatReal(O.AvgGenotypeRatio, 6, 2) + "    " +
         FormatReal(O.AvgGenAllGenotype, 6, 2);
}

std::string ReportClosingMessage(const std::string& FileName) {
  return "Your Report on file " + FileName;
}

TReportWriter::TReportWriter(const std::string& FileName) : File(FileName) {}

TReportWriter::TReportWriter(TReportFile&& Claimed) : File(std::move(Claimed)) {}

TRunObserver TReportWriter::Observer() {
  return {[this](const TRunStart& S) { WriteHeader(S); },
          [this](const TGenerationRecord& R) { File.WriteLine(GenerationLine(R)); },
          [this](const TRunRecord& R) { File.WriteLine(RunLine(R)); },
          [this](const TRunEnd& E) { WriteEnd(E); }};
}

void TReportWriter::WriteHeader(const TRunStart& Start) {
  std::vector<std::string> lines;
  if (Start.Batch) lines.push_back("Batch of " + FormatInt(BatchRunCount) + " runs.");
  AppendCommonHeader(lines, Start.Settings);
  lines.push_back(Start.Batch
                      ? std::string("Run# ") + "    Max Fitness" +
                            "        GenotypeRatio     Gen All Genetic     Fitness   BestZEL"
                      : "Gen#   Average    GenFitMax    GenFitMin    MaxFitAll           GenotypeRatio     "
                        "Fitness   GenBestZEL");
  File.WriteLines(lines);
}

void TReportWriter::WriteEnd(const TRunEnd& End) {
  if (End.Batch) {
    File.WriteLines({"_________________", "Batch Averages for a batch of " + FormatInt(End.Batch->Runs),
                     "Fitness     Fraction w/ genotype      Gen with all Genotypes",
                     AveragesLine(*End.Batch)});
  }
  if (!End.StopLine.empty()) File.WriteLine(End.StopLine);
  File.Close();
}
