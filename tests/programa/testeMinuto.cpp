#include <gtest/gtest.h>

#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;
using V = std::vector<std::string>;

namespace {

// The programme playing long silent songs on the fake device; the scripted
// voice speaks each text for 1 s.
class Minuto : public testing::Test {
  protected:
    TPrograma& Preparar(double AInicio, const std::function<void(TConfiguracoes&)>& AConfig) {
        A.Relogio.DefinirAgora(AInicio);
        for (const char* n : {"longa1.wav", "longa2.wav"}) {
            CriarWavSilencioso(A.Pasta("musicas/") + n, 3600000, 1000);
        }
        A.Voz.Roteiro.MsFixos = 1000;
        A.Configurar([&](TConfiguracoes& c) {
            c.PastaMusicas = A.Pasta("musicas");
            c.TransicaoSegundos = 0;
            c.NomeEmpresa = "Padaria Pão Quente";
            c.GeneroEmpresa = TGeneroEmpresa::geFeminino;
            c.HoraCerta = false;
            c.DatasAtivas = "";
            c.MinutosEntreMensagens = 0;
            AConfig(c);
        });
        return A.Criar();
    }
    // The texts the announcer started, in order ("fala (...): " lines).
    V Falas() const {
        V r;
        for (const auto& l : A.LinhasDoLog("LOCUTOR")) {
            const auto p = l.find("): ");
            if (l.rfind("fala (", 0) == 0 && p != std::string::npos) {
                r.push_back(l.substr(p + 3));
            }
        }
        return r;
    }
    TAmbienteProgramacao A;
};

double Hora(int AH, int AM, int AS = 0) {
    return CodificarData(2026, 12, 9) + CodificarHora(AH, AM, AS);
}

}  // namespace

// Warnings at 17:30, 17:45 and 17:55, the closing sentence at 18:00 after
// the time on the hour, then the programme stops once the announcer is done.
TEST_F(Minuto, FechamentoComAvisos) {
    TPrograma& p = Preparar(Hora(17, 29, 30), [](TConfiguracoes& c) {
        c.AvisoFechamento = true;
        c.HorarioFechamento = "18:00";
        c.AvisosFechamento = "30,15,5";
        c.HoraCerta = true;
    });
    p.Tocar();
    A.Avancar(31 * 60 * 1000);
    EXPECT_EQ(Falas(),
              (V{"Atenção: a Padaria Pão Quente informa que faltam 30 minutos para encerrarmos "
                 "nossas atividades.",
                 "Atenção: a Padaria Pão Quente informa que faltam 15 minutos para encerrarmos "
                 "nossas atividades.",
                 "Atenção: a Padaria Pão Quente informa que faltam 5 minutos para encerrarmos "
                 "nossas atividades.",
                 "A Padaria Pão Quente te diz a hora certa: são 18 horas!",
                 "Atenção: estamos encerrando nossas atividades. A Padaria Pão Quente agradece a "
                 "sua preferência. Volte sempre!"}));
    EXPECT_FALSE(p.EmReproducao());
    EXPECT_FALSE(p.PararAposLocutor());
    EXPECT_EQ(A.Visao.Tipo, "●  PARADO");
}

// Closing at 00:10 with a 30-minute warning: nothing at 23:40 of the day before.
TEST_F(Minuto, AvisoNaoAtravessaAMeiaNoite) {
    TPrograma& p = Preparar(Hora(23, 39, 30), [](TConfiguracoes& c) {
        c.AvisoFechamento = true;
        c.HorarioFechamento = "0:10";
        c.AvisosFechamento = "30";
    });
    p.Tocar();
    A.Avancar(120000);
    EXPECT_TRUE(Falas().empty());
}

// Messages every 15 minutes of play; paused minutes do not count.
TEST_F(Minuto, MensagensSoContamMinutosTocando) {
    TPrograma& p = Preparar(Hora(9, 0, 30), [](TConfiguracoes& c) {
        c.MinutosEntreMensagens = 15;
        c.Mensagens = {"Bem-vindo {à empresa}!", "Segunda {da empresa}."};
    });
    p.Tocar();
    A.Avancar(10 * 60000);
    p.Pausar();
    A.Avancar(10 * 60000);
    EXPECT_TRUE(Falas().empty());
    p.Pausar();  // resumes
    A.Avancar(4 * 60000);
    EXPECT_TRUE(Falas().empty());
    A.Avancar(60000 + 5000);
    EXPECT_EQ(Falas(), (V{"Bem-vindo à Padaria Pão Quente!"}));
    A.Avancar(15 * 60000);
    EXPECT_EQ(Falas().back(), "Segunda da Padaria Pão Quente.");
}

