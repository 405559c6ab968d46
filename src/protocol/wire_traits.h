// Compile-time questions the JSON reader and writer ask of a field's type.
#pragma once

#include <optional>
#include <type_traits>
#include <vector>

namespace tarnwick::protocol {

// True for std::optional<T>: a field that may be left out.
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// True for std::vector<T>: a field written as a JSON array.
template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

}  // namespace tarnwick::protocol
