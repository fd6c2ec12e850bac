// Small measuring tools of the pipeline benchmark: the clock, order
// statistics, child processes and the peak memory of a process.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double MillisBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The value below which the share q (0..1) of the values lie, by nearest rank.
double Quantile(std::vector<double> values, double q);
inline double Median(std::vector<double> values) {
    return Quantile(std::move(values), 0.5);
}
double Maximum(const std::vector<double>& values);

// Runs argv[0] (looked up in PATH) with argv, stdout to outputPath (or left as
// it is when empty), and waits. The exit status, or -1 when it could not run;
// cpuMs, when given, receives the child's CPU time (user + system).
int RunProcess(const std::vector<std::string>& argv, const std::string& outputPath = {},
               double* cpuMs = nullptr);

// Peak resident set of this process in kB (VmHWM), 0 when unknown.
long PeakResidentKb();

// CPU time (user + system) in ms of this process, and of the calling thread.
double ProcessCpuMs();
double ThreadCpuMs();

// Number of entries in a folder (not counting . and ..).
int CountFiles(const std::string& folder);

}  // namespace bench
