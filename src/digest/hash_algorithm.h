// The digest interface that every algorithm implements.
//
// Calling order: construct (ready), update any number of times, finish exactly once, then
// get_digest / digest_size / digest_text as often as wanted (they do not change the object).
// reset makes the object ready for a new message from any state. Feeding data after finish,
// or finishing twice, is outside the contract. One thread at a time per object.
//
// Every object lies on cache lines of its own: the class is aligned to a line, so each object
// starts on one and its size is a whole number of lines. A digest writes its state once per
// block; another thread's data on one of those lines (another digest on another worker, the
// heap's bookkeeping) would make the line travel between the processors at every block.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t cache_line_size = 64;

class alignas(cache_line_size) HashAlgorithm {
public:
    // Largest digest of any algorithm (SHA-512, BLAKE-512, BLAKE2b-512, SHA3-512, Whirlpool).
    static constexpr uint32_t max_digest_size = 64;
    // Wide characters that digest_text needs for the largest digest, terminator included.
    static constexpr uint32_t max_digest_text = 2 * max_digest_size + 1;

    virtual ~HashAlgorithm() = default;
    virtual void reset() = 0;
    // A null data pointer is allowed only with length 0.
    virtual void update(const void* data, uint32_t length) = 0;
    virtual void finish() = 0;
    // Writes digest_size() bytes; the output must hold max_digest_size bytes.
    virtual void get_digest(uint8_t* out) = 0;
    virtual uint32_t digest_size() = 0;

    // Writes the digest as hexadecimal, two digits per byte in get_digest's order, then a zero
    // terminator: 2 * digest_size() + 1 wide characters. Upper case unless lower_case is set.
    void digest_text(wchar_t* out, bool lower_case);

protected:
    HashAlgorithm() = default;
    HashAlgorithm(const HashAlgorithm&) = default;
    HashAlgorithm& operator=(const HashAlgorithm&) = default;
};
