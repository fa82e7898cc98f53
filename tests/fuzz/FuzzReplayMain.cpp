// Drives a fuzz target without libFuzzer, for the normal test suite: it
// replays every input file it is given (seed corpora and the inputs of past
// crashes), then a fixed number of inputs derived from them by seeded,
// repeatable mutations (bit flips, boundary numbers, cut, repeated and
// spliced ranges, dictionary words). A fault shows as a crash, a sanitizer
// report in the instrumented builds, a hang that ctest's time-out ends, or
// a single allocation over 256 MiB (an input must not choose how much the
// parser allocates; libFuzzer's -malloc_limit_mb is the same limit).
//
//   fuzz_NAME [--runs=N] [--seed=S] [--dict=FILE] PATH...
//
// PATH is a file or a folder of files. The same target source links with
// libFuzzer (-fsanitize=fuzzer) in the fuzzing build instead of this file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Files in the order of their names, so a run is repeatable.
void CollectInputs(const std::filesystem::path& path, std::vector<Bytes>& inputs) {
    if (!std::filesystem::is_directory(path)) {
        if (std::filesystem::is_regular_file(path)) inputs.push_back(ReadFile(path));
        return;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) inputs.push_back(ReadFile(file));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A libFuzzer dictionary: one quoted word per line, optionally named
// (name="word"), with \\, \" and \xNN escapes; '#' starts a comment.
std::vector<Bytes> ReadDictionary(const std::string& path) {
    std::vector<Bytes> words;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto open = line.find('"');
        const auto close = line.rfind('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open) continue;
        Bytes word;
        for (std::size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) {
                ++i;
                if (line[i] == 'x' && i + 2 < close && HexDigit(line[i + 1]) >= 0 && HexDigit(line[i + 2]) >= 0) {
                    word.push_back(static_cast<uint8_t>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2])));
                    i += 2;
                    continue;
                }
            }
            word.push_back(static_cast<uint8_t>(line[i]));
        }
        words.push_back(std::move(word));
    }
    return words;
}

class Mutator {
public:
    Mutator(unsigned seed, const std::vector<Bytes>& inputs, const std::vector<Bytes>& words)
        : m_random(seed), m_inputs(inputs), m_words(words) {}

    Bytes Next() {
        Bytes bytes = m_inputs.empty() ? Bytes{} : m_inputs[Below(m_inputs.size())];
        const std::size_t steps = 1 + Below(4);
        for (std::size_t i = 0; i < steps; ++i) Mutate(bytes);
        return bytes;
    }

private:
    std::size_t Below(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random) : 0; }
    uint8_t RandomByte() { return static_cast<uint8_t>(Below(256)); }

    void Mutate(Bytes& b) {
        switch (Below(8)) {
        case 0:  // flip one bit
            if (!b.empty()) b[Below(b.size())] ^= static_cast<uint8_t>(1u << Below(8));
            break;
        case 1:  // replace one byte
            if (!b.empty()) b[Below(b.size())] = RandomByte();
            break;
        case 2:  // a boundary number, little-endian, over four bytes
            if (b.size() >= 4) {
                static const uint32_t kBoundaries[] = {0, 1, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x10000,
                                                       0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
                const uint32_t v = kBoundaries[Below(std::size(kBoundaries))];
                const std::size_t at = Below(b.size() - 3);
                for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
            }
            break;
        case 3:  // insert random bytes
        {
            const std::size_t at = Below(b.size() + 1);
            Bytes extra(1 + Below(8));
            for (auto& x : extra) x = RandomByte();
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
            break;
        }
        case 4:  // erase a range
            if (!b.empty()) {
                const std::size_t at = Below(b.size());
                const std::size_t n = 1 + Below(std::min<std::size_t>(b.size() - at, 64));
                b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
            }
            break;
        case 5:  // cut the end off
            b.resize(Below(b.size() + 1));
            break;
        case 6:  // splice a range of another input in
            if (!m_inputs.empty()) {
                const Bytes& other = m_inputs[Below(m_inputs.size())];
                if (other.empty()) break;
                const std::size_t from = Below(other.size());
                const std::size_t n = 1 + Below(std::min<std::size_t>(other.size() - from, 256));
                const std::size_t at = Below(b.size() + 1);
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), other.begin() + static_cast<std::ptrdiff_t>(from),
                         other.begin() + static_cast<std::ptrdiff_t>(from + n));
            }
            break;
        default:  // a dictionary word, inserted or written over
            if (!m_words.empty()) {
                const Bytes& word = m_words[Below(m_words.size())];
                const std::size_t at = Below(b.size() + 1);
                if (Below(2) && at + word.size() <= b.size()) std::copy(word.begin(), word.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
                else b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), word.begin(), word.end());
            }
            break;
        }
    }

    std::mt19937 m_random;
    const std::vector<Bytes>& m_inputs;
    const std::vector<Bytes>& m_words;
};

bool TakeOption(const char* arg, const char* name, std::string& value) {
    const std::size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0) return false;
    value = arg + n;
    return true;
}

void Run(const Bytes& input) {
    // A copy in a block of its own size, so a read past the end of the input
    // is a read past the end of a heap block (caught by the address sanitizer).
    std::unique_ptr<uint8_t[]> copy(new uint8_t[input.size() ? input.size() : 1]);
    if (!input.empty()) std::memcpy(copy.get(), input.data(), input.size());
    LLVMFuzzerTestOneInput(copy.get(), input.size());
}

}  // namespace

// The allocation limit. The address sanitizer has its own allocator, which
// the suite limits the same way (max_allocation_size_mb).
#if !defined(__SANITIZE_ADDRESS__)
namespace {
constexpr std::size_t kAllocationLimit = std::size_t(256) << 20;
}
void* operator new(std::size_t size) {
    if (size > kAllocationLimit) {
        std::fprintf(stderr, "fuzz: an allocation of %zu bytes, beyond the limit of %zu\n", size, kAllocationLimit);
        std::abort();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
// These are the allocation functions themselves: free pairs with the
// malloc above, which the compiler cannot see through the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
#endif

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    unsigned long runs = 1000;
    unsigned long seed = 1;
    std::vector<Bytes> inputs;
    std::vector<Bytes> words;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (TakeOption(argv[i], "--runs=", value)) runs = std::strtoul(value.c_str(), nullptr, 10);
        else if (TakeOption(argv[i], "--seed=", value)) seed = std::strtoul(value.c_str(), nullptr, 10);
        else if (TakeOption(argv[i], "--dict=", value)) words = ReadDictionary(value);
        else CollectInputs(argv[i], inputs);
    }
    for (const Bytes& input : inputs) Run(input);
    Mutator mutator(static_cast<unsigned>(seed), inputs, words);
    for (unsigned long i = 0; i < runs; ++i) Run(mutator.Next());
    std::printf("%s: %zu stored inputs and %lu mutations ran\n", argv[0], inputs.size(), runs);
    return 0;
}
