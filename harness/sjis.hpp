// The Japanese words of the output, as Shift_JIS (code page 932) bytes. They
// are written as bytes so that the output is the same whatever the locale,
// and printf field widths count them as two columns per character.
#pragma once

namespace sjis {

inline constexpr char no[] = "\x82\xCC";                          // "of"
inline constexpr char tesuto[] = "\x83\x65\x83\x58\x83\x67";      // "test"
inline constexpr char kosuu[] = "\x8C\xC2\x90\x94";               // "number of elements"
inline constexpr char shori_kaisuu[] = "\x8F\x88\x97\x9D\x89\xF1\x90\x94";  // "number of sort calls made"
inline constexpr char ko[] = "\x8C\xC2";                          // counter word after a number of elements
inline constexpr char kaisuu_heikin[] =                           // "count (the results are averages)"
    "\x89\xF1\x90\x94\x28\x8C\x8B\x89\xCA\x82\xCD\x95\xBD\x8B\xCF\x29";
inline constexpr char kai[] = "\x89\xF1";                         // counter word after a number of times

}  // namespace sjis
