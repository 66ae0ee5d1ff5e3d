// The algorithm catalogue: the one place where algorithms get their numbers and their
// user-visible names, and the factory, the only code that knows the concrete classes.
#pragma once

#include <cstdint>

#include "digest/hash_algorithm.h"

// 0 = no algorithm, 1..algorithm_count = the algorithms in catalogue order, algorithm_end =
// end of the catalogue.
typedef int32_t AlgorithmId;

inline constexpr AlgorithmId algorithm_count = 23;
inline constexpr AlgorithmId algorithm_none = 0;
inline constexpr AlgorithmId algorithm_end = algorithm_count + 1;

struct AlgorithmEntry {
    AlgorithmId id;
    const wchar_t* name;
    HashAlgorithm* (*make)(); // a new object of the row's algorithm; null in the last two rows
};

// algorithm_end + 1 rows: ids 1..algorithm_count in order, then 0 ("--------"), then the end
// marker {algorithm_end, nullptr}.
extern const AlgorithmEntry AlgorithmCatalogue[algorithm_end + 1];

// Case-sensitive match against every name up to the end marker; no match gives 0.
AlgorithmId algorithm_id_from_name(const wchar_t* name);

// A new, ready object for ids 1..algorithm_count, owned by the caller (delete through
// HashAlgorithm); null for every other id. Out of memory throws std::bad_alloc and leaves
// nothing behind.
HashAlgorithm* create_algorithm(AlgorithmId id);
