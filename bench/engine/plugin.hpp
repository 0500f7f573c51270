// Contenders from shared libraries (include/sortbench/contender.h), loaded
// with dlopen into this process.
#pragma once

#include <memory>
#include <string>

#include "bench/engine/contenders.hpp"

// The library's functions for one element type.
template <class T>
struct library_functions {
    void (*sort)(T*, std::size_t) = nullptr;
    void (*sort_by)(T*, std::size_t, int (*)(const T*, const T*)) = nullptr;
};

// A contender library, loaded for as long as this object lives.
class contender_library {
public:
    // Loads the library given as PATH, or as NAME=PATH to name it NAME
    // whatever it calls itself, so that two builds of one sort can load side
    // by side. Throws std::runtime_error with one line naming the path and
    // the cause when it cannot be loaded, exports no sortbench_sort_*
    // function, or has a name of other than letters, digits, '_' and '-'.
    explicit contender_library(const std::string& spec);
    ~contender_library();
    contender_library(const contender_library&) = delete;
    contender_library& operator=(const contender_library&) = delete;

    const std::string& path() const { return path_; }
    // As given, else from its sortbench_name(), else from its file name.
    const std::string& name() const { return name_; }

    // Its sorts as a contender, calling into this object.
    contender as_contender();

private:
    std::string path_;
    std::string name_;
    std::string claims_;
    void* handle_ = nullptr;
    per_type<library_functions> functions_;
};
