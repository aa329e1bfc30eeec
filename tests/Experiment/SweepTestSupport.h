#pragma once
// Shared by the sweep tests: the message of what a call throws, and the header of a plan.

#include <exception>
#include <functional>
#include <string>

// The message of the exception F throws, or "(nothing thrown)".
inline std::string ThrownBy(const std::function<void()>& F) {
  try {
    F();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

inline const std::string Header = "run_id,condition,seed,pop-size,generations,elements,blocks,reproduction,"
                                  "random-environment,rates-selection,p-crossover,p-mutation,p-noise\n";
