#include <algorithm>
#include <chrono>

#include <gtest/gtest.h>

#include "programa/uAmbienteProgramacao.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

std::size_t Conhecidas(const TPrograma& AP) {
    return static_cast<std::size_t>(
        std::count_if(AP.Duracoes().begin(), AP.Duracoes().end(), [](int d) { return d >= 0; }));
}

// Runs queued calls one at a time (waiting for workers to post them) until
// APronto holds; calls AVer after each.
void RodarAte(
    TFilaSimples& AFila,
    const std::function<bool()>& APronto,
    const std::function<void()>& AVer = [] {}) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!APronto()) {
        ASSERT_LT(std::chrono::steady_clock::now(), limite) << "os lotes nao chegaram";
        if (!AFila.ExecutarUma()) {
            AFila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::seconds(1));
            continue;
        }
        AVer();
    }
}

}  // namespace

// 60 files arrive in batches after 25, 50 and 60 files; the status bar shows
// the total only once every duration is known.
TEST(Duracoes, LotesDe25) {
    TAmbienteProgramacao a;
    std::vector<std::string> nomes;
    for (int i = 0; i < 60; ++i) {
        nomes.push_back("m" + std::to_string(100 + i) + ".wav");
    }
    a.CriarArquivos("musicas", nomes, 1000);
    a.Configurar([&](TConfiguracoes& c) { c.PastaMusicas = a.Pasta("musicas"); });
    TPrograma& p = a.Construir(a.Dispositivo, a.Voz);
    EXPECT_EQ(p.TextosStatus()[0], "Músicas: 60");
    std::vector<std::size_t> lotes;
    RodarAte(
        a.Fila,
        [&] { return Conhecidas(p) == 60; },
        [&] {
            // Other workers post too (the loudness measured): count changes.
            if (const std::size_t n = Conhecidas(p);
                n > 0 && (lotes.empty() || lotes.back() != n)) {
                lotes.push_back(n);
            }
        });
    EXPECT_EQ(lotes, (std::vector<std::size_t>{25, 50, 60}));
    EXPECT_EQ(p.TextosStatus()[0], "Músicas: 60  ·  1:00");
}

// A quick second rebuild: the first reading's batches are dropped, so no row
// ever shows a duration of another list. (Run under ThreadSanitizer too.)
TEST(Duracoes, SegundaLeituraDescartaAPrimeira) {
    TAmbienteProgramacao a;
    std::vector<std::string> nomes;
    for (int i = 0; i < 120; ++i) {
        nomes.push_back("m" + std::to_string(1000 + i) + ".wav");
    }
    a.CriarArquivos("curtas", nomes, 1000);
    a.CriarArquivos("longas", nomes, 2000);
    a.Configurar([&](TConfiguracoes& c) { c.PastaMusicas = a.Pasta("curtas"); });
    TPrograma& p = a.Criar();
    p.Config().PastaMusicas = a.Pasta("longas");
    p.RecarregarListas();
    p.Config().PastaMusicas = a.Pasta("curtas");
    p.RecarregarListas();
    p.Config().PastaMusicas = a.Pasta("longas");
    p.RecarregarListas();
    bool outra = false;
    RodarAte(
        a.Fila,
        [&] { return Conhecidas(p) == 120; },
        [&] {
            for (int d : p.Duracoes()) {
                outra = outra || (d >= 0 && d != 2000);
            }
        });
    EXPECT_FALSE(outra);
    // A file without a readable duration keeps the total off the status bar.
    EscreverArquivo(a.Pasta("longas/m9999.wav"), "nao e audio");
    p.RecarregarListas();
    RodarAte(a.Fila, [&] { return Conhecidas(p) == 120 && p.Duracoes().size() == 121; });
    EXPECT_EQ(p.TextosStatus()[0], "Músicas: 121");
}

// Two programmes in one process: one closing does not cancel the other's
// reading (each keeps its own generation).
TEST(Duracoes, OutroProgramaNaoCancelaALeitura) {
    TAmbienteProgramacao a;
    std::vector<std::string> nomes;
    for (int i = 0; i < 200; ++i) {
        nomes.push_back("m" + std::to_string(1000 + i) + ".wav");
    }
    a.CriarArquivos("musicas", nomes, 1000);
    a.Configurar([&](TConfiguracoes& c) { c.PastaMusicas = a.Pasta("musicas"); });
    TPrograma& p = a.Construir(a.Dispositivo, a.Voz);
    {
        TVisaoGravada visao;
        TFilaSimples fila;
        TPrograma outro(a.Relogio, fila, visao, a.Dispositivo, a.Voz, TOpcoesPrograma{});
        outro.Iniciar();
    }
    RodarAte(a.Fila, [&] { return Conhecidas(p) == 200; });
    EXPECT_EQ(Conhecidas(p), 200u);
}
