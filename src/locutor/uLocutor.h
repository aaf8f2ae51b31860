#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comum/uRelogio.h"
#include "comum/uTipos.h"
#include "locutor/voz/uVozSapi.h"

namespace ljsn {

enum class TFaseLocutor : std::uint8_t { flOcioso, flAbaixando, flFalando, flSubindo };

// Why a staff text was refused: the queue holds TLocutor::kMaxFila texts.
inline constexpr const char* kErroFilaCheia = "O locutor já tem muitas falas na fila.";

// Who asked for a text: people (the phone's "falar" and quick calls, the
// speak box) or the programme's own schedule (the hour, closing time,
// messages, dates, weather, news).
enum class TOrigemFala : std::uint8_t { ofPrograma, ofPessoa };

// The announcer: a queue of texts spoken one after another while the music is
// lowered (the ducking factor Fator, from VolumeFundo/100 to 1) and raised
// again afterwards. It speaks with a local voice, or with a natural voice
// through the browser bridge, falling back to a local voice for five minutes
// when the natural one fails (six hours when the browser has no online voice
// at all). At most kMaxFila texts from people wait; the programme's own are
// always admitted, so staff filling the queue cannot drop the closing
// warnings. Main thread only.
class TLocutor {
  public:
    // People's texts waiting at most: a flood of requests would otherwise
    // hold the music down for minutes.
    static constexpr std::size_t kMaxFila = 20;
    // Characters of one text at most, whoever sent it (cut at a word).
    static constexpr std::size_t kMaxTexto = 1000;
    // How long the local voice stands in when the browser has no online
    // voice at all: that does not change from one text to the next.
    static constexpr std::uint32_t kReservaSemVozesMs = 6 * 3600 * 1000;

    TLocutor(IFabricaVoz& AFabrica, TRelogio& ARelogio);
    ~TLocutor();
    TLocutor(const TLocutor&) = delete;
    TLocutor& operator=(const TLocutor&) = delete;

    // Queues a text. A quick call (tfChamada) comes from people unless
    // AOrigem says otherwise; anything else from the programme. False when
    // a person's text finds the queue full: it is dropped and the log says so.
    bool Anunciar(const std::string& ATexto,
                  TTipoFala ATipo,
                  std::optional<TOrigemFala> AOrigem = std::nullopt);
    // Room for AQuantos more texts from people.
    bool Cabe(std::size_t AQuantos) const { return FDePessoas + AQuantos <= kMaxFila; }
    void FalarImediato(const std::string& ATexto, TTipoFala ATipo);
    void Processar(int AIntervaloMs);
    void Cancelar();
    void DescartarAutomaticas();
    bool Ocupado() const;
    void SemDescida();

    bool Ativo() const { return FFase != TFaseLocutor::flOcioso || !FFila.empty(); }
    double Fator() const { return FFator; }
    const std::string& TextoAtual() const { return FTextoAtual; }
    const std::string& UltimoErro() const { return FUltimoErro; }
    TFaseLocutor Fase() const { return FFase; }
    std::size_t NaFila() const { return FFila.size(); }

    int VolumeFundo() const { return FVolumeFundo; }
    void DefinirVolumeFundo(int AValor) { FVolumeFundo = AValor; }
    int TempoFade() const { return FTempoFade; }
    void DefinirTempoFade(int AValor) { FTempoFade = AValor; }
    const std::string& NomeVoz() const { return FNomeVoz; }
    void DefinirNomeVoz(const std::string& ANome);
    int Velocidade() const { return FVelocidade; }
    void DefinirVelocidade(int AValor);
    int Tom() const { return FTom; }
    void DefinirTom(int AValor) { FTom = AValor; }
    int Volume(TTipoFala ATipo) const { return FVolumes[IndiceFala(ATipo)]; }
    void DefinirVolume(TTipoFala ATipo, int AValor);

    static bool Automatica(TTipoFala ATipo);
    static bool EhVozNatural(const std::string& ANome);
    static bool EhPortuguesBrasil(const TTokenVoz& AToken);
    // The voices to offer: bridge voices, then natural and local Brazilian ones.
    std::vector<std::string> VozesDisponiveis();
    // The voice in use, for messages and the fallback decisions.
    std::string VozAtiva();

  private:
    struct TEntrada {
        std::string Texto;
        TTipoFala Tipo;
        TOrigemFala Origem;
    };
    // Keeps FDePessoas in step after the queue changed.
    void ContarPessoas();

    bool GarantirVoz();
    void AplicarVoz();
    bool AtivarReserva();
    int VolumeAtual() const { return FVolumes[IndiceFala(FTipoAtual)]; }
    bool FalarTexto(const std::string& ATexto);
    // Speaks the current text; when it fails to start, one step down the
    // fallback chain and once more.
    bool FalarComReserva();
    double FatorFundo() const;
    void RegistrarFalhaDeFala();
    bool FalhouVozNatural();
    bool IniciarProxima();
    bool AindaFalando();
    std::vector<TTokenVoz> ListarTokens();
    void PararFala();

    IFabricaVoz& FFabrica;
    TRelogio& FRelogio;

    std::unique_ptr<IVozSapi> FVoz;
    std::deque<TEntrada> FFila;
    std::size_t FDePessoas = 0;  // entries of FFila from people
    TFaseLocutor FFase = TFaseLocutor::flOcioso;
    double FFator = 1.0;
    int FVolumeFundo = 20;
    int FTempoFade = 2000;
    std::string FTextoAtual;
    std::string FNomeVoz;
    int FVelocidade = 0;
    int FTom = 0;
    std::array<int, kTiposFala> FVolumes = {80, 80, 80, 80, 80, 80, 80};
    TTipoFala FTipoAtual = TTipoFala::tfHoraCerta;
    bool FAtualAutomatica = false;
    std::string FUltimoErro;
    std::uint32_t FInicioFala = 0;
    std::uint32_t FReservaAte = 0;
    bool FUsaEdge = false;
    std::string FVozEdge;
    bool FFalaEdge = false;
    bool FReservaSemVozes = false;  // the fallback stands because the browser has no voice
    bool FSemVozesAvisado = false;  // that was logged; a retry finding the same stays quiet
};

}  // namespace ljsn
