// The comparison codes that every datatype's compare action takes, and the
// one test of which of them ask for equality only. A compare implementation
// answers -1, 0 or 1 for lesser, equal and greater, or -2 when the two
// values cannot be compared, which only the ordering codes (lesser to
// greater-or-equal) raise as an error.
#pragma once

#include <cstdint>

namespace vek {

enum CompareOp : int32_t {
    COMP_EQUAL = 0,               // equal?, hash-table lookups
    COMP_NOT_EQUAL = 1,           // not-equal?
    COMP_STRICT_EQUAL = 2,        // strict-equal?, find/case, hash-table insertion
    COMP_LESSER = 3,              // lesser?, the max and min cores
    COMP_LESSER_EQUAL = 4,        // lesser-or-equal?
    COMP_GREATER = 5,             // greater?
    COMP_GREATER_EQUAL = 6,       // greater-or-equal?
    COMP_SORT = 7,                // sort's order, straight to the datatypes' compare
    COMP_CASE_SORT = 8,           // sort/case's order, likewise
    COMP_SAME = 9,                // same? and find/same: identity
    COMP_SYMBOL_EQUAL = 10,       // hash tables: a word! meets a lit-word! (a path! a lit-path!) of its exact symbol
    COMP_NAME_EQUAL = 11,         // hash tables: the same, by name in any letter case
    COMP_FIND = 12,               // find and select without /case, put
};

// Whether the code asks only whether the values are equal: then values of
// different lengths are simply unequal, and values that cannot be compared
// are unequal rather than an error.
constexpr bool is_equality(int32_t op) {
    return (op >= COMP_EQUAL && op <= COMP_STRICT_EQUAL) || (op >= COMP_SAME && op <= COMP_FIND);
}

}  // namespace vek
