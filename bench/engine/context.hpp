// The environment a result file was made in: compiler, build, source commit,
// machine. It travels in every JSON file of the companion suite, so that two
// files can be told apart before they are compared.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Key and value pairs; a value that cannot be read is "unavailable".
std::vector<std::pair<std::string, std::string>> environment_context();

// What the counters beside the clock are, for the tools to read rather than
// know: "counters" lists each as key:label, in the table's order, and
// "n/a:KEY" says why one could not be counted on this machine.
std::vector<std::pair<std::string, std::string>> counters_context();

// The bracketed choice of a sysfs setting such as "always [madvise] never",
// or the whole text when nothing is bracketed.
std::string selected_setting(const std::string& text);
