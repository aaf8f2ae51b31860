#include "audio/motor/uDecodificador.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "comum/uMpeg.h"

namespace ljsn {

namespace {

// FFmpeg frees through pointer-to-pointer calls; wrap each handle once so
// every early return releases exactly what was opened.
struct TLiberarFormato {
    void operator()(AVFormatContext* AContexto) const { avformat_close_input(&AContexto); }
};
struct TLiberarCodec {
    void operator()(AVCodecContext* AContexto) const { avcodec_free_context(&AContexto); }
};
struct TLiberarConversor {
    void operator()(SwrContext* AContexto) const { swr_free(&AContexto); }
};
struct TLiberarPacote {
    void operator()(AVPacket* APacote) const { av_packet_free(&APacote); }
};
struct TLiberarQuadro {
    void operator()(AVFrame* AQuadro) const { av_frame_free(&AQuadro); }
};
using TFormatoPtr = std::unique_ptr<AVFormatContext, TLiberarFormato>;
using TCodecPtr = std::unique_ptr<AVCodecContext, TLiberarCodec>;
using TConversorPtr = std::unique_ptr<SwrContext, TLiberarConversor>;
using TPacotePtr = std::unique_ptr<AVPacket, TLiberarPacote>;
using TQuadroPtr = std::unique_ptr<AVFrame, TLiberarQuadro>;

void SilenciarFFmpeg() {
    static std::once_flag uma;
    std::call_once(uma, [] { av_log_set_level(AV_LOG_QUIET); });
}

std::string TextoErro(int ACodigo) {
    char texto[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(ACodigo, texto, sizeof texto);
    return texto;
}

// Consecutive undecodable packets tolerated before the stream counts as broken.
constexpr int kMaxErrosSeguidos = 64;

// FFmpeg asks before each read: non-zero makes the I/O return AVERROR_EXIT,
// so a file on storage that crawls stops being read once it is given up.
int Interromper(void* ABandeira) {
    const auto* cancelado = static_cast<const std::atomic<bool>*>(ABandeira);
    return cancelado->load(std::memory_order_relaxed) ? 1 : 0;
}

}  // namespace

struct TDecodificador::TEstado {
    // Declared first, so it outlives the format context whose interrupt
    // callback reads it.
    TBandeiraCancelar Cancelado;
    TFormatoPtr Formato;
    TCodecPtr Codec;
    TConversorPtr Conversor;
    TPacotePtr Pacote;
    TQuadroPtr Quadro;
    int Fluxo = -1;
    TFormato Pedido;
    int TaxaSaida = 0;
    int CanaisSaida = 0;
    std::int64_t DuracaoMs = -1;

    // The converter's input as configured; rebuilt when a frame differs.
    int TaxaEntrada = 0;
    int FormatoEntrada = -1;
    AVChannelLayout LayoutEntrada{};

    std::vector<float> Pendente;  // converted samples not yet handed out
    std::size_t PendenteInicio = 0;
    bool FimArquivo = false;  // av_read_frame has ended
    bool ConversorVazio = false;
    bool Acabou = false;
    int ErrosSeguidos = 0;
    std::string Erro;

    // After a seek: input samples (at the input rate) before this are dropped.
    std::int64_t DescartarAte = -1;
    // When set, frames already in float at the file's own format go straight
    // to the receiver instead of through the converter.
    const TDecodificador::TReceptor* Direto = nullptr;
    bool Parou = false;  // the receiver asked to stop

    // Where the first decoded frame's timestamp lies relative to sample 0.
    // Some decoders (WMA) stamp a frame with the time of the packet that
    // completed it, a constant delay that seeking must take off.
    std::int64_t AtrasoDoDecodificador = 0;
    bool AtrasoConhecido = false;

    ~TEstado() { av_channel_layout_uninit(&LayoutEntrada); }

