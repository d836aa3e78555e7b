#pragma once

#include <type_traits>
#include <variant>

namespace tolvaran::markdown::Internal {

// True when T (without references and const) is exactly one of the alternatives of Variant.
// The node types convert implicitly from their cases and from nothing else.
template <typename T, typename Variant>
struct IsAlternativeOf : std::false_type
{
};

template <typename T, typename... Alternatives>
struct IsAlternativeOf<T, std::variant<Alternatives...>>
    : std::bool_constant<(std::is_same_v<std::remove_cvref_t<T>, Alternatives> || ...)>
{
};

template <typename T, typename Variant>
inline constexpr bool isAlternativeOf = IsAlternativeOf<T, Variant>::value;

} // namespace tolvaran::markdown::Internal
