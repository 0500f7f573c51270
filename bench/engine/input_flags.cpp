#include "input_flags.hpp"

std::unique_ptr<user_data> read_input(const parsed_flags& flags)
{
    const auto path = flags.value("input");
    if (!path) {
        for (const flag_spec& f : input_flags) {
            if (flags.given(f.name)) throw flag_error("--" + std::string(f.name) + " needs --input=FILE");
        }
        return nullptr;
    }
    std::vector<std::uint32_t> sizes;
    if (const auto list = flags.value("input_sizes")) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = list->find(',', start);
            const std::string item = list->substr(start, end == std::string::npos ? std::string::npos : end - start);
            const auto n = whole_number(item, 1, 999999999);
            if (!n) throw flag_error("--input_sizes takes sizes from 1 to 999999999, not '" + item + "'");
            sizes.push_back(*n);
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return read_user_data(*path, flags.value("input_type").value_or("int32"), flags.boolean("input_text"),
                          std::move(sizes));
}
