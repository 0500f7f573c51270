// The environment a result file was made in: compiler, build, source commit,
// machine. It travels in every JSON file of the companion suite, so that two
// files can be told apart before they are compared.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Key and value pairs; a value that cannot be read is "unavailable".
std::vector<std::pair<std::string, std::string>> environment_context();

// The bracketed choice of a sysfs setting such as "always [madvise] never",
// or the whole text when nothing is bracketed.
std::string selected_setting(const std::string& text);

// `text` inside a JSON string: quotes and backslashes escaped, control
// characters left out.
std::string json_escaped(const std::string& text);
