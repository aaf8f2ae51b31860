#include "comum/uFormato.h"

#include <array>
#include <charconv>
#include <cmath>

#include "comum/uTexto.h"

namespace ljsn {

namespace {

std::string Preencher(std::string ACorpo, std::size_t ALargura, bool AEsquerda, bool AZeros) {
    const std::size_t n = ContarCaracteres(ACorpo);
    if (n >= ALargura) {
        return ACorpo;
    }
    const std::size_t falta = ALargura - n;
    if (AEsquerda) {
        return ACorpo + std::string(falta, ' ');
    }
    if (AZeros && !ACorpo.empty() && (ACorpo[0] == '-' || ACorpo[0] == '+')) {
        return ACorpo.substr(0, 1) + std::string(falta, '0') + ACorpo.substr(1);
    }
    return std::string(falta, AZeros ? '0' : ' ') + ACorpo;
}

}  // namespace

std::optional<std::string> FormatarLista(std::string_view AFormato,
                                         const std::vector<TArgFormato>& AArgs) {
    std::string r;
    std::size_t proximo = 0;
    std::size_t i = 0;
    while (i < AFormato.size()) {
        const char c = AFormato[i];
        if (c != '%') {
            r += c;
            ++i;
            continue;
        }
        ++i;
        if (i >= AFormato.size()) {
            return std::nullopt;
        }
        if (AFormato[i] == '%') {
            r += '%';
            ++i;
            continue;
        }
        bool esquerda = false;
        bool zeros = false;
        while (i < AFormato.size() && (AFormato[i] == '-' || AFormato[i] == '0')) {
            (AFormato[i] == '-' ? esquerda : zeros) = true;
            ++i;
        }
        std::size_t largura = 0;
        while (i < AFormato.size() && AFormato[i] >= '0' && AFormato[i] <= '9') {
            largura = largura * 10 + static_cast<std::size_t>(AFormato[i] - '0');
            ++i;
        }
        std::optional<std::size_t> precisao;
        if (i < AFormato.size() && AFormato[i] == '.') {
            ++i;
            std::size_t p = 0;
            while (i < AFormato.size() && AFormato[i] >= '0' && AFormato[i] <= '9') {
                p = p * 10 + static_cast<std::size_t>(AFormato[i] - '0');
                ++i;
            }
            precisao = p;
        }
        if (i >= AFormato.size() || largura > 1000 || precisao.value_or(0) > 1000) {
            return std::nullopt;
        }
        const char tipo = AFormato[i++];
        if (proximo >= AArgs.size()) {
            return std::nullopt;
        }
        const TArgFormato& arg = AArgs[proximo++];
        std::string corpo;
        switch (tipo) {
            case 's': {
                const auto* texto = std::get_if<std::string>(&arg);
                if (texto == nullptr) {
                    return std::nullopt;
                }
                corpo = precisao ? PrimeirosCaracteres(*texto, *precisao) : *texto;
                zeros = false;
                break;
            }
            case 'd':
            case 'i':
            case 'u':
            case 'x':
            case 'X': {
                const auto* inteiro = std::get_if<std::int64_t>(&arg);
                if (inteiro == nullptr) {
                    return std::nullopt;
                }
                std::int64_t v = *inteiro;
                const bool hexa = (tipo == 'x' || tipo == 'X');
                if (hexa && v < 0) {
                    v = static_cast<std::int64_t>(static_cast<std::uint32_t>(v));
                }
                const bool negativo = v < 0;
                std::array<char, 32> buf{};
                const std::uint64_t magnitude = negativo ? static_cast<std::uint64_t>(-(v + 1)) + 1
                                                         : static_cast<std::uint64_t>(v);
                auto [fim, erro] =
                    std::to_chars(buf.data(), buf.data() + buf.size(), magnitude, hexa ? 16 : 10);
                (void)erro;
                std::string digitos(buf.data(), fim);
                if (tipo == 'X') {
                    digitos = MaiusculasAZ(digitos);
                }
                if (precisao && digitos.size() < *precisao) {
                    digitos = std::string(*precisao - digitos.size(), '0') + digitos;
                }
                corpo = (negativo ? "-" : "") + digitos;
                if (precisao) {
                    zeros = false;
                }
                break;
            }
            case 'f': {
                double v = 0;
                if (const auto* d = std::get_if<double>(&arg)) {
                    v = *d;
                } else if (const auto* n = std::get_if<std::int64_t>(&arg)) {
                    v = static_cast<double>(*n);
                } else {
                    return std::nullopt;
                }
                if (!std::isfinite(v)) {
                    corpo = std::isnan(v) ? "nan" : (v < 0 ? "-inf" : "inf");
                    break;
                }
                std::array<char, 400> buf{};
                auto [fim, erro] = std::to_chars(buf.data(),
                                                 buf.data() + buf.size(),
                                                 v,
                                                 std::chars_format::fixed,
                                                 static_cast<int>(precisao.value_or(6)));
                if (erro != std::errc()) {
                    return std::nullopt;
                }
                corpo.assign(buf.data(), fim);
                break;
            }
            default:
                return std::nullopt;
        }
        r += Preencher(std::move(corpo), largura, esquerda, zeros && !esquerda);
    }
    return r;
}

}  // namespace ljsn
