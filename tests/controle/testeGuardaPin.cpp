#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uRelogioFalso.h"
#include "comum/uTexto.h"
#include "controle/uGuardaPin.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

using R = TGuardaPin::TResultado;
constexpr const char* kCerto = "123456";

std::string Endereco(int AN) {
    return "10." + std::to_string(AN / 65536 % 256) + "." + std::to_string(AN / 256 % 256) + "." +
           std::to_string(AN % 256);
}

class GuardaPin : public testing::Test {
  protected:
    void SetUp() override {
        DefinirPastaDados(FPasta.Caminho());
        FGuarda.DefinirPin(kCerto);
    }
    std::vector<std::string> Linhas() const {
        std::vector<std::string> r;
        for (const auto& l : DividirLinhas(LerLogs(FPasta.Caminho()))) {
            if (l.find("[CELULAR]") != std::string::npos) {
                r.push_back(l);
            }
        }
        return r;
    }
    // Makes the addresses AInicio.. known: each presents the right PIN.
    void Conhecer(int AInicio, int AQuantos) {
        for (int i = AInicio; i < AInicio + AQuantos; ++i) {
            ASSERT_EQ(FGuarda.Conferir(kCerto, Endereco(i)), R::trCerto);
        }
    }

    TPastaTemporaria FPasta;
    TRelogioFalso FRelogio;
    TGuardaPin FGuarda{FRelogio};
};

}  // namespace

// 300 fresh addresses with one wrong PIN each used to push a locked attacker
// out of the full table, unlocking it at once.
TEST_F(GuardaPin, TravaNaoEhEsquecidaComATabelaCheia) {
    const std::string atacante = Endereco(1);
    for (int i = 0; i < TGuardaPin::kMaxErrosPin; ++i) {
        FGuarda.Conferir("000000", atacante);
    }
    ASSERT_EQ(FGuarda.Conferir(kCerto, atacante), R::trBloqueado);
    // Known phones are not held back by the shared budget, so their wrong
    // PINs all reach the table.
    Conhecer(1000, 300);
    for (int i = 1000; i < 1300; ++i) {
        EXPECT_EQ(FGuarda.Conferir("000000", Endereco(i)), R::trErrado);
    }
    EXPECT_EQ(FGuarda.Conferir(kCerto, atacante), R::trBloqueado);
    FRelogio.Avancar(TGuardaPin::kBloqueioMs);
    EXPECT_EQ(FGuarda.Conferir(kCerto, atacante), R::trCerto);
}

// A table full of locked addresses refuses newcomers instead of giving them
// tries no lockout could ever count.
TEST_F(GuardaPin, TabelaSoDeTravadosRecusaNovos) {
    Conhecer(1000, static_cast<int>(TGuardaPin::kMaxEnderecos) + 1);
    for (int i = 1000; i < 1000 + static_cast<int>(TGuardaPin::kMaxEnderecos); ++i) {
        for (int t = 0; t < TGuardaPin::kMaxErrosPin; ++t) {
            FGuarda.Conferir("000000", Endereco(i));
        }
    }
    const std::string novo = Endereco(1000 + static_cast<int>(TGuardaPin::kMaxEnderecos));
    EXPECT_EQ(FGuarda.Conferir("000000", novo), R::trBloqueado);
    EXPECT_EQ(FGuarda.Conferir(kCerto, novo), R::trCerto);
}

// Beyond 30 wrong PINs a minute from all addresses together, addresses not
// known lately are refused whatever they send, for the rest of that minute;
// phones that know the PIN keep working, and their own wrong tries still
// count against them alone.
TEST_F(GuardaPin, OrcamentoCompartilhadoPorMinuto) {
    const std::string celular = Endereco(1);
    const std::string novo = Endereco(2);
    Conhecer(1, 1);
    FRelogio.Avancar(1000);
    for (int i = 0; i < TGuardaPin::kMaxErrosPorMinuto; ++i) {
        EXPECT_EQ(FGuarda.Conferir("000000", Endereco(100 + i)), R::trErrado) << i;
    }
    struct TPasso {
        const char* Nome;
        std::uint32_t AntesMs;
        std::string Endereco;
        const char* Pin;
        R Esperado;
    };
    const TPasso passos[] = {
        {"NovoComPinErrado", 0, Endereco(200), "000000", R::trBloqueado},
        {"NovoComPinCerto", 0, novo, kCerto, R::trBloqueado},
        {"ConhecidoComPinCerto", 0, celular, kCerto, R::trCerto},
        {"ConhecidoErraSemTravar", 0, celular, "000000", R::trErrado},
        {"AindaDentroDoMinuto", 58000, novo, kCerto, R::trBloqueado},
        {"MinutoSeguinteAbre", 2000, novo, kCerto, R::trCerto},
        {"NovoJaConhecido", 0, novo, kCerto, R::trCerto},
    };
    for (const auto& p : passos) {
        SCOPED_TRACE(p.Nome);
        FRelogio.Avancar(p.AntesMs);
        EXPECT_EQ(FGuarda.Conferir(p.Pin, p.Endereco), p.Esperado);
    }
    // A right PIN makes an address known for a day, not for ever.
    EXPECT_TRUE(FGuarda.Conhecido(novo));
    FRelogio.Avancar(TGuardaPin::kConhecidoMs - 1);
    EXPECT_TRUE(FGuarda.Conhecido(novo));
    FRelogio.Avancar(1);
    EXPECT_FALSE(FGuarda.Conhecido(novo));
}

// One line per minute that had wrong PINs: how many, from how many
// addresses, and how many requests were refused for the budget.
TEST_F(GuardaPin, ResumoPorMinutoNoLog) {
    for (int i = 0; i < 40; ++i) {
        FGuarda.Conferir("000000", Endereco(100 + i % 35));
    }
    FGuarda.Manter();
    EXPECT_TRUE(Linhas().empty()) << "logged before the minute ended";
    FRelogio.Avancar(TGuardaPin::kJanelaMs);
    FGuarda.Manter();
    FGuarda.Manter();
    auto linhas = Linhas();
    ASSERT_EQ(linhas.size(), 1u);
    EXPECT_NE(linhas[0].find("30 PIN(s) errado(s) de 30 endereco(s) no ultimo minuto; 10 "
                             "pedido(s) de enderecos desconhecidos recusado(s)"),
              std::string::npos)
        << linhas[0];
    // A quiet minute logs nothing; the next busy one gets its own line.
    FRelogio.Avancar(TGuardaPin::kJanelaMs);
    FGuarda.Conferir("111111", Endereco(7));
    FRelogio.Avancar(TGuardaPin::kJanelaMs);
    FGuarda.Conferir(kCerto, Endereco(8));
    linhas = Linhas();
    ASSERT_EQ(linhas.size(), 2u);
    EXPECT_NE(linhas[1].find("1 PIN(s) errado(s) de 1 endereco(s) no ultimo minuto"),
              std::string::npos)
        << linhas[1];
    EXPECT_EQ(linhas[1].find("recusado"), std::string::npos) << linhas[1];
}
