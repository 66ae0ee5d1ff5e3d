// The algorithm catalogue: the one place where algorithms get their numbers and their
// user-visible names, and the factory, the only code that knows the concrete classes.
#pragma once

#include <cstdint>

#include "digest/hash_algorithm.h"

// 0 = no algorithm, 1..23 = the algorithms in catalogue order, 24 = end of the catalogue.
typedef int32_t AlgorithmId;

const AlgorithmId algorithm_none = 0;
const AlgorithmId algorithm_end = 24;

struct AlgorithmEntry {
    AlgorithmId id;
    const wchar_t* name;
};

// 25 rows: ids 1..23 in order, then 0 ("--------"), then the end marker {24, nullptr}.
extern const AlgorithmEntry AlgorithmCatalogue[25];

// Case-sensitive match against every name up to the end marker; no match gives 0.
AlgorithmId algorithm_id_from_name(const wchar_t* name);

// A new, ready object for ids 1..23, owned by the caller (delete through HashAlgorithm);
// null for every other id. Out of memory throws std::bad_alloc and leaves nothing behind.
HashAlgorithm* create_algorithm(AlgorithmId id);
