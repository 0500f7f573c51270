// Writes the routine registry for the scripts in tools/, one routine a line:
// id, label and traits (comma-separated), separated by tabs. The build runs
// it and leaves routines.tsv beside the binaries. Labels keep their padding.
#include <cstdio>

#include "sorts/registry.hpp"

int main()
{
    for (const routine_info& r : routines) {
        std::printf("%s\t%s\t", r.id, r.label);
        const char* sep = "";
        for (const auto& t : routine_trait_names) {
            if (r.traits & t.bit) {
                std::printf("%s%s", sep, t.name);
                sep = ",";
            }
        }
        std::printf("\n");
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
