#include "comum/uTexto.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace ljsn {

std::string Aparar(std::string_view ATexto) {
    std::size_t inicio = 0;
    std::size_t fim = ATexto.size();
    while (inicio < fim && static_cast<unsigned char>(ATexto[inicio]) <= ' ') {
        ++inicio;
    }
    while (fim > inicio && static_cast<unsigned char>(ATexto[fim - 1]) <= ' ') {
        --fim;
    }
    return std::string(ATexto.substr(inicio, fim - inicio));
}

std::string MaiusculasAZ(std::string_view ATexto) {
    std::string r(ATexto);
    for (char& c : r) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return r;
}

std::string MinusculasAZ(std::string_view ATexto) {
    std::string r(ATexto);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return r;
}

bool IguaisSemCaixaAZ(std::string_view A, std::string_view B) {
    return A.size() == B.size() && MinusculasAZ(A) == MinusculasAZ(B);
}

namespace {

char32_t MinusculaCodigo(char32_t c) {
    if (c >= 'A' && c <= 'Z') {
        return c + 32;
    }
    if ((c >= 0xC0 && c <= 0xDE) && c != 0xD7) {
        return c + 32;
    }
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs upper/lower on even/odd code points, except
        // for a few ranges that pair odd/even.
        const bool impar = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (impar) {
            return (c % 2 == 1) ? c + 1 : c;
        }
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) {
            return c;
        }
        return (c % 2 == 0) ? c + 1 : c;
    }
    return c;
}

// Base letter of the Latin-1 accented letters, for the sorting key.
char32_t SemAcento(char32_t c) {
    static constexpr std::string_view kBases =
        "aaaaaaaceeeeiiii"   // U+00E0..U+00EF
        "dnooooo/ouuuuyty";  // U+00F0..U+00FF
    if (c >= 0xE0 && c <= 0xFF && c != 0xF7) {
        return static_cast<char32_t>(kBases[c - 0xE0]);
    }
    return c;
}

}  // namespace

char32_t LerCodigo(std::string_view ATexto, std::size_t& APos) {
    const auto b0 = static_cast<unsigned char>(ATexto[APos]);
    if (b0 < 0x80) {
        ++APos;
        return b0;
    }
    int n = 0;
    char32_t c = 0;
    char32_t minimo = 0;
    if ((b0 & 0xE0) == 0xC0) {
        n = 1;
        c = b0 & 0x1F;
        minimo = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 2;
        c = b0 & 0x0F;
        minimo = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 3;
        c = b0 & 0x07;
        minimo = 0x10000;
    } else {
        ++APos;
        return 0xFFFD;
    }
    if (APos + static_cast<std::size_t>(n) >= ATexto.size()) {
        ++APos;
        return 0xFFFD;
    }
    for (int i = 1; i <= n; ++i) {
        const auto b = static_cast<unsigned char>(ATexto[APos + static_cast<std::size_t>(i)]);
        if ((b & 0xC0) != 0x80) {
            ++APos;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimo || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++APos;
        return 0xFFFD;
    }
    APos += static_cast<std::size_t>(n) + 1;
    return c;
}

void AcrescentarCodigo(std::string& ADestino, char32_t c) {
    if (c < 0x80) {
        ADestino += static_cast<char>(c);
    } else if (c < 0x800) {
        ADestino += static_cast<char>(0xC0 | (c >> 6));
        ADestino += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        ADestino += static_cast<char>(0xE0 | (c >> 12));
        ADestino += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        ADestino += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        ADestino += static_cast<char>(0xF0 | (c >> 18));
        ADestino += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        ADestino += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        ADestino += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string MinusculasUtf8(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (i < ATexto.size()) {
        AcrescentarCodigo(r, MinusculaCodigo(LerCodigo(ATexto, i)));
    }
    return r;
}

bool IguaisSemCaixa(std::string_view A, std::string_view B) {
    return MinusculasUtf8(A) == MinusculasUtf8(B);
}

std::string ChaveOrdenacao(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size());
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const auto c = static_cast<unsigned char>(ATexto[i]);
        if (c < 0x80) {
            // Most paths are plain ASCII: no decoding needed.
            r.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A'))
                                             : static_cast<char>(c));
            ++i;
            continue;
        }
        AcrescentarCodigo(r, SemAcento(MinusculaCodigo(LerCodigo(ATexto, i))));
    }
    return r;
}

bool ComecaCom(std::string_view ATexto, std::string_view APrefixo) {
    return ATexto.substr(0, APrefixo.size()) == APrefixo;
}

bool TerminaCom(std::string_view ATexto, std::string_view ASufixo) {
    return ATexto.size() >= ASufixo.size() &&
           ATexto.substr(ATexto.size() - ASufixo.size()) == ASufixo;
}

