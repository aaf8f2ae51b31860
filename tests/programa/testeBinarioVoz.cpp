#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uServidorFixtures.h"
#include "apoio/uSinais.h"

using namespace ljsn::teste;

namespace {

// The process group of the browser the program started (its child named
// "chromium"), or 0.
pid_t GrupoDoNavegador(pid_t APrograma) {
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string nome = e.path().filename().string();
        if (nome.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = LerStatDoProcesso(e.path().string());
        const std::size_t fim = stat.rfind(')');
        if (fim == std::string::npos || stat.find("(chromium)") == std::string::npos) {
            continue;
        }
        int pai = 0;
        char estado = 0;
        if (std::sscanf(stat.c_str() + fim + 2, "%c %d", &estado, &pai) == 2 && pai == APrograma) {
            return ::getpgid(std::stoi(nome));
        }
    }
    return 0;
}

bool EsperarLog(const std::string& ADados, const std::string& ATexto, int ASegundos) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(ASegundos);
    while (LerLogs(ADados).find(ATexto) == std::string::npos) {
        if (std::chrono::steady_clock::now() > limite) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

}  // namespace

// The real program with Debian's chromium and no online voice: the page
// loads and polls, says there is no online voice, the announcer falls back
// to espeak-ng and says so, and the recording has the speech; an orderly
// end takes the browser with it, and so does SIGKILL.
TEST(BinarioVoz, PonteDeVerdadeSemVozOnline) {
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/chromium"))
        << "instale o chromium (make test instala)";
    TPastaTemporaria dados;
    const int porta = PortaLivre();
    EscreverArquivo(dados / "config.ini",
                    "[Geral]\r\nVolumeAutomatico=0\r\n[Locutor]\r\nHoraCerta=0\r\n"
                    "[Datas]\r\nAtivas=\r\n[Celular]\r\nAtivo=1\r\nPin=135790\r\nPorta=" +
                        std::to_string(porta) + "\r\n");
    const std::vector<std::string> ambiente = {"LJSN_EDGE=/usr/bin/chromium"};
    {
        TProcesso programa({LJSN_BINARIO,
                            "--sem-janela",
                            "--dados",
                            dados.Caminho(),
                            "--gravar-saida",
                            dados / "saida.wav",
                            "--driver-audio",
                            "dummy",
                            "/horacerta"},
                           ambiente);
        ASSERT_NE(programa.LerAte("rodando sem janela").find("rodando sem janela"),
                  std::string::npos);
        ASSERT_TRUE(EsperarLog(dados.Caminho(), "o navegador nao tem vozes naturais", 90))
            << LerLogs(dados.Caminho());
        const pid_t grupo = GrupoDoNavegador(programa.Pid());
        ASSERT_GT(grupo, 0);
        EXPECT_GE(ProcessosVivosNoGrupo(grupo), 2);
        // espeak-ng speaks the sentence; the phone's report says when it is done.
        httplib::Client celular("127.0.0.1", porta);
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < limite) {
            auto r = celular.Get("/api/estado", {{"X-Pin", "135790"}});
            if (r && r->status == 200 && r->body.find("\"locutor\":\"\"") != std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        programa.Sinalizar(SIGTERM);
        ASSERT_EQ(programa.Esperar(), 0);
        EXPECT_TRUE(EsperarGrupoVazio(grupo, 10));
    }
    const std::string log = LerLogs(dados.Caminho());
    const std::vector<std::string> ordem = {
        "[VOZ NATURAL] voz natural pronta (porta 478",
        "[LOCUTOR]  fala (volume 80%): ",
        "[ERRO]     voz natural: vozes online indisponíveis (sem internet?)",
        "[LOCUTOR]  o navegador nao tem vozes naturais: usando a voz do sistema \"Português "
        "(Brasil)\" (nova tentativa em 6 horas)"};
    std::size_t antes = 0;
    for (const auto& t : ordem) {
        const std::size_t p = log.find(t, antes);
        ASSERT_NE(p, std::string::npos) << t << "\n" << log;
        antes = p;
    }
    // Nothing but the announcer plays: sound in the recording is speech.
    const TWav wav = LerWav(dados / "saida.wav");
    std::size_t comSom = 0;
    const std::size_t janela = 4410;
    for (std::size_t i = 0; i + janela <= wav.Quadros(); i += janela) {
        double soma = 0;
        for (std::size_t q = i; q < i + janela; ++q) {
            soma += wav.Amostras[q * 2] * wav.Amostras[q * 2];
        }
        comSom += std::sqrt(soma / janela) > 0.01 ? 1 : 0;
    }
    EXPECT_GT(comSom, 10u) << "no speech in the recording";

    // Killed outright: the kernel ends the browser, and its helpers follow.
    TProcesso morto(
        {LJSN_BINARIO, "--sem-janela", "--dados", dados.Caminho(), "--driver-audio", "dummy"},
        ambiente);
    ASSERT_NE(morto.LerAte("rodando sem janela").find("rodando sem janela"), std::string::npos);
    pid_t grupo = 0;
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((grupo = GrupoDoNavegador(morto.Pid())) == 0 || ProcessosVivosNoGrupo(grupo) < 2) {
        ASSERT_LT(std::chrono::steady_clock::now(), limite) << "o navegador nao abriu";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    morto.Sinalizar(SIGKILL);
    morto.Esperar();
    EXPECT_TRUE(EsperarGrupoVazio(grupo, 15)) << ProcessosVivosNoGrupo(grupo) << " ainda vivos";
}
