#include "falas/uFrases.h"

#include <array>

#include "comum/uFormato.h"
#include "comum/uRegex.h"
#include "comum/uTexto.h"

namespace ljsn {

namespace {

struct TMarcador {
    const char* Marcador;
    std::array<const char*, 3> Palavras;  // feminine, masculine, no article
};

// Processed in this order: "{a empresa}" last, so it never eats a longer marker.
constexpr std::array<TMarcador, 5> kMarcadores = {{
    {"{pela empresa}", {"pela", "pelo", "por"}},
    {"{da empresa}", {"da", "do", "de"}},
    {"{na empresa}", {"na", "no", "em"}},
    {"{à empresa}", {"à", "ao", "a"}},
    {"{a empresa}", {"a", "o", ""}},
}};

const char* Palavra(const TMarcador& AMarcador, TGeneroEmpresa AGenero) {
    return AMarcador.Palavras[static_cast<std::size_t>(AGenero)];
}

const char* Artigo(TGeneroEmpresa AGenero) {
    return Palavra(kMarcadores[4], AGenero);
}

// Case-blind match of a marker: A..Z and "à"/"À" fold together.
std::string DobrarCaixa(std::string_view ATexto) {
    return SubstituirTudo(MinusculasAZ(ATexto), "À", "à");
}

std::string SubstituirSemCaixa(std::string_view ATexto,
                               std::string_view ADe,
                               std::string_view APara) {
    return SubstituirTudoDobrado(ATexto, ADe, APara, &DobrarCaixa);
}

}  // namespace

std::string Capitalizar(std::string_view ATexto) {
    if (ATexto.empty()) {
        return {};
    }
    if (ComecaCom(ATexto, "à")) {
        return "À" + std::string(ATexto.substr(2));
    }
    std::string r(ATexto);
    if (r[0] >= 'a' && r[0] <= 'z') {
        r[0] = static_cast<char>(r[0] - 'a' + 'A');
    }
    return r;
}

std::string Juntar(std::string_view APrefixo, std::string_view ATexto) {
    if (APrefixo.empty()) {
        return std::string(ATexto);
    }
    return std::string(APrefixo) + " " + std::string(ATexto);
}

std::string NomeComArtigo(std::string_view ANome, TGeneroEmpresa AGenero) {
    return Juntar(Artigo(AGenero), Aparar(ANome));
}

std::string TextoHora(int AHora, int AMinuto) {
    std::string r;
    if (AHora == 0) {
        r = "é meia-noite";
    } else if (AHora == 1) {
        r = "é uma hora";
    } else {
        r = FormatarOuFormato("são %d horas", AHora);
    }
    if (AMinuto == 1) {
        r += " e um minuto";
    } else if (AMinuto >= 2) {
        r += FormatarOuFormato(" e %d minutos", AMinuto);
    }
    return r;
}

std::string FraseHoraCerta(std::string_view ANome, TGeneroEmpresa AGenero, int AHora, int AMinuto) {
    if (!Aparar(ANome).empty()) {
        return FormatarOuFormato("%s te diz a hora certa: %s!",
                                 Capitalizar(NomeComArtigo(ANome, AGenero)),
                                 TextoHora(AHora, AMinuto));
    }
    return FormatarOuFormato("Hora certa: %s!", TextoHora(AHora, AMinuto));
}

std::string FraseAvisoFechamento(std::string_view ANome, TGeneroEmpresa AGenero, int AMinutos) {
    const std::string resta = AMinutos == 1 ? std::string("falta um minuto")
                                            : FormatarOuFormato("faltam %d minutos", AMinutos);
    if (!Aparar(ANome).empty()) {
        return FormatarOuFormato("Atenção: %s informa que %s para encerrarmos nossas atividades.",
                                 NomeComArtigo(ANome, AGenero),
                                 resta);
    }
    return FormatarOuFormato("Atenção: %s para encerrarmos nossas atividades.", resta);
}

std::string FraseFechamento(std::string_view ANome, TGeneroEmpresa AGenero) {
    if (!Aparar(ANome).empty()) {
        return FormatarOuFormato(
            "Atenção: estamos encerrando nossas atividades. %s agradece a sua preferência. "
            "Volte sempre!",
            Capitalizar(NomeComArtigo(ANome, AGenero)));
    }
    return "Atenção: estamos encerrando nossas atividades. Agradecemos a sua preferência. Volte "
           "sempre!";
}

std::string ConverterMarcadoresAntigos(std::string_view ATexto) {
    // Most texts have no old marker: they never need the pattern compiled.
    if (MinusculasAZ(ATexto).find("{empresa}") == std::string::npos) {
        return std::string(ATexto);
    }
    static const TRegex kAntigo("(?<![A-Za-zÀ-ÿ])(pela|pelo|da|do|na|no|à|ao|a|o) \\{empresa\\}",
                                TRegex::roSemCaixa);
    static constexpr std::array<const char*, 10> kPalavras = {
        "pela", "pelo", "da", "do", "na", "no", "à", "ao", "a", "o"};
    static constexpr std::array<const char*, 5> kNovos = {
        "pela empresa", "da empresa", "na empresa", "à empresa", "a empresa"};
    return kAntigo.Substituir(ATexto, [](const TCorrespondencia& c) {
        const std::string palavra = c.Grupo(1);
        const std::string dobrada = DobrarCaixa(palavra);
        std::size_t indice = 0;
        while (indice < kPalavras.size() && dobrada != kPalavras[indice]) {
            ++indice;
        }
        if (indice >= kPalavras.size()) {
            return c.Grupo(0);
        }
        std::string novo = kNovos[indice / 2];
        const bool minuscula = ComecaCom(palavra, "à") || (palavra[0] >= 'a' && palavra[0] <= 'z');
        if (!minuscula) {
            novo = Capitalizar(novo);
        }
        return "{" + novo + "}";
    });
}

std::string AplicarEmpresa(std::string_view ATexto,
                           std::string_view ANome,
                           TGeneroEmpresa AGenero) {
    const std::string nome = Aparar(ANome);
    std::string r(ATexto);
    for (const TMarcador& m : kMarcadores) {
        const std::string forma = Juntar(Palavra(m, AGenero), nome);
        const std::string marcador(m.Marcador);
        std::string capitalizado = "{";
        capitalizado += Capitalizar(marcador.substr(1));
        r = SubstituirTudo(r, capitalizado, Capitalizar(forma));
        r = SubstituirSemCaixa(r, marcador, forma);
    }
    return SubstituirSemCaixa(r, "{empresa}", nome);
}

const char* RotuloFala(TTipoFala ATipo) {
    static constexpr std::array<const char*, kTiposFala> kRotulos = {"Hora certa",
                                                                     "Tempo e temperatura",
                                                                     "Aviso de fechamento",
                                                                     "Mensagens",
                                                                     "Datas comemorativas",
                                                                     "Notícias",
                                                                     "Chamadas e Falar agora"};
    return kRotulos[IndiceFala(ATipo)];
}

}  // namespace ljsn
