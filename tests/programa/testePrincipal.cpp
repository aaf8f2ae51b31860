#include <chrono>
#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uRelogioFalso.h"
#include "apoio/uVozFalsa.h"
#include "comum/uTexto.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"
#include "programa/uPrincipal.h"

using namespace ljsn;
using namespace ljsn::teste;
using V = std::vector<std::string>;

namespace {

class TDispositivoNulo final : public IDispositivoMidia {
  public:
    std::optional<std::string> Enviar(std::string_view AComando) override {
        Comandos.emplace_back(AComando);
        return std::string();
    }
    std::vector<std::string> Comandos;
};

class Programa : public testing::Test {
  protected:
    void SetUp() override {
        DefinirPastaDados(FPasta.Caminho());
        DefinirHoraDoLog([this] { return FRelogio.Agora(); });
    }
    void TearDown() override { DefinirHoraDoLog(nullptr); }
    std::unique_ptr<TPrograma> Criar(const std::string& ARelogio = "") {
        TOpcoesPrograma opcoes;
        opcoes.CaminhoExecutavel = "/opt/ls/lojasonorante";
        opcoes.Linha = LerLinhaComando({"/bandeja", "--sem-janela"});
        opcoes.ValorRelogio = ARelogio;
        auto p = std::make_unique<TPrograma>(FRelogio, FFila, FVisao, FDispositivo, FVoz, opcoes);
        p->Iniciar();
        // The folders are listed on a worker.
        const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (p->Listando() && FFila.EsperarAte(prazo)) {
            FFila.Drenar();
        }
        return p;
    }
    std::string Log() const { return LerArquivo(FPasta / "Logs/LojaSonorante_2026-12-09.log"); }

    TPastaTemporaria FPasta;
    TRelogioFalso FRelogio{CodificarData(2026, 12, 9) + CodificarHora(10, 0, 0)};
    TFilaSimples FFila;
    TVisaoGravada FVisao;
    TDispositivoNulo FDispositivo;
    TFabricaVozFalsa FVoz{FRelogio};
};

}  // namespace

TEST_F(Programa, IniciaEEncerraComAsLinhasDoLog) {
    {
        auto p = Criar();
        EXPECT_TRUE(p->PrimeiraExecucao());
        EXPECT_EQ(FVisao.Hora, "10:00:00");
        EXPECT_EQ(FVisao.Data, "quarta-feira, 9 de dezembro de 2026");
        p->DefinirVolume(55);
    }
    const std::string log = Log();
    EXPECT_NE(log.find("[INICIO]   Loja Sonorante 1.20.0 aberto em /opt/ls/lojasonorante "
                       "/bandeja --sem-janela\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[INICIO]   musicas: 0 | propagandas: 0 (a cada 3 musica(s), 1 por "
                       "intervalo) | transicao: 8 s | noticias: desligadas\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[FIM]      programa fechado\r\n"), std::string::npos);
    // The settings were saved on the way out, with what changed while running.
    EXPECT_NE(LerArquivo(FPasta / "config.ini").find("Volume=55\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(FPasta / "mensagens.txt"));
}

TEST_F(Programa, SegundaExecucaoNaoEhPrimeira) {
    Criar().reset();
    EXPECT_FALSE(Criar()->PrimeiraExecucao());
}

// The override moves only the program clock; the tick shows it advancing.
TEST_F(Programa, RelogioAjustadoPorLJSN_RELOGIO) {
    auto p = Criar("7:05");
    EXPECT_EQ(FVisao.Hora, "07:05:00");
    FRelogio.Avancar(61500);
    p->Tick();
    EXPECT_EQ(FVisao.Hora, "07:06:01");
}

TEST(DeslocamentoRelogio, Tabela) {
    const double agora = CodificarData(2026, 12, 9) + CodificarHora(10, 30, 15);
    struct TCaso {
        const char* Valor;
        const char* Esperado;
    };
    const TCaso casos[] = {{"7:05", "07:05:00"},
                           {"25:99", "23:59:00"},
                           {"x:y", "00:00:00"},
                           {"-3:-1", "00:00:00"},
                           {"12:30:45", "12:30:00"},
                           {"705", "10:30:15"},
                           {"", "10:30:15"}};
    for (const auto& c : casos) {
        EXPECT_EQ(FormatarHoraMinutoSegundo(agora + CalcularDeslocamentoRelogio(c.Valor, agora)),
                  c.Esperado)
            << c.Valor;
    }
}

// An error escaping a handler is logged with its kind and shown; the
// programme goes on.
TEST_F(Programa, ErroEscapadoEhRegistradoEOProgramaSegue) {
    auto p = Criar();
    p->Protegido([] { throw std::runtime_error("falhou feio"); });
    EXPECT_EQ(FVisao.Erros, std::vector<std::string>{"falhou feio"});
    EXPECT_NE(Log().find("[ERRO]     std::runtime_error: falhou feio\r\n"), std::string::npos);
    FRelogio.Avancar(1000);
    p->Tick();
    EXPECT_EQ(FVisao.Hora, "10:00:01");
}

// A volume set from the phone reaches config.ini within two seconds, even
// while it keeps changing, so a power cut does not lose it.
TEST(Principal, VolumeDoCelularChegaAoDisco) {
    TAmbienteProgramacao a;
    a.CriarArquivos("musicas", {"m1.wav"}, 60000);
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.Volume = 80;
    });
    TPrograma& p = a.Criar();
    a.Avancar(3000);
    const auto volumeNoDisco = [] {
        TConfiguracoes c;
        c.Carregar();
        return c.Volume;
    };
    TJson pedido;
    pedido["acao"] = "volume";
    for (int v : {40, 35, 30}) {
        pedido["valor"] = v;
        ExecutarComando(p, "comando", pedido);
        a.Avancar(500);
    }
    EXPECT_EQ(volumeNoDisco(), 80);  // the first change was 1.5 s ago
    a.Avancar(600);
    EXPECT_EQ(volumeNoDisco(), 30);
    pedido["valor"] = 20;
    ExecutarComando(p, "comando", pedido);
    a.Avancar(1900);
    EXPECT_EQ(volumeNoDisco(), 30);
    a.Avancar(200);
    EXPECT_EQ(volumeNoDisco(), 20);
}

