#include "driver.hpp"

int main(int argc, char** argv)
{
    return run_benchmark(verbose_requested(argc, argv));
}
