#include "ambiente/uDuracao.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "comum/uFormato.h"
#include "comum/uMpeg.h"
#include "comum/uTexto.h"

namespace ljsn {

std::string FormatarDuracao(std::int64_t AMilissegundos) {
    const std::int64_t s = AMilissegundos / 1000;
    if (s < 3600) {
        return FormatarOuFormato("%d:%.2d", s / 60, s % 60);
    }
    return FormatarOuFormato("%d:%.2d:%.2d", s / 3600, (s % 3600) / 60, s % 60);
}

namespace {

struct TLiberarFormato {
    void operator()(AVFormatContext* AContexto) const { avformat_close_input(&AContexto); }
};
struct TLiberarPacote {
    void operator()(AVPacket* APacote) const { av_packet_free(&APacote); }
};

std::int32_t LimitarMs(double AMs) {
    if (!(AMs >= 0) || AMs > std::numeric_limits<std::int32_t>::max()) {
        return -1;
    }
    return static_cast<std::int32_t>(AMs);
}

}  // namespace

namespace {

// An encoder's tag in the first frame (Xing, Info, VBRI): a frame that the
// demuxer reads as a header and never plays.
bool QuadroDeCabecalho(const unsigned char* AQuadro, const TQuadroMpeg& AQ) {
    if (AQ.Camada != 3) {
        return false;
    }
    // Layer III side information length by version and channels.
    const int lado = AQ.Versao == 1 ? (AQ.Mono ? 17 : 32) : (AQ.Mono ? 9 : 17);
    const int xing = 4 + lado;
    if (AQ.Tamanho >= xing + 4 && (std::memcmp(AQuadro + xing, "Xing", 4) == 0 ||
                                   std::memcmp(AQuadro + xing, "Info", 4) == 0)) {
        return true;
    }
    return AQ.Tamanho >= 36 + 4 && std::memcmp(AQuadro + 36, "VBRI", 4) == 0;
}

// Reads a file forwards through a window of its bytes.
class TLeitorSequencial {
  public:
    explicit TLeitorSequencial(int AFd) : FFd(AFd), FBuffer(static_cast<std::size_t>(kJanela)) {}
    // At least AQuantos bytes from AOffset, or nothing at the end of the file.
    const unsigned char* Em(std::int64_t AOffset, std::size_t AQuantos) {
        if (AOffset < FInicio || AOffset + static_cast<std::int64_t>(AQuantos) > FInicio + FFim) {
            if (static_cast<std::int64_t>(AQuantos) > kJanela) {
                return nullptr;
            }
            FInicio = AOffset;
            FFim = 0;
            while (FFim < kJanela) {
                const ssize_t n = ::pread(FFd,
                                          FBuffer.data() + FFim,
                                          static_cast<std::size_t>(kJanela - FFim),
                                          FInicio + FFim);
                if (n <= 0) {
                    break;
                }
                FFim += static_cast<std::int64_t>(n);
            }
            if (static_cast<std::int64_t>(AQuantos) > FFim) {
                return nullptr;
            }
        }
        return FBuffer.data() + (AOffset - FInicio);
    }

