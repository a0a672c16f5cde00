#pragma once

// Field readers with the acceptance rules of scanf's "%d" and of literal
// format characters, without scanf's undefined behaviour on overflow.
// Address and settings texts come from users and files, so an absurdly long
// number must be rejected cleanly rather than wrap around.

namespace vek::scan {

// Reads a decimal integer at p the way "%d" does (leading white space, an
// optional sign, at least one digit). A value beyond the range of int is
// clamped to INT_MIN or INT_MAX, which every caller treats as out of range.
// On success advances p past the number; on failure leaves p unchanged.
bool integer(const char*& p, int& value);

// Matches the characters of literal exactly at p; advances p on success.
bool literal(const char*& p, const char* literal);

// Matches literal at p without regard to ASCII case; advances p on success.
bool literalIgnoringCase(const char*& p, const char* literal);

}  // namespace vek::scan
