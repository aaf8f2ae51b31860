#include "ambiente/uDuracao.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <limits>
#include <memory>
#include <mutex>

#include "comum/uFormato.h"

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

std::int32_t DuracaoMidia(const std::string& ACaminho) {
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
