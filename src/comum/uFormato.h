#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace ljsn {

// One argument of a printf-like format: an integer, a number or a text.
using TArgFormato = std::variant<std::int64_t, double, std::string>;

// Formats with the printf placeholders the log and the phrases use: %s, %d,
// %i, %u, %x, %X, %f, %%, with the flags "-" and "0", a width and a precision
// ("%-10s", "%.2d", "%.8x", "%.1f"). A placeholder without its argument, an
// argument of the wrong kind or an unknown placeholder gives nothing, never
// undefined behaviour.
std::optional<std::string> FormatarLista(std::string_view AFormato,
                                         const std::vector<TArgFormato>& AArgs);

namespace detalhe {
template <typename T>
TArgFormato ComoArg(const T& AValor) {
    if constexpr (std::is_same_v<T, bool>) {
        return static_cast<std::int64_t>(AValor ? 1 : 0);
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        return static_cast<std::int64_t>(AValor);
    } else if constexpr (std::is_floating_point_v<T>) {
        return static_cast<double>(AValor);
    } else {
        return std::string(AValor);
    }
}
}  // namespace detalhe

template <typename... TArgs>
std::optional<std::string> Formatar(std::string_view AFormato, const TArgs&... AArgs) {
    return FormatarLista(AFormato, {detalhe::ComoArg(AArgs)...});
}

// As Formatar, giving the format text itself when formatting fails.
template <typename... TArgs>
std::string FormatarOuFormato(std::string_view AFormato, const TArgs&... AArgs) {
    auto r = Formatar(AFormato, AArgs...);
    return r ? std::move(*r) : std::string(AFormato);
}

}  // namespace ljsn