    bool ConfigurarConversor(const AVFrame& AQuadro) {
        AVChannelLayout entrada{};
        if (AQuadro.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
            AQuadro.ch_layout.nb_channels == 0) {
            av_channel_layout_default(&entrada, std::max(AQuadro.ch_layout.nb_channels, 1));
        } else if (av_channel_layout_copy(&entrada, &AQuadro.ch_layout) < 0) {
            return false;
        }
        const bool igual = Conversor && TaxaEntrada == AQuadro.sample_rate &&
                           FormatoEntrada == AQuadro.format &&
                           av_channel_layout_compare(&entrada, &LayoutEntrada) == 0;
        if (igual) {
            av_channel_layout_uninit(&entrada);
            return true;
        }
        AVChannelLayout saida{};
        if (Pedido.Canais > 0 || entrada.order != AV_CHANNEL_ORDER_NATIVE ||
            entrada.nb_channels != CanaisSaida) {
            av_channel_layout_default(&saida, CanaisSaida);
        } else {
            av_channel_layout_copy(&saida, &entrada);
        }
        SwrContext* bruto = nullptr;
        int rc = swr_alloc_set_opts2(&bruto,
                                     &saida,
                                     AV_SAMPLE_FMT_FLT,
                                     TaxaSaida,
                                     &entrada,
                                     static_cast<AVSampleFormat>(AQuadro.format),
                                     AQuadro.sample_rate,
                                     0,
                                     nullptr);
        av_channel_layout_uninit(&saida);
        if (rc < 0 || bruto == nullptr) {
            av_channel_layout_uninit(&entrada);
            return false;
        }
        TConversorPtr novo(bruto);
        if (swr_init(novo.get()) < 0) {
            av_channel_layout_uninit(&entrada);
            return false;
        }
        Conversor = std::move(novo);
        TaxaEntrada = AQuadro.sample_rate;
        FormatoEntrada = AQuadro.format;
        av_channel_layout_uninit(&LayoutEntrada);
        LayoutEntrada = entrada;
        return true;
    }

    // Converts AQuantos input samples of the frame from AInicio into Pendente.
    bool Converter(const AVFrame& AQuadro, int AInicio) {
        const int quantos = AQuadro.nb_samples - AInicio;
        if (quantos <= 0) {
            return true;
        }
        std::array<const std::uint8_t*, AV_NUM_DATA_POINTERS> entradas{};
        const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(AQuadro.format));
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(AQuadro.format));
        const int canais = AQuadro.ch_layout.nb_channels;
        if (planar) {
            for (int c = 0; c < canais && c < AV_NUM_DATA_POINTERS; ++c) {
                entradas[static_cast<std::size_t>(c)] = AQuadro.extended_data[c] + AInicio * bytes;
            }
        } else {
            entradas[0] = AQuadro.extended_data[0] + AInicio * bytes * canais;
        }
        return Acrescentar(entradas.data(), quantos);
    }

    bool Acrescentar(const std::uint8_t** AEntradas, int AQuantos) {
        const int maximo = swr_get_out_samples(Conversor.get(), AQuantos);
        if (maximo < 0) {
            return false;
        }
        if (maximo == 0) {
            return true;
        }
        // Keep what was not handed out yet, then append.
        if (PendenteInicio > 0) {
            Pendente.erase(Pendente.begin(),
                           Pendente.begin() + static_cast<std::ptrdiff_t>(PendenteInicio));
            PendenteInicio = 0;
        }
        const std::size_t antes = Pendente.size();
        Pendente.resize(antes +
                        static_cast<std::size_t>(maximo) * static_cast<std::size_t>(CanaisSaida));
        auto* saida = reinterpret_cast<std::uint8_t*>(Pendente.data() + antes);
        const int n = swr_convert(Conversor.get(), &saida, maximo, AEntradas, AQuantos);
        if (n < 0) {
            Pendente.resize(antes);
            return false;
        }
        Pendente.resize(antes +
                        static_cast<std::size_t>(n) * static_cast<std::size_t>(CanaisSaida));
        return true;
    }

