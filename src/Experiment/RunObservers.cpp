#include "Experiment/RunObservers.h"

#include "Experiment/ReportFormat.h"

TRunObserver TBestList::Observer() {
  TRunObserver o;
  o.Generation = [this](const TGenerationRecord& R) { FTexts.push_back(R.BestText); };
  o.Run = [this](const TRunRecord& R) { FTexts.push_back(R.BestText); };
  return o;
}

std::string TBestList::Text() const {
  std::string text;
  for (const std::string& entry : FTexts)
    text += entry + "\n";
  return text;
}

TRunObserver TSeries::Observer() {
  TRunObserver o;
  o.Generation = [this](const TGenerationRecord& R) {
    FPoints.push_back({R.Generation, static_cast<double>(R.Fitness), static_cast<double>(R.GenotypeRatio)});
  };
  o.Run = [this](const TRunRecord& R) {
    FPoints.push_back({R.Run - 1, static_cast<double>(R.Fitness), static_cast<double>(R.GenotypeRatio)});
  };
  return o;
}

std::string TSeries::Csv() const {
  std::string text = "x,MaxGen,w/ Genotype\n";
  for (const TPoint& p : FPoints)
    text += std::to_string(p.X) + "," + ShortestReal(p.MaxGen) + "," + ShortestReal(p.Genotype) + "\n";
  return text;
}
