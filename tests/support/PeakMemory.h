// The peak working set of this process, for tests that bound what a step costs.
#pragma once
#include <windows.h>
#include <psapi.h>

#include <cstddef>

inline size_t PeakMemory() {
  PROCESS_MEMORY_COUNTERS pmc = {};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return pmc.PeakWorkingSetSize;
}