std::vector<std::string> Dividir(std::string_view ATexto, std::string_view ASeparadores) {
    std::vector<std::string> partes;
    std::size_t inicio = 0;
    for (std::size_t i = 0; i < ATexto.size(); ++i) {
        if (ASeparadores.find(ATexto[i]) != std::string_view::npos) {
            partes.emplace_back(ATexto.substr(inicio, i - inicio));
            inicio = i + 1;
        }
    }
    partes.emplace_back(ATexto.substr(inicio));
    return partes;
}

std::string Juntar(const std::vector<std::string>& APartes, std::string_view ASeparador) {
    std::string r;
    for (std::size_t i = 0; i < APartes.size(); ++i) {
        if (i > 0) {
            r += ASeparador;
        }
        r += APartes[i];
    }
    return r;
}

std::string SubstituirTudo(std::string_view ATexto, std::string_view ADe, std::string_view APara) {
    if (ADe.empty()) {
        return std::string(ATexto);
    }
    std::string r;
    std::size_t inicio = 0;
    while (true) {
        const std::size_t p = ATexto.find(ADe, inicio);
        if (p == std::string_view::npos) {
            r += ATexto.substr(inicio);
            return r;
        }
        r += ATexto.substr(inicio, p - inicio);
        r += APara;
        inicio = p + ADe.size();
    }
}

std::string SubstituirTudoDobrado(std::string_view ATexto,
                                  std::string_view ADe,
                                  std::string_view APara,
                                  std::string (*ADobrar)(std::string_view)) {
    if (ADe.empty()) {
        return std::string(ATexto);
    }
    const std::string texto = ADobrar(ATexto);
    const std::string de = ADobrar(ADe);
    std::string r;
    std::size_t inicio = 0;
    while (true) {
        const std::size_t p = texto.find(de, inicio);
        if (p == std::string::npos) {
            r += ATexto.substr(inicio);
            return r;
        }
        r += ATexto.substr(inicio, p - inicio);
        r += APara;
        inicio = p + de.size();
    }
}

std::string SubstituirTudoSemCaixaAZ(std::string_view ATexto,
                                     std::string_view ADe,
                                     std::string_view APara) {
    return SubstituirTudoDobrado(ATexto, ADe, APara, &MinusculasAZ);
}

std::optional<std::int32_t> LerInteiro(std::string_view ATexto) {
    std::string_view t = ATexto;
    if (!t.empty() && t.front() == '+') {
        t.remove_prefix(1);
        if (!t.empty() && t.front() == '-') {
            return std::nullopt;
        }
    }
    if (t.empty()) {
        return std::nullopt;
    }
    std::int32_t valor = 0;
    const auto [fim, erro] = std::from_chars(t.data(), t.data() + t.size(), valor, 10);
    if (erro != std::errc() || fim != t.data() + t.size()) {
        return std::nullopt;
    }
    return valor;
}

std::int32_t LerInteiroOu(std::string_view ATexto, std::int32_t APadrao) {
    return LerInteiro(ATexto).value_or(APadrao);
}

std::optional<double> LerDecimal(std::string_view ATexto) {
    std::string_view t = ATexto;
    if (!t.empty() && t.front() == '+') {
        t.remove_prefix(1);
    }
    if (t.empty()) {
        return std::nullopt;
    }
    double valor = 0;
    const auto [fim, erro] =
        std::from_chars(t.data(), t.data() + t.size(), valor, std::chars_format::fixed);
    if (erro != std::errc() || fim != t.data() + t.size() || !std::isfinite(valor)) {
        return std::nullopt;
    }
    return valor;
}

std::string FormatarDecimal(double AValor, int AMinDecimais, int AMaxDecimais) {
    std::array<char, 64> buf{};
    const auto [fim, erro] = std::to_chars(
        buf.data(), buf.data() + buf.size(), AValor, std::chars_format::fixed, AMaxDecimais);
    if (erro != std::errc()) {
        return "0";
    }
    std::string r(buf.data(), fim);
    const std::size_t ponto = r.find('.');
    if (ponto != std::string::npos) {
        std::size_t manter = ponto + 1 + static_cast<std::size_t>(AMinDecimais);
        while (r.size() > manter && r.back() == '0') {
            r.pop_back();
        }
        if (r.back() == '.') {
            r.pop_back();
        }
    }
    if (r == "-0") {
        r = "0";
    }
    return r;
}

std::int64_t ArredondarPar(double AValor) {
    const double piso = std::floor(AValor);
    const double resto = AValor - piso;
    auto inteiro = static_cast<std::int64_t>(piso);
    if (resto > 0.5) {
        return inteiro + 1;
    }
    if (resto < 0.5) {
        return inteiro;
    }
    return (inteiro % 2 == 0) ? inteiro : inteiro + 1;
}

