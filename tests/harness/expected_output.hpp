// Expected sortbench output for the tests, stated in readable Japanese and
// converted to Shift_JIS with the C library's iconv, so that bytes compare.
#pragma once

#include <iconv.h>

#include <stdexcept>
#include <string>

inline std::string to_sjis(const std::string& utf8)
{
    iconv_t cd = iconv_open("SHIFT_JIS", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv has no UTF-8 to SHIFT_JIS converter");
    }
    std::string in = utf8;
    std::string out(in.size() * 2 + 1, '\0');
    char* inp = in.data();
    char* outp = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    const std::size_t rc = iconv(cd, &inp, &in_left, &outp, &out_left);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("text not representable in Shift_JIS: " + utf8);
    }
    out.resize(out.size() - out_left);
    return out;
}

// The report's heading and its two header rows for the fixed size table.
inline std::string expected_report_header()
{
    return to_sjis(
        "\n*** int (4bytes) の SORT テスト\n"
        "\n"
        ",              個数 ,        10個,        20個,        30個,        40個,        50個,"
        "        64個,       100個,       128個,       256個,       512個,      1024個,"
        "     10000個,    100000個,   1000000個,\n"
        ",  回数(結果は平均) ,   (100000回),   (50000回),   (33333回),   (25000回),   (20000回),"
        "   (15620回),   (10000回),   ( 7810回),   ( 3900回),   ( 1950回),   (  980回),"
        "   (  100回),   (   10回),   (    1回),\n");
}
