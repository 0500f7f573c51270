// A user's own data as one more pattern: the values of one element type,
// read from a file, cut into arrays of the suite's sizes. Array k of a batch
// at size n is the file's (k mod m)-th run of n values, m being how many
// whole runs of n the file holds, so that a file written from a pattern's
// arrays (write_pattern) gives that pattern's arrays back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/elements.hpp"
#include "inputs/patterns.hpp"

// A file that cannot be read as data: its message is the one line to show,
// with the file and the line or byte where it went wrong.
struct input_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class user_data {
public:
    user_data(const user_data&) = delete;
    user_data& operator=(const user_data&) = delete;

    const std::string& path() const { return path_; }
    const std::string& type() const { return type_; }
    // Whether its values are of type T: the type found once, by name, when
    // the file was read, and carried since (the data is never empty).
    template <class T>
    bool holds() const
    {
        return !values<T>().empty();
    }
    // Calls f(T{}) for the type it holds, and touches the data no more
    // after f, which may take the data away.
    template <class F>
    void visit(F&& f) const
    {
        bool done = false;
        for_each_type([&]<class T>(T) {
            if (done || !holds<T>()) return;
            done = true;
            f(T{});
        });
    }
    // The pattern it is: named after the file, capped for the routines that
    // go quadratic on runs of equal values where its runs are long enough
    // to cost more than the sort.
    const pattern_info& pattern() const { return info_; }
    std::size_t count() const { return count_; }
    const std::vector<std::uint32_t>& sizes() const { return sizes_; }
    // Whether the sizes were asked for, rather than the suite's defaults.
    bool sizes_given() const { return sizes_given_; }

    template <class T>
    const std::vector<T>& values() const
    {
        return std::get<std::vector<T>>(values_);
    }

    // Array k of n elements, as above; T is the data's type.
    template <class T>
    void fill(std::span<T> out, std::size_t k) const
    {
        const std::vector<T>& all = values<T>();
        const std::size_t runs = all.size() / out.size();
        std::copy_n(all.begin() + static_cast<std::ptrdiff_t>((k % runs) * out.size()), out.size(), out.begin());
    }

    // The runs first .. first + count - 1 of n values, as data of their own
    // cut into arrays of n, under the same name. A string file's records
    // point into this data's bytes, which must outlive the share.
    std::unique_ptr<user_data> share(std::uint32_t n, std::size_t first, std::size_t count) const;

    friend std::unique_ptr<user_data> read_user_data(const std::string&, std::string_view, bool,
                                                     std::vector<std::uint32_t>, std::uint64_t);

private:
    user_data() = default;

    std::string path_, name_, type_;
    pattern_info info_{pattern::from_file, {}, 0};
    std::size_t count_ = 0;
    std::vector<std::uint32_t> sizes_;
    bool sizes_given_ = false;
    per_type<std::vector> values_;
    std::string bytes_;  // a string file's contents, which its records point into
};

// Memory the system could give this process now (MemAvailable), in bytes.
std::uint64_t available_memory();

// Reads `path` as values of the element type named `type`: raw
// little-endian binary records, or with `as_text` one value per line (decimal
// numbers, or for "string", which is always text, the line itself). Cut into
// arrays of `sizes`, or of the suite's sizes up to the file's length when it
// is empty; the whole file as one array when it is shorter than them all.
// Throws input_error for an empty file, a truncated record, a line that is
// not a number of the type, a NaN, a size beyond the file, a name a built-in
// pattern has, or data that would not fit in `memory` bytes.
std::unique_ptr<user_data> read_user_data(const std::string& path, std::string_view type, bool as_text,
                                          std::vector<std::uint32_t> sizes = {},
                                          std::uint64_t memory = available_memory());

// Writes `arrays` arrays of pattern p at n elements of type T, array k with
// seed k + 1 as the suite makes them: binary records, or lines for strings.
template <class T>
void write_pattern(std::FILE* out, pattern p, std::uint32_t n, std::size_t arrays)
{
    std::vector<T> a(n);
    for (std::size_t k = 0; k < arrays; ++k) {
        fill_elements(p, std::span(a), static_cast<std::uint32_t>(k + 1));
        if constexpr (std::is_same_v<T, text> || std::is_same_v<T, url>) {
            for (const T& s : a) {
                std::fwrite(s.bytes, 1, s.length, out);
                std::fputc('\n', out);
            }
        } else {
            std::fwrite(a.data(), sizeof(T), a.size(), out);
        }
    }
}

// The elements of array k at n for pattern `p`: the pattern made with seed
// k + 1, or the user's data where p is theirs.
template <class T>
void fill_case(const pattern_info& p, const user_data* data, std::span<T> out, std::size_t k)
{
    if (p.p == pattern::from_file) {
        data->fill(out, k);
    } else {
        fill_elements(p.p, out, static_cast<std::uint32_t>(k + 1));
    }
}
