#include "support/vectors.h"

#include <fstream>
#include <memory>
#include <stdexcept>
#include <sstream>

std::vector<KnownAnswer> load_vectors(const std::string& algorithm_name)
{
    std::vector<KnownAnswer> out;
    std::ifstream in("vectors/" + algorithm_name + ".txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        KnownAnswer v;
        if (fields >> v.set >> v.length >> v.hex)
            out.push_back(v);
    }
    return out;
}

std::vector<uint8_t> pattern_message(size_t length)
{
    std::vector<uint8_t> m(length);
    for (size_t i = 0; i < length; ++i)
        m[i] = uint8_t(i * 7 + 3);
    return m;
}

std::vector<uint8_t> make_message(const std::string& set, uint64_t length)
{
    if (set == "pattern" || set == "large_pattern")
        return pattern_message(size_t(length));
    if (set == "abc")
        return {'a', 'b', 'c'};
    if (set == "empty")
        return {};
    if (set == "fox") {
        const std::string fox = "The quick brown fox jumps over the lazy dog";
        return std::vector<uint8_t>(fox.begin(), fox.end());
    }
    if (set == "million_a")
        return std::vector<uint8_t>(size_t(length), 'a');
    throw std::runtime_error("no message for set " + set);
}

std::string narrow(const wchar_t* text)
{
    std::string out;
    for (; *text; ++text)
        out += char(*text);
    return out;
}

std::string algorithm_name(AlgorithmId id)
{
    for (const AlgorithmEntry* row = AlgorithmCatalogue; row->id != algorithm_end; ++row) {
        if (row->id == id)
            return narrow(row->name);
    }
    return "unknown";
}

std::string finish_hex(HashAlgorithm& algorithm)
{
    wchar_t text[HashAlgorithm::max_digest_text];
    algorithm.finish();
    algorithm.digest_text(text, false);
    return narrow(text);
}

std::string one_shot_hex(AlgorithmId id, const uint8_t* data, size_t size)
{
    std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
    a->update(data, uint32_t(size));
    return finish_hex(*a);
}

std::vector<AlgorithmId> built_algorithms()
{
    std::vector<AlgorithmId> ids;
    for (AlgorithmId id = 1; id < algorithm_end; ++id) {
        std::unique_ptr<HashAlgorithm> a(create_algorithm(id));
        if (a)
            ids.push_back(id);
    }
    return ids;
}

static std::vector<uint8_t> parse_example_message(const std::string& field)
{
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        return std::vector<uint8_t>(field.begin() + 1, field.end() - 1);
    if (field.rfind("hex:", 0) == 0) {
        std::vector<uint8_t> out;
        for (size_t i = 4; i + 1 < field.size(); i += 2)
            out.push_back(uint8_t(std::stoi(field.substr(i, 2), nullptr, 16)));
        return out;
    }
    throw std::runtime_error("bad example message: " + field);
}

std::vector<StandardExample> load_standard_examples()
{
    std::vector<StandardExample> out;
    std::ifstream in("vectors/standard_examples.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t first = line.find(' ');
        const size_t second = line.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            throw std::runtime_error("bad example line: " + line);
        out.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1),
                       parse_example_message(line.substr(second + 1))});
    }
    return out;
}
