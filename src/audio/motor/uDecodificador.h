#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "audio/motor/uFonteAudio.h"

namespace ljsn {

// Decodes one audio file with FFmpeg into interleaved float, either at the
// file's own rate and channels (ATaxa / ACanais 0) or converted to a given
// rate and channel count. Opening happens on the caller's thread; after that
// one thread at a time may use it.
class TDecodificador {
  public:
    struct TFormato {
        int Taxa = 0;    // 0: the file's own
        int Canais = 0;  // 0: the file's own
    };

    // Nothing when the file is missing, not a file, or has no decodable
    // audio; AErro then says why. Once ACancelar is set (from any thread),
    // the file I/O gives up at its next read, during the open or after it.
    static std::unique_ptr<TDecodificador> Abrir(const std::string& ACaminho,
                                                 TFormato AFormato,
                                                 std::string* AErro = nullptr,
                                                 TBandeiraCancelar ACancelar = nullptr);
    ~TDecodificador();
    TDecodificador(const TDecodificador&) = delete;
    TDecodificador& operator=(const TDecodificador&) = delete;

    int Taxa() const;
    int Canais() const;
    // The container's estimate of the length, or -1.
    std::int64_t DuracaoMs() const;

    // Fills AQuadros frames of Canais() samples each; returns the frames
    // written, fewer only at the end. A decoding error ends the stream.
    std::size_t Ler(float* ADestino, std::size_t AQuadros);
    // Receives decoded audio at the file's own format: AQuadros frames of
    // ACanais channels, either one plane per channel (APlanar) or one
    // interleaved plane. Returns false to stop reading after this piece.
    using TReceptor = std::function<bool(
        const float* const* APlanos, bool APlanar, int ACanais, std::size_t AQuadros)>;
    // Decodes until the end (or the receiver says stop), handing float audio
    // over without copying or converting when the decoder already makes
    // floats (for a decoder opened at the file's own rate and channels).
    // Another call goes on from where the last one stopped.
    void LerTudo(const TReceptor& AReceptor);
    // Moves to an absolute output frame, accurate to the sample where the
    // file's timestamps allow.
    bool Posicionar(std::int64_t AQuadro);
    // Why decoding ended before the file's end; empty otherwise.
    const std::string& Erro() const;
    // Any thread, even during a read: the file I/O gives up at its next
    // check (a read already waiting on the storage finishes first), and the
    // stream then ends as on a read error.
    void Cancelar();

  private:
    struct TEstado;
    explicit TDecodificador(std::unique_ptr<TEstado> AEstado);
    std::unique_ptr<TEstado> F;
};

// The engine's source: a file decoded to stereo float at the engine's rate.
// Its Cancelar sets ACancelar (a flag of its own when none is given).
std::unique_ptr<IFonteAudio> AbrirFonteFFmpeg(const std::string& ACaminho,
                                              int ATaxa,
                                              std::string* AErro = nullptr,
                                              TBandeiraCancelar ACancelar = nullptr);

}  // namespace ljsn