  private:
    static constexpr std::int64_t kJanela = 256 * 1024;
    int FFd;
    std::vector<unsigned char> FBuffer;
    std::int64_t FInicio = 0;
    std::int64_t FFim = 0;
};

}  // namespace

std::optional<std::int32_t> DuracaoMp3PorQuadros(const std::string& ACaminho) {
    const int fd = ::open(ACaminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct TFechar {
        int Fd;
        ~TFechar() { ::close(Fd); }
    } fechar{fd};
    TLeitorSequencial leitor(fd);
    std::int64_t pos = 0;
    // ID3v2 tags at the start (size in syncsafe bytes, plus an optional footer).
    while (const unsigned char* p = leitor.Em(pos, 10)) {
        if (std::memcmp(p, "ID3", 3) != 0) {
            break;
        }
        const auto tamanho = TamanhoId3v2(p);
        if (!tamanho) {
            return std::nullopt;
        }
        pos += *tamanho;
    }
    std::int64_t amostras = 0;
    int taxa = 0;
    int camada = 0;
    int quadros = 0;
    for (;;) {
        const unsigned char* p = leitor.Em(pos, 4);
        if (p == nullptr) {
            // The end, exactly after a whole frame (or 1 to 3 stray bytes).
            break;
        }
        const auto q = LerCabecalhoMpeg(p);
        if (!q) {
            // Only the tags that end a file may follow the last frame.
            const unsigned char* fim = leitor.Em(pos, 8);
            const bool id3v1 = std::memcmp(p, "TAG", 3) == 0;
            const bool ape = fim != nullptr && std::memcmp(fim, "APETAGEX", 8) == 0;
            const bool lyrics = fim != nullptr && std::memcmp(fim, "LYRICSBE", 8) == 0;
            if (quadros > 0 && (id3v1 || ape || lyrics)) {
                break;
            }
            return std::nullopt;
        }
        if ((taxa != 0 && (q->Taxa != taxa || q->Camada != camada)) || q->Tamanho < 4) {
            return std::nullopt;
        }
        taxa = q->Taxa;
        camada = q->Camada;
        const unsigned char* quadro = leitor.Em(pos, static_cast<std::size_t>(q->Tamanho));
        if (quadro == nullptr) {
            return std::nullopt;  // a cut last frame: the demuxer decides what it counts
        }
        if (quadros > 0 || !QuadroDeCabecalho(quadro, *q)) {
            amostras += q->Amostras;
        }
        ++quadros;
        pos += q->Tamanho;
    }
    if (amostras <= 0 || taxa <= 0) {
        return std::nullopt;
    }
    return LimitarMs(static_cast<double>(amostras) * 1000.0 / taxa);
}

std::int32_t DuracaoMidia(const std::string& ACaminho) {
    if (IguaisSemCaixa(ACaminho.size() >= 4 ? ACaminho.substr(ACaminho.size() - 4) : "", ".mp3")) {
        if (const auto ms = DuracaoMp3PorQuadros(ACaminho)) {
            return *ms;
        }
    }
    return DuracaoPorPacotes(ACaminho);
}

std::int32_t DuracaoPorPacotes(const std::string& ACaminho) {
    static std::once_flag silenciar;
    std::call_once(silenciar, [] { av_log_set_level(AV_LOG_QUIET); });

    AVFormatContext* bruto = nullptr;
    if (avformat_open_input(&bruto, ACaminho.c_str(), nullptr, nullptr) < 0) {
        return -1;
    }
    std::unique_ptr<AVFormatContext, TLiberarFormato> formato(bruto);
    if (avformat_find_stream_info(formato.get(), nullptr) < 0) {
        return -1;
    }
    const int indice = av_find_best_stream(formato.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (indice < 0) {
        return -1;
    }
    const AVStream* fluxo = formato->streams[indice];
    const bool mp3 = fluxo->codecpar->codec_id == AV_CODEC_ID_MP3 &&
                     std::string_view(formato->iformat->name) == "mp3";
    if (mp3) {
        // The container guesses an MP3's length from its first frames or a
        // header; counting the packets is exact and still cheap (no decoding).
        std::unique_ptr<AVPacket, TLiberarPacote> pacote(av_packet_alloc());
        if (!pacote) {
            return -1;
        }
        std::int64_t soma = 0;
        while (av_read_frame(formato.get(), pacote.get()) >= 0) {
            if (pacote->stream_index == indice && pacote->duration > 0) {
                soma += pacote->duration;
            }
            av_packet_unref(pacote.get());
        }
        if (soma > 0) {
            return LimitarMs(static_cast<double>(soma) * av_q2d(fluxo->time_base) * 1000.0);
        }
        return -1;
    }
    if (formato->duration != AV_NOPTS_VALUE && formato->duration > 0) {
        return LimitarMs(static_cast<double>(formato->duration) / (AV_TIME_BASE / 1000));
    }
    if (fluxo->duration != AV_NOPTS_VALUE && fluxo->duration > 0) {
        return LimitarMs(static_cast<double>(fluxo->duration) * av_q2d(fluxo->time_base) * 1000.0);
    }
    return -1;
}

}  // namespace ljsn
