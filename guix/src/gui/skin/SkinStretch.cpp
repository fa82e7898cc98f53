#include "skin/SkinStretch.h"

#include <algorithm>

namespace skin {
namespace {

// Source indices [0, at) then `at` repeated `extra` times, then [at, from).
std::vector<int> Grow(int from, int extra, int at) {
    at = std::clamp(at, 0, from - 1);
    std::vector<int> map;
    map.reserve(std::size_t(from + extra));
    for (int i = 0; i < at; ++i) map.push_back(i);
    for (int i = 0; i < extra; ++i) map.push_back(at);
    for (int i = at; i < from; ++i) map.push_back(i);
    return map;
}

// Source indices without [drop_from, drop_from + count).
std::vector<int> Drop(int from, int drop_from, int count) {
    std::vector<int> map;
    map.reserve(std::size_t(from - count));
    for (int i = 0; i < from; ++i)
        if (i < drop_from || i >= drop_from + count) map.push_back(i);
    return map;
}

std::vector<int> Identity(int size) {
    std::vector<int> map(std::size_t(std::max(size, 0)));
    for (int i = 0; i < int(map.size()); ++i) map[std::size_t(i)] = i;
    return map;
}

}  // namespace

std::vector<int> StretchColumnMap(int from, int to, int column) {
    if (from <= 0 || to <= 0) return {};
    if (to == from) return Identity(from);
    if (to > from) return Grow(from, to - from, column);
    const int k = from - to;
    column = std::clamp(column, 0, from);
    return Drop(from, std::max(0, column - k), k);
}

std::vector<int> StretchRowMap(int from, int to, int row) {
    if (from <= 0 || to <= 0) return {};
    if (to == from) return Identity(from);
    if (to > from) return Grow(from, to - from, row);
    const int k = from - to;
    row = std::clamp(row, 0, from);
    if (row - k < k) return Identity(to);
    return Drop(from, row - k, k);
}

}  // namespace skin
