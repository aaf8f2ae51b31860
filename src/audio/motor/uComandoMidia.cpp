#include "audio/motor/uComandoMidia.h"

#include <charconv>
#include <vector>

#include "comum/uTexto.h"

namespace ljsn {

namespace {

std::vector<std::string> Palavras(std::string_view ATexto) {
    std::vector<std::string> r;
    std::size_t i = 0;
    while (i < ATexto.size()) {
        while (i < ATexto.size() && ATexto[i] == ' ') {
            ++i;
        }
        const std::size_t inicio = i;
        while (i < ATexto.size() && ATexto[i] != ' ') {
            ++i;
        }
        if (i > inicio) {
            r.emplace_back(ATexto.substr(inicio, i - inicio));
        }
    }
    return r;
}

std::optional<std::int64_t> Numero(std::string_view ATexto, std::int64_t AMaximo) {
    if (ATexto.empty() || ATexto.size() > 12) {
        return std::nullopt;
    }
    std::int64_t v = 0;
    const auto [fim, erro] = std::from_chars(ATexto.data(), ATexto.data() + ATexto.size(), v);
    if (erro != std::errc() || fim != ATexto.data() + ATexto.size() || v < 0 || v > AMaximo) {
        return std::nullopt;
    }
    return v;
}

bool AliasValido(std::string_view AAlias) {
    return !AAlias.empty() && AAlias.find('"') == std::string_view::npos;
}

}  // namespace

std::optional<TComandoTexto> InterpretarComando(std::string_view AComando) {
    using V = TComandoTexto::TVerbo;
    TComandoTexto c;
    const std::string texto = Aparar(AComando);
    if (IguaisSemCaixaAZ(std::string_view(texto).substr(0, 5), "open ")) {
        // open "F" type mpegvideo alias A -- the path is everything between the
        // first quote and the quote before the fixed tail, so a path holding a
        // double quote still opens.
        std::string_view resto = std::string_view(texto).substr(5);
        while (!resto.empty() && resto.front() == ' ') {
            resto.remove_prefix(1);
        }
        if (resto.empty() || resto.front() != '"') {
            return std::nullopt;
        }
        const std::size_t fecha = resto.rfind('"');
        if (fecha == 0) {
            return std::nullopt;
        }
        const auto cauda = Palavras(resto.substr(fecha + 1));
        if (cauda.size() != 4 || !IguaisSemCaixaAZ(cauda[0], "type") ||
            !IguaisSemCaixaAZ(cauda[2], "alias") || !AliasValido(cauda[3])) {
            return std::nullopt;
        }
        c.Verbo = V::cvAbrir;
        c.Arquivo = std::string(resto.substr(1, fecha - 1));
        c.Alias = MinusculasAZ(cauda[3]);
        if (c.Arquivo.empty()) {
            return std::nullopt;
        }
        return c;
    }

    const auto p = Palavras(texto);
    if (p.size() < 2 || !AliasValido(p[1])) {
        return std::nullopt;
    }
    const std::string verbo = MinusculasAZ(p[0]);
    c.Alias = MinusculasAZ(p[1]);
    auto palavra = [&](std::size_t i, const char* AEsperada) {
        return i < p.size() && IguaisSemCaixaAZ(p[i], AEsperada);
    };
    if (verbo == "set") {
        if (p.size() == 5 && palavra(2, "time") && palavra(3, "format") &&
            palavra(4, "milliseconds")) {
            c.Verbo = V::cvFormato;
            return c;
        }
        return std::nullopt;
    }
    if (verbo == "status") {
        if (p.size() != 3) {
            return std::nullopt;
        }
        c.Verbo = V::cvStatus;
        if (palavra(2, "length")) {
            c.Status = TComandoTexto::TStatus::stDuracao;
        } else if (palavra(2, "mode")) {
            c.Status = TComandoTexto::TStatus::stModo;
        } else if (palavra(2, "position")) {
            c.Status = TComandoTexto::TStatus::stPosicao;
        } else if (palavra(2, "error")) {
            c.Status = TComandoTexto::TStatus::stErro;
        } else if (palavra(2, "level")) {
            c.Status = TComandoTexto::TStatus::stNivel;
        } else {
            return std::nullopt;
        }
        return c;
    }
    if (verbo == "seek") {
        if (p.size() != 4 || !palavra(2, "to")) {
            return std::nullopt;
        }
        c.Verbo = V::cvPosicionar;
        if (palavra(3, "start")) {
            c.Alvo = TComandoTexto::TAlvo::taInicio;
        } else if (palavra(3, "end")) {
            c.Alvo = TComandoTexto::TAlvo::taFim;
        } else if (auto n = Numero(p[3], 1'000'000'000'000LL)) {
            c.Numero = *n;
        } else {
            return std::nullopt;
        }
        return c;
    }
    if (verbo == "setaudio") {
        auto n = p.size() == 5 && palavra(2, "volume") && palavra(3, "to") ? Numero(p[4], 1000)
                                                                           : std::nullopt;
        if (!n) {
            return std::nullopt;
        }
        c.Verbo = V::cvVolume;
        c.Numero = *n;
        return c;
    }
    if (p.size() != 2) {
        return std::nullopt;
    }
    if (verbo == "play") {
        c.Verbo = V::cvTocar;
    } else if (verbo == "pause") {
        c.Verbo = V::cvPausar;
    } else if (verbo == "resume") {
        c.Verbo = V::cvContinuar;
    } else if (verbo == "stop") {
        c.Verbo = V::cvParar;
    } else if (verbo == "close") {
        c.Verbo = V::cvFechar;
    } else {
        return std::nullopt;
    }
    return c;
}

}  // namespace ljsn
