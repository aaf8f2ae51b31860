#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "audio/uTags.h"

namespace ljsn {

// The colour a label takes; the window maps each to its palette.
enum class TCorVisao : std::uint8_t { cvCinza, cvAzul, cvCarmesim, cvAmbar };

// What the programme asks of its face. The window implements it; a headless
// run shows little of it. Every call comes on the main thread. The face reads
// the rest (track list, durations, rows) from the programme when told that it
// changed.
class IVisao {
  public:
    virtual ~IVisao() = default;

    // Clock label "hh:nn:ss" and date label "quarta-feira, 9 de dezembro de 2026".
    virtual void MostrarRelogio(const std::string& AHora, const std::string& AData) = 0;
    // An error that escaped a handler; the window shows a message box.
    virtual void MostrarErro(const std::string& AMensagem) = 0;

    // The title line: the current item's display name, or a prompt.
    virtual void MostrarTitulo(const std::string& ATitulo) { (void)ATitulo; }
    // The type label ("●  TOCANDO AGORA   ·   VOLUME AUTO −4,5 dB").
    virtual void MostrarTipo(const std::string& ATexto, TCorVisao ACor) {
        (void)ATexto;
        (void)ACor;
    }
    // Elapsed and total time of the current item (ms); the labels and the
    // progress bar follow them.
    virtual void MostrarTempos(std::int32_t APosicao, std::int32_t ADuracao) {
        (void)APosicao;
        (void)ADuracao;
    }
    // Both time labels empty (the news block, a pause in it).
    virtual void MostrarTemposVazios() {}
    // The item whose cover and tag line to show (empty: none), with the
    // placeholder glyph for when it has no picture.
    virtual void MostrarCapa(const std::string& AArquivo, char32_t AGlifo) {
        (void)AArquivo;
        (void)AGlifo;
    }
    // The tags of the item on air, read after it started: its information
    // line and its cover picture (bytes as stored, to be decoded by the face).
    virtual void MostrarTags(const TTagsAudio& ATags, const std::string& ALinha) {
        (void)ATags;
        (void)ALinha;
    }
    // The five status-bar texts.
    virtual void MostrarStatus(const std::array<std::string, 5>& ATextos) { (void)ATextos; }
    // The track list changed (rows, durations, selected or current row).
    virtual void AtualizarLista() {}
    // The announcer line: the text being spoken (empty: waiting), whether a
    // fallback voice is in use, and its tooltip.
    virtual void MostrarLocutor(const std::string& ATexto, bool AAviso, const std::string& ADica) {
        (void)ATexto;
        (void)AAviso;
        (void)ADica;
    }
    // The busy pointer while the main thread waits for something slow.
    virtual void MostrarOcupado(bool AOcupado) { (void)AOcupado; }
    // "Tocar" with no music opens the settings.
    virtual void AbrirConfiguracoes() {}
};

// A face that shows nothing.
class TVisaoNula : public IVisao {
  public:
    void MostrarRelogio(const std::string&, const std::string&) override {}
    void MostrarErro(const std::string&) override {}
};

}  // namespace ljsn