    std::int64_t AmostraDoQuadro(const AVFrame& AQuadro) const {
        std::int64_t pts = AQuadro.best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE) {
            pts = AQuadro.pts;
        }
        if (pts == AV_NOPTS_VALUE) {
            return -1;
        }
        const AVStream* s = Formato->streams[Fluxo];
        const std::int64_t inicio = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
        std::int64_t amostra =
            av_rescale_q(pts - inicio, s->time_base, AVRational{1, AQuadro.sample_rate});
        // Containers that stamp in milliseconds (ASF) are up to half a
        // millisecond off; their codecs use fixed-size frames from sample 0,
        // so the true position is the nearest whole frame.
        const bool grosseiro = av_cmp_q(s->time_base, AVRational{1, AQuadro.sample_rate}) > 0 &&
                               AQuadro.nb_samples > 0;
        if (grosseiro) {
            const auto n = static_cast<std::int64_t>(AQuadro.nb_samples);
            amostra = (amostra + n / 2) / n * n;
        }
        return amostra - AtrasoDoDecodificador;
    }

    // Decodes until Pendente holds something or the stream ends.
    void Produzir() {
        while (!Acabou && !Parou && Pendente.size() == PendenteInicio) {
            const int rc = avcodec_receive_frame(Codec.get(), Quadro.get());
            if (rc == 0) {
                ErrosSeguidos = 0;
                if (!AtrasoConhecido) {
                    AtrasoConhecido = true;
                    AtrasoDoDecodificador = std::max<std::int64_t>(0, AmostraDoQuadro(*Quadro));
                }
                if (!ConfigurarConversor(*Quadro)) {
                    Erro = "conversor de amostras";
                    Acabou = true;
                    break;
                }
                int inicio = 0;
                if (DescartarAte >= 0) {
                    const std::int64_t primeira = AmostraDoQuadro(*Quadro);
                    if (primeira >= 0) {
                        const std::int64_t fim = primeira + Quadro->nb_samples;
                        if (fim <= DescartarAte) {
                            av_frame_unref(Quadro.get());
                            continue;
                        }
                        inicio =
                            static_cast<int>(std::max<std::int64_t>(0, DescartarAte - primeira));
                    }
                    DescartarAte = -1;
                }
                const auto formato = static_cast<AVSampleFormat>(Quadro->format);
                if (Direto != nullptr && inicio == 0 && Quadro->sample_rate == TaxaSaida &&
                    Quadro->ch_layout.nb_channels == CanaisSaida &&
                    (formato == AV_SAMPLE_FMT_FLTP || formato == AV_SAMPLE_FMT_FLT)) {
                    const bool planar = formato == AV_SAMPLE_FMT_FLTP;
                    Parou = !(*Direto)(reinterpret_cast<const float* const*>(Quadro->extended_data),
                                       planar,
                                       CanaisSaida,
                                       static_cast<std::size_t>(Quadro->nb_samples));
                    av_frame_unref(Quadro.get());
                    if (Parou) {
                        break;
                    }
                    continue;
                }
                const bool ok = Converter(*Quadro, inicio);
                av_frame_unref(Quadro.get());
                if (!ok) {
                    Erro = "conversao de amostras";
                    Acabou = true;
                }
                continue;
            }
            if (rc == AVERROR_EOF) {
                // Flush what the resampler still holds.
                if (Conversor && !ConversorVazio) {
                    ConversorVazio = true;
                    Acrescentar(nullptr, 0);
                    if (Pendente.size() > PendenteInicio) {
                        break;
                    }
                }
                Acabou = true;
                break;
            }
            if (rc != AVERROR(EAGAIN)) {
                if (++ErrosSeguidos > kMaxErrosSeguidos) {
                    Erro = TextoErro(rc);
                    Acabou = true;
                }
                continue;
            }
            // The decoder wants input.
            if (FimArquivo) {
                avcodec_send_packet(Codec.get(), nullptr);
                continue;
            }
            const int lido = av_read_frame(Formato.get(), Pacote.get());
            if (lido < 0) {
                if (lido != AVERROR_EOF) {
                    Erro = TextoErro(lido);  // truncated or vanished: ends like the end
                }
                FimArquivo = true;
                avcodec_send_packet(Codec.get(), nullptr);
                continue;
            }
            if (Pacote->stream_index == Fluxo) {
                const int enviado = avcodec_send_packet(Codec.get(), Pacote.get());
                if (enviado < 0 && enviado != AVERROR(EAGAIN) &&
                    ++ErrosSeguidos > kMaxErrosSeguidos) {
                    Erro = TextoErro(enviado);
                    Acabou = true;
                }
            }
            av_packet_unref(Pacote.get());
        }
    }
};

