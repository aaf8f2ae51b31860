#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ljsn::teste {

// Runs ffmpeg (quiet, overwriting) with the given arguments; throws when it
// fails, so a fixture that cannot be made is an error, never a skip.
void RodarFfmpeg(const std::vector<std::string>& AArgs);

// ASegundos of aevalsrc expressions, one per channel separated by "|",
// encoded by the codec arguments into ACaminho.
void GerarExpressao(const std::string& ACaminho,
                    const std::string& AExpressoes,
                    double ASegundos,
                    int ATaxa = 44100,
                    const std::vector<std::string>& ACodec = {"-c:a", "pcm_f32le"});

// A sine tone of ASegundos at AFrequencia Hz and AAmplitude (0..1), encoded
// by the codec arguments into ACaminho, e.g. {"-c:a", "libmp3lame"}.
void GerarTom(const std::string& ACaminho,
              double ASegundos,
              double AFrequencia = 440,
              double AAmplitude = 0.5,
              const std::vector<std::string>& ACodec = {},
              int ATaxa = 44100,
              int ACanais = 2);

// A silent 8 kHz mono 8-bit WAV of AMilissegundos, written directly (fast
// enough for folders of thousands of files).
void CriarWavSilencioso(const std::string& ACaminho, int AMilissegundos, int ATaxa = 8000);

// A folder (with a trailing "/") of media shared by every test process of
// this build: AGerar fills it once, into a fresh folder renamed into place,
// so concurrent processes never see it half made. A rebuild of the test
// executable makes it anew, so a changed recipe is never served stale.
std::string MidiaCompartilhada(const std::string& ANome,
                               const std::function<void(const std::string& APasta)>& AGerar);

}  // namespace ljsn::teste
