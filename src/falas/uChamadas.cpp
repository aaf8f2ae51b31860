#include "falas/uChamadas.h"

#include "ambiente/uPastas.h"
#include "comum/uArquivoTexto.h"
#include "comum/uTexto.h"
#include "falas/uFrases.h"

namespace ljsn {

namespace {

bool Vazio(const std::string& ATexto) {
    return Aparar(ATexto).empty();
}

}  // namespace

std::string ArquivoChamadas() {
    return PastaDados() + "chamadas.txt";
}

std::vector<std::string> ChamadasPadrao() {
    return {
        "Gerente, por favor, comparecer ao caixa {caixa}.",
        "Fiscal de caixa, por favor, comparecer ao caixa {caixa}.",
        "Atenção, operador: favor abrir o caixa {caixa}.",
        "Auxiliar de limpeza, por favor, comparecer à frente de loja.",
        "{nome}, por favor, comparecer à frente de loja.",
        "{nome}, por favor, comparecer ao setor {setor}.",
        "Repositor, por favor, comparecer ao setor {setor}.",
        "Segurança, por favor, comparecer à frente de loja.",
        "Cliente {nome}, por favor, comparecer ao balcão de atendimento.",
        "Atenção, colaboradores: reunião rápida na frente de loja em cinco minutos.",
        "Atenção, proprietário do veículo {veiculo}, placa {placa}: favor comparecer ao "
        "estacionamento.",
        "Atenção, proprietário do veículo {veiculo}, placa {placa}: seu veículo está com os faróis "
        "acesos.",
        "Atenção, proprietário de {objeto}: favor comparecer à frente de loja.",
    };
}

std::vector<std::string> CarregarChamadas() {
    const auto texto = LerArquivoTexto(ArquivoChamadas());
    if (!texto) {
        return ChamadasPadrao();
    }
    std::vector<std::string> modelos;
    for (auto& linha : DividirLinhas(ConverterMarcadoresAntigos(*texto))) {
        if (!Vazio(linha)) {
            modelos.push_back(std::move(linha));
        }
    }
    return modelos;
}

std::string NormalizarPlaca(const std::string& APlaca) {
    std::string r;
    for (const char c : MaiusculasAZ(APlaca)) {
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            r += c;
        }
    }
    return r;
}

std::string SoletrarPlaca(const std::string& APlaca) {
    std::string r;
    for (const char c : NormalizarPlaca(APlaca)) {
        if (!r.empty()) {
            r += ", ";
        }
        r += c;
    }
    return r;
}

TChamadaMontada MontarChamada(const std::string& AModelo,
                              const TCamposChamada& ACampos,
                              const std::string& AEmpresa,
                              TGeneroEmpresa AGenero) {
    TCamposChamada campos = ACampos;
    for (std::string* campo : {&campos.Nome, &campos.Setor, &campos.Placa, &campos.Item}) {
        if (ContarCaracteres(*campo) > kMaxCampoChamada) {
            *campo = PrimeirosCaracteres(*campo, kMaxCampoChamada);
        }
    }
    std::vector<std::string> faltando;
    auto tem = [&](const char* AMarcador) { return AModelo.find(AMarcador) != std::string::npos; };
    if (tem("{nome}") && Vazio(campos.Nome)) {
        faltando.emplace_back("nome");
    }
    if (tem("{setor}") && Vazio(campos.Setor)) {
        faltando.emplace_back("setor");
    }
    if ((tem("{veiculo}") || tem("{objeto}")) && Vazio(campos.Item)) {
        faltando.emplace_back("veículo/objeto");
    }
    if (tem("{placa}") && NormalizarPlaca(campos.Placa).size() < 7) {
        faltando.emplace_back("placa");
    }
    std::string t = SubstituirTudoSemCaixaAZ(AModelo, "{caixa}", std::to_string(campos.Caixa));
    t = SubstituirTudoSemCaixaAZ(t, "{nome}", Aparar(campos.Nome));
    t = SubstituirTudoSemCaixaAZ(t, "{setor}", Aparar(campos.Setor));
    t = AplicarEmpresa(t, AEmpresa, AGenero);
    t = SubstituirTudoSemCaixaAZ(t, "{placa}", SoletrarPlaca(campos.Placa));
    t = SubstituirTudoSemCaixaAZ(t, "{veiculo}", Aparar(campos.Item));
    t = SubstituirTudoSemCaixaAZ(t, "{objeto}", Aparar(campos.Item));
    return {t, Juntar(faltando, " e ")};
}

}  // namespace ljsn
