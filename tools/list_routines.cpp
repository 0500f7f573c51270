// Writes the routine registry as JSON, for the scripts in tools/: the build
// runs it and leaves routines.json beside the binaries.
#include <cstdio>

#include "sorts/registry.hpp"

int main()
{
    // Ids and labels are plain ASCII without quotes or backslashes.
    std::puts("[");
    for (std::size_t i = 0; i < routines.size(); ++i) {
        const routine_info& r = routines[i];
        std::printf("  {\"id\": \"%s\", \"label\": \"%s\", \"traits\": [", r.id, r.label);
        const char* sep = "";
        for (const auto& t : routine_trait_names) {
            if (r.traits & t.bit) {
                std::printf("%s\"%s\"", sep, t.name);
                sep = ", ";
            }
        }
        std::printf("]}%s\n", i + 1 < routines.size() ? "," : "");
    }
    std::puts("]");
    return std::fflush(stdout) == 0 ? 0 : 1;
}
