#include "context.hpp"

#include <fstream>
#include <sstream>

#include "build_info.hpp"
#include "contenders.hpp"

namespace {

std::string first_line(const char* path)
{
    std::ifstream in(path);
    std::string line;
    return std::getline(in, line) && !line.empty() ? line : "unavailable";
}

std::string cpu_model()
{
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos && colon + 2 <= line.size()) {
                return line.substr(colon + 2);
            }
        }
    }
    return "unavailable";
}

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
    return {
        {"suite_version", SORTBENCH_VERSION},
        {"compiler", compiler()},
        {"build_type", SORTBENCH_BUILD_TYPE},
        {"build_flags", SORTBENCH_CXX_FLAGS},
        {"git_commit", SORTBENCH_GIT_COMMIT},
        {"git_dirty", SORTBENCH_GIT_DIRTY},
        {"cpu_model", cpu_model()},
        {"transparent_huge_pages", thp == "unavailable" ? thp : selected_setting(thp)},
        {"cpu_governor", first_line("/sys/devices/system/cpu/cpu0/cpufreq/scaling_governor")},
        {"vqsort_target", vqsort_target()},
        {"pattern_seeds", "array k of a batch (k = 0, 1, ...) is made by std::mt19937 seeded with k + 1"},
        {"cold", "each /cold batch is copied into place with non-temporal stores, so no cache holds it"},
    };
}

std::string json_escaped(const std::string& text)
{
    std::string out;
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') out += '\\';
        if (static_cast<unsigned char>(ch) < 0x20) continue;
        out += ch;
    }
    return out;
}
