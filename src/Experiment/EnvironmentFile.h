#pragma once
// Environment files: {"degrees": [...]}, integers 0..100, as `environment --json` writes
// them. The number of degrees is the number of elements.

#include "FuzzySet/FuzzySet.h"

#include <string>

inline constexpr const char* EnvironmentFileKind = "environment file";

// Reads the text of an environment file; FileName only names it in errors (TFileError).
TFuzzySet ReadEnvironmentText(const std::string& Text, const std::string& FileName = "(text)");
TFuzzySet LoadEnvironmentFile(const std::string& FileName);
// {"degrees": [...]} and a line end.
std::string EnvironmentText(const TFuzzySet& Environment);
void SaveEnvironmentFile(const std::string& FileName, const TFuzzySet& Environment);
