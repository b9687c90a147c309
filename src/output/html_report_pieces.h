// The fixed pieces of the HTML report, by their resource numbers: 230 the head with the style
// sheet, 231 the legend, 232 the end. Compiled in; an unknown number gives an empty piece.
#pragma once

#include <string>

namespace report_pieces {

constexpr int kHead = 230;
constexpr int kLegend = 231;
constexpr int kEnd = 232;

// The piece lives to the program's end; safe from any thread.
const std::wstring& Piece(int id);

}  // namespace report_pieces
