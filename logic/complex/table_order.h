// Tables whose rows name the enum value they stand for. A static_assert on InEnumOrder
// next to the table keeps the enum and the table's order from drifting apart.
#pragma once

#include <array>
#include <cstddef>

namespace ombrix {

template <class Row, std::size_t N>
constexpr bool InEnumOrder(const std::array<Row, N>& rows) {
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(rows[i].id) != i) return false;
  }
  return true;
}

// One column of such a table, e.g. the names alone.
template <class Row, std::size_t N, class T>
constexpr std::array<T, N> TableColumn(const std::array<Row, N>& rows, T Row::*column) {
  std::array<T, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = rows[i].*column;
  return out;
}

}  // namespace ombrix
