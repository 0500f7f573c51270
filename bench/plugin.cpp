#include "plugin.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "sorts/counting.hpp"

namespace {

// The library's functions for one element type; C is the type as the
// interface names it (the suite's own types are the same records).
template <class T>
struct loaded_functions {
    void (*sort)(T*, std::size_t) = nullptr;
    void (*sort_by)(T*, std::size_t, int (*)(const T*, const T*)) = nullptr;
};

template <class T>
std::array<loaded_functions<T>, max_loaded_contenders> loaded;

// Fixed entry points in the suite's shapes, one per slot and type, that call
// the library's functions with their own types.
template <class T, std::size_t Slot>
void sort_slot(T* a, std::uint32_t n)
{
    loaded<T>[Slot].sort(a, n);
}

// Counts the calls of the comparison a library sorts by.
template <class T>
int counting_less(const T* x, const T* y)
{
    ++sorts::tally_now.comparisons;
    return *x < *y;
}

template <class T, std::size_t Slot>
sorts::op_counts count_slot(T* a, std::uint32_t n)
{
    sorts::tally_now = {};
    loaded<T>[Slot].sort_by(a, n, counting_less<T>);
    return {sorts::tally_now.comparisons, not_counted};
}

template <class T, std::size_t... Slots>
constexpr auto sort_slots(std::index_sequence<Slots...>)
{
    return std::array<sort_fn<T>*, sizeof...(Slots)>{sort_slot<T, Slots>...};
}

template <class T, std::size_t... Slots>
constexpr auto count_slots(std::index_sequence<Slots...>)
{
    return std::array<count_fn<T>*, sizeof...(Slots)>{count_slot<T, Slots>...};
}

// The interface's name for each type the libraries may sort.
template <class T>
constexpr const char* interface_name = nullptr;
template <>
constexpr const char* interface_name<std::int32_t> = "int32";
template <>
constexpr const char* interface_name<std::int64_t> = "int64";
template <>
constexpr const char* interface_name<double> = "double";
template <>
constexpr const char* interface_name<kv16> = "kv16";

std::size_t used_slots = 0;

bool usable_name(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '-';
    });
}

std::string default_name(const std::string& path)
{
    std::string name = std::filesystem::path(path).filename().string();
    if (name.rfind("lib", 0) == 0) name.erase(0, 3);
    return name.substr(0, name.find('.'));
}

}  // namespace

contender load_contender(const std::string& path, const std::vector<contender>& taken)
{
    const auto fail = [&](const std::string& why) { return std::runtime_error(path + ": " + why); };
    if (used_slots == max_loaded_contenders) {
        throw fail("more than " + std::to_string(max_loaded_contenders) + " contender libraries");
    }
    // A path without a slash would be searched for on the library path.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // dlerror() names the file itself, mostly.
        const char* why = dlerror();
        const std::string cause = why ? why : "cannot be loaded";
        throw std::runtime_error(cause.rfind(where + ": ", 0) == 0 ? path + cause.substr(where.size())
                                                                   : path + ": " + cause);
    }
    const std::size_t slot = used_slots;
    contender c;
    auto* name_of = reinterpret_cast<const char* (*)()>(dlsym(handle, "sortbench_name"));
    c.id = name_of != nullptr && name_of() != nullptr ? name_of() : default_name(path);
    if (!usable_name(c.id)) {
        dlclose(handle);
        throw fail("the name '" + c.id + "' is not letters, digits, '_' and '-'");
    }
    if (std::any_of(taken.begin(), taken.end(), [&](const contender& t) { return t.id == c.id; })) {
        dlclose(handle);
        throw fail("the name '" + c.id + "' is taken by another contender");
    }
    bool any = false;
    auto bind = [&]<class T>(T) {
        if constexpr (interface_name<T> != nullptr) {
            const std::string type = interface_name<T>;
            loaded_functions<T>& f = loaded<T>[slot];
            f.sort = reinterpret_cast<decltype(f.sort)>(dlsym(handle, ("sortbench_sort_" + type).c_str()));
            f.sort_by = reinterpret_cast<decltype(f.sort_by)>(dlsym(handle, ("sortbench_sort_by_" + type).c_str()));
            constexpr auto slots = std::make_index_sequence<max_loaded_contenders>{};
            typed_sort<T>& t = std::get<typed_sort<T>>(c.typed);
            if (f.sort != nullptr) {
                t.sort = sort_slots<T>(slots)[slot];
                any = true;
                if (f.sort_by != nullptr) t.count = count_slots<T>(slots)[slot];
            }
        }
    };
    for_each_type(bind);
    if (!any) {
        dlclose(handle);
        throw fail("exports no sortbench_sort_* function");
    }
    ++used_slots;  // the library stays loaded for the life of the process
    return c;
}

std::vector<contender> contenders_with(const std::vector<std::string>& paths)
{
    std::vector<contender> all = contenders();
    for (const std::string& path : paths) {
        all.push_back(load_contender(path, all));
    }
    return all;
}
