// Processes as a level of a measurement. Rounds in one process share its
// address-space layout: where its code, heap and stack fall against the
// caches and the branch predictor. A second process lays them out again, and
// can run a few percent apart for that alone. A figure meant to hold in the
// next process is taken over several.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The processes a paired figure rests on by default. On a 2-vCPU Zen 5 VM
// (21 cases, 10 runs each, docs/rounds.md), one process's interval held the
// figure pooled over all ten runs in 64% of cases, three processes' in 89%,
// five processes' (the same budget shared) in fewer: the processes of one
// run share its minutes of the machine, and more of them narrow the interval
// without seeing how the next run's minutes differ.
constexpr unsigned default_processes = 3;

// A folder of its own under $TMPDIR (else /tmp), removed with what is in it.
class scratch_folder {
public:
    scratch_folder();
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs this program again once per entry of `runs`, one after another,
// each with that entry as its arguments (argv without argv[0]) and its
// environment grown by a random 0 to 4095 bytes (SORTBENCH_LAYOUT_PAD), so
// that each process's stack starts elsewhere within its page; the kernel's
// randomisation moves the rest a page at a time. Standard error is shared,
// so that a process's own refusal is seen. Throws std::runtime_error when a
// process fails. `starting` hears each process's index before it starts.
void run_again(const std::vector<std::vector<std::string>>& runs,
               const std::function<void(std::size_t)>& starting = {});

// `args` without any --`flag` or --`flag`=VALUE.
std::vector<std::string> without_flag(const std::vector<std::string>& args, const std::string& flag);

// Replaces this process with `program`, the executable of that name beside
// this one's, given `args` (argv without argv[0]). Returns only where it
// could not, with why.
std::string become(const std::string& program, const std::vector<std::string>& args);
