#include "falas/uDatas.h"

#include <cmath>

#include "comum/uFormato.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"
#include "falas/uFrases.h"

namespace ljsn {

std::vector<TDataComemorativa> ListaDatas() {
    return {
        {"anonovo",
         "Ano Novo (1º de janeiro)",
         "{A empresa} deseja a todos um feliz Ano Novo!",
         ""},
        {"carnaval",
         "Carnaval",
         "Bom Carnaval! {A empresa} deseja a todos muita alegria, com segurança.",
         ""},
        {"mulher",
         "Dia Internacional da Mulher (8 de março)",
         "Hoje é o Dia Internacional da Mulher. {A empresa} deseja um feliz dia a todas as "
         "mulheres!",
         ""},
        {"consumidor",
         "Dia do Consumidor (15 de março)",
         "Hoje é o Dia do Consumidor! Aproveite as ofertas especiais {da empresa}.",
         "%s para o Dia do Consumidor. Fique de olho nas ofertas {da empresa}!"},
        {"pascoa",
         "Páscoa",
         "{A empresa} deseja a todos uma feliz Páscoa!",
         "%s para a Páscoa. Aproveite para garantir os seus presentes {na empresa}."},
        {"maes",
         "Dia das Mães (2º domingo de maio)",
         "Feliz Dia das Mães! {A empresa} homenageia todas as mães.",
         "%s para o Dia das Mães. Venha escolher o presente dela {na empresa}!"},
        {"namorados",
         "Dia dos Namorados (12 de junho)",
         "Feliz Dia dos Namorados! {A empresa} deseja muito amor a todos os casais.",
         "%s para o Dia dos Namorados. Surpreenda quem você ama com um presente {da empresa}!"},
        {"pais",
         "Dia dos Pais (2º domingo de agosto)",
         "Feliz Dia dos Pais! {A empresa} homenageia todos os pais.",
         "%s para o Dia dos Pais. Venha escolher o presente dele {na empresa}!"},
        {"criancas",
         "Dia das Crianças (12 de outubro)",
         "Feliz Dia das Crianças! {A empresa} deseja muita alegria a todas as crianças.",
         "%s para o Dia das Crianças. Venha escolher o presente {na empresa}!"},
        {"blackfriday",
         "Black Friday",
         "Hoje é Black Friday! Aproveite as ofertas {da empresa}.",
         "%s para a Black Friday. Fique de olho nas ofertas {da empresa}!"},
        {"natal",
         "Natal (25 de dezembro)",
         "{A empresa} deseja a todos um feliz Natal!",
         "%s para o Natal. Venha escolher os seus presentes {na empresa}!"},
        {"reveillon",
         "Véspera de Ano Novo (31 de dezembro)",
         "{A empresa} deseja a todos um próspero Ano Novo, cheio de saúde e conquistas!",
         ""},
    };
}

double DataPascoa(int AAno) {
    const int a = AAno % 19;
    const int b = AAno / 100;
    const int c = AAno % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int mes = (h + l - 7 * m + 114) / 31;
    const int dia = ((h + l - 7 * m + 114) % 31) + 1;
    return CodificarData(AAno, mes, dia);
}

double EnesimoDiaSemana(int AAno, int AMes, int ADiaSemana, int AN) {
    double d = CodificarData(AAno, AMes, 1);
    while (DiaDaSemana(d) != ADiaSemana) {
        d += 1;
    }
    return d + (AN - 1) * 7;
}

double DataDoAno(const std::string& AChave, int AAno) {
    if (AChave == "anonovo") {
        return CodificarData(AAno, 1, 1);
    }
    if (AChave == "carnaval") {
        return DataPascoa(AAno) - 47;
    }
    if (AChave == "mulher") {
        return CodificarData(AAno, 3, 8);
    }
    if (AChave == "consumidor") {
        return CodificarData(AAno, 3, 15);
    }
    if (AChave == "pascoa") {
        return DataPascoa(AAno);
    }
    if (AChave == "maes") {
        return EnesimoDiaSemana(AAno, 5, 7, 2);
    }
    if (AChave == "namorados") {
        return CodificarData(AAno, 6, 12);
    }
    if (AChave == "pais") {
        return EnesimoDiaSemana(AAno, 8, 7, 2);
    }
    if (AChave == "criancas") {
        return CodificarData(AAno, 10, 12);
    }
    if (AChave == "blackfriday") {
        return EnesimoDiaSemana(AAno, 11, 4, 4) + 1;
    }
    if (AChave == "natal") {
        return CodificarData(AAno, 12, 25);
    }
    if (AChave == "reveillon") {
        return CodificarData(AAno, 12, 31);
    }
    return 0;
}

bool DataAtiva(const std::string& AAtivas, const std::string& AChave) {
    if (Aparar(AAtivas) == "*") {
        return true;
    }
    for (const auto& parte : Dividir(SubstituirTudo(AAtivas, " ", ""), ",")) {
        if (IguaisSemCaixaAZ(parte, AChave)) {
            return true;
        }
    }
    return false;
}

std::string TextoFaltam(int ADias) {
    return ADias == 1 ? std::string("Falta 1 dia") : FormatarOuFormato("Faltam %d dias", ADias);
}

std::vector<std::string> FrasesDoDia(const std::string& AAtivas,
                                     int ADiasAntes,
                                     const std::string& AAniversario,
                                     TGeneroEmpresa AGenero,
                                     const std::string& ANomeEmpresa,
                                     double ADia) {
    std::vector<std::string> frases;
    const double hoje = SoData(ADia);
    const TDataHora partes = DecodificarDataHora(hoje);
    for (const auto& data : ListaDatas()) {
        if (!DataAtiva(AAtivas, data.Chave)) {
            continue;
        }
        double quando = DataDoAno(data.Chave, partes.Ano);
        if (hoje > quando) {
            quando = DataDoAno(data.Chave, partes.Ano + 1);
        }
        const auto faltam = static_cast<int>(std::lround(quando - hoje));
        if (faltam == 0) {
            frases.push_back(AplicarEmpresa(data.Frase, ANomeEmpresa, AGenero));
        } else if (!data.FraseAntes.empty() && faltam <= ADiasAntes) {
            frases.push_back(AplicarEmpresa(
                FormatarOuFormato(data.FraseAntes, TextoFaltam(faltam)), ANomeEmpresa, AGenero));
        }
    }
    const auto pedacos = Dividir(AAniversario, "/");
    if (pedacos.size() == 2 && DataAtiva(AAtivas, "aniversario")) {
        const auto dia = LerInteiro(Aparar(pedacos[0]));
        const auto mes = LerInteiro(Aparar(pedacos[1]));
        if (dia && mes && *dia == partes.Dia && *mes == partes.Mes) {
            frases.push_back(AplicarEmpresa(
                "Hoje é aniversário {da empresa}! Obrigado por fazer parte da nossa história.",
                ANomeEmpresa,
                AGenero));
        }
    }
    return frases;
}

}  // namespace ljsn
