#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ambiente/uConfiguracoes.h"
#include "ambiente/uInicializacao.h"
#include "comum/uTipos.h"
#include "programa/uVisao.h"

namespace ljsn {

inline constexpr const char* kNomePrograma = "Loja Sonorante";
inline constexpr const char* kVersaoPrograma = LJSN_VERSAO;
inline constexpr std::uint32_t kIntervaloTickMs = 100;

// Placeholder glyphs for an item without a cover picture.
inline constexpr char32_t kGlifoMusica = U'\uE8D6';
inline constexpr char32_t kGlifoPropaganda = U'\uE789';
inline constexpr char32_t kGlifoVinheta = U'\uEA8F';
inline constexpr char32_t kGlifoNoticias = U'\uE12A';

// The file name without folder and extension.
std::string NomeExibicao(const std::string& ACaminho);

// What the program was started with.
struct TOpcoesPrograma {
    TLinhaComando Linha;
    std::string CaminhoExecutavel;
    std::string ValorRelogio;  // LJSN_RELOGIO
    // Why the runtime folders passed over were unsafe (empty when none was).
    std::string MotivoPastaExecucao;
};

// An action the programme refuses, with the message for the user.
class TErroComando : public std::runtime_error {
  public:
    explicit TErroComando(const std::string& AMensagem);
};

// What the programme is doing, as every face reports it.
struct TEstadoControle {
    // "tocando", "pausado" or "parado".
    std::string Situacao = "parado";
    // "musica", "propaganda", "vinheta" or "noticias".
    std::string Tipo = "musica";
    std::string Faixa;  // the title line: the item's display name, or a prompt
    std::int32_t Posicao = 0;
    std::int32_t Duracao = 0;
    int Volume = 0;
    std::string Locutor;  // the text being spoken, or empty
    // Why the announcer uses a fallback voice; empty when it does not.
    std::string ErroLocutor;
    std::string ASeguir;  // the next-item text of the status bar
    std::string Info;     // the tag line of the item on air (empty until read)
    int Silencios = 0;
    // Set while the settings could not be saved.
    std::string Aviso;
    bool EmReproducao = false;
};

// One problem with a settings set: the dialog's tab and field it belongs to
// (the keys of the settings dialog) and what to tell the user.
struct TProblemaConfig {
    std::string Aba;    // "musicas", "locutor", "celular", ...
    std::string Campo;  // "PastaMusicas", "HorarioFechamento", "CelularPorta", ...
    std::string Mensagem;
};

// What a settings change touched, so each face refreshes only its part.
struct TMudancasConfig {
    bool Programacao = false;  // folders, breaks, jingles, news, announcer, weather...
    bool Celular = false;      // phone control: on/off, port, PIN
    bool Aparencia = false;    // theme
    bool Widget = false;       // quick controls: place, on top, in the tray
    bool Volume = false;
    bool Alguma() const { return Programacao || Celular || Aparencia || Widget || Volume; }
};

// The settings dialog's test playback: a player and a voice of its own,
// apart from the programme's, so a test never touches what is on air.
class IEscutaTeste {
  public:
    // The voice as the dialog shows it.
    struct TVoz {
        std::string Nome;  // empty: the automatic choice
        int Velocidade = 0;
        int Tom = 0;
        std::array<int, kTiposFala> Volumes{};  // by TTipoFala
    };

    virtual ~IEscutaTeste() = default;
    virtual std::vector<std::string> VozesDisponiveis() = 0;
    // Speaks ATexto now, cutting what it said before.
    virtual void Falar(const std::string& ATexto, TTipoFala ATipo, const TVoz& AVoz) = 0;
    virtual void DefinirVolumeFala(TTipoFala ATipo, int AVolume) = 0;
    virtual void CalarVoz() = 0;
    // The voice's clock.
    virtual void Processar(int AMs) = 0;
    // The first playable file under APasta (empty when none).
    virtual std::string PrimeiroArquivo(const std::string& APasta) = 0;
    virtual bool TocarArquivo(const std::string& AArquivo, int AVolume) = 0;
    virtual void DefinirVolumeArquivo(int AVolume) = 0;
    virtual bool TocandoArquivo() = 0;
    virtual void PararArquivo() = 0;
};

// Every action a face (window, tray, quick controls, quick calls, phone,
// a second copy) may take, and what it may read back. Main thread only;
// the refusals a user must hear about throw TErroComando.
class IControle {
  public:
    virtual ~IControle() = default;

