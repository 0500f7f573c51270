#include "driver.hpp"

int main(int argc, char** argv)
{
    return close_output(stdout, stderr, run_benchmark(verbose_requested(argc, argv)));
}
