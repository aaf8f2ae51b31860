#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;

namespace ljsn {

// One match: the whole match is group 0. A group that did not take part is
// empty with Participou false.
struct TCorrespondencia {
    struct TGrupo {
        std::size_t Inicio = 0;
        std::size_t Fim = 0;
        bool Participou = false;
    };
    std::vector<TGrupo> Grupos;
    std::string_view Texto;

    std::string Grupo(std::size_t AIndice) const;
    std::size_t Inicio() const { return Grupos[0].Inicio; }
    std::size_t Fim() const { return Grupos[0].Fim; }
};

// A compiled PCRE2 pattern in UTF mode. Invalid UTF-8 in the subject never
// matches across the bad bytes and is not an error.
class TRegex {
  public:
    enum TOpcao : unsigned {
        roNenhuma = 0,
        roSemCaixa = 1,    // caseless
        roPontoTudo = 2,   // "." matches line breaks
        roMultilinha = 4,  // ^ and $ at every line
        roUnicode = 8,     // \w, \b and classes follow Unicode properties
    };

    // Throws std::invalid_argument with PCRE2's message for a bad pattern.
    explicit TRegex(std::string_view APadrao, unsigned AOpcoes = roNenhuma);
    ~TRegex();
    TRegex(TRegex&&) noexcept;
    TRegex& operator=(TRegex&&) noexcept;

    std::optional<TCorrespondencia> Procurar(std::string_view ATexto,
                                             std::size_t AInicio = 0) const;
    bool Contem(std::string_view ATexto) const { return Procurar(ATexto).has_value(); }
    std::vector<TCorrespondencia> ProcurarTodas(std::string_view ATexto) const;
    // Replaces every match by what AFuncao returns for it.
    std::string Substituir(
        std::string_view ATexto,
        const std::function<std::string(const TCorrespondencia&)>& AFuncao) const;
    // Replaces every match by a fixed text ("$1" and such are not expanded).
    std::string SubstituirPor(std::string_view ATexto, std::string_view ANovo) const;

  private:
    struct TLiberar {
        void operator()(pcre2_real_code_8* ACodigo) const;
    };
    std::unique_ptr<pcre2_real_code_8, TLiberar> FCodigo;
};

}  // namespace ljsn
