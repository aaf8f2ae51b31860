#include <QCoreApplication>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "janelas/uApoioJanelas.h"
#include "janelas/uBuscaFundo.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

constexpr auto kPrazo = std::chrono::seconds(20);

// Keeps its promise when destroyed. Held by a work function, it tells the
// test that the worker thread has ended: the work's captures go with the
// thread, after anything it posted.
struct TAoFim {
    std::promise<void> Fim;
    ~TAoFim() { Fim.set_value(); }
};

// Returns once the token asks to stop.
void EsperarParada(std::stop_token AParar) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock trava(m);
    cv.wait(trava, AParar, [] { return false; });
}

class BuscaFundo : public testing::Test {
  protected:
    static void SetUpTestSuite() { GarantirAplicacao(); }
};

// The work runs on another thread; its result arrives on the main one, and
// the look-up counts as busy until then.
TEST_F(BuscaFundo, EntregaNaLinhaPrincipal) {
    TBuscaFundo busca;
    std::thread::id trabalhou;
    std::thread::id entregou;
    std::optional<int> recebido;
    busca.Iniciar(
        [&trabalhou](std::stop_token) {
            trabalhou = std::this_thread::get_id();
            return 42;
        },
        [&](int AValor) {
            recebido = AValor;
            entregou = std::this_thread::get_id();
        });
    EXPECT_TRUE(busca.Ocupado());
    ASSERT_TRUE(QTest::qWaitFor([&] { return recebido.has_value(); }, 20000));
    EXPECT_EQ(*recebido, 42);
    EXPECT_EQ(entregou, std::this_thread::get_id());
    EXPECT_NE(trabalhou, std::this_thread::get_id());
    EXPECT_FALSE(busca.Ocupado());
}

// A second request supersedes the first: the first is asked to stop, and
// what it still finds is never delivered.
TEST_F(BuscaFundo, SoAUltimaEntrega) {
    TBuscaFundo busca;
    std::vector<int> entregues;
    auto fim = std::make_shared<TAoFim>();
    std::future<void> primeiraAcabou = fim->Fim.get_future();
    std::promise<void> soltar;
    std::promise<bool> parada;
    std::future<bool> foiParada = parada.get_future();
    // The first ignores its token until released, and then answers anyway.
    busca.Iniciar(
        [fim = std::move(fim), solta = soltar.get_future().share(), &parada](
            std::stop_token AParar) {
            solta.wait();
            parada.set_value(AParar.stop_requested());
            return 1;
        },
        [&entregues](int AValor) { entregues.push_back(AValor); });
    busca.Iniciar([](std::stop_token) { return 2; },
                  [&entregues](int AValor) { entregues.push_back(AValor); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !entregues.empty(); }, 20000));
    EXPECT_FALSE(busca.Ocupado());
    soltar.set_value();
    ASSERT_EQ(foiParada.wait_for(kPrazo), std::future_status::ready);
    EXPECT_TRUE(foiParada.get());
    ASSERT_EQ(primeiraAcabou.wait_for(kPrazo), std::future_status::ready);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(entregues, std::vector<int>{2});
}

// Cancelar stops the worker without waiting for it, and drops its result.
TEST_F(BuscaFundo, CanceladaNaoEntrega) {
    TBuscaFundo busca;
    bool entregue = false;
    auto fim = std::make_shared<TAoFim>();
    std::future<void> acabou = fim->Fim.get_future();
    busca.Iniciar(
        [fim = std::move(fim)](std::stop_token AParar) {
            EsperarParada(AParar);
            return 0;
        },
        [&entregue](int) { entregue = true; });
    ASSERT_TRUE(busca.Ocupado());
    busca.Cancelar();
    EXPECT_FALSE(busca.Ocupado());
    ASSERT_EQ(acabou.wait_for(kPrazo), std::future_status::ready);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(entregue);
}

// The owner's end stops and joins its worker, and a result already queued
// for it is dropped, not delivered to an owner that is gone.
TEST_F(BuscaFundo, DonaDestruida) {
    struct TCaso {
        const char* Nome;
        bool Bloqueia;  // waits for its stop request; else answers at once
    };
    for (const TCaso caso : {TCaso{"a meio caminho", true}, TCaso{"resposta na fila", false}}) {
        SCOPED_TRACE(caso.Nome);
        bool entregue = false;
        auto fim = std::make_shared<TAoFim>();
        std::future<void> acabou = fim->Fim.get_future();
        {
            TBuscaFundo busca;
            busca.Iniciar(
                [fim = std::move(fim), bloqueia = caso.Bloqueia](std::stop_token AParar) {
                    if (bloqueia) {
                        EsperarParada(AParar);
                    }
                    return 7;
                },
                [&entregue](int) { entregue = true; });
            if (!caso.Bloqueia) {
                // No event loop has run: the answer waits in the queue.
                ASSERT_EQ(acabou.wait_for(kPrazo), std::future_status::ready);
            }
        }
        // Joined: the worker ended before the destructor returned.
        EXPECT_EQ(acabou.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        QCoreApplication::sendPostedEvents();
        EXPECT_FALSE(entregue);
    }
}

}  // namespace
