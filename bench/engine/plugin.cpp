#include "plugin.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "inputs/elements.hpp"
#include "sorts/counting.hpp"

namespace {

// The library's functions take a size_t count; the suite's shape has a
// 32-bit one. These call them with their own types, the library's
// functions of T being the state.
template <class T>
void library_sort(void* functions, T* a, std::uint32_t n)
{
    static_cast<const library_functions<T>*>(functions)->sort(a, n);
}

// Counts the calls of the comparison a library sorts by.
template <class T>
int counting_less(const T* x, const T* y)
{
    return sorts::counted_less(*x, *y);
}

template <class T>
sorts::op_counts library_count(void* functions, T* a, std::uint32_t n)
{
    sorts::tally_now = {};
    static_cast<const library_functions<T>*>(functions)->sort_by(a, n, counting_less<T>);
    return {sorts::tally_now.comparisons, not_counted};
}

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

contender_library::contender_library(const std::string& spec)
{
    // NAME=PATH when what comes before the first '=' is a usable name; a
    // path may hold an '=' too, but not as a name's only company.
    const auto equals = spec.find('=');
    const bool named = equals != std::string::npos && usable_name(spec.substr(0, equals));
    path_ = named ? spec.substr(equals + 1) : spec;
    const std::string& path = path_;
    const auto fail = [&](const std::string& why) { return std::runtime_error(path + ": " + why); };
    // A path without a slash would be searched for on the library path.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        // dlerror() names the file itself, mostly.
        const char* why = dlerror();
        const std::string cause = why ? why : "cannot be loaded";
        throw std::runtime_error(cause.rfind(where + ": ", 0) == 0 ? path + cause.substr(where.size())
                                                                   : path + ": " + cause);
    }
    // From here on a failure must close the library again.
    std::unique_ptr<void, int (*)(void*)> guard(handle_, dlclose);
    auto* name_of = reinterpret_cast<const char* (*)()>(dlsym(handle_, "sortbench_name"));
    name_ = named                                      ? spec.substr(0, equals)
            : name_of != nullptr && name_of() != nullptr ? name_of()
                                                         : default_name(path);
    if (!usable_name(name_)) {
        throw fail("the name '" + name_ + "' is not letters, digits, '_' and '-'");
    }
    // Optional: what its authors claim of its comparisons' growth.
    if (auto* claims = reinterpret_cast<const char* (*)()>(dlsym(handle_, "sortbench_claims"))) {
        if (const char* text = claims()) claims_ = text;
    }
    bool any = false;
    for_each_type([&]<class T>(T) {
        // The interface names each function after its type: sortbench_sort_int32 and so on.
        const std::string type(element_traits<T>::name);
        library_functions<T>& f = std::get<library_functions<T>>(functions_);
        f.sort = reinterpret_cast<decltype(f.sort)>(dlsym(handle_, ("sortbench_sort_" + type).c_str()));
        f.sort_by = reinterpret_cast<decltype(f.sort_by)>(dlsym(handle_, ("sortbench_sort_by_" + type).c_str()));
        any = any || f.sort != nullptr;
    });
    if (!any) {
        throw fail("exports no sortbench_sort_* function");
    }
    guard.release();
}

contender_library::~contender_library()
{
    dlclose(handle_);
}

contender contender_library::as_contender()
{
    contender c{name_, compares_through_c, {}, {}};
    c.claims = claims_;
    for_each_type([&]<class T>(T) {
        library_functions<T>& f = std::get<library_functions<T>>(functions_);
        if (f.sort == nullptr) return;
        c.forms.of<T>().sort = sort_ref<T>(library_sort<T>, &f);
        if (f.sort_by != nullptr) c.forms.of<T>().count = count_ref<T>(library_count<T>, &f);
    });
    return c;
}
