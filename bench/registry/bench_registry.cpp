// Values set per second through RegSetValueExW under a private LUMETRA_ROOT:
// unchanged values (the settings block written again on every mouse move)
// and changed ones (each write a new commit), plus reads for comparison.
//
// usage: bench_registry [iterations]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "registry/registry.h"

namespace {

double PerSecond(int iterations, const std::function<bool(int)>& body) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) {
        if (!body(i)) {
            std::fprintf(stderr, "bench_registry: a registry call failed at iteration %d\n", i);
            std::exit(1);
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return iterations / elapsed.count();
}

void Print(const char* what, double per_second) {
    std::printf("%-34s %12.0f /s   %8.2f us each\n", what, per_second, 1e6 / per_second);
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 20000;
    char pattern[] = "/tmp/lumetra-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    setenv("LUMETRA_ROOT", root.c_str(), 1);

    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Zelmor\\Zelmor Lumetra\\3.1\\Settings", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "bench_registry: cannot create the key under %s\n", root.c_str());
        return 1;
    }
    std::vector<BYTE> placement(44, 0x5A);
    const auto set = [&](const char16_t* name, DWORD type, const std::vector<BYTE>& data) {
        return RegSetValueExW(key, name, 0, type, data.data(), DWORD(data.size())) == ERROR_SUCCESS;
    };
    set(u"Placement", REG_BINARY, placement);

    std::printf("registry, %d iterations per figure, store in %s\n", iterations, root.c_str());
    Print("set unchanged (44-byte binary)",
          PerSecond(iterations, [&](int) { return set(u"Placement", REG_BINARY, placement); }));
    Print("set changed (44-byte binary)", PerSecond(iterations, [&](int i) {
              placement[0] = BYTE(i);
              placement[1] = BYTE(i >> 8);
              return set(u"Placement", REG_BINARY, placement);
          }));
    std::vector<BYTE> node(1320);
    Print("set changed (1320-byte binary)", PerSecond(iterations, [&](int i) {
              node[0] = BYTE(i);
              node[1] = BYTE(i >> 8);
              return set(u"7.0", REG_BINARY, node);
          }));
    Print("query (44-byte binary)", PerSecond(iterations, [&](int) {
              BYTE buffer[64];
              DWORD size = sizeof buffer;
              return RegQueryValueExW(key, u"Placement", nullptr, nullptr, buffer, &size) == ERROR_SUCCESS;
          }));
    RegCloseKey(key);
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
