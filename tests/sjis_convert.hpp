// Converts UTF-8 text to Shift_JIS with the C library's iconv, so that tests
// can state expected output in readable Japanese and still compare bytes.
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