    // The creation steps, then one call per 100 ms tick.
    virtual void Iniciar() = 0;
    virtual void Tick() = 0;
    // Runs AAcao under the application-wide error handler.
    virtual void Protegido(const std::function<void()>& AAcao) = 0;
    // The program clock (days, local time).
    virtual double Agora() const = 0;

    // Transport. Tocar is the play button: it continues a pause, or starts
    // from the selected row, or the next item; with no music the face is
    // asked to open the settings. Retomar continues a pause or goes on with
    // the programme's next item, and throws when there is no music.
    virtual void Tocar() = 0;
    virtual void Retomar() = 0;
    virtual void Pausar() = 0;
    virtual void Parar() = 0;
    virtual void Proxima() = 0;
    virtual void TocarOuPausar() = 0;
    // The current item to AMs.
    virtual void Posicionar(std::int32_t AMs) = 0;
    // The track list: a row selected, a row played.
    virtual void SelecionarLinha(int ALinha) = 0;
    virtual void TocarLinha(int ALinha) = 0;
    // The private action messages (1 play/pause, 2 next, 3 time now); what
    // has no meaning in the programme is ignored.
    virtual void ExecutarAcao(int AAcao) = 0;

    // 0..100.
    virtual void DefinirVolume(int AVolume) = 0;
    virtual int Volume() const = 0;

    // The announcer. Each throws TErroComando when it cannot take the text;
    // a repeated call is queued whole or not at all.
    virtual void FalarAgora(const std::string& ATexto) = 0;
    virtual void Chamar(const std::string& ATexto, bool ARepetir) = 0;
    virtual void HoraCerta() = 0;
    // What is said now and what waits.
    virtual void CalarLocutor() = 0;

    // Settings. Validar lists every problem (empty: none). Aplicar saves the
    // whole set at once, takes it and applies what changed; a failed save
    // throws TErroComando and changes nothing.
    virtual const TConfiguracoes& Config() const = 0;
    virtual std::vector<TProblemaConfig> Validar(const TConfiguracoes& ANovo) const = 0;
    virtual TMudancasConfig Aplicar(const TConfiguracoes& ANovo) = 0;

    // Reading back.
    virtual TEstadoControle Estado() const = 0;
    virtual const std::vector<std::string>& Musicas() const = 0;
    virtual const std::vector<std::int32_t>& Duracoes() const = 0;
    virtual int LinhaSelecionada() const = 0;
    // The row played now (-1 when a break, a jingle or the news is on air).
    virtual int LinhaAtual() const = 0;
    // The phone addresses while the control server listens, else empty.
    virtual std::string TextoCelular() const = 0;
    // The control server's port while it listens, else 0.
    virtual int PortaCelular() const = 0;
    // The music the settings dialog may take as the loudness reference, and
    // the loudness and gain of the item on air.
    virtual std::string MusicaAtualParaConfig() const = 0;
    virtual double LoudnessAtual() const = 0;
    virtual bool PrimeiraExecucao() const = 0;

    // Starting with the computer (the user's autostart entry). False, with a
    // log line, when the entry could not be written.
    virtual bool IniciaComSistema() const = 0;
    virtual bool DefinirIniciarComSistema(bool ALigar) = 0;

    // A test playback of the face's own.
    virtual std::unique_ptr<IEscutaTeste> CriarEscutaTeste() = 0;
};

}  // namespace ljsn
