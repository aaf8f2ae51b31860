#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "apoio/uMidia.h"
#include "apoio/uPastaTemporaria.h"
#include "apoio/uProcesso.h"
#include "apoio/uSinais.h"
#include "audio/motor/uGravadorWav.h"

using namespace ljsn;
using namespace ljsn::teste;

namespace {

constexpr int kTaxa = 44100;
constexpr std::uint64_t kQuadro = 2 * sizeof(float);  // stereo float
constexpr std::uint64_t kSemLimite = 0;               // the recorder's own limit

std::uint64_t Le(const std::string& AS, std::size_t APos, int ABytes) {
    std::uint64_t v = 0;
    for (int i = ABytes - 1; i >= 0; --i) {
        v = v << 8 | static_cast<unsigned char>(AS[APos + static_cast<std::size_t>(i)]);
    }
    return v;
}

// The recorder's fixed 80-byte header, field by field.
struct TCabecalho {
    std::string Id;
    std::uint64_t Riff32 = 0;
    std::string Bloco;  // "JUNK" or "ds64"
    std::uint64_t TamanhoBloco = 0;
    std::uint64_t Riff64 = 0;
    std::uint64_t Dados64 = 0;
    std::uint64_t Quadros64 = 0;
    int Formato = 0;
    int Canais = 0;
    std::uint64_t Taxa = 0;
    std::string IdDados;
    std::uint64_t Dados32 = 0;
};

TCabecalho Decompor(const std::string& AH) {
    EXPECT_EQ(AH.size(), kCabecalhoWav);
    EXPECT_EQ(AH.substr(8, 4), "WAVE");
    EXPECT_EQ(AH.substr(48, 4), "fmt ");
    EXPECT_EQ(Le(AH, 70, 2), 32u);  // bits
    return TCabecalho{AH.substr(0, 4),
                      Le(AH, 4, 4),
                      AH.substr(12, 4),
                      Le(AH, 16, 4),
                      Le(AH, 20, 8),
                      Le(AH, 28, 8),
                      Le(AH, 36, 8),
                      static_cast<int>(Le(AH, 56, 2)),
                      static_cast<int>(Le(AH, 58, 2)),
                      Le(AH, 60, 4),
                      AH.substr(72, 4),
                      Le(AH, 76, 4)};
}

// Only the header: some of these files are sparse and larger than 4 GiB.
TCabecalho LerCabecalho(const std::string& ACaminho) {
    std::ifstream f(ACaminho, std::ios::binary);
    std::string h(kCabecalhoWav, '\0');
    f.read(h.data(), static_cast<std::streamsize>(h.size()));
    EXPECT_TRUE(f) << ACaminho;
    return Decompor(h);
}

// A plain WAV says its sizes in the 32-bit fields and leaves the JUNK chunk
// empty; RF64 puts 0xFFFFFFFF there and the real sizes in ds64.
void EsperarTamanhos(const TCabecalho& AC, std::uint64_t ABytesDados, bool ARf64) {
    const std::uint64_t riff = kCabecalhoWav - 8 + ABytesDados;
    EXPECT_EQ(AC.TamanhoBloco, 28u);
    EXPECT_EQ(AC.Formato, 3);
    EXPECT_EQ(AC.Canais, 2);
    EXPECT_EQ(AC.Taxa, static_cast<std::uint64_t>(kTaxa));
    EXPECT_EQ(AC.IdDados, "data");
    if (ARf64) {
        EXPECT_EQ(AC.Id, "RF64");
        EXPECT_EQ(AC.Bloco, "ds64");
        EXPECT_EQ(AC.Riff32, 0xFFFFFFFFu);
        EXPECT_EQ(AC.Dados32, 0xFFFFFFFFu);
        EXPECT_EQ(AC.Riff64, riff);
        EXPECT_EQ(AC.Dados64, ABytesDados);
        EXPECT_EQ(AC.Quadros64, ABytesDados / kQuadro);
    } else {
        EXPECT_EQ(AC.Id, "RIFF");
        EXPECT_EQ(AC.Bloco, "JUNK");
        EXPECT_EQ(AC.Riff32, riff);
        EXPECT_EQ(AC.Dados32, ABytesDados);
        EXPECT_EQ(AC.Riff64 | AC.Dados64 | AC.Quadros64, 0u);
    }
}

// Every sample differs from its neighbours, so a moved or lost frame shows.
std::vector<float> Sinal(std::size_t AQuadros) {
    std::vector<float> s(AQuadros * 2);
    for (std::size_t i = 0; i < s.size(); ++i) {
        s[i] = static_cast<float>(static_cast<int>((i * 7919u) % 20011u) - 10005) / 10006.0f;
    }
    return s;
}

// Feeds the recorder the way the audio thread does, 441 frames at a time.
void Alimentar(TGravadorWav& AGravador, const std::vector<float>& AAmostras) {
    for (std::size_t i = 0; i < AAmostras.size(); i += 882) {
        const std::size_t n = std::min<std::size_t>(882, AAmostras.size() - i);
        ASSERT_EQ(AGravador.Escrever(std::span<const float>(AAmostras).subspan(i, n)), n / 2);
    }
}

// What ffmpeg decodes from ACaminho, as interleaved float; AAntes go before "-i".
std::vector<float> DecodificarComFfmpeg(const std::string& ACaminho,
                                        const std::vector<std::string>& AAntes = {}) {
    std::vector<std::string> args = AAntes;
    const std::string bruto = ACaminho + ".f32";
    args.insert(args.end(), {"-i", ACaminho, "-f", "f32le", "-c:a", "pcm_f32le", bruto});
    RodarFfmpeg(args);
    const std::string b = LerArquivo(bruto);
    std::vector<float> s(b.size() / sizeof(float));
    if (!s.empty()) {
        std::memcpy(s.data(), b.data(), s.size() * sizeof(float));
    }
    std::filesystem::remove(bruto);
    return s;
}

// ffprobe's view of the first audio stream, one "key=value" a line.
std::string Sondar(const std::string& ACaminho) {
    TProcesso p({"/usr/bin/env",
                 "ffprobe",
                 "-v",
                 "error",
                 "-select_streams",
                 "a:0",
                 "-show_entries",
                 "stream=codec_name,sample_rate,channels,duration_ts",
                 "-of",
                 "default=noprint_wrappers=1",
                 ACaminho});
    std::string r;
    for (std::string l = p.LerLinha(); !l.empty(); l = p.LerLinha()) {
        r += l + "\n";
    }
    EXPECT_EQ(p.Esperar(), 0) << ACaminho;
    return r;
}

std::string SondagemEsperada(std::uint64_t AQuadros) {
    // ffprobe gives an empty stream no duration at all.
    const std::string duracao = AQuadros > 0 ? std::to_string(AQuadros) : "N/A";
    return "codec_name=pcm_f32le\nsample_rate=" + std::to_string(kTaxa) +
           "\nchannels=2\nduration_ts=" + duracao + "\n";
}

struct TCasoCabecalho {
    const char* Nome;
    std::uint64_t BytesDados;
    std::uint64_t LimiteRiff;
    bool Rf64;
};

class CabecalhoGravador : public testing::TestWithParam<TCasoCabecalho> {};

// The header is plain WAV while the RIFF size fits the limit and RF64 beyond
// it; a size past 4 GiB is never wrapped or clamped into 32 bits.
TEST_P(CabecalhoGravador, Rf64SoAlemDoLimite) {
    const TCasoCabecalho& caso = GetParam();
    const std::string h = caso.LimiteRiff == kSemLimite
                              ? CabecalhoWavFloat(kTaxa, 2, caso.BytesDados)
                              : CabecalhoWavFloat(kTaxa, 2, caso.BytesDados, caso.LimiteRiff);
    EsperarTamanhos(Decompor(h), caso.BytesDados, caso.Rf64);
}

constexpr std::uint64_t kMaiorWav = 0xFFFFFFFEu - (kCabecalhoWav - 8);

INSTANTIATE_TEST_SUITE_P(
    Casos,
    CabecalhoGravador,
    testing::Values(TCasoCabecalho{"Vazio", 0, kSemLimite, false},
                    TCasoCabecalho{"TresHoras", 3ull * 3600 * kTaxa* kQuadro, kSemLimite, false},
                    TCasoCabecalho{"UltimoQueCabe", kMaiorWav, kSemLimite, false},
                    TCasoCabecalho{"UmQuadroAlem", kMaiorWav + kQuadro, kSemLimite, true},
                    TCasoCabecalho{"CincoHoras", 5ull * 3600 * kTaxa* kQuadro, kSemLimite, true},
                    TCasoCabecalho{"DezesseisGiB", 16ull << 30, kSemLimite, true},
                    // A limit above what 32 bits can say still yields RF64 there.
                    TCasoCabecalho{"LimiteAcimaDe32Bits", 5ull << 30, 6ull << 30, true},
                    TCasoCabecalho{"LimiteBaixado", 800, kCabecalhoWav - 8 + 792, true}),
    [](const testing::TestParamInfo<TCasoCabecalho>& AInfo) {
        return std::string(AInfo.param.Nome);
    });

struct TCasoGravacao {
    const char* Nome;
    std::size_t Quadros;
    std::uint64_t LimiteRiff;
    bool Rf64;
};

class GravacaoWav : public testing::TestWithParam<TCasoGravacao> {};

// A recording under the (lowered) limit is a plain WAV, one past it is RF64
// with the real sizes in ds64, and both decode to exactly the samples written
// in ffmpeg and in our own reader.
TEST_P(GravacaoWav, DecodificaOsMesmosQuadros) {
    const TCasoGravacao& caso = GetParam();
    TPastaTemporaria pasta;
    const std::string caminho = pasta / "saida.wav";
    const std::vector<float> sinal = Sinal(caso.Quadros);
    TOpcoesGravadorWav opcoes;
    if (caso.LimiteRiff != kSemLimite) {
        opcoes.LimiteRiff = caso.LimiteRiff;
    }
    auto gravador = TGravadorWav::Criar(caminho, kTaxa, 2, nullptr, opcoes);
    ASSERT_TRUE(gravador);
    Alimentar(*gravador, sinal);
    gravador->Fechar();
    EXPECT_FALSE(gravador->ErroNovo());

    const std::uint64_t bytes = caso.Quadros * kQuadro;
    EXPECT_EQ(std::filesystem::file_size(caminho), kCabecalhoWav + bytes);
    EsperarTamanhos(LerCabecalho(caminho), bytes, caso.Rf64);
    EXPECT_EQ(Sondar(caminho), SondagemEsperada(caso.Quadros));
    EXPECT_EQ(DecodificarComFfmpeg(caminho), sinal);
    const TWav wav = LerWav(caminho);
    EXPECT_EQ(wav.Taxa, kTaxa);
    EXPECT_EQ(wav.Canais, 2);
    EXPECT_EQ(wav.Amostras, sinal);
}

constexpr std::uint64_t kLimiteMil = kCabecalhoWav - 8 + 1000 * kQuadro;

INSTANTIATE_TEST_SUITE_P(Casos,
                         GravacaoWav,
                         testing::Values(TCasoGravacao{"Vazio", 0, kSemLimite, false},
                                         TCasoGravacao{"UmSegundo", kTaxa, kSemLimite, false},
                                         TCasoGravacao{"NoLimite", 1000, kLimiteMil, false},
                                         TCasoGravacao{"UmQuadroAlem", 1001, kLimiteMil, true},
                                         TCasoGravacao{"UmSegundoAlem", kTaxa, kLimiteMil, true}),
                         [](const testing::TestParamInfo<TCasoGravacao>& AInfo) {
                             return std::string(AInfo.param.Nome);
                         });

// A real file past 4 GiB, its start a hole: RF64 with 64-bit sizes, and the
// frames written after the first 4 GiB decode where they belong.
TEST(GravacaoWavGrande, AlemDe4GiBViraRf64) {
    TPastaTemporaria pasta;
    const std::string caminho = pasta / "longa.wav";
    constexpr std::uint64_t kBuraco = (4ull << 30) / kQuadro + kTaxa;  // 4 GiB and a second
    constexpr std::size_t kFim = kTaxa / 10;
    const std::vector<float> fim = Sinal(kFim);
    {
        TOpcoesGravadorWav opcoes;
        opcoes.QuadrosIniciais = kBuraco;
        auto gravador = TGravadorWav::Criar(caminho, kTaxa, 2, nullptr, opcoes);
        ASSERT_TRUE(gravador);
        Alimentar(*gravador, fim);
        gravador->Fechar();
        EXPECT_FALSE(gravador->ErroNovo());
    }
    const std::uint64_t quadros = kBuraco + kFim;
    EXPECT_EQ(std::filesystem::file_size(caminho), kCabecalhoWav + quadros * kQuadro);
    EsperarTamanhos(LerCabecalho(caminho), quadros * kQuadro, true);
    // With wrong sizes ffmpeg would read through the 4 GiB hole for minutes.
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(Sondar(caminho), SondagemEsperada(quadros));

    // From half a second before the end: silence from the hole, then exactly
    // the frames written, and nothing after them.
    const double inicio = static_cast<double>(quadros) / kTaxa - 0.5;
    const std::vector<float> s = DecodificarComFfmpeg(caminho, {"-ss", std::to_string(inicio)});
    ASSERT_GT(s.size(), fim.size());
    EXPECT_TRUE(std::equal(fim.begin(), fim.end(), s.end() - static_cast<long>(fim.size())));
    EXPECT_TRUE(std::all_of(
        s.begin(), s.end() - static_cast<long>(fim.size()), [](float v) { return v == 0.0f; }));
    EXPECT_NEAR(static_cast<double>(s.size()) / 2, 0.5 * kTaxa, 2);
}

// A full disk: every write fails. The error is reported once, and the ring
// keeps emptying, so the audio thread can go on handing frames over.
TEST(GravacaoWavFalha, DiscoCheioAvisaUmaVez) {
    auto gravador = TGravadorWav::Criar("/dev/full", kTaxa, 2);
    ASSERT_TRUE(gravador);
    const std::optional<std::string> erro = gravador->ErroNovo();
    ASSERT_TRUE(erro);
    EXPECT_NE(erro->find(std::strerror(ENOSPC)), std::string::npos) << *erro;
    EXPECT_NE(erro->find("/dev/full"), std::string::npos) << *erro;
    EXPECT_FALSE(gravador->ErroNovo());

    // Twice what the ring holds (4 s); taking it all means the writer drains.
    const std::vector<float> bloco(441 * 2, 0.25f);
    std::size_t aceitos = 0;
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (aceitos < 8u * kTaxa && std::chrono::steady_clock::now() < prazo) {
        const std::size_t n = gravador->Escrever(bloco);
        aceitos += n;
        if (n == 0) {
            std::this_thread::yield();
        }
    }
    EXPECT_GE(aceitos, 8u * kTaxa);
    EXPECT_FALSE(gravador->ErroNovo());
    gravador->Fechar();
    EXPECT_FALSE(gravador->ErroNovo());
}

// Lowers this process's file size limit for a scope; past it a write is cut
// short and the next one fails with EFBIG instead of raising SIGXFSZ.
class TLimiteDeArquivo {
  public:
    explicit TLimiteDeArquivo(rlim_t ABytes) {
        ::getrlimit(RLIMIT_FSIZE, &FAntes);
        FSinal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit novo = FAntes;
        novo.rlim_cur = ABytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &novo), 0);
    }
    ~TLimiteDeArquivo() {
        ::setrlimit(RLIMIT_FSIZE, &FAntes);
        std::signal(SIGXFSZ, FSinal);
    }
    TLimiteDeArquivo(const TLimiteDeArquivo&) = delete;
    TLimiteDeArquivo& operator=(const TLimiteDeArquivo&) = delete;

  private:
    rlimit FAntes{};
    void (*FSinal)(int) = SIG_DFL;
};

