// Little-endian writer and bounds-checked reader for the resource layouts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plat::resource {

class ByteWriter {
public:
    void U16(std::uint32_t v) { for (int i = 0; i < 2; ++i) m_out.push_back(std::uint8_t(v >> (8 * i))); }
    void U32(std::uint32_t v) { for (int i = 0; i < 4; ++i) m_out.push_back(std::uint8_t(v >> (8 * i))); }
    void Text(const std::u16string& s) {
        for (char16_t c : s) U16(c);
        U16(0);
    }
    void Bytes(std::span<const std::uint8_t> b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    void Align4() { while (m_out.size() % 4) m_out.push_back(0); }
    std::vector<std::uint8_t>& Out() { return m_out; }

private:
    std::vector<std::uint8_t> m_out;
};

// Every read past the end sets the failed flag and yields zero.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> in) : m_in(in) {}
    std::uint32_t U16() { return Read(2); }
    std::uint32_t U32() { return Read(4); }
    std::u16string Text() {
        std::u16string s;
        while (!m_failed) {
            const char16_t c = char16_t(U16());
            if (c == 0) break;
            s.push_back(c);
        }
        return s;
    }
    bool Failed() const { return m_failed; }
    bool AtEnd() const { return m_pos >= m_in.size(); }

private:
    std::uint32_t Read(std::size_t n) {
        if (m_pos + n > m_in.size()) {
            m_failed = true;
            return 0;
        }
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) v |= std::uint32_t(m_in[m_pos + i]) << (8 * i);
        m_pos += n;
        return v;
    }
    std::span<const std::uint8_t> m_in;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

}  // namespace plat::resource
