#include <atomic>
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "audio/uVolumeAuto.h"
#include "comum/uIni.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

// A measurement the test controls: counts calls, answers from a table, and
// can be held at a gate so the worker's queue can be looked at.
class TMedicaoControlada {
  public:
    double operator()(const std::string& AArquivo) {
        std::unique_lock trava(FTrava);
        Medidos.push_back(AArquivo);
        FEmMedicao = true;
        FMudou.notify_all();
        FMudou.wait(trava, [this] { return FLiberada; });
        FEmMedicao = false;
        auto it = Valores.find(AArquivo);
        return it != Valores.end() ? it->second : -14.0;
    }
    void Segurar() {
        std::lock_guard trava(FTrava);
        FLiberada = false;
    }
    void Liberar() {
        {
            std::lock_guard trava(FTrava);
            FLiberada = true;
        }
        FMudou.notify_all();
    }
    // Waits until the worker is inside a measurement.
    void EsperarMedicao() {
        std::unique_lock trava(FTrava);
        FMudou.wait(trava, [this] { return FEmMedicao; });
    }
    std::vector<std::string> Lista() {
        std::lock_guard trava(FTrava);
        return Medidos;
    }
    std::map<std::string, double> Valores;

  private:
    std::mutex FTrava;
    std::condition_variable FMudou;
    std::vector<std::string> Medidos;
    bool FLiberada = true;
    bool FEmMedicao = false;
};

class VolumeAuto : public testing::Test {
  protected:
    void SetUp() override {
        DefinirPastaDados(FPasta.Caminho());
        for (const char* n : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
            EscreverArquivo(FPasta / n, std::string("conteudo ") + n);
        }
    }
    std::function<double(const std::string&)> Medicao() {
        return [this](const std::string& A) { return FMedicao(A); };
    }
    TPastaTemporaria FPasta;
    TMedicaoControlada FMedicao;
};

}  // namespace

TEST(VolumeAutoFuncoes, AjusteEFator) {
    EXPECT_DOUBLE_EQ(AjusteVolumeDb(-14, -30), 10);
    EXPECT_DOUBLE_EQ(AjusteVolumeDb(-14, -2), -12);
    EXPECT_DOUBLE_EQ(AjusteVolumeDb(-14, 5), -15);
    EXPECT_DOUBLE_EQ(AjusteVolumeDb(-14, -999), 0);
    EXPECT_DOUBLE_EQ(AjusteVolumeDb(-999, -20), 0);
    EXPECT_NEAR(DbParaFator(10), 3.16228, 1e-5);
    EXPECT_DOUBLE_EQ(DbParaFator(0), 1);
}

// The queue: a file in both lists once, priorities, measured files ignored.
TEST_F(VolumeAuto, FilaEPrioridades) {
    FMedicao.Segurar();
    TVolumeAuto v(Medicao());
    const std::string a = FPasta / "a.mp3", b = FPasta / "b.mp3", c = FPasta / "c.mp3",
                      d = FPasta / "d.mp3";
    v.Analisar({a, b});
    FMedicao.EsperarMedicao();  // the worker holds "a", first in the queue
    v.Analisar({b, c, d, a});
    EXPECT_EQ(v.Pendentes(), 4u);  // a (being measured), b, c, d: b only once
    v.Priorizar(d);
    FMedicao.Liberar();
    while (v.Pendentes() > 0) {
        std::this_thread::yield();
    }
    EXPECT_EQ(FMedicao.Lista(), (std::vector<std::string>{a, d, b, c}));
    // A measured file: no queue change, no new measurement.
    v.Priorizar(a);
    EXPECT_EQ(v.Pendentes(), 0u);
    EXPECT_TRUE(v.JaAnalisado(a));
    EXPECT_DOUBLE_EQ(v.Loudness(a), -14.0);
    EXPECT_EQ(FMedicao.Lista().size(), 4u);
}