bool Utf8Valido(std::string_view ATexto) {
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const std::size_t antes = i;
        const char32_t c = LerCodigo(ATexto, i);
        if (c == 0xFFFD && !(i - antes == 3 && ATexto.substr(antes, 3) == "\xEF\xBF\xBD")) {
            return false;
        }
    }
    return true;
}

std::string Cp1252ParaUtf8(std::string_view ATexto) {
    // 0x80..0x9F of Windows-1252; undefined positions map to their C1 code.
    static constexpr std::array<char16_t, 32> kAltos = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string r;
    r.reserve(ATexto.size() + ATexto.size() / 4);
    for (char ch : ATexto) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F) {
            AcrescentarCodigo(r, kAltos[b - 0x80]);
        } else {
            AcrescentarCodigo(r, b);
        }
    }
    return r;
}

std::string GarantirUtf8(std::string_view ATexto) {
    if (Utf8Valido(ATexto)) {
        return std::string(ATexto);
    }
    return Cp1252ParaUtf8(ATexto);
}

namespace {

// The length of the valid UTF-8 sequence at APos, or 0 when none starts there.
std::size_t SequenciaUtf8(std::string_view ATexto, std::size_t APos) {
    std::size_t i = APos;
    const auto primeiro = static_cast<unsigned char>(ATexto[i]);
    if (primeiro < 0x80) {
        return 1;
    }
    const char32_t c = LerCodigo(ATexto, i);
    // LerCodigo gives U+FFFD for a bad byte; a real U+FFFD is three bytes.
    if (c == 0xFFFD && !(i - APos == 3 && ATexto.substr(APos, 3) == "\xEF\xBF\xBD")) {
        return 0;
    }
    return i - APos;
}

}  // namespace

std::string RepararUtf8(std::string_view ATexto) {
    std::string r;
    r.reserve(ATexto.size() + 16);
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const std::size_t n = SequenciaUtf8(ATexto, i);
        if (n > 0) {
            r.append(ATexto.substr(i, n));
            i += n;
            continue;
        }
        const std::string lido = Cp1252ParaUtf8(ATexto.substr(i, 1));
        std::size_t p = 0;
        const char32_t c = LerCodigo(lido, p);
        AcrescentarCodigo(r, c >= 0x80 && c <= 0x9F ? char32_t{0xFFFD} : c);
        ++i;
    }
    return r;
}

bool PareceUtf8(std::string_view ATexto) {
    std::size_t validas = 0;
    std::size_t invalidos = 0;
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const std::size_t n = SequenciaUtf8(ATexto, i);
        validas += n > 1 ? 1 : 0;
        invalidos += n == 0 ? 1 : 0;
        i += n > 0 ? n : 1;
    }
    return validas > invalidos;
}

std::size_t ContarCaracteres(std::string_view ATexto) {
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < ATexto.size()) {
        LerCodigo(ATexto, i);
        ++n;
    }
    return n;
}

std::string PrimeirosCaracteres(std::string_view ATexto, std::size_t ACaracteres) {
    std::size_t i = 0;
    std::size_t n = 0;
    while (i < ATexto.size() && n < ACaracteres) {
        LerCodigo(ATexto, i);
        ++n;
    }
    return std::string(ATexto.substr(0, i));
}

std::string CortarEmPalavra(std::string_view ATexto, std::size_t ACaracteres) {
    const std::string inicio = PrimeirosCaracteres(ATexto, ACaracteres);
    if (inicio.size() == ATexto.size()) {
        return Aparar(inicio);
    }
    // Cut inside a word: back to the space before it.
    const auto c = static_cast<unsigned char>(ATexto[inicio.size()]);
    const bool noMeio =
        c > ' ' && !inicio.empty() && static_cast<unsigned char>(inicio.back()) > ' ';
    const std::size_t espaco = inicio.find_last_of(" \t\r\n");
    if (noMeio && espaco != std::string::npos && espaco > 0) {
        return Aparar(inicio.substr(0, espaco));
    }
    return Aparar(inicio);
}

std::vector<std::string> DividirLinhas(std::string_view ATexto) {
    std::vector<std::string> linhas;
    std::size_t inicio = 0;
    std::size_t i = 0;
    while (i < ATexto.size()) {
        const char c = ATexto[i];
        if (c == '\r' || c == '\n') {
            linhas.emplace_back(ATexto.substr(inicio, i - inicio));
            if (c == '\r' && i + 1 < ATexto.size() && ATexto[i + 1] == '\n') {
                ++i;
            }
            ++i;
            inicio = i;
        } else {
            ++i;
        }
    }
    if (inicio < ATexto.size()) {
        linhas.emplace_back(ATexto.substr(inicio));
    }
    return linhas;
}

}  // namespace ljsn
