// Runs the real sortbench binary and checks what it writes and how it exits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "expected_output.hpp"
#include "sorts/registry.hpp"

namespace {

struct outcome {
    int status;  // exit status, or -1 when killed by a signal
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Where the child's standard output goes.
enum class stdout_to { file, dev_full, closed, same_file_as_stderr };

// Runs sortbench with `args`; a nonzero `address_space` limits the child's
// address space (RLIMIT_AS) to that many bytes.
outcome run_sortbench(std::vector<std::string> args, rlim_t address_space = 0,
                      stdout_to target = stdout_to::file)
{
    const std::string dir = testing::TempDir();
    const std::string out_path = dir + "sortbench_out." + std::to_string(getpid());
    const std::string err_path = dir + "sortbench_err." + std::to_string(getpid());
    const pid_t pid = fork();
    if (pid == 0) {
        const char* out = target == stdout_to::dev_full ? "/dev/full" : out_path.c_str();
        if (!std::freopen(out, "wb", stdout) || !std::freopen(err_path.c_str(), "wb", stderr)) {
            _exit(126);
        }
        if (target == stdout_to::closed) {
            close(STDOUT_FILENO);
        }
        if (target == stdout_to::same_file_as_stderr && dup2(STDOUT_FILENO, STDERR_FILENO) < 0) {
            _exit(126);
        }
        if (address_space != 0) {
            const rlimit limit{address_space, address_space};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::vector<char*> argv{const_cast<char*>(SORTBENCH_BINARY)};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    outcome o{WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, slurp(out_path), slurp(err_path)};
    std::remove(out_path.c_str());
    std::remove(err_path.c_str());
    return o;
}

const std::string heading = to_sjis("\nint (4bytes) の SORT テスト\n");

std::string progress_line(int num, int runs)
{
    char line[128];
    std::snprintf(line, sizeof line, "個数 %9d, 処理回数 %9d\n", num, runs);
    return to_sjis(line);
}

// The first array of 10 elements needs a buffer of 40 MB; 24 MiB of address
// space is enough to start the program but not for that.
constexpr rlim_t small_address_space = 24u << 20;

TEST(EndToEnd, OutOfMemoryEndsWithStatusOneAndNoReport)
{
#ifdef SORTBENCH_SANITIZED
    GTEST_SKIP() << "AddressSanitizer cannot start under a small address-space limit";
#endif
    const outcome quiet = run_sortbench({}, small_address_space);
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, "shell sort         : not enough memory.\n");
    EXPECT_EQ(quiet.err, heading);

    const outcome loud = run_sortbench({"-V", "-v"}, small_address_space);
    EXPECT_EQ(loud.status, 1);
    EXPECT_EQ(loud.out, "shell sort         : start\nshell sort         : not enough memory.\n");
    EXPECT_EQ(loud.err, heading + progress_line(10, 1000000));
}

// A report that cannot be written is a failure, not a success: the message
// names the cause and the status is 3, even on the out-of-memory path.
TEST(EndToEnd, LostOutputEndsWithStatusThree)
{
#ifdef SORTBENCH_SANITIZED
    GTEST_SKIP() << "AddressSanitizer cannot start under a small address-space limit";
#endif
    const outcome full = run_sortbench({}, small_address_space, stdout_to::dev_full);
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, heading + "sortbench: write error: No space left on device\n");

    const outcome closed = run_sortbench({"-v"}, small_address_space, stdout_to::closed);
    EXPECT_EQ(closed.status, 3);
    EXPECT_EQ(closed.err, heading + progress_line(10, 1000000) +
                              "sortbench: write error: Bad file descriptor\n");
}

// "<label> : end(<seconds>)" for the given label, with a number printed by %g.
bool is_end_line(const std::string& line, const std::string& label)
{
    const std::string head = label + " : end(";
    if (line.compare(0, head.size(), head) != 0 || line.back() != ')') {
        return false;
    }
    const std::string number = line.substr(head.size(), line.size() - head.size() - 1);
    char* end = nullptr;
    std::strtod(number.c_str(), &end);
    return !number.empty() && end == number.c_str() + number.size();
}

// A report cell holding a number: twelve columns, right-aligned, three decimals.
bool is_number_cell(const std::string& cell)
{
    const std::size_t digits = cell.find_first_not_of(' ');
    const std::size_t point = cell.find('.');
    return cell.size() == 12 && digits != std::string::npos && point != std::string::npos &&
           point > digits && point + 4 == cell.size() &&
           cell.find_first_not_of("0123456789", digits) == point &&
           cell.find_first_not_of("0123456789", point + 1) == std::string::npos;
}


// Checks the report at the end of a run's standard output: heading, both
// header rows, then one row per routine with fourteen 12-column numbers.
void expect_report(const std::string& report)
{
    const std::string header = expected_report_header();
    ASSERT_EQ(report.substr(0, header.size()), header);
    std::istringstream rows(report.substr(header.size()));
    std::string row;
    for (const routine_info& r : routines) {
        ASSERT_TRUE(std::getline(rows, row));
        const std::string head = std::string(",") + r.label + " ,";
        ASSERT_EQ(row.substr(0, head.size()), head) << "rows must follow slot order";
        std::istringstream cells(row.substr(head.size()));
        int count = 0;
        for (std::string cell; std::getline(cells, cell, ',');) {
            EXPECT_TRUE(is_number_cell(cell)) << '"' << cell << "\" in " << row;
            ++count;
        }
        EXPECT_EQ(count, 14) << row;
        EXPECT_EQ(row.back(), ',');
    }
    ASSERT_TRUE(std::getline(rows, row));
    EXPECT_EQ(row, "");
    EXPECT_EQ(rows.peek(), EOF) << "nothing may follow the report";
}

TEST(EndToEnd, FullRunWritesHeadingReportAndExitsZero)
{
    const outcome run = run_sortbench({"-vv", "extra"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, heading);
    expect_report(run.out);
}

constexpr int sizes[][2] = {{10, 1000000}, {20, 500000}, {30, 333330}, {40, 250000},
                            {50, 200000},  {64, 156200}, {100, 100000}, {128, 78100},
                            {256, 39000},  {512, 19500}, {1024, 9800},  {10000, 1000},
                            {100000, 100}, {1000000, 10}};

TEST(EndToEnd, VerboseRunWritesProgressAndStartEndLines)
{
    const outcome run = run_sortbench({"-v"});
    EXPECT_EQ(run.status, 0);
    std::string err = heading;
    for (const auto& s : sizes) err += progress_line(s[0], s[1]);
    EXPECT_EQ(run.err, err);

    // Each size, each routine: a start and an end line; then the report.
    std::istringstream lines(run.out);
    std::string line;
    for (std::size_t i = 0; i < std::size(sizes) * routines.size(); ++i) {
        const std::string label = routines[i % routines.size()].label;
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line, label + " : start");
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_TRUE(is_end_line(line, label)) << line;
    }
    std::string rest(std::istreambuf_iterator<char>(lines), {});
    expect_report(rest);
}

// `sortbench -v >log 2>&1`: each size's progress line comes before the start
// and end lines of that size, and after those of the size before.
TEST(EndToEnd, VerboseLinesInterleaveInOrderInOneFile)
{
    const outcome run = run_sortbench({"-v"}, 0, stdout_to::same_file_as_stderr);
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.out.substr(0, heading.size()), heading);
    std::istringstream lines(run.out.substr(heading.size()));
    std::string line;
    for (const auto& s : sizes) {
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line + "\n", progress_line(s[0], s[1]));
        for (const routine_info& r : routines) {
            ASSERT_TRUE(std::getline(lines, line));
            ASSERT_EQ(line, std::string(r.label) + " : start");
            ASSERT_TRUE(std::getline(lines, line));
            ASSERT_TRUE(is_end_line(line, r.label)) << line;
        }
    }
    expect_report(std::string(std::istreambuf_iterator<char>(lines), {}));
}

}  // namespace
