// The environment a result file was made in: compiler, build, source commit,
// machine. It travels in every JSON file of the companion suite, so that two
// files can be told apart before they are compared.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Key and value pairs; a value that cannot be read is "unavailable".
std::vector<std::pair<std::string, std::string>> environment_context();

// What the counters beside the clock are, for the tools to read rather than
// know: "counters" lists each as key:label, in the table's order, and
// "n/a:KEY" says why one could not be counted on this machine.
std::vector<std::pair<std::string, std::string>> counters_context();

// The caches the first processor sees, as "L1d 32K, L1i 32K, L2 512K, L3
// 32768K" (the vendor's name of a processor, "AMD EPYC" on a VM, says nothing
// of them, and they decide where the figures bend), and where they were read:
// "sysfs", "glibc's sysconf (CPUID)", or sysfs with the levels it lacked
// from CPUID. sysfs_cache_dir is /sys/devices/system/cpu/cpu0/cache but in
// tests.
struct cache_list {
    std::string text;
    std::string source;
};
cache_list processor_caches(const std::string& sysfs_cache_dir);

// The bracketed choice of a sysfs setting such as "always [madvise] never",
// or the whole text when nothing is bracketed.
std::string selected_setting(const std::string& text);
