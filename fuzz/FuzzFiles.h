// Files for the fuzz targets: each process writes its inputs to fixed
// temporary paths of its own.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace qvxfuzz {

inline std::string TempPath(const char* suffix) {
    return "/tmp/qvxfuzz-" + std::to_string(getpid()) + suffix;
}

inline bool WriteBytes(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

}  // namespace qvxfuzz
