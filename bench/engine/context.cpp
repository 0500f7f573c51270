#include "context.hpp"

#include <gnu/libc-version.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <boost/version.hpp>
#include <oneapi/tbb/version.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "build_info.hpp"
#include "batch.hpp"
#include "contenders.hpp"

namespace {

std::string kernel_release()
{
    utsname u{};
    return uname(&u) == 0 ? std::string(u.release) : std::string("unknown");
}

std::string first_line(const char* path)
{
    std::ifstream in(path);
    std::string line;
    return std::getline(in, line) && !line.empty() ? line : "unavailable";
}

// A field of the first processor in /proc/cpuinfo, by its exact name: "model"
// and "model name" are two fields.
std::string cpuinfo(std::string_view field)
{
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line) && !line.empty();) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string_view key(line.data(), colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
        if (key != field) continue;
        const std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
        return value.empty() ? "unavailable" : value;
    }
    return "unavailable";
}

// A size in bytes as sysfs writes it: "48K".
std::string kib(long bytes)
{
    return std::to_string(bytes / 1024) + "K";
}

}  // namespace

cache_list processor_caches(const std::string& sysfs_cache_dir)
{
    cache_list out;
    std::vector<std::string> from_sysfs;
    for (int i = 0;; ++i) {
        const std::string dir = sysfs_cache_dir + "/index" + std::to_string(i) + "/";
        const std::string level = first_line((dir + "level").c_str());
        if (level == "unavailable") break;
        const std::string type = first_line((dir + "type").c_str());
        const std::string suffix = type == "Data" ? "d" : type == "Instruction" ? "i" : "";
        if (!out.text.empty()) out.text += ", ";
        out.text += "L" + level + suffix + " " + first_line((dir + "size").c_str());
        from_sysfs.push_back("L" + level + suffix);
    }
    // A VM may list no caches in sysfs, or leave a level out. glibc reads
    // them from CPUID instead; on some VMs that disagrees with sysfs (a
    // whole socket's L3 where sysfs gives the guest's share), so each figure
    // says where it came from.
    const std::pair<const char*, int> levels[] = {{"L1d", _SC_LEVEL1_DCACHE_SIZE},
                                                  {"L1i", _SC_LEVEL1_ICACHE_SIZE},
                                                  {"L2", _SC_LEVEL2_CACHE_SIZE},
                                                  {"L3", _SC_LEVEL3_CACHE_SIZE},
                                                  {"L4", _SC_LEVEL4_CACHE_SIZE}};
    std::string from_cpuid;
    for (const auto& [name, key] : levels) {
        if (std::find(from_sysfs.begin(), from_sysfs.end(), name) != from_sysfs.end()) continue;
        const long bytes = sysconf(key);
        if (bytes <= 0) continue;
        if (!out.text.empty()) out.text += ", ";
        out.text += std::string(name) + " " + kib(bytes);
        if (!from_cpuid.empty()) from_cpuid += ", ";
        from_cpuid += name;
    }
    constexpr const char* cpuid = "glibc's sysconf (CPUID)";
    if (out.text.empty()) {
        out.text = out.source = "unavailable";
    } else if (from_cpuid.empty()) {
        out.source = "sysfs";
    } else if (from_sysfs.empty()) {
        out.source = cpuid;
    } else {
        out.source = "sysfs; " + from_cpuid + " from " + cpuid;
    }
    return out;
}

namespace {

std::string compiler()
{
#if defined(__clang__)
    return std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
    return std::string("GCC ") + __VERSION__;
#else
    return "unknown";
#endif
}

}  // namespace

std::string selected_setting(const std::string& text)
{
    const auto open = text.find('[');
    const auto close = text.find(']', open);
    if (open == std::string::npos || close == std::string::npos) {
        return text;
    }
    return text.substr(open + 1, close - open - 1);
}

std::vector<std::pair<std::string, std::string>> environment_context()
{
    const std::string thp = first_line("/sys/kernel/mm/transparent_hugepage/enabled");
    const cache_list caches = processor_caches("/sys/devices/system/cpu/cpu0/cache");
    return {
        {"suite_version", SORTBENCH_VERSION},
        {"compiler", compiler()},
        {"build_type", SORTBENCH_BUILD_TYPE},
        {"build_flags", SORTBENCH_CXX_FLAGS},
        {"git_commit", SORTBENCH_GIT_COMMIT},
        {"git_dirty", SORTBENCH_GIT_DIRTY},
        {"cpu_model", cpuinfo("model name")},
        {"cpu_vendor", cpuinfo("vendor_id")},
        {"cpu_family", cpuinfo("cpu family")},
        {"cpu_model_number", cpuinfo("model")},
        {"cpu_stepping", cpuinfo("stepping")},
        {"cpu_microcode", cpuinfo("microcode")},
        {"cpu_caches", caches.text},
        {"cpu_caches_source", caches.source},
        {"transparent_huge_pages", thp == "unavailable" ? thp : selected_setting(thp)},
        {"cpu_governor", first_line("/sys/devices/system/cpu/cpu0/cpufreq/scaling_governor")},
        {"vqsort_target", vqsort_target()},
        // What a result's history must not mix: the kernel, the C library
        // and the libraries the anchors were built against.
        {"kernel", kernel_release()},
        {"glibc", gnu_get_libc_version()},
        {"highway_version", highway_version()},
        {"boost_version", BOOST_LIB_VERSION},
        {"onetbb_version", TBB_VERSION_STRING},
        {"pattern_seeds", "array k of a batch (k = 0, 1, ...) is made by std::mt19937 seeded with k + 1"},
        {"cold", "each /cold batch is copied into place with non-temporal stores, so no cache holds it"},
    };
}

std::vector<std::pair<std::string, std::string>> counters_context()
{
    std::string listed;
    std::vector<std::pair<std::string, std::string>> missing;
    for (const call_counter& c : call_counters) {
        if (!listed.empty()) listed += ",";
        listed.append(c.key).append(":").append(c.label);
        if (const std::string why = c.missing(); !why.empty()) missing.emplace_back("n/a:" + std::string(c.key), why);
    }
    std::vector<std::pair<std::string, std::string>> out{{"counters", listed}};
    out.insert(out.end(), missing.begin(), missing.end());
    return out;
}
