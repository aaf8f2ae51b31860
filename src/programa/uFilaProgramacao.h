#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "ambiente/uConfiguracoes.h"
#include "programa/uListador.h"

namespace ljsn {

// Tags of the break queue's entries.
inline constexpr int MARCA_VINHETA = 1;
inline constexpr int MARCA_NOTICIAS = 2;

// What the queue put on air last.
enum class TItemFila : std::uint8_t { ifNenhum, ifMusica, ifPropaganda, ifVinheta };

// The play queue and the break rotation: the music and advertisement lists,
// where each rotation stands, how many songs played since the last break and
// the last news, and the break waiting to play. No I/O and no clock: the
// programme decides when; this decides what.
class TFilaProgramacao {
  public:
    struct TEntrada {
        std::string Texto;
        int Marca = 0;
        bool operator==(const TEntrada&) const = default;
    };

    explicit TFilaProgramacao(std::mt19937::result_type ASemente = 0) : FAleatorio(ASemente) {}

    // New lists from the worker. The rotation goes on where it was: the song
    // on air keeps its place, and the break already queued stays when the
    // advertisements did not change.
    void TrocarListas(TListasLidas AListas, bool AEmbaralhar);

    // The jingle was checked by the last listing and is still the one named.
    bool VinhetaUsavel(const std::string& ACaminho) const;
    // A jingle that failed to open is left out until the next listing.
    void DescartarVinheta(const std::string& ACaminho);

    // The break's part of the queue: when the rule says so, the jingles and
    // the next advertisements, with their log line.
    bool IntervaloDevido(const TConfiguracoes& AConfig) const;
    void MontarIntervalo(const TConfiguracoes& AConfig);
    void AdicionarNoticias() { FFila.push_back({"noticias", MARCA_NOTICIAS}); }
    bool NoticiasDevidas(const TConfiguracoes& AConfig) const {
        return AConfig.NoticiasAtivas && FMusicasDesdeNoticias >= AConfig.NoticiasCadaMusicas;
    }
    void ZerarNoticias() { FMusicasDesdeNoticias = 0; }
    bool NoticiasNaFila() const;
    // Entries that are files (not the news block).
    std::ptrdiff_t ArquivosNaFila() const;
    bool FilaVazia() const { return FFila.empty(); }
    TEntrada Retirar();
    void LimparFila() { FFila.clear(); }

    // The song after the one on air.
    int SeguinteMusica() const;
    // AIndice goes on air: it counts towards the next break and news.
    const std::string& ComecarMusica(int AIndice);
    // It never played: it does not bring the break nearer.
    void MusicaFalhou();
    // A break entry goes on air.
    void ComecarIntervalo(int AMarca) {
        FNoAr = AMarca == MARCA_VINHETA ? TItemFila::ifVinheta : TItemFila::ifPropaganda;
    }
    void NadaNoAr() { FNoAr = TItemFila::ifNenhum; }
    TItemFila NoAr() const { return FNoAr; }
    bool TocandoVinheta() const { return FNoAr == TItemFila::ifVinheta; }
    bool TocandoIntervalo() const {
        return FNoAr == TItemFila::ifVinheta || FNoAr == TItemFila::ifPropaganda;
    }

    // The file that plays next as far as the queue can tell: empty when
    // nothing or the news block (ANoticiasProntas) comes next.
    std::string ProximoArquivo(const TConfiguracoes& AConfig, bool ANoticiasProntas) const;
    // The next of each rotation (empty lists: empty), to measure ahead.
    std::string ProximaPropaganda() const;
    std::string ProximaMusica() const;
    // The song on air, or empty.
    std::string MusicaAtual() const;

    // The list's selection (-1: none).
    void SelecionarLinha(int ALinha);
    int LinhaSelecionada() const { return FLinhaSelecionada; }

    const std::vector<std::string>& Musicas() const { return FMusicas; }
    const std::vector<std::string>& Propagandas() const { return FPropagandas; }
    const std::string& VinhetaAntes() const { return FVinhetaAntes; }
    const std::string& VinhetaDepois() const { return FVinhetaDepois; }
    const std::deque<TEntrada>& FilaIntervalo() const { return FFila; }
    int IndiceMusica() const { return FIndiceMusica; }
    int IndicePropaganda() const { return FIndicePropaganda; }
    int MusicasDesdePropaganda() const { return FMusicasDesdePropaganda; }
    int MusicasDesdeNoticias() const { return FMusicasDesdeNoticias; }

  private:
    void Embaralhar(std::vector<std::string>& ALista);

    std::mt19937 FAleatorio;
    std::vector<std::string> FMusicas;
    std::vector<std::string> FPropagandas;
    // The jingles the last listing found playable.
    std::string FVinhetaAntes;
    std::string FVinhetaDepois;
    int FIndiceMusica = -1;
    int FIndicePropaganda = -1;
    int FMusicasDesdePropaganda = 0;
    int FMusicasDesdeNoticias = 0;
    std::deque<TEntrada> FFila;
    TItemFila FNoAr = TItemFila::ifNenhum;
    int FLinhaSelecionada = -1;
};

}  // namespace ljsn
