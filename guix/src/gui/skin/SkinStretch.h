// How a skin image grows or shrinks to a new width or height without
// scaling: one column (or row) is repeated, or columns (rows) are dropped,
// so that borders and corners keep their pixels. The maps give, for every
// column (row) of the result, the column (row) of the source it copies.
//
// Columns, width w to W at column c:
//   W > w: columns 0 .. c-1, then column c repeated W - w times, then
//          columns c onwards (so column c shows W - w + 1 times);
//   W < w: with k = w - W, columns 0 .. c-k-1 followed by columns c onwards
//          (the k columns before c are dropped). Callers keep k <= c; when
//          they do not, the k columns dropped start at column 0 instead.
// Rows, height h to H at row r:
//   H > h: rows 0 .. r-1, row r repeated H - h times, rows r onwards;
//   H < h: with k = h - H, the top H rows when r - k < k, otherwise rows
//          0 .. r-k-1 followed by rows r onwards.
// Equal sizes map every column (row) to itself. A column or row beyond the
// source is taken as its last one, so a stretch never reads outside it.
#pragma once

#include <vector>

namespace skin {

std::vector<int> StretchColumnMap(int from_width, int to_width, int column);
std::vector<int> StretchRowMap(int from_height, int to_height, int row);

}  // namespace skin
