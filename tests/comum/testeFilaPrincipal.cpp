#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "comum/uFilaPrincipal.h"

using namespace ljsn;

// Calls posted from workers run on the draining thread, in order, including
// those a call posts in turn.
TEST(FilaPrincipal, DrenaNaOrdemETudo) {
    TFilaSimples fila;
    std::vector<int> ordem;
    std::thread t([&] {
        for (int i = 0; i < 100; ++i) {
            fila.Postar([&ordem, i] { ordem.push_back(i); });
        }
    });
    t.join();
    fila.Postar([&] { fila.Postar([&] { ordem.push_back(-1); }); });
    EXPECT_EQ(fila.Drenar(), 102u);
    ASSERT_EQ(ordem.size(), 101u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(ordem[static_cast<std::size_t>(i)], i);
    }
    EXPECT_EQ(ordem.back(), -1);
}

TEST(FilaPrincipal, AcordarEncerraAEspera) {
    TFilaSimples fila;
    std::thread t([&] { fila.Acordar(); });
    // Returns well before the far deadline because of Acordar.
    EXPECT_FALSE(fila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::hours(1)));
    t.join();
}