// Two phrases on one day alternate; the first comes after half an interval.
TEST_F(Minuto, DatasAlternam) {
    TPrograma& p =
        Preparar(CodificarData(2026, 12, 25) + CodificarHora(9, 0, 30), [](TConfiguracoes& c) {
            c.DatasAtivas = "*";
            c.DatasMinutos = 10;
            c.Aniversario = "25/12";
        });
    p.Tocar();
    A.Avancar(5 * 60000 + 5000);
    ASSERT_EQ(Falas().size(), 1u);
    EXPECT_EQ(Falas()[0], "A Padaria Pão Quente deseja a todos um feliz Natal!");
    A.Avancar(10 * 60000);
    ASSERT_EQ(Falas().size(), 2u);
    EXPECT_EQ(Falas()[1],
              "Hoje é aniversário da Padaria Pão Quente! Obrigado por fazer parte da nossa "
              "história.");
    A.Avancar(10 * 60000);
    EXPECT_EQ(Falas()[2], Falas()[0]);
}

// A start at minute 0 queues the time during creation; it is spoken although
// the programme is not playing (only automatic speech waits for play).
TEST_F(Minuto, InicioNaHoraCheia) {
    TPrograma& p = Preparar(Hora(14, 0, 10), [](TConfiguracoes& c) {
        c.HoraCerta = true;
        c.MinutosEntreMensagens = 1;
    });
    EXPECT_TRUE(p.Locutor().Ativo());
    EXPECT_FALSE(p.EmReproducao());
    A.Avancar(5000);
    EXPECT_EQ(Falas(), (V{"A Padaria Pão Quente te diz a hora certa: são 14 horas!"}));
}

// The clock override moves the "Hora certa" button's time, not the events.
TEST_F(Minuto, RelogioAjustadoSoNoBotao) {
    A.Relogio.DefinirAgora(Hora(14, 30, 10));
    TOpcoesPrograma opcoes;
    opcoes.ValorRelogio = "7:05";
    A.Configurar([](TConfiguracoes& c) { c.HoraCerta = true; });
    A.Construir(A.Dispositivo, A.Voz, opcoes);
    A.Programa->ExecutarAcao(3);
    A.Avancar(30 * 60000);  // 15:00 by the system clock
    EXPECT_EQ(Falas(),
              (V{"A nossa loja te diz a hora certa: são 7 horas e 5 minutos!",
                 "A nossa loja te diz a hora certa: são 15 horas!"}));
}

// A restart after a crash used to come back silent (TocarAoIniciar is off by
// default). The marker in the data folder brings back the music that was on
// air, from its start; not after the closing stop ended the day, and not
// once it is past closing time.
TEST_F(Minuto, RetomaDepoisDeUmFimInesperado) {
    const std::string marca = A.Pasta("dados/reproducao.ini");
    const auto configurar = [](TConfiguracoes& c) {
        c.AvisoFechamento = true;
        c.HorarioFechamento = "18:00";
        c.AvisosFechamento = "";
    };
    TPrograma& p = Preparar(Hora(17, 58), configurar);
    p.Tocar();
    A.Avancar(1000);
    p.Proxima();
    A.Avancar(1000);
    ASSERT_EQ(A.Tocados(), (V{"longa1", "longa2"}));
    // The marker as a kill -9 would leave it: the orderly end below rewrites it.
    const std::string tocando = LerArquivo(marca);
    A.Programa.reset();
    EXPECT_NE(LerArquivo(marca).find("Encerrado=1"), std::string::npos);

    struct TCaso {
        const char* Nome;
        std::string Marca;
        double Agora;
        std::vector<std::string> Tocados;  // after the restart
        const char* Log;
    };
    // The closing stop's marker: play until 18:00 and its sentence, then stop.
    A.Dispositivo.Abertos.clear();
    TPrograma& q = Preparar(Hora(17, 59, 30), configurar);
    q.Tocar();
    A.Avancar(60 * 1000);
    ASSERT_FALSE(q.EmReproducao());
    const std::string fechamento = LerArquivo(marca);
    EXPECT_NE(fechamento.find("Situacao=fechamento"), std::string::npos) << fechamento;
    A.Programa.reset();

    const TCaso casos[] = {
        {"MorreuTocando",
         tocando,
         Hora(17, 59),
         {"longa2"},
         "o programa parou de forma inesperada: retomando longa2"},
        {"DepoisDoFechamento", fechamento, Hora(18, 1), {}, nullptr},
        {"TocandoMasJaFechou",
         tocando,
         Hora(18, 1),
         {},
         "o programa parou de forma inesperada, mas a loja ja fechou: nao retoma"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        EscreverArquivo(marca, c.Marca);
        A.Dispositivo.Abertos.clear();
        Preparar(c.Agora, configurar);
        A.Avancar(500);
        EXPECT_EQ(A.Tocados(), c.Tocados);
        if (c.Log != nullptr) {
            const V inicio = A.LinhasDoLog("INICIO");
            EXPECT_NE(std::find(inicio.begin(), inicio.end(), c.Log), inicio.end());
        }
        A.Programa.reset();
    }
}
