#include "comum/uRegex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <array>
#include <stdexcept>

#include <pcre2.h>

namespace ljsn {

namespace {
struct TLiberarDados {
    void operator()(pcre2_match_data* ADados) const { pcre2_match_data_free(ADados); }
};
using TDadosPtr = std::unique_ptr<pcre2_match_data, TLiberarDados>;
}  // namespace

std::string TCorrespondencia::Grupo(std::size_t AIndice) const {
    if (AIndice >= Grupos.size() || !Grupos[AIndice].Participou) {
        return {};
    }
    return std::string(
        Texto.substr(Grupos[AIndice].Inicio, Grupos[AIndice].Fim - Grupos[AIndice].Inicio));
}

void TRegex::TLiberar::operator()(pcre2_real_code_8* ACodigo) const {
    pcre2_code_free(ACodigo);
}

TRegex::TRegex(std::string_view APadrao, unsigned AOpcoes) {
    uint32_t opcoes = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if ((AOpcoes & roSemCaixa) != 0) {
        opcoes |= PCRE2_CASELESS;
    }
    if ((AOpcoes & roPontoTudo) != 0) {
        opcoes |= PCRE2_DOTALL;
    }
    if ((AOpcoes & roMultilinha) != 0) {
        opcoes |= PCRE2_MULTILINE;
    }
    if ((AOpcoes & roUnicode) != 0) {
        opcoes |= PCRE2_UCP;
    }
    int erro = 0;
    PCRE2_SIZE posicao = 0;
    pcre2_code* codigo = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(APadrao.data()),
                                       APadrao.size(),
                                       opcoes,
                                       &erro,
                                       &posicao,
                                       nullptr);
    if (codigo == nullptr) {
        std::array<PCRE2_UCHAR, 256> mensagem{};
        pcre2_get_error_message(erro, mensagem.data(), mensagem.size());
        throw std::invalid_argument(std::string("expressao regular invalida: ") +
                                    reinterpret_cast<const char*>(mensagem.data()));
    }
    // No JIT: these patterns run rarely (settings, feeds) and the JIT costs
    // resident memory for the whole run.
    FCodigo.reset(codigo);
}

TRegex::~TRegex() = default;
TRegex::TRegex(TRegex&&) noexcept = default;
TRegex& TRegex::operator=(TRegex&&) noexcept = default;

std::optional<TCorrespondencia> TRegex::Procurar(std::string_view ATexto,
                                                 std::size_t AInicio) const {
    if (AInicio > ATexto.size()) {
        return std::nullopt;
    }
    TDadosPtr dados(pcre2_match_data_create_from_pattern(FCodigo.get(), nullptr));
    if (!dados) {
        return std::nullopt;
    }
    const int rc = pcre2_match(FCodigo.get(),
                               reinterpret_cast<PCRE2_SPTR>(ATexto.data()),
                               ATexto.size(),
                               AInicio,
                               0,
                               dados.get(),
                               nullptr);
    if (rc <= 0) {
        return std::nullopt;
    }
    const PCRE2_SIZE* vetor = pcre2_get_ovector_pointer(dados.get());
    const uint32_t pares = pcre2_get_ovector_count(dados.get());
    TCorrespondencia r;
    r.Texto = ATexto;
    r.Grupos.resize(pares);
    for (uint32_t i = 0; i < pares; ++i) {
        if (i < static_cast<uint32_t>(rc) && vetor[2 * i] != PCRE2_UNSET) {
            r.Grupos[i] = {vetor[2 * i], vetor[2 * i + 1], true};
        }
    }
    return r;
}

std::vector<TCorrespondencia> TRegex::ProcurarTodas(std::string_view ATexto) const {
    std::vector<TCorrespondencia> todas;
    std::size_t inicio = 0;
    while (inicio <= ATexto.size()) {
        auto c = Procurar(ATexto, inicio);
        if (!c) {
            break;
        }
        std::size_t proximo = c->Fim();
        if (c->Fim() == c->Inicio()) {
            // An empty match: step over one whole character so we never split it.
            proximo = c->Fim() + 1;
            while (proximo < ATexto.size() &&
                   (static_cast<unsigned char>(ATexto[proximo]) & 0xC0) == 0x80) {
                ++proximo;
            }
        }
        todas.push_back(std::move(*c));
        inicio = proximo;
    }
    return todas;
}

std::string TRegex::Substituir(
    std::string_view ATexto,
    const std::function<std::string(const TCorrespondencia&)>& AFuncao) const {
    std::string r;
    std::size_t copiado = 0;
    for (const auto& c : ProcurarTodas(ATexto)) {
        if (c.Inicio() < copiado) {
            continue;
        }
        r += ATexto.substr(copiado, c.Inicio() - copiado);
        r += AFuncao(c);
        copiado = c.Fim();
    }
    r += ATexto.substr(copiado);
    return r;
}

std::string TRegex::SubstituirPor(std::string_view ATexto, std::string_view ANovo) const {
    return Substituir(ATexto, [&](const TCorrespondencia&) { return std::string(ANovo); });
}

}  // namespace ljsn
