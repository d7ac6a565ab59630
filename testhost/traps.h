// Fills a table of function pointers with one instance of T::trap<N> per
// slot N. A trap takes no arguments: the caller cleans the stack (cdecl),
// so any slot may be called through it.
#pragma once

#include <cstddef>
#include <utility>

namespace th {

template <class T, size_t... I>
void fillTraps(void **slots, std::index_sequence<I...>, T) {
    ((slots[I] = reinterpret_cast<void *>(&T::template trap<static_cast<int>(I)>)), ...);
}

}  // namespace th
