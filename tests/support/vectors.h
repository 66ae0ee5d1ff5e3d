// Reading the known-answer vector files and rebuilding their messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "digest/catalogue.h"

struct KnownAnswer {
    std::string set;
    uint64_t length;
    std::string hex; // upper case
};

// Every line of vectors/<name>.txt (relative to the build folder the tests run in).
// Empty when the file is missing or holds nothing.
std::vector<KnownAnswer> load_vectors(const std::string& algorithm_name);

// The message behind a vector line, for every set but zeros4g (which is streamed).
std::vector<uint8_t> make_message(const std::string& set, uint64_t length);

// byte i = (i * 7 + 3) mod 256
std::vector<uint8_t> pattern_message(size_t length);

std::string narrow(const wchar_t* text);
std::string algorithm_name(AlgorithmId id);

// Upper-case digest text after feeding data in one update.
std::string one_shot_hex(AlgorithmId id, const uint8_t* data, size_t size);
// Finishes the object and returns its upper-case digest text.
std::string finish_hex(HashAlgorithm& algorithm);

// Every id for which create_algorithm makes an object.
std::vector<AlgorithmId> built_algorithms();

// Small deterministic generator (xorshift32) for piece sizes and random messages.
class Xorshift32 {
public:
    explicit Xorshift32(uint32_t start) : state_(start ? start : 1) {}
    uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t below(uint32_t bound) { return next() % bound; }

private:
    uint32_t state_;
};

struct StandardExample {
    std::string algorithm;
    std::string hex;
    std::vector<uint8_t> message;
};

// vectors/standard_examples.txt: `NAME HEX "text"` or `NAME HEX hex:0011..`; '#' starts a comment.
std::vector<StandardExample> load_standard_examples();