// The disk fills mid-recording, in the middle of a frame: the short write is
// not ignored, the error is reported once, and the file is a valid WAV of
// exactly the whole frames that fitted.
TEST(GravacaoWavFalha, EspacoAcabaNoMeioGuardaOQueCoube) {
    TPastaTemporaria pasta;
    const std::string caminho = pasta / "saida.wav";
    constexpr std::size_t kCoube = 3000;
    const std::vector<float> sinal = Sinal(kTaxa);
    std::optional<std::string> erro;
    {
        TLimiteDeArquivo limite(kCabecalhoWav + kCoube * kQuadro + 3);
        auto gravador = TGravadorWav::Criar(caminho, kTaxa, 2);
        ASSERT_TRUE(gravador);
        Alimentar(*gravador, sinal);
        gravador->Fechar();
        erro = gravador->ErroNovo();
        EXPECT_FALSE(gravador->ErroNovo());
    }
    ASSERT_TRUE(erro);
    EXPECT_NE(erro->find(std::strerror(EFBIG)), std::string::npos) << *erro;
    EXPECT_EQ(std::filesystem::file_size(caminho), kCabecalhoWav + kCoube * kQuadro);
    EsperarTamanhos(LerCabecalho(caminho), kCoube * kQuadro, false);
    const std::vector<float> coube(sinal.begin(), sinal.begin() + kCoube * 2);
    EXPECT_EQ(DecodificarComFfmpeg(caminho), coube);
    EXPECT_EQ(LerWav(caminho).Amostras, coube);
}

}  // namespace