TDecodificador::TDecodificador(std::unique_ptr<TEstado> AEstado) : F(std::move(AEstado)) {}
TDecodificador::~TDecodificador() = default;

namespace {
// A layer III frame header first, or right after an ID3v2 tag.
bool PareceMp3(const std::string& ACaminho) {
    const int fd = ::open(ACaminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    unsigned char c[10] = {};
    bool ok = ::pread(fd, c, sizeof c, 0) == static_cast<ssize_t>(sizeof c);
    const auto id3 = ok ? TamanhoId3v2(c) : std::nullopt;
    if (id3 && *id3 > 0) {
        ok = ::pread(fd, c, 4, static_cast<off_t>(*id3)) == 4;
    }
    ::close(fd);
    if (!ok || !id3) {
        return false;
    }
    const auto quadro = LerCabecalhoMpeg(c);
    return quadro && quadro->Camada == 3;
}
}  // namespace

std::unique_ptr<TDecodificador> TDecodificador::Abrir(const std::string& ACaminho,
                                                      TFormato AFormato,
                                                      std::string* AErro,
                                                      TBandeiraCancelar ACancelar) {
    SilenciarFFmpeg();
    auto falhar = [&](const std::string& ATexto) -> std::unique_ptr<TDecodificador> {
        if (AErro != nullptr) {
            *AErro = ATexto;
        }
        return nullptr;
    };
    struct stat info {};
    if (::stat(ACaminho.c_str(), &info) != 0) {
        return falhar("arquivo nao encontrado");
    }
    if (!S_ISREG(info.st_mode)) {
        return falhar("nao e um arquivo");
    }
    if (info.st_size == 0) {
        return falhar("arquivo vazio");
    }
    auto e = std::make_unique<TEstado>();
    e->Cancelado = ACancelar ? std::move(ACancelar) : std::make_shared<std::atomic<bool>>(false);
    e->Pedido = AFormato;
    // "file:" keeps names such as "concat:x" or "-" from being read as
    // protocols or as standard input.
    const std::string url = "file:" + ACaminho;
    // The interrupt callback is in place before the first read.
    auto abrirComo = [&](const AVInputFormat* AEntrada) {
        AVFormatContext* bruto = avformat_alloc_context();
        if (bruto == nullptr) {
            return AVERROR(ENOMEM);
        }
        bruto->interrupt_callback.callback = &Interromper;
        bruto->interrupt_callback.opaque = e->Cancelado.get();
        // On failure FFmpeg frees the context itself.
        const int rc = avformat_open_input(&bruto, url.c_str(), AEntrada, nullptr);
        if (rc >= 0) {
            e->Formato.reset(bruto);
        }
        return rc;
    };
    // An MP3 (an ID3 tag or a frame header first) opens without asking
    // every demuxer whether the file is theirs; anything else is probed.
    const AVInputFormat* formato = PareceMp3(ACaminho) ? av_find_input_format("mp3") : nullptr;
    if (e->Cancelado->load(std::memory_order_relaxed)) {
        return falhar("abertura cancelada");
    }
    int rc = abrirComo(formato);
    if (rc < 0 && formato != nullptr) {
        rc = abrirComo(nullptr);
    }
    if (rc < 0) {
        return falhar(TextoErro(rc));
    }
    rc = avformat_find_stream_info(e->Formato.get(), nullptr);
    if (rc < 0) {
        return falhar(TextoErro(rc));
    }
    const AVCodec* codec = nullptr;
    e->Fluxo = av_find_best_stream(e->Formato.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (e->Fluxo < 0 || codec == nullptr) {
        return falhar("sem audio");
    }
    AVStream* fluxo = e->Formato->streams[e->Fluxo];
    for (unsigned i = 0; i < e->Formato->nb_streams; ++i) {
        if (static_cast<int>(i) != e->Fluxo) {
            e->Formato->streams[i]->discard = AVDISCARD_ALL;  // cover art and the like
        }
    }
    e->Codec.reset(avcodec_alloc_context3(codec));
    if (!e->Codec || avcodec_parameters_to_context(e->Codec.get(), fluxo->codecpar) < 0) {
        return falhar("codec");
    }
    e->Codec->pkt_timebase = fluxo->time_base;
    rc = avcodec_open2(e->Codec.get(), codec, nullptr);
    if (rc < 0) {
        return falhar(TextoErro(rc));
    }
    if (e->Codec->sample_rate <= 0 || e->Codec->ch_layout.nb_channels <= 0) {
        return falhar("formato de audio desconhecido");
    }
    e->Pacote.reset(av_packet_alloc());
    e->Quadro.reset(av_frame_alloc());
    if (!e->Pacote || !e->Quadro) {
        return falhar("memoria");
    }
    e->TaxaSaida = AFormato.Taxa > 0 ? AFormato.Taxa : e->Codec->sample_rate;
    e->CanaisSaida = AFormato.Canais > 0 ? AFormato.Canais : e->Codec->ch_layout.nb_channels;
    if (e->Formato->duration != AV_NOPTS_VALUE && e->Formato->duration > 0) {
        e->DuracaoMs = e->Formato->duration / (AV_TIME_BASE / 1000);
    } else if (fluxo->duration != AV_NOPTS_VALUE && fluxo->duration > 0) {
        e->DuracaoMs = av_rescale_q(fluxo->duration, fluxo->time_base, AVRational{1, 1000});
    }
    // Something must decode, or the file is not playable audio (a text file
    // named .mp3 may still pass the probe).
    e->Produzir();
    if (e->Pendente.empty()) {
        return falhar(e->Erro.empty() ? std::string("nada para tocar") : e->Erro);
    }
    return std::unique_ptr<TDecodificador>(new TDecodificador(std::move(e)));
}

int TDecodificador::Taxa() const {
    return F->TaxaSaida;
}
int TDecodificador::Canais() const {
    return F->CanaisSaida;
}
std::int64_t TDecodificador::DuracaoMs() const {
    return F->DuracaoMs;
}
const std::string& TDecodificador::Erro() const {
    return F->Erro;
}
void TDecodificador::Cancelar() {
    F->Cancelado->store(true, std::memory_order_relaxed);
}

std::size_t TDecodificador::Ler(float* ADestino, std::size_t AQuadros) {
    F->Parou = false;
    const auto canais = static_cast<std::size_t>(F->CanaisSaida);
    std::size_t escritos = 0;
    while (escritos < AQuadros) {
        if (F->Pendente.size() == F->PendenteInicio) {
            F->Pendente.clear();
            F->PendenteInicio = 0;
            F->Produzir();
            if (F->Pendente.empty()) {
                break;
            }
        }
        const std::size_t prontos = (F->Pendente.size() - F->PendenteInicio) / canais;
        const std::size_t n = std::min(prontos, AQuadros - escritos);
        std::memcpy(ADestino + escritos * canais,
                    F->Pendente.data() + F->PendenteInicio,
                    n * canais * sizeof(float));
        F->PendenteInicio += n * canais;
        escritos += n;
    }
    return escritos;
}

void TDecodificador::LerTudo(const TReceptor& AReceptor) {
    const auto canais = static_cast<std::size_t>(F->CanaisSaida);
    F->Parou = false;
    auto entregarPendente = [&] {
        const std::size_t n = (F->Pendente.size() - F->PendenteInicio) / canais;
        if (n > 0) {
            const float* plano = F->Pendente.data() + F->PendenteInicio;
            F->Parou = !AReceptor(&plano, false, F->CanaisSaida, n);
        }
        F->Pendente.clear();
        F->PendenteInicio = 0;
    };
    entregarPendente();  // what opening (or the last call) decoded already
    F->Direto = (F->Pedido.Taxa == 0 && F->Pedido.Canais == 0) ? &AReceptor : nullptr;
    while (!F->Acabou && !F->Parou) {
        F->Produzir();
        entregarPendente();
    }
    F->Direto = nullptr;
}

bool TDecodificador::Posicionar(std::int64_t AQuadro) {
    AQuadro = std::max<std::int64_t>(AQuadro, 0);
    AVStream* s = F->Formato->streams[F->Fluxo];
    const int taxaEntrada = F->Codec->sample_rate;
    // The target in input samples; seek half a second early and decode up to it,
    // since containers land on packet boundaries at or before the asked time.
    const std::int64_t alvo = av_rescale(AQuadro, taxaEntrada, F->TaxaSaida);
    const std::int64_t antes = std::max<std::int64_t>(0, alvo - taxaEntrada / 2);
    const std::int64_t inicio = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
    const std::int64_t ts = inicio + av_rescale_q(antes, AVRational{1, taxaEntrada}, s->time_base);
    if (av_seek_frame(F->Formato.get(), F->Fluxo, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(F->Formato.get(), F->Fluxo, ts, AVSEEK_FLAG_ANY) < 0) {
        return false;
    }
    avcodec_flush_buffers(F->Codec.get());
    F->Conversor.reset();
    F->Pendente.clear();
    F->PendenteInicio = 0;
    F->FimArquivo = false;
    F->ConversorVazio = false;
    F->Acabou = false;
    F->ErrosSeguidos = 0;
    F->Erro.clear();
    F->DescartarAte = alvo;
    F->Parou = false;
    return true;
}

namespace {

class TFonteFFmpeg final : public IFonteAudio {
  public:
    explicit TFonteFFmpeg(std::unique_ptr<TDecodificador> ADecodificador)
        : FDecodificador(std::move(ADecodificador)) {}
    std::size_t Ler(std::span<float> AQuadros) override {
        return FDecodificador->Ler(AQuadros.data(), AQuadros.size() / 2);
    }
    bool Posicionar(std::int64_t AQuadro) override { return FDecodificador->Posicionar(AQuadro); }
    std::int64_t DuracaoMs() const override { return FDecodificador->DuracaoMs(); }
    std::string Erro() const override { return FDecodificador->Erro(); }
    void Cancelar() override { FDecodificador->Cancelar(); }

  private:
    std::unique_ptr<TDecodificador> FDecodificador;
};

}  // namespace

std::unique_ptr<IFonteAudio> AbrirFonteFFmpeg(const std::string& ACaminho,
                                              int ATaxa,
                                              std::string* AErro,
                                              TBandeiraCancelar ACancelar) {
    auto d = TDecodificador::Abrir(ACaminho, {ATaxa, 2}, AErro, std::move(ACancelar));
    if (!d) {
        return nullptr;
    }
    return std::make_unique<TFonteFFmpeg>(std::move(d));
}

}  // namespace ljsn