// A save that failed (a full or read-only data folder) used to be forgotten:
// the volume changed from the phone never reached the disk, and an error was
// logged after "FIM". It is tried again every minute until it works, the
// phone's replies warn meanwhile, and "FIM" is the last line.
TEST(Principal, SalvamentoQueFalhouEhRepetido) {
    TAmbienteProgramacao a;
    a.CriarArquivos("musicas", {"m1.wav"}, 60000);
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.Volume = 80;
    });
    TPrograma& p = a.Criar();
    const std::string config = a.Pasta("dados/config.ini");
    // Even root cannot rename a file over a folder.
    std::filesystem::remove(config);
    std::filesystem::create_directory(config);
    const auto estado = [&] { return TJson::parse(ExecutarComando(p, "estado", TJson::object())); };
    EXPECT_FALSE(estado().contains("aviso"));
    ExecutarComando(p, "comando", {{"acao", "volume"}, {"valor", 35}});
    a.Avancar(2500);
    ASSERT_TRUE(estado().contains("aviso"));
    EXPECT_NE(estado()["aviso"].get<std::string>().find("As configurações não puderam ser salvas"),
              std::string::npos);
    a.Avancar(120000);  // two more tries, no more lines
    const auto erros = [&] {
        int n = 0;
        for (const auto& l : a.LinhasDoLog("ERRO")) {
            n += l.find("configuracoes nao salvas") != std::string::npos ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(erros(), 1);

    std::filesystem::remove(config);  // space is back
    a.Avancar(60000);
    EXPECT_FALSE(estado().contains("aviso"));
    TConfiguracoes salvas;
    salvas.Carregar();
    EXPECT_EQ(salvas.Volume, 35);
    const V linhasConfig = a.LinhasDoLog("CONFIG");
    EXPECT_NE(std::find(linhasConfig.begin(),
                        linhasConfig.end(),
                        "configuracoes salvas (a falha anterior passou)"),
              linhasConfig.end());

    // The last save fails too: its error comes before "FIM", which ends the log.
    std::filesystem::remove(config);
    std::filesystem::create_directory(config);
    p.DefinirVolume(20);
    a.Programa.reset();
    const auto linhas = DividirLinhas(a.Log());
    ASSERT_FALSE(linhas.empty());
    EXPECT_NE(linhas.back().find("[FIM]"), std::string::npos) << linhas.back();
    EXPECT_EQ(erros(), 2);
}
