#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ambiente/uPastas.h"
#include "audio/uTags.h"
#include "comum/uFilaPrincipal.h"
#include "programa/uPrincipal.h"

using namespace ljsn;

namespace {

// The folders are listed on a worker; the measured ticks start with the lists in.
void EsperarListas(TPrograma& APrograma, TFilaSimples& AFila) {
    while (APrograma.Listando()) {
        AFila.EsperarAte(std::chrono::steady_clock::now() + std::chrono::seconds(1));
        AFila.Drenar();
    }
}

// A device that answers at once, as if a long song were playing.
class TDispositivoInstantaneo final : public IDispositivoMidia {
  public:
    std::optional<std::string> Enviar(std::string_view AComando) override {
        if (AComando.ends_with(" mode")) {
            return std::string("playing");
        }
        if (AComando.ends_with(" length")) {
            return std::string("600000");
        }
        if (AComando.ends_with(" position")) {
            return std::to_string(++FPosicao % 500000);
        }
        return std::string();
    }

  private:
    long FPosicao = 1000;
};

// No speech engine: the announcer stays idle.
class TFabricaVozMuda final : public IFabricaVoz {
  public:
    std::unique_ptr<IVozSapi> Criar() override { return nullptr; }
};

}  // namespace

// One tick with 20 000 tracks loaded and a song playing.
static void BM_TickCom20000Faixas(benchmark::State& AEstado) {
    const auto raiz = std::filesystem::temp_directory_path() / "ljsn-bench-tick";
    const auto musicas = raiz / "musicas";
    std::filesystem::create_directories(musicas);
    for (int i = 0; i < 20000; ++i) {
        const auto f = musicas / ("faixa " + std::to_string(i) + ".mp3");
        if (!std::filesystem::exists(f)) {
            std::ofstream(f) << "x";
        }
    }
    DefinirPastaDados((raiz / "dados").string());
    std::ofstream((raiz / "dados/config.ini").string())
        << "[Geral]\r\nPastaMusicas=" << musicas.string() << "\r\nVolumeAutomatico=0\r\n";
    TRelogioSistema relogio;
    TFilaSimples fila;
    TVisaoNula visao;
    TDispositivoInstantaneo dispositivo;
    TFabricaVozMuda voz;
    {
        TPrograma programa(relogio, fila, visao, dispositivo, voz, TOpcoesPrograma{});
        programa.Iniciar();
        EsperarListas(programa, fila);
        programa.Tocar();
        for (auto _ : AEstado) {
            programa.Tick();
        }
        AEstado.counters["faixas"] = static_cast<double>(programa.Musicas().size());
    }
    fila.Drenar();
}
BENCHMARK(BM_TickCom20000Faixas)->Unit(benchmark::kMicrosecond);

// The tick while a news fetch hangs on a server that accepts and never
// answers (the main thread must never wait on the network): the longest
// tick, over the run, as a counter.
static void BM_TickComBuscaPresa(benchmark::State& AEstado) {
    const int mudo = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t tamanho = sizeof endereco;
    if (::bind(mudo, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 ||
        ::listen(mudo, 64) != 0 ||
        ::getsockname(mudo, reinterpret_cast<sockaddr*>(&endereco), &tamanho) != 0) {
        AEstado.SkipWithError("sem socket");
        return;
    }
    const std::string padrao =
        "http://127.0.0.1:" + std::to_string(ntohs(endereco.sin_port)) + "/%s";
    ::setenv("LJSN_NOTICIAS_URL", padrao.c_str(), 1);
    const auto raiz = std::filesystem::temp_directory_path() / "ljsn-bench-tick-noticias";
    std::filesystem::create_directories(raiz / "dados");
    DefinirPastaDados((raiz / "dados").string());
    std::ofstream((raiz / "dados/config.ini").string())
        << "[Geral]\r\nVolumeAutomatico=0\r\n[Noticias]\r\nAtivas=1\r\nAssuntos=*\r\n";
    TRelogioSistema relogio;
    TFilaSimples fila;
    TVisaoNula visao;
    TDispositivoInstantaneo dispositivo;
    TFabricaVozMuda voz;
    double maximo = 0;
    {
        TPrograma programa(relogio, fila, visao, dispositivo, voz, TOpcoesPrograma{});
        programa.Iniciar();
        EsperarListas(programa, fila);
        for (auto _ : AEstado) {
            const auto inicio = std::chrono::steady_clock::now();
            fila.Drenar();
            programa.Tick();
            maximo = std::max(
                maximo,
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - inicio)
                    .count());
        }
        AEstado.counters["buscando"] = programa.AgendaNoticias().Buscando() ? 1 : 0;
    }
    AEstado.counters["tick_max_us"] = maximo;
    fila.Drenar();
    ::close(mudo);
    ::unsetenv("LJSN_NOTICIAS_URL");
}
BENCHMARK(BM_TickComBuscaPresa)->Unit(benchmark::kMicrosecond)->Iterations(3000);

