#pragma once
// Population files: a frozen population (TExperiment::Freeze) with everything needed to
// continue it exactly.

#include "Experiment/Experiment.h"

#include <string>

inline constexpr const char* PopulationFileKind = "population file";
inline constexpr const char* PopulationFormat = "zelworld population";
inline constexpr int PopulationFileVersion = 1;

std::string PopulationText(const TFrozenPopulation& Frozen);
// Reads the text of a population file; FileName only names it in errors (TFileError). The
// population must fit its settings: the number of agents, chromosomes of 18 bits per block,
// programs of as many blocks, genotype programs that decode from their chromosomes,
// statistics that agree with the agents.
TFrozenPopulation ReadPopulationText(const std::string& Text, const std::string& FileName = "(text)");
TFrozenPopulation LoadPopulationFile(const std::string& FileName);
void SavePopulationFile(const std::string& FileName, const TFrozenPopulation& Frozen);
