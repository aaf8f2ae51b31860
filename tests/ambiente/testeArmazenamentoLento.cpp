#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "apoio/uArmazenamentoLento.h"
#include "apoio/uPastaTemporaria.h"

using namespace ljsn::teste;
using namespace std::chrono_literals;

namespace {

const std::string kAlvo = "Musicas/uma faixa.mp3";
const std::string kOutra = "propaganda.wav";
const std::string kIntocada = "intocada.mp3";

struct TArquivo {
    std::string Nome;
    std::size_t Tamanho;
};
// Spaces, a subfolder two deep, an empty file and sizes that cross the
// kernel's 128 KiB request size.
const std::vector<TArquivo> kArquivos = {
    {kAlvo, 400000},
    {"Musicas/Sub Pasta/funda.ogg", 5000},
    {kOutra, 150001},
    {kIntocada, 3000},
    {"vazia.mp3", 0},
};

// Different bytes in every file, so a read served from the wrong file or
// offset shows.
std::string Bytes(std::size_t ATamanho, unsigned ASemente) {
    std::mt19937 gerador(ASemente);
    std::string r(ATamanho, '\0');
    for (auto& c : r) {
        c = static_cast<char>(gerador());
    }
    return r;
}

std::string Erro(const char* AOnde) {
    return std::string("erro ao ") + AOnde + ": " + std::strerror(errno);
}

std::string LerDe(int AFd, std::size_t APosicao) {
    std::string r;
    char bloco[65536];
    while (true) {
        const ssize_t n =
            ::pread(AFd, bloco, sizeof bloco, static_cast<off_t>(APosicao + r.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Erro("ler");
        }
        if (n == 0) {
            return r;
        }
        r.append(bloco, static_cast<std::size_t>(n));
    }
}

// The whole file through the system calls themselves, so a failing step
// says which and why; AAberto is told once the open has returned.
std::string LerTudo(const std::string& ACaminho, std::promise<void>* AAberto = nullptr) {
    const int fd = ::open(ACaminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Erro("abrir");
    }
    if (AAberto != nullptr) {
        AAberto->set_value();
    }
    std::string r = LerDe(fd, 0);
    ::close(fd);
    return r;
}

// Every entry under APasta with its kind as readdir gives it ('?' when it
// does not): a listing that needs no stat of any file.
std::map<std::string, unsigned char> Listar(const std::string& APasta,
                                            const std::string& APrefixo = {}) {
    std::map<std::string, unsigned char> r;
    DIR* d = ::opendir((APasta + APrefixo).c_str());
    if (d == nullptr) {
        r[Erro("listar")] = 0;
        return r;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string nome = e->d_name;
        if (nome == "." || nome == "..") {
            continue;
        }
        r[APrefixo + nome] = e->d_type == DT_UNKNOWN ? '?' : e->d_type;
        if (e->d_type == DT_DIR) {
            r.merge(Listar(APasta, APrefixo + nome + "/"));
        }
    }
    ::closedir(d);
    return r;
}

testing::AssertionResult MesmosBytes(const std::string& AObtido, const std::string& AEsperado) {
    if (AObtido == AEsperado) {
        return testing::AssertionSuccess();
    }
    std::size_t i = 0;
    while (i < AObtido.size() && i < AEsperado.size() && AObtido[i] == AEsperado[i]) {
        ++i;
    }
    return testing::AssertionFailure()
           << AObtido.size() << " bytes em vez de " << AEsperado.size() << ", diferem a partir de "
           << i << (AObtido.rfind("erro", 0) == 0 ? " (" + AObtido + ")" : std::string());
}

class ArmazenamentoLento : public testing::Test {
  protected:
    void SetUp() override {
        std::string motivo;
        if (!TArmazenamentoLento::Disponivel(&motivo)) {
            GTEST_SKIP() << "FUSE indisponivel: " << motivo;
        }
        unsigned semente = 1;
        for (const auto& a : kArquivos) {
            EscreverArquivo(Origem(a.Nome), Bytes(a.Tamanho, semente++));
        }
        std::filesystem::create_directory_symlink("Musicas", Origem("atalho"));
        FArmazenamento.emplace(Origem(""), FPasta / "montagem");
        ASSERT_TRUE(FArmazenamento->Montado()) << FArmazenamento->Erro();
    }

    std::string Origem(const std::string& ANome) const { return FPasta / ("origem/" + ANome); }
    std::string Montagem(const std::string& ANome) const { return FPasta / ("montagem/" + ANome); }

    // AFuncao on a thread of its own; the fixture joins it after unmounting,
    // so a call still held when a check fails cannot hang the test.
    template <class F>
    std::future<std::invoke_result_t<F>> EmSegundoPlano(F AFuncao) {
        std::packaged_task<std::invoke_result_t<F>()> tarefa(std::move(AFuncao));
        auto futuro = tarefa.get_future();
        FChamadas.emplace_back(std::move(tarefa));
        return futuro;
    }

    TPastaTemporaria FPasta;
    std::vector<std::jthread> FChamadas;
    std::optional<TArmazenamentoLento> FArmazenamento;
};

TEST_F(ArmazenamentoLento, MostraOsMesmosArquivosEBytesDaOrigem) {
    const auto listagem = Listar(Origem(""));
    EXPECT_EQ(listagem.size(), kArquivos.size() + 3);  // + Musicas, Sub Pasta, atalho
    EXPECT_EQ(Listar(Montagem("")), listagem);
    for (const auto& a : kArquivos) {
        SCOPED_TRACE(a.Nome);
        const std::string esperado = LerArquivo(Origem(a.Nome));
        EXPECT_TRUE(MesmosBytes(LerTudo(Montagem(a.Nome)), esperado));
        EXPECT_EQ(std::filesystem::file_size(Montagem(a.Nome)), a.Tamanho);
        // From an odd offset, across request boundaries.
        const int fd = ::open(Montagem(a.Nome).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0) << Erro("abrir");
        const std::size_t meio = a.Tamanho / 3 + 1;
        EXPECT_TRUE(MesmosBytes(LerDe(fd, meio), esperado.substr(std::min(meio, esperado.size()))));
        ::close(fd);
        EXPECT_EQ(FArmazenamento->Aberturas(a.Nome), 2);
    }
    EXPECT_EQ(std::filesystem::read_symlink(Montagem("atalho")), "Musicas");
    EXPECT_TRUE(MesmosBytes(LerTudo(Montagem("atalho/Sub Pasta/funda.ogg")),
                            LerArquivo(Origem("Musicas/Sub Pasta/funda.ogg"))));
    struct statvfs sv {};
    EXPECT_EQ(::statvfs(Montagem("").c_str(), &sv), 0) << Erro("statvfs");
    // Read-only: nothing a test does through it can change the source.
    EXPECT_LT(::open(Montagem(kOutra).c_str(), O_WRONLY | O_CLOEXEC), 0);
    EXPECT_EQ(errno, EROFS);
    EXPECT_EQ(FArmazenamento->Aberturas(kOutra), 2);
    EXPECT_EQ(FArmazenamento->Aberturas("nenhum.mp3"), 0);
}

TEST_F(ArmazenamentoLento, LentoCompassaAteARepeticaoDosMesmosBytes) {
    const int fd = ::open(Montagem(kAlvo).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << Erro("abrir");
    const std::string primeira = LerDe(fd, 0);
    ASSERT_TRUE(MesmosBytes(primeira, LerArquivo(Origem(kAlvo))));

    ASSERT_TRUE(FArmazenamento->Lento(kAlvo, 200000)) << FArmazenamento->Erro();
    // The same bytes again through the same handle: a page cache would hand
    // them over at once.
    const auto inicio = std::chrono::steady_clock::now();
    const std::string segunda = LerDe(fd, 0);
    const auto duracao = std::chrono::steady_clock::now() - inicio;
    ::close(fd);
    EXPECT_TRUE(MesmosBytes(segunda, primeira));
    EXPECT_GE(duracao, 1900ms);  // 400 000 bytes at 200 000 bytes/s
    EXPECT_LT(duracao, 8s);
}

TEST_F(ArmazenamentoLento, FalhasDizemPorQueEPoupamAMontagemAlheia) {
    const struct {
        const char* Nome;
        std::string Origem;
        std::string Ponto;
        const char* Motivo;
    } casos[] = {
        {"origem inexistente", FPasta / "nao ha", FPasta / "outro ponto", "origem"},
        {"ponto ja montado", Origem(""), FPasta / "montagem", "ja tem algo montado"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.Nome);
        TArmazenamentoLento falho(c.Origem, c.Ponto);
        EXPECT_FALSE(falho.Montado());
        EXPECT_THAT(falho.Erro(), testing::HasSubstr(c.Motivo));
        EXPECT_FALSE(falho.BloquearTudo());
        EXPECT_EQ(falho.Aberturas(kAlvo), -1);
    }
    // The helper that found the point taken left the mount there alone.
    EXPECT_TRUE(EstaMontado(FPasta / "montagem"));
    EXPECT_FALSE(FArmazenamento->Lento(kAlvo, 0));
    EXPECT_THAT(FArmazenamento->Erro(), testing::HasSubstr("lento"));
    EXPECT_TRUE(MesmosBytes(LerTudo(Montagem(kAlvo)), LerArquivo(Origem(kAlvo))));
}

// A hold on some files, what it lets through meanwhile, and how it is lifted.
struct TCasoRetencao {
    const char* Nome;
    std::function<bool(TArmazenamentoLento&)> Reter;
    std::function<bool(TArmazenamentoLento&)> Soltar;
    bool AbreRetido;      // the open returns, only the reads wait
    bool OutraRetida;     // another file waits too
    int AberturasRetido;  // opens of the held file counted while it waits
};

const TCasoRetencao kCasosRetencao[] = {
    {"BloquearAbrir",
     [](TArmazenamentoLento& A) { return A.BloquearAbrir(kAlvo); },
     [](TArmazenamentoLento& A) { return A.Liberar(kAlvo); },
     false,
     false,
     1},
    {"BloquearLer",
     [](TArmazenamentoLento& A) { return A.BloquearLer(kAlvo); },
     [](TArmazenamentoLento& A) { return A.Liberar(kAlvo); },
     true,
     false,
     1},
    {"LentoDemais",
     [](TArmazenamentoLento& A) { return A.Lento(kAlvo, 1000); },
     [](TArmazenamentoLento& A) { return A.Liberar(kAlvo); },
     true,
     false,
     1},
    // Never looked up before: the lookup answers, the open waits.
    {"BloquearTudo",
     [](TArmazenamentoLento& A) { return A.BloquearTudo(); },
     [](TArmazenamentoLento& A) { return A.LiberarTudo(); },
     false,
     true,
     1},
    {"BloquearLerTodos",
     [](TArmazenamentoLento& A) { return A.BloquearLer("*"); },
     [](TArmazenamentoLento& A) { return A.Liberar("*"); },
     true,
     true,
     1},
};

void PrintTo(const TCasoRetencao& ACaso, std::ostream* ASaida) {
    *ASaida << ACaso.Nome;
}

class ArmazenamentoLentoRetido : public ArmazenamentoLento,
                                 public testing::WithParamInterface<TCasoRetencao> {
  protected:
    // Holds the target file, starts reading it and another file, and checks
    // what waits and what does not; the reads are left running.
    void ReterELer() {
        const auto& caso = GetParam();
        ASSERT_TRUE(caso.Reter(*FArmazenamento)) << FArmazenamento->Erro();
        auto aberto = std::make_shared<std::promise<void>>();
        auto abriu = aberto->get_future();
        FLeitura =
            EmSegundoPlano([c = Montagem(kAlvo), aberto] { return LerTudo(c, aberto.get()); });
        FLeituraOutra = EmSegundoPlano([c = Montagem(kOutra)] { return LerTudo(c); });

        // A check, not a synchronisation: a held call must still be waiting.
        EXPECT_EQ(FLeitura.wait_for(300ms), std::future_status::timeout);
        if (caso.AbreRetido) {
            EXPECT_EQ(abriu.wait_for(5s), std::future_status::ready);
        } else {
            EXPECT_EQ(abriu.wait_for(0ms), std::future_status::timeout);
        }
        if (caso.OutraRetida) {
            EXPECT_EQ(FLeituraOutra.wait_for(0ms), std::future_status::timeout);
        } else {
            ASSERT_EQ(FLeituraOutra.wait_for(5s), std::future_status::ready);
            EXPECT_TRUE(MesmosBytes(FLeituraOutra.get(), LerArquivo(Origem(kOutra))));
        }
        EXPECT_EQ(FArmazenamento->Aberturas(kAlvo), caso.AberturasRetido);

        // Listing, with every entry's kind, and statfs never wait.
        auto listagem = EmSegundoPlano([this] {
            struct statvfs sv {};
            return ::statvfs(Montagem("").c_str(), &sv) == 0
                       ? Listar(Montagem(""))
                       : std::map<std::string, unsigned char>{{Erro("statvfs"), 0}};
        });
        ASSERT_EQ(listagem.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(listagem.get(), Listar(Origem("")));
        EXPECT_EQ(FArmazenamento->Aberturas(kIntocada), 0);
    }

    std::future<std::string> FLeitura;
    std::future<std::string> FLeituraOutra;
};

TEST_P(ArmazenamentoLentoRetido, EsperaAteLiberarESegueComOsBytesCertos) {
    ReterELer();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(GetParam().Soltar(*FArmazenamento)) << FArmazenamento->Erro();
    ASSERT_EQ(FLeitura.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(MesmosBytes(FLeitura.get(), LerArquivo(Origem(kAlvo))));
    if (FLeituraOutra.valid()) {
        ASSERT_EQ(FLeituraOutra.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(MesmosBytes(FLeituraOutra.get(), LerArquivo(Origem(kOutra))));
    }
    EXPECT_EQ(FArmazenamento->Aberturas(kAlvo), 1);
    EXPECT_EQ(FArmazenamento->Aberturas(kIntocada), 0);
}

TEST_P(ArmazenamentoLentoRetido, DestrutorDesmontaComChamadaRetida) {
    ReterELer();
    if (HasFatalFailure()) {
        return;
    }
    const auto inicio = std::chrono::steady_clock::now();
    FArmazenamento.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, 5s);
    EXPECT_FALSE(EstaMontado(FPasta / "montagem"));
    EXPECT_TRUE(std::filesystem::is_empty(FPasta / "montagem"));
    // The held calls end one way or the other: done, or failed with the
    // connection gone.
    for (auto* leitura : {&FLeitura, &FLeituraOutra}) {
        if (!leitura->valid()) {
            continue;
        }
        ASSERT_EQ(leitura->wait_for(5s), std::future_status::ready);
        const std::string r = leitura->get();
        const std::string esperado = LerArquivo(Origem(leitura == &FLeitura ? kAlvo : kOutra));
        EXPECT_TRUE(r.rfind("erro", 0) == 0 || MesmosBytes(r, esperado)) << r.substr(0, 80);
    }
}

INSTANTIATE_TEST_SUITE_P(Casos,
                         ArmazenamentoLentoRetido,
                         testing::ValuesIn(kCasosRetencao),
                         [](const testing::TestParamInfo<TCasoRetencao>& AInfo) {
                             return std::string(AInfo.param.Nome);
                         });

}  // namespace