namespace {

// An MP3 name holding a 16 MiB ID3v2.3 tag (title and a picture) and no audio.
std::string ArquivoComTagDe16MiB(const std::filesystem::path& APasta) {
    std::filesystem::create_directories(APasta);
    const auto caminho = (APasta / "capa-enorme.mp3").string();
    const std::size_t corpo = kMaxTagId3;
    std::string tag = "ID3";
    tag += std::string{'\x03', '\x00', '\x00'};
    for (const int deslocamento : {21, 14, 7, 0}) {
        tag += static_cast<char>((corpo >> deslocamento) & 0x7F);
    }
    const std::string titulo = std::string("\0", 1) + "Faixa enorme";
    tag += "TIT2";
    tag += std::string{'\0', '\0', '\0', static_cast<char>(titulo.size()), '\0', '\0'};
    tag += titulo;
    const std::size_t figura = corpo - (tag.size() - 10) - 10;
    tag += "APIC";
    for (const int deslocamento : {24, 16, 8, 0}) {
        tag += static_cast<char>((figura >> deslocamento) & 0xFF);
    }
    tag += std::string{'\0', '\0'};
    tag += std::string("\0image/jpeg\0\3\0", 15);
    tag.resize(10 + corpo, '\x5A');
    std::ofstream(caminho, std::ios::binary) << tag;
    return caminho;
}

// Drops the file's pages from the cache, so the next read comes from disk.
void EsfriarCache(const std::string& ACaminho) {
    const int fd = ::open(ACaminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

}  // namespace

// A 16 MiB tag read while the programme ticks: the read itself (cold cache)
// against the longest tick until the tag line arrived from the worker.
static void BM_TickComTag16MiB(benchmark::State& AEstado) {
    const auto raiz = std::filesystem::temp_directory_path() / "ljsn-bench-tag16";
    const std::string arquivo = ArquivoComTagDe16MiB(raiz / "musicas");
    EsfriarCache(arquivo);
    const auto inicioLeitura = std::chrono::steady_clock::now();
    const TTagsAudio tags = LerTags(arquivo);
    const double leituraMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - inicioLeitura)
            .count();
    if (tags.Capa.size() < 16000000) {
        AEstado.SkipWithError("tag nao lida");
        return;
    }
    std::filesystem::create_directories(raiz / "dados");
    DefinirPastaDados((raiz / "dados").string());
    std::ofstream((raiz / "dados/config.ini").string())
        << "[Geral]\r\nPastaMusicas=" << (raiz / "musicas").string()
        << "\r\nVolumeAutomatico=0\r\nTransicaoSegundos=0\r\n";
    TRelogioSistema relogio;
    TFilaSimples fila;
    TVisaoNula visao;
    TDispositivoInstantaneo dispositivo;
    TFabricaVozMuda voz;
    double maximo = 0;
    int ticks = 0;
    {
        TPrograma programa(relogio, fila, visao, dispositivo, voz, TOpcoesPrograma{});
        programa.Iniciar();
        EsperarListas(programa, fila);
        fila.Drenar();
        EsfriarCache(arquivo);
        for (auto _ : AEstado) {
            const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            programa.Tocar();
            while (programa.Info().empty() && std::chrono::steady_clock::now() < limite) {
                const auto inicio = std::chrono::steady_clock::now();
                fila.Drenar();
                programa.Tick();
                maximo = std::max(maximo,
                                  std::chrono::duration<double, std::micro>(
                                      std::chrono::steady_clock::now() - inicio)
                                      .count());
                ++ticks;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        AEstado.counters["linha_certa"] = programa.Info() == "Faixa enorme" ? 1 : 0;
    }
    AEstado.counters["leitura_ms"] = leituraMs;
    AEstado.counters["tick_max_us"] = maximo;
    AEstado.counters["ticks"] = ticks;
    fila.Drenar();
}
BENCHMARK(BM_TickComTag16MiB)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
