// What the benchmarks read of their own process: a field of /proc/self/status in KiB.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

// "VmRSS:" (resident now), "VmHWM:" (resident at the peak); -1 when the field is missing.
inline long StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::char_traits<char>::length(field));
    return -1;
}
