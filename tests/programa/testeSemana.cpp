#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/motor/uMotor.h"
#include "audio/motor/uSaida.h"
#include "falas/uDatas.h"
#include "programa/uAmbienteProgramacao.h"
#include "programa/uComandosJson.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// A low rate keeps a week of mixing within the test's time; the programme
// does not know the rate.
constexpr int kTaxa = 4000;
constexpr std::size_t kQuadrosTick = kTaxa / 10;
constexpr int kDias = 7;

const char* const kEmpresa = "Padaria Pão Quente";

struct TContagemDia {
    int HoraCerta = 0;
    int Avisos = 0;
    int Encerramento = 0;
    int Mensagens = 0;
    int Datas = 0;
    int Musicas = 0;
    int Intervalos = 0;
    int Propagandas = 0;
    int Vinhetas = 0;
    int Erros = 0;
    int Silencios = 0;
    std::set<std::string> FrasesDeData;
};

bool Contem(const std::string& ATexto, const std::string& AParte) {
    return ATexto.find(AParte) != std::string::npos;
}

TContagemDia Contar(const std::string& ALog, const std::vector<std::string>& AFrasesDoDia) {
    TContagemDia c;
    for (const auto& linha : DividirLinhas(ALog)) {
        if (Contem(linha, "[LOCUTOR]") && Contem(linha, "fala (")) {
            if (Contem(linha, "te diz a hora certa")) {
                ++c.HoraCerta;
            } else if (Contem(linha, "para encerrarmos")) {
                ++c.Avisos;
            } else if (Contem(linha, "estamos encerrando")) {
                ++c.Encerramento;
            } else if (Contem(linha, "Mensagem ")) {
                ++c.Mensagens;
            } else {
                for (const auto& f : AFrasesDoDia) {
                    if (Contem(linha, f)) {
                        ++c.Datas;
                        c.FrasesDeData.insert(f);
                    }
                }
            }
        } else if (const auto p = linha.find("[TOCANDO]"); p != std::string::npos) {
            const std::string texto = Aparar(linha.substr(p + 9));
            c.Musicas += ComecaCom(texto, "musica ");
            c.Propagandas += ComecaCom(texto, "propaganda ");
            c.Vinhetas += ComecaCom(texto, "vinheta ");
        } else if (Contem(linha, "intervalo comercial depois de")) {
            ++c.Intervalos;
            EXPECT_TRUE(Contem(linha, "depois de 4 musica(s)")) << linha;
        } else if (Contem(linha, "[ERRO]")) {
            ++c.Erros;
            ADD_FAILURE() << linha;
        } else if (Contem(linha, "[SILENCIO]")) {
            ++c.Silencios;
        }
    }
    return c;
}

long MemoriaResidenteKb() {
    std::ifstream statm("/proc/self/statm");
    long total = 0;
    long residente = 0;
    statm >> total >> residente;
    return residente * (::sysconf(_SC_PAGESIZE) / 1024);
}

int DescritoresAbertos() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++n;
    }
    return n;
}

void EnvelhecerArquivo(const std::string& ACaminho, int AHoras) {
    EscreverArquivo(ACaminho, "antigo\n");
    const std::time_t quando = std::time(nullptr) - static_cast<std::time_t>(AHoras) * 3600;
    const struct timespec tempos[2] = {{quando, 0}, {quando, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, ACaminho.c_str(), tempos, 0), 0);
}

}  // namespace

