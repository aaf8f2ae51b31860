#include <cmath>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "audio/motor/uRampaGanho.h"
#include "comum/uAnelSpsc.h"

using namespace ljsn;

TEST(AnelSpsc, DaAVoltaSemPerder) {
    TAnelSpsc<int> anel(5);  // rounded up to 8
    EXPECT_EQ(anel.Capacidade(), 8u);
    std::vector<int> saida(8);
    int proximo = 0;
    int esperado = 0;
    for (int volta = 0; volta < 50; ++volta) {
        std::vector<int> entrada;
        for (int i = 0; i < 3 + volta % 5; ++i) {
            entrada.push_back(proximo++);
        }
        const std::size_t escritos = anel.Escrever(entrada);
        proximo -= static_cast<int>(entrada.size() - escritos);
        const std::size_t lidos = anel.Ler(std::span<int>(saida.data(), 1 + volta % 7));
        for (std::size_t i = 0; i < lidos; ++i) {
            ASSERT_EQ(saida[i], esperado++);
        }
    }
    EXPECT_EQ(anel.Descartar(100) + static_cast<std::size_t>(esperado),
              static_cast<std::size_t>(proximo));
    EXPECT_EQ(anel.Disponivel(), 0u);
}

// A producer and a consumer at full speed: the sequence arrives whole and in
// order. Meant to run under ThreadSanitizer too.
TEST(AnelSpsc, DuasThreads) {
    TAnelSpsc<std::uint32_t> anel(256);
    constexpr std::uint32_t kTotal = 2'000'000;
    std::thread produtor([&] {
        std::uint32_t v = 0;
        std::uint32_t bloco[37];
        while (v < kTotal) {
            std::uint32_t n = 0;
            for (; n < 37 && v + n < kTotal; ++n) {
                bloco[n] = v + n;
            }
            v +=
                static_cast<std::uint32_t>(anel.Escrever(std::span<const std::uint32_t>(bloco, n)));
        }
    });
    std::uint32_t esperado = 0;
    std::uint32_t bloco[53];
    bool ok = true;
    while (esperado < kTotal) {
        const std::size_t n = anel.Ler(bloco);
        for (std::size_t i = 0; i < n; ++i) {
            ok = ok && bloco[i] == esperado;
            ++esperado;
        }
    }
    produtor.join();
    EXPECT_TRUE(ok);
}

TEST(RampaGanho, AlcancaOAlvoNoTempoEExatoSemSaltos) {
    TRampaGanho r(100);
    r.Reiniciar(0.0f);
    r.DefinirAlvo(1.0f);
    float anterior = r.Atual();
    for (int i = 0; i < 100; ++i) {
        const float g = r.Avancar();
        EXPECT_LE(std::abs(g - anterior), 1.0f / 100 + 1e-6f);
        anterior = g;
    }
    EXPECT_FLOAT_EQ(r.Atual(), 1.0f);
    EXPECT_TRUE(r.Parada());
    // Retargeted mid-ramp: it turns from where it stood.
    r.DefinirAlvo(0.0f);
    for (int i = 0; i < 30; ++i) {
        r.Avancar();
    }
    const float meio = r.Atual();
    EXPECT_NEAR(meio, 0.7f, 1e-5f);
    r.DefinirAlvo(1.0f);
    EXPECT_FLOAT_EQ(r.Atual(), meio);
}