// The cache keeps what was measured across runs; a changed file is measured
// again and its old line is gone after the next save; other sections stay.
TEST_F(VolumeAuto, CacheIdaEVolta) {
    const std::string a = FPasta / "a.mp3", b = FPasta / "b.mp3";
    FMedicao.Valores[a] = -18.4;
    FMedicao.Valores[b] = -999;
    {
        TVolumeAuto v(Medicao());
        EXPECT_DOUBLE_EQ(v.Loudness(a), -18.4);
        EXPECT_DOUBLE_EQ(v.Loudness(b), -999);
    }
    const std::string cache = LerArquivo(FPasta / "volumes.ini");
    EXPECT_TRUE(ComecaCom(cache, "\xEF\xBB\xBF[Loudness]\r\n"));
    EXPECT_NE(cache.find(a + "=" + AssinaturaArquivo(a) + "|-18.40\r\n"), std::string::npos)
        << cache;
    EXPECT_NE(cache.find(b + "=" + AssinaturaArquivo(b) + "|-999.00\r\n"), std::string::npos);
    EscreverArquivo(FPasta / "volumes.ini", cache + "\r\n[Outra]\r\nX=1\r\n");

    // b is replaced by another file of the same name.
    EscreverArquivo(b, "outro conteudo, maior que o primeiro");
    FMedicao.Valores[b] = -9.0;
    {
        TVolumeAuto v(Medicao());
        EXPECT_TRUE(v.JaAnalisado(a));
        EXPECT_FALSE(v.JaAnalisado(b));
        EXPECT_DOUBLE_EQ(v.Loudness(b), -9.0);
    }
    EXPECT_EQ(FMedicao.Lista().size(), 3u);  // a was not measured again
    const auto ini = TArquivoIni::Interpretar(LerArquivo(FPasta / "volumes.ini"), true);
    EXPECT_EQ(ini.Ler("Loudness", b), AssinaturaArquivo(b) + "|-9.00");
    EXPECT_EQ(ini.Ler("Outra", "X"), "1");
}

// Broken lines never cost the valid ones.
TEST_F(VolumeAuto, CacheComLinhasRuins) {
    const std::string a = FPasta / "a.mp3", b = FPasta / "b.mp3", c = FPasta / "c.mp3",
                      d = FPasta / "d.mp3";
    std::string texto = "[Loudness]\r\n";
    texto += a + "=" + AssinaturaArquivo(a) + "|-12.50\r\n";
    texto += b + "=" + AssinaturaArquivo(b) + "\r\n";        // no "|"
    texto += c + "=" + AssinaturaArquivo(c) + "|-1|-2\r\n";  // two of them
    texto += d + "=1.2.3|-7.00\r\n";                         // another file's signature
    texto += a + "=" + AssinaturaArquivo(a) + "|-3.00\r\n";  // duplicate: the first stands
    texto += std::string("\x00\x01\xFF\xFE garbage =|\r\n", 18);
    texto += "/x/nada.mp3=1.2.3|abc\r\n";
    EscreverArquivo(FPasta / "volumes.ini", texto);
    TVolumeAuto v(Medicao());
    EXPECT_TRUE(v.JaAnalisado(a));
    EXPECT_DOUBLE_EQ(v.Loudness(a), -12.5);
    EXPECT_FALSE(v.JaAnalisado(b));
    EXPECT_FALSE(v.JaAnalisado(c));
    EXPECT_FALSE(v.JaAnalisado(d));
}

// Destruction while a long file is measured waits for it, then saves it.
TEST_F(VolumeAuto, DestruirEsperaAMedicao) {
    const std::string a = FPasta / "a.mp3";
    FMedicao.Valores[a] = -20.0;
    FMedicao.Segurar();
    std::atomic<bool> destruido{false};
    {
        auto v = std::make_unique<TVolumeAuto>(Medicao());
        v->Analisar({a});
        FMedicao.EsperarMedicao();
        std::thread liberar([&] {
            // Let the measurement end only once destruction is under way.
            while (!destruido.load()) {
                std::this_thread::yield();
            }
            FMedicao.Liberar();
        });
        destruido.store(true);
        v.reset();
        liberar.join();
    }
    const auto ini = TArquivoIni::Interpretar(LerArquivo(FPasta / "volumes.ini"), true);
    EXPECT_EQ(ini.Ler("Loudness", a), AssinaturaArquivo(a) + "|-20.00");
}

TEST_F(VolumeAuto, Assinatura) {
    const std::string a = FPasta / "a.mp3";
    utimbuf tempos{1'700'000'000, 1'700'000'000};
    ASSERT_EQ(utime(a.c_str(), &tempos), 0);
    // 1 700 000 000 s after 1970 = 133 444 736 000 000 000 in 100 ns since 1601.
    const std::int64_t t = (1'700'000'000LL + 11644473600LL) * 10000000LL;
    const std::string esperado =
        std::to_string(LerArquivo(a).size()) + "." +
        std::to_string(static_cast<std::int32_t>(t >> 32)) + "." +
        std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(t)));
    EXPECT_EQ(AssinaturaArquivo(a), esperado);
    EXPECT_EQ(AssinaturaArquivo(FPasta / "nao-existe"), "");
}