// Seven opening days on the fake clock with the real engine rendered offline:
// each morning a play command from the phone, each evening the closing stop,
// every night across midnight. Every day has the same schedule, the dates'
// phrases follow the calendar, each day writes its own log, old logs are
// purged while the program keeps running, and memory and descriptors stay
// flat.
TEST(Semana, SeteDiasDeLoja) {
    TMotor motor(kTaxa);
    TSaidaOffline saida(motor);
    TAmbienteProgramacao a;
    const double inicio = CodificarData(2026, 12, 21) + CodificarHora(7, 59);
    a.Relogio.DefinirAgora(inicio);
    for (int i = 0; i < 5; ++i) {
        GerarTom(a.Pasta("musicas/") + "m" + std::to_string(i) + ".wav",
                 180,
                 300 + 50 * i,
                 0.3,
                 {"-c:a", "pcm_s16le"},
                 kTaxa,
                 1);
    }
    for (int i = 0; i < 2; ++i) {
        GerarTom(a.Pasta("propagandas/") + "p" + std::to_string(i) + ".wav",
                 20,
                 800,
                 0.3,
                 {"-c:a", "pcm_s16le"},
                 kTaxa,
                 1);
    }
    GerarTom(a.Pasta("vinhetas/") + "antes.wav", 4, 1000, 0.3, {"-c:a", "pcm_s16le"}, kTaxa, 1);
    GerarTom(a.Pasta("vinhetas/") + "depois.wav", 4, 1200, 0.3, {"-c:a", "pcm_s16le"}, kTaxa, 1);
    a.Voz.Roteiro.MsFixos = 3000;
    a.Configurar([&](TConfiguracoes& c) {
        c.PastaMusicas = a.Pasta("musicas");
        c.PastaPropagandas = a.Pasta("propagandas");
        c.MusicasEntrePropagandas = 4;
        c.PropagandasPorIntervalo = 2;
        c.VinhetaAntes = a.Pasta("vinhetas/") + "antes.wav";
        c.VinhetaDepois = a.Pasta("vinhetas/") + "depois.wav";
        c.TransicaoSegundos = 4;
        c.VolumeAutomatico = false;
        c.NomeEmpresa = kEmpresa;
        c.GeneroEmpresa = TGeneroEmpresa::geFeminino;
        c.HoraCerta = true;
        c.AvisoFechamento = true;
        c.HorarioFechamento = "18:00";
        c.AvisosFechamento = "30,15,5";
        c.PararNoFechamento = true;
        c.Mensagens = {"Mensagem um {da empresa}.", "Mensagem dois."};
        c.MinutosEntreMensagens = 20;
        c.DatasAtivas = "*";
        c.DatasMinutos = 60;
        c.DatasDiasAntes = 7;
        c.Volume = 100;
    });
    TPrograma& p = a.Construir(motor, a.Voz);
    a.Fila.Drenar();

    // One tick of fake time with 100 ms of sound behind it.
    auto tique = [&](std::uint32_t AMs) {
        a.Relogio.Avancar(AMs);
        a.Fila.Drenar();
        p.Tick();
        saida.RenderizarQuadros(kQuadrosTick, kQuadrosTick);
    };
    // Until AQuando, in steps of at most APasso that land on it exactly.
    auto ate = [&](double AQuando, std::uint32_t APasso) {
        for (;;) {
            const auto faltam = std::llround((AQuando - a.Relogio.Agora()) * 86400000.0);
            if (faltam <= 0) {
                return;
            }
            tique(static_cast<std::uint32_t>(std::min<long long>(faltam, APasso)));
        }
    };

    std::vector<long> memoria;
    std::vector<int> descritores;
    std::vector<TContagemDia> dias;
    const std::string logs = PastaLogs() + "/";
    for (int d = 0; d < kDias; ++d) {
        const double dia = CodificarData(2026, 12, 21) + d;
        ate(dia + CodificarHora(8, 0, 30), 60000);  // the night, a tick a minute
        const std::string resposta = ExecutarComando(p, "comando", TJson{{"acao", "tocar"}});
        ASSERT_TRUE(p.EmReproducao()) << "dia " << d << ": " << resposta;
        ate(dia + CodificarHora(18, 0), 100);
        // The closing sentence follows the time on the hour, then the stop.
        ate(dia + CodificarHora(18, 1), 100);
        EXPECT_FALSE(p.EmReproducao()) << "dia " << d;
        EXPECT_FALSE(motor.Enviar("status musica mode").has_value()) << "dia " << d;
        if (d == 1) {
            // Old logs appear while the program runs: the next day change
            // purges what is past the limit, and only that.
            EnvelhecerArquivo(logs + "LojaSonorante_2026-11-01.log", 721);
            EnvelhecerArquivo(logs + "LojaSonorante_2026-11-22.log", 710);
            EnvelhecerArquivo(logs + "outro.log", 2000);
        }
        const TDataHora partes = DecodificarDataHora(dia);
        const std::string arquivo =
            logs + FormatarOuFormato(
                       "LojaSonorante_%.4d-%.2d-%.2d.log", partes.Ano, partes.Mes, partes.Dia);
        ASSERT_TRUE(std::filesystem::exists(arquivo)) << arquivo;
        dias.push_back(Contar(LerArquivo(arquivo),
                              FrasesDoDia("*", 7, "", TGeneroEmpresa::geFeminino, kEmpresa, dia)));
        memoria.push_back(MemoriaResidenteKb());
        descritores.push_back(DescritoresAbertos());
    }
    int musicas = 0;
    int intervalos = 0;
    int diasComDatas = 0;
    for (int d = 0; d < kDias; ++d) {
        SCOPED_TRACE("dia " + std::to_string(d + 21));
        const TContagemDia& c = dias[static_cast<std::size_t>(d)];
        // Every full hour, stopped or not: from the start at 8:00 on the first
        // day, from midnight on the others (counted up to 18:01).
        EXPECT_EQ(c.HoraCerta, d == 0 ? 11 : 19);
        EXPECT_EQ(c.Avisos, 3);
        EXPECT_EQ(c.Encerramento, 1);
        EXPECT_EQ(c.Mensagens, 30);  // 600 minutes of play, one every 20
        const auto frasesDoDia = FrasesDoDia(
            "*", 7, "", TGeneroEmpresa::geFeminino, kEmpresa, CodificarData(2026, 12, 21) + d);
        // One an hour of play when the calendar has something to say, and
        // every phrase of that day said.
        EXPECT_EQ(c.Datas, frasesDoDia.empty() ? 0 : 10);
        EXPECT_EQ(c.FrasesDeData.size(), frasesDoDia.size());
        diasComDatas += !frasesDoDia.empty();
        // 171 s of each song after the crossfade, 4 s jingles and 20 s ads:
        // the same day every day.
        EXPECT_EQ(c.Musicas, dias[0].Musicas);
        EXPECT_GT(c.Musicas, 150);
        // A break after every 4 songs, counted across the nights; when the
        // fourth song closed the day, its break opens the next morning.
        musicas += c.Musicas;
        intervalos += c.Intervalos;
        EXPECT_EQ(intervalos, (musicas - (musicas % 4 == 0 ? 1 : 0)) / 4) << musicas;
        EXPECT_EQ(c.Propagandas, 2 * c.Intervalos);
        EXPECT_EQ(c.Vinhetas, 2 * c.Intervalos);
        EXPECT_EQ(c.Silencios, 0);
    }
    EXPECT_GE(diasComDatas, 5);
    // The phrases change with the calendar: Christmas Eve and Christmas Day differ.
    EXPECT_NE(dias[3].FrasesDeData, dias[4].FrasesDeData);

    EXPECT_FALSE(std::filesystem::exists(logs + "LojaSonorante_2026-11-01.log"));
    EXPECT_TRUE(std::filesystem::exists(logs + "LojaSonorante_2026-11-22.log"));
    EXPECT_TRUE(std::filesystem::exists(logs + "outro.log"));
    int diarios = 0;
    for (const auto& e : std::filesystem::directory_iterator(logs)) {
        diarios += ComecaCom(e.path().filename().string(), "LojaSonorante_2026-12-");
    }
    EXPECT_EQ(diarios, kDias);

    // Flat from the second day on: what the first day loaded stays loaded,
    // nothing grows with the days.
    // (AddressSanitizer's quarantine of freed blocks grows the resident size
    // on its own: there the descriptors are the measure.)
    const auto [menor, maior] = std::minmax_element(memoria.begin() + 1, memoria.end());
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(*maior - *menor, 2048) << "KiB";
#endif
    const auto [fdMenor, fdMaior] = std::minmax_element(descritores.begin() + 1, descritores.end());
    EXPECT_LE(*fdMaior - *fdMenor, 1);
    std::string resumo;
    for (int d = 0; d < kDias; ++d) {
        resumo += FormatarOuFormato("dia %d: %d musicas, %d intervalos, RSS %d KiB, %d fds\n",
                                    d + 21,
                                    dias[static_cast<std::size_t>(d)].Musicas,
                                    dias[static_cast<std::size_t>(d)].Intervalos,
                                    static_cast<int>(memoria[static_cast<std::size_t>(d)]),
                                    descritores[static_cast<std::size_t>(d)]);
    }
    std::cout << resumo;
}
