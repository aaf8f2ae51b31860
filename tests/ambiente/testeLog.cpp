#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "apoio/uPastaTemporaria.h"
#include "comum/uRegex.h"
#include "comum/uRelogio.h"
#include "comum/uTexto.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

const double kHora = CodificarData(2024, 5, 1) + CodificarHora(14, 3, 7, 123);

class Log : public testing::Test {
  protected:
    void SetUp() override {
        DefinirPastaDados(FPasta.Caminho());
        DefinirHoraDoLog([] { return kHora; });
    }
    void TearDown() override { DefinirHoraDoLog(nullptr); }
    std::string Arquivo() const { return FPasta / "Logs/LojaSonorante_2024-05-01.log"; }
    TPastaTemporaria FPasta;
};

}  // namespace

TEST(LinhaDeLog, Formato) {
    struct TCaso {
        const char* Categoria;
        std::string Texto;
        const char* Esperado;
    };
    const TCaso casos[] = {
        {"FIM", "programa fechado", "2024-05-01 14:03:07.123  [FIM]      programa fechado"},
        {"NOTICIAS", "x", "2024-05-01 14:03:07.123  [NOTICIAS] x"},
        {"VOZ NATURAL", "x", "2024-05-01 14:03:07.123  [VOZ NATURAL] x"},
        {"TOCANDO", "a\r\nb", "2024-05-01 14:03:07.123  [TOCANDO]  a | b"},
        // One event, one line, valid UTF-8, whatever a file name or a text holds.
        {"ERRO", "a\nb\rc", "2024-05-01 14:03:07.123  [ERRO]     a b c"},
        {"FALA",
         "\x1b[31mvermelho\x1b[0m",
         "2024-05-01 14:03:07.123  [FALA]      [31mvermelho [0m"},
        {"FALA", std::string("nul\0aqui\x7f", 9), "2024-05-01 14:03:07.123  [FALA]     nul aqui "},
        {"TOCANDO", "Can\xe7\xe3o.mp3", "2024-05-01 14:03:07.123  [TOCANDO]  Can\uFFFD\uFFFDo.mp3"},
        {"TOCANDO",
         "\xc2\x85"
         "c1 \xed\xa0\x80 \xf0\x9f\x8e\xb5 ação",
         "2024-05-01 14:03:07.123  [TOCANDO]   c1 \uFFFD\uFFFD\uFFFD \U0001F3B5 ação"},
        // Marks that reverse or break what follows them are controls too.
        {"TOCANDO",
         "m\u202Ep3.exe\u2028b\u2029c\u2066d\u2069e\u200Ff",
         "2024-05-01 14:03:07.123  [TOCANDO]  m p3.exe b c d e f"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(MontarLinhaLog(kHora, c.Categoria, c.Texto), c.Esperado);
    }
    // A runaway text costs one short line: 500 characters and "…".
    std::string enorme;
    for (int i = 0; i < 125000; ++i) {
        enorme += "ação ";
    }
    const std::string linha = MontarLinhaLog(kHora, "NOTICIAS", "lendo: " + enorme);
    const std::string prefixo = "2024-05-01 14:03:07.123  [NOTICIAS] ";
    ASSERT_EQ(linha.rfind(prefixo, 0), 0u);
    const std::string texto = linha.substr(prefixo.size());
    EXPECT_EQ(ContarCaracteres(texto), kMaxCaracteresLog + 1);
    EXPECT_TRUE(TerminaCom(texto, "…")) << texto;
    EXPECT_TRUE(ComecaCom(texto, "lendo: ação ação")) << texto;
    EXPECT_EQ(MontarLinhaLog(kHora, "X", std::string(kMaxCaracteresLog, 'a')),
              "2024-05-01 14:03:07.123  [X]        " + std::string(kMaxCaracteresLog, 'a'));
    EXPECT_EQ(NomeArquivoLog(kHora), "LojaSonorante_2024-05-01.log");
}

// Only a new file starts with the byte-order mark; later lines append.
TEST_F(Log, BomSoNoInicioDoArquivoNovo) {
    GravarLog("INICIO", "um");
    GravarLogFmt("FILA", "%d musica(s)", 3);
    GravarLogFmt("ERRO", "%d falta argumento");
    EXPECT_EQ(LerArquivo(Arquivo()),
              "\xEF\xBB\xBF"
              "2024-05-01 14:03:07.123  [INICIO]   um\r\n"
              "2024-05-01 14:03:07.123  [FILA]     3 musica(s)\r\n"
              "2024-05-01 14:03:07.123  [ERRO]     %d falta argumento\r\n");
}

// Lines written by many threads at once arrive whole, one per call.
TEST_F(Log, LinhasDeVariasThreadsNaoSeMisturam) {
    constexpr int kThreads = 8;
    constexpr int kLinhas = 250;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLinhas; ++i) {
                GravarLogFmt("TESTE", "thread %d linha %d %s", t, i, std::string(100, 'x'));
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    std::string conteudo = LerArquivo(Arquivo());
    ASSERT_TRUE(ComecaCom(conteudo, "\xEF\xBB\xBF"));
    const auto linhas = Dividir(conteudo.substr(3), "\n");
    ASSERT_EQ(linhas.size(), static_cast<std::size_t>(kThreads * kLinhas + 1));
    const TRegex forma(
        "^2024-05-01 14:03:07\\.123  \\[TESTE\\]    thread (\\d) linha \\d+ x{100}\r$");
    std::vector<int> porThread(kThreads, 0);
    for (std::size_t i = 0; i + 1 < linhas.size(); ++i) {
        const auto c = forma.Procurar(linhas[i]);
        ASSERT_TRUE(c) << linhas[i];
        porThread[static_cast<std::size_t>(c->Grupo(1)[0] - '0')]++;
    }
    for (int n : porThread) {
        EXPECT_EQ(n, kLinhas);
    }
}

// Age comes from the modification time: exactly 720 h old is kept, a second
// more is deleted, and files of other names are never touched.
TEST_F(Log, LimpezaNoLimiteDe720Horas) {
    const std::string logs = PastaLogs() + "/";
    const std::time_t agora = 1'800'000'000;
    auto criar = [&](const std::string& ANome, std::time_t AModificado) {
        EscreverArquivo(logs + ANome, "x");
        utimbuf tempos{AModificado, AModificado};
        ASSERT_EQ(utime((logs + ANome).c_str(), &tempos), 0);
    };
    const std::time_t limite = agora - 720 * 3600;
    criar("LojaSonorante_2020-01-01.log", limite);
    criar("LojaSonorante_2020-01-02.log", limite - 1);
    criar("LojaSonorante_2099-01-01.log", limite - 1);  // the name's date does not count
    criar("outro_2020-01-01.log", limite - 100000);
    criar("LojaSonorante_velho.txt", limite - 100000);
    LimparLogsAntigos(agora);
    EXPECT_TRUE(std::filesystem::exists(logs + "LojaSonorante_2020-01-01.log"));
    EXPECT_FALSE(std::filesystem::exists(logs + "LojaSonorante_2020-01-02.log"));
    EXPECT_FALSE(std::filesystem::exists(logs + "LojaSonorante_2099-01-01.log"));
    EXPECT_TRUE(std::filesystem::exists(logs + "outro_2020-01-01.log"));
    EXPECT_TRUE(std::filesystem::exists(logs + "LojaSonorante_velho.txt"));
}
