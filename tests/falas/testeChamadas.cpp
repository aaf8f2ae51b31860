#include <gtest/gtest.h>

#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "falas/uChamadas.h"

using namespace ljsn;
using namespace ljsn::teste;

TEST(Chamadas, MontarChamada) {
    const auto modelos = ChamadasPadrao();
    ASSERT_EQ(modelos.size(), 13u);
    struct TCaso {
        const char* Nome;
        std::string Modelo;
        TCamposChamada Campos;
        const char* Texto;
        const char* Faltando;
    };
    const TCaso casos[] = {
        {"PlacaSoletrada",
         modelos[11],
         {1, "", "", "abc1d23", "Gol prata"},
         "Atenção, proprietário do veículo Gol prata, placa A, B, C, 1, D, 2, 3: seu veículo está "
         "com os faróis acesos.",
         ""},
        {"PlacaCurtaEVeiculoVazio",
         modelos[10],
         {1, "", "", "ABC-12", " "},
         "Atenção, proprietário do veículo , placa A, B, C, 1, 2: favor comparecer ao "
         "estacionamento.",
         "veículo/objeto e placa"},
        {"NomeAparado",
         modelos[5],
         {1, "  Ana ", "padaria", "", ""},
         "Ana, por favor, comparecer ao setor padaria.",
         ""},
        {"CaixaNumero",
         modelos[0],
         {12, "", "", "", ""},
         "Gerente, por favor, comparecer ao caixa 12.",
         ""},
        {"NomeMaiusculoNaoFalta", "{Nome}, venha.", {1, "", "", "", ""}, ", venha.", ""},
        {"Empresa", "Bem-vindos {à empresa}!", {}, "Bem-vindos ao Mercado Central!", ""},
        {"TodosFaltando",
         "{nome} {setor} {objeto} {placa}",
         {},
         "   ",
         "nome e setor e veículo/objeto e placa"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        const auto r =
            MontarChamada(c.Modelo, c.Campos, "Mercado Central", TGeneroEmpresa::geMasculino);
        EXPECT_EQ(r.Texto, c.Texto);
        EXPECT_EQ(r.Faltando, c.Faltando);
    }
    EXPECT_EQ(NormalizarPlaca("abc-1d23 "), "ABC1D23");
    EXPECT_EQ(SoletrarPlaca("ab"), "A, B");
}

TEST(Chamadas, ArquivoDaLoja) {
    TPastaTemporaria pasta;
    DefinirPastaDados(pasta.Caminho());
    EXPECT_EQ(CarregarChamadas(), ChamadasPadrao());
    EscreverArquivo(pasta / "chamadas.txt",
                    "\xEF\xBB\xBF"
                    "Compareça na {empresa}\r\n\r\n   \r\n  Caixa {caixa}  \r\n");
    EXPECT_EQ(CarregarChamadas(),
              (std::vector<std::string>{"Compareça {na empresa}", "  Caixa {caixa}  "}));
}
