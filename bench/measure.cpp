// Order statistics, child processes and /proc reads.
#include "bench/measure.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>

extern char** environ;

namespace bench {
namespace {
double Ms(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_usec) / 1000;
}
}  // namespace

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Maximum(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

int RunProcess(const std::vector<std::string>& argv, const std::string& outputPath, double* cpuMs) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) {
        return -1;
    }
    if (cpuMs != nullptr) {
        *cpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
    }
    return WEXITSTATUS(status);
}

long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

namespace {
double CpuMs(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return Ms(usage.ru_utime) + Ms(usage.ru_stime);
}
}  // namespace

double ProcessCpuMs() {
    return CpuMs(RUSAGE_SELF);
}

double ThreadCpuMs() {
    return CpuMs(RUSAGE_THREAD);
}

int CountFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        count += name != "." && name != ".." ? 1 : 0;
    }
    ::closedir(dir);
    return count;
}

}  // namespace bench
