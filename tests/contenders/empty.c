/* A shared library that is not a contender: it exports no sortbench_sort_*. */
int not_a_sort(int x)
{
    return x + 1;
}
