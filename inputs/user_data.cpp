#include "user_data.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <type_traits>

#include "inputs/sizes.hpp"

namespace {

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw input_error(path + ": " + std::strerror(errno));
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The pattern's name: the file's name without its extension, in the
// characters a benchmark name keeps.
std::string pattern_name_of(const std::string& path)
{
    std::string name = std::filesystem::path(path).stem().string();
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_' && ch != '-') ch = '_';
    }
    return name.empty() ? "file" : name;
}

template <class T>
bool is_nan(const T& v)
{
    if constexpr (std::is_same_v<T, double>) {
        return std::isnan(v);
    } else {
        return false;
    }
}

template <class T>
std::vector<T> read_binary(const std::string& path, const std::string& bytes)
{
    if (bytes.size() % sizeof(T) != 0) {
        const std::size_t last = bytes.size() - bytes.size() % sizeof(T);
        throw input_error(path + ": byte " + std::to_string(last) + ": a truncated record (" +
                          std::to_string(bytes.size() - last) + " of " + std::to_string(sizeof(T)) + " bytes)");
    }
    std::vector<T> values(bytes.size() / sizeof(T));
    std::memcpy(values.data(), bytes.data(), bytes.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (is_nan(values[i])) throw input_error(path + ": byte " + std::to_string(i * sizeof(T)) + ": a NaN");
    }
    return values;
}

// Calls line(text, number) for each line, without its end of line; a last
// line without one counts, an empty tail after the last newline does not.
template <class F>
void for_each_line(const std::string& bytes, F line)
{
    std::size_t start = 0, number = 1;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r') --stop;
        line(std::string_view(bytes).substr(start, stop - start), number++);
        start = end + 1;
    }
}

template <class T>
std::vector<T> read_numbers(const std::string& path, const std::string& bytes, std::string_view type)
{
    std::vector<T> values;
    for_each_line(bytes, [&](std::string_view line, std::size_t number) {
        const auto first = line.find_first_not_of(" \t");
        const auto last = line.find_last_not_of(" \t");
        const std::string_view token = first == std::string_view::npos ? "" : line.substr(first, last - first + 1);
        T v{};
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), v);
        const auto where = path + ": line " + std::to_string(number) + ": ";
        if (error != std::errc{} || end != token.data() + token.size() || token.empty()) {
            throw input_error(where + "not a number of type " + std::string(type) + ": '" + std::string(token) + "'");
        }
        if (is_nan(v)) throw input_error(where + "a NaN");
        values.push_back(v);
    });
    return values;
}

}  // namespace

std::uint64_t available_memory()
{
    std::ifstream in("/proc/meminfo");
    for (std::string key; in >> key;) {
        std::uint64_t kib = 0;
        in >> kib;
        if (key == "MemAvailable:") return kib * 1024;
        in.ignore(256, '\n');
    }
    return UINT64_MAX;
}

std::unique_ptr<user_data> read_user_data(const std::string& path, std::string_view type, bool as_text,
                                          std::vector<std::uint32_t> sizes, std::uint64_t memory)
{
    std::unique_ptr<user_data> data(new user_data);
    data->path_ = path;
    data->type_ = type;
    data->name_ = pattern_name_of(path);
    if (pattern_named(data->name_) != nullptr) {
        throw input_error(path + ": its name '" + data->name_ + "' is a built-in pattern's; rename the file");
    }
    std::error_code ec;
    const auto file_size = std::filesystem::file_size(path, ec);
    if (ec) throw input_error(path + ": " + ec.message());
    if (file_size == 0) throw input_error(path + ": empty");
    const bool known = visit_type(type, [&]<class T>(T) {
        // The values, then for the largest size its input, expected and
        // work copies: four times the data, and a string file's bytes.
        const std::uint64_t needed = 4 * (file_size / (as_text ? 2 : sizeof(T))) * sizeof(T) + file_size;
        if (needed > memory) {
            throw input_error(path + ": " + std::to_string(file_size >> 20) + " MiB of data needs about " +
                              std::to_string(needed >> 20) + " MiB, more than the " + std::to_string(memory >> 20) +
                              " MiB of memory available");
        }
        std::vector<T>& values = std::get<std::vector<T>>(data->values_);
        if constexpr (std::is_same_v<T, text> || std::is_same_v<T, url>) {
            data->bytes_ = read_file(path);
            for_each_line(data->bytes_, [&](std::string_view line, std::size_t) {
                values.push_back({line.data(), line.size()});
            });
        } else if (as_text) {
            if constexpr (std::is_arithmetic_v<T>) {
                values = read_numbers<T>(path, read_file(path), type);
            } else {
                throw input_error(path + ": " + std::string(type) + " files are binary records, not text");
            }
        } else {
            values = read_binary<T>(path, read_file(path));
        }
        data->count_ = values.size();
        std::vector<T> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        // A quicksort that goes quadratic on equal keys spends about m*m/2
        // comparisons on a run of m equal values, against some n*log2(n) on
        // the rest: the data repeats values, for the routines capped on such
        // data, where its runs would at least double that. A few equal pairs
        // among a million random values do not. Its recursion is as deep as
        // the run is long, so a run longer than those routines ever sort
        // counts too, however large the file.
        double squares = 0;
        std::size_t longest = 0;
        for (auto run = sorted.begin(); run != sorted.end();) {
            const auto end = std::find_if(run, sorted.end(), [&](const T& x) { return *run < x; });
            const auto m = static_cast<std::size_t>(end - run);
            squares += static_cast<double>(m) * static_cast<double>(m);
            longest = std::max(longest, m);
            run = end;
        }
        const auto n = static_cast<double>(sorted.size());
        const bool repeats =
            squares / 2 > n * (std::log2(std::max(n, 1.0)) + 1) || longest > std::size_t{quadratic_cap};
        data->info_ = {pattern::from_file, data->name_, repeats ? unsigned{repeats_values} : 0u};
    });
    if (!known) throw input_error(path + ": no element type '" + std::string(type) + "'");
    if (data->count_ == 0) throw input_error(path + ": empty");
    if (data->count_ > UINT32_MAX) throw input_error(path + ": more than 2^32 - 1 values");
    const auto count = static_cast<std::uint32_t>(data->count_);
    data->sizes_given_ = !sizes.empty();
    if (sizes.empty()) {
        std::copy_if(suite_sizes.begin(), suite_sizes.end(), std::back_inserter(sizes),
                     [&](std::uint32_t n) { return n <= count; });
        if (sizes.empty()) sizes.push_back(count);
    }
    for (const std::uint32_t n : sizes) {
        if (n == 0 || n > count) {
            throw input_error(path + ": size " + std::to_string(n) + " is not within the file's " +
                              std::to_string(count) + " values");
        }
    }
    data->sizes_ = std::move(sizes);
    return data;
}

std::unique_ptr<user_data> user_data::share(std::uint32_t n, std::size_t first, std::size_t count) const
{
    if (n == 0 || count == 0 || (first + count) * n > count_) throw std::invalid_argument("a share beyond the data");
    std::unique_ptr<user_data> out(new user_data);
    out->path_ = path_;
    out->name_ = name_;
    out->type_ = type_;
    out->info_ = {pattern::from_file, out->name_, info_.shape};
    out->count_ = count * n;
    out->sizes_ = {n};
    for_each_type([&]<class T>(T) {
        const std::vector<T>& all = values<T>();
        if (all.empty()) return;
        const auto from = all.begin() + static_cast<std::ptrdiff_t>(first * n);
        std::get<std::vector<T>>(out->values_).assign(from, from + static_cast<std::ptrdiff_t>(count * n));
    });
    return out;
}
