#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ambiente/uConfiguracoes.h"
#include "ambiente/uInicializacao.h"
#include "audio/motor/uDispositivoMidia.h"
#include "audio/uPlayer.h"
#include "audio/uVolumeAuto.h"
#include "comum/uFilaPrincipal.h"
#include "comum/uRelogio.h"
#include "comum/uVerificar.h"
#include "controle/uControleRemoto.h"
#include "locutor/uLocutor.h"
#include "locutor/voz/uVozSapi.h"
#include "programa/uAgendaClima.h"
#include "programa/uAgendaNoticias.h"
#include "programa/uControle.h"
#include "programa/uFilaProgramacao.h"
#include "programa/uGuardas.h"
#include "programa/uLeitorDuracoes.h"
#include "programa/uLeitorTags.h"
#include "programa/uListador.h"
#include "programa/uMarcaReproducao.h"
#include "programa/uNiveis.h"
#include "programa/uRodizioFalas.h"
#include "programa/uSalvamento.h"
#include "programa/uVisao.h"

namespace ljsn {

// Offset of the program clock from the system clock, in days, from
// LJSN_RELOGIO ("H:MM"); 0 when unset or without ":".
double CalcularDeslocamentoRelogio(const std::string& AValor, double AAgoraSistema);

// One line of "--medir-loudness": the loudness with two decimals (or
// -999.00), a tab, the path.
std::string LinhaLoudness(const std::string& ACaminho);

// "1 música", "3 músicas".
std::string TextoMusicas(int AQuantas);
// Files of the accepted types (.mp3, .wav, .wma) under APasta, sorted by path
// without regard to case or accents. Unreadable folders are skipped and
// folder links are followed once, except links back to APasta or to a folder
// above it, which would list what lies outside. A stop request ends the walk
// (what was found so far is returned).
std::vector<std::string> ListarArquivosDaPasta(const std::string& APasta,
                                               bool ASubpastas,
                                               std::stop_token AParar = {});

// The headless programme: owns the settings, the announcer, the servers and
// the units that do each job (the queue, the levels, the durations reader,
// the guards, the announcer's rotations), wires them together and is driven
// by one 100 ms tick on the main thread. Faces drive it through IControle.
// Every public operation is for the main thread.
class TPrograma final : public IControle {
  public:
    // Songs failing in a row, or this long with nothing playing, before the
    // programme waits 30 s between tries.
    static constexpr int kMaxFalhasSeguidas = TGuardas::kMaxFalhasSeguidas;
    static constexpr std::uint32_t kMaxSemTocarMs = TGuardas::kMaxSemTocarMs;

    TPrograma(TRelogio& ARelogio,
              TFilaPrincipal& AFila,
              IVisao& AVisao,
              IDispositivoMidia& ADispositivo,
              IFabricaVoz& AFabricaVoz,
              TOpcoesPrograma AOpcoes);
    // The orderly shutdown: settings saved, "FIM" logged, workers stopped.
    ~TPrograma() override;
    TPrograma(const TPrograma&) = delete;
    TPrograma& operator=(const TPrograma&) = delete;

    // The creation steps, ending with one tick.
    void Iniciar() override;
    // One tick, errors caught and logged.
    void Tick() override;
    void Protegido(const std::function<void()>& AAcao) override;

    // The program clock: system local time plus the LJSN_RELOGIO offset.
    double Agora() const override;

    // The control surface.
    void Tocar() override;
    void Retomar() override;
    void Pausar() override;
    void Parar() override;
    void Proxima() override;
    void TocarOuPausar() override;
    void Posicionar(std::int32_t AMs) override;
    void SelecionarLinha(int ALinha) override;
    void TocarLinha(int ALinha) override;
    void ExecutarAcao(int AAcao) override;
    void DefinirVolume(int AVolume) override;
    int Volume() const override { return FNiveis ? FNiveis->Volume() : 0; }
    // The shop's markers expanded, spoken as a call.
    void FalarAgora(const std::string& ATexto) override;
    void Chamar(const std::string& ATexto, bool ARepetir) override;
    void HoraCerta() override;
    void CalarLocutor() override;
    const TConfiguracoes& Config() const override { return *FConfig; }
    std::vector<TProblemaConfig> Validar(const TConfiguracoes& ANovo) const override;
    TMudancasConfig Aplicar(const TConfiguracoes& ANovo) override;
    TEstadoControle Estado() const override;
    const std::vector<std::string>& Musicas() const override { return FFilaProg.Musicas(); }
    const std::vector<std::int32_t>& Duracoes() const override { return FDuracoes->Musicas(); }
    int LinhaSelecionada() const override { return FFilaProg.LinhaSelecionada(); }
    int LinhaAtual() const override;
    std::string TextoCelular() const override;
    int PortaCelular() const override;
    std::string MusicaAtualParaConfig() const override;
    double LoudnessAtual() const override { return FNiveis ? FNiveis->LoudnessAtual() : -999; }
    bool PrimeiraExecucao() const override { return FPrimeiraExecucao; }
    std::unique_ptr<IEscutaTeste> CriarEscutaTeste() override;
    bool IniciaComSistema() const override;
    bool DefinirIniciarComSistema(bool ALigar) override;

    // Starts or stops the control server per the settings.
    void AtualizarControleRemoto();
    // A shop without the settings dialog gets its PIN here: when phone
    // control is on and no PIN is set, one is made, saved and the server
    // started. True when a PIN was made.
    bool GerarPinSeFaltar();
    // Why the control server did not start; empty when it runs or is off.
    const std::string& ErroCelular() const { return FErroCelular; }
    TControleRemoto& Controle() { return *FControle; }
    // The levels of both players for this tick, under the announcer's
    // ducking factor (0..1); starts a crossfade when one is due.
    void AtualizarNiveis(double AFator);
    // The minute events (run when the system clock's minute changed) and the
    // time announcement, with the weather when fresh.
    void VerificarMinuto();
    // False when a person asked and the announcer's queue had no room.
    bool AnunciarHoraCerta(int AHora, int AMinuto, TOrigemFala AOrigem = TOrigemFala::ofPrograma);
    // After the settings were confirmed: lists rebuilt on the worker,
    // rotation kept.
    void RecarregarListas();
    // A listing was asked for and its answer has not arrived yet.
    bool Listando() const { return FListador && FListador->Ocupado(); }

    // The units and state the face and the tests read.
    TConfiguracoes& Config() { return *FConfig; }
    TLocutor& Locutor() { return *FLocutor; }
    TVolumeAuto& VolumeAuto() { return *FVolumeAuto; }
    TAgendaNoticias& AgendaNoticias() { return *FAgendaNoticias; }
    TAgendaClima& AgendaClima() { return *FAgendaClima; }
    const TFilaProgramacao& Fila() const { return FFilaProg; }
    const TNiveis& Niveis() const { return *FNiveis; }
    const TGuardas& Guardas() const { return FGuardas; }
    // The items the next news block would read now.
    std::vector<TNoticia> NoticiasParaLer() const;
    bool PararAposLocutor() const { return FPararAposLocutor; }
    bool EmReproducao() const { return FEmReproducao; }
    bool NoticiasNoAr() const { return FNoticiasNoAr; }
    const std::string& Titulo() const { return FMostrado.Titulo; }
    // The tag line of the item on air (empty until its tags were read).
    const std::string& Info() const { return FMostrado.Info; }
    const std::array<std::string, 5>& TextosStatus() const { return FMostrado.TextosStatus; }
    std::int32_t Posicao() const { return FMostrado.Posicao; }
    std::int32_t Duracao() const { return FMostrado.Duracao; }
    bool EstaPausado() const;
    bool EstaTocando() const;
    int Silencios() const { return FGuardas.Silencios(); }

  private:
    // Start-up, tick, shutdown.
    void ExecutarTick();
    void RegistrarErro(const std::exception& AErro);
    void AplicarConfiguracoes();
    // A settings change beyond the faces' own fields: the log line, the
    // announcer, the message rotation from the start, the lists, the
    // weather, the control server and the news.
    void AplicarProgramacao();
    // "Next" without its report of the new times.
    void ProximoItem();
    void SalvarVolumeSePendente();
    // Whether the last run ended unexpectedly while playing, and it is not
    // past the closing stop: what to resume (empty: nothing).
    std::string MusicaParaRetomar() const;
    // The first play of the run: a resume, or TocarAoIniciar.
    void TocarAoComecar();
    // The marker after a pause or its end.
    void AnotarPausa();
    void VigiarSilencio();
    // Notices songs that never start (files that open but never play).
    void VigiarReproducao();
    // The wait between tries' one log line.
    void RegistrarEspera();

    // The queue.
    // Lists the folders on the worker; ATocarDepois: once they are in, play
    // the next song if the programme is waiting for music.
    void PedirListas(bool ATocarDepois);
    void ListasLidas(TListasLidas AListas);
    void TocarProxima();
    void TocarMusica(int AIndice);
    bool TocarArquivo(const std::string& AArquivo, bool AIntervalo);
    void MontarIntervalo();
    std::string ProximoArquivo() const;

    // The news block.
    bool NoticiasProntas() const;
    bool IniciarNoticias();
    void InterromperNoticias();
    // The tick's end-of-item step while the block is on air.
    void EncerrarNoticiasSeAcabou();

    // Transitions and levels.
    void IniciarTransicao(std::int32_t AMs);
    void IniciarEntrada();
    void PrepararGanho(const std::string& AArquivo, bool AIntervalo);
    void DefinirReferenciaSeFalta(const std::string& AArquivo, bool AIntervalo, double ALoudness);
    // The loudness worker measured AArquivo: a player on it takes its gain.
    void GanhoMedido(const std::string& AArquivo, double ALoudness);
    // A batch of lengths arrived.
    void DuracoesLidas(bool AMusicas);

    // The face.
    void AtualizarTipo();
    void AtualizarStatus();
    void DefinirTitulo(const std::string& ATitulo);

    TRelogio& FRelogio;
    TFilaPrincipal& FFila;
    IVisao& FVisao;
    IDispositivoMidia& FDispositivo;
    IFabricaVoz& FFabricaVoz;
    TOpcoesPrograma FOpcoes;
    TDonoThread FDono;
    // Calls queued by workers check it before touching the programme.
    std::shared_ptr<TPrograma*> FVivo = std::make_shared<TPrograma*>(this);

    std::unique_ptr<TConfiguracoes> FConfig;
    std::unique_ptr<TSalvamento> FSalvamento;
    TMarcaReproducao FMarca;
    std::unique_ptr<TLocutor> FLocutor;
    std::unique_ptr<TControleRemoto> FControle;
    std::unique_ptr<TVolumeAuto> FVolumeAuto;
    std::unique_ptr<TAgendaNoticias> FAgendaNoticias;
    std::unique_ptr<TAgendaClima> FAgendaClima;
    std::unique_ptr<TLeitorTags> FLeitorTags;
    std::unique_ptr<TListador> FListador;

    // The units.
    TFilaProgramacao FFilaProg;
    std::unique_ptr<TNiveis> FNiveis;
    std::unique_ptr<TLeitorDuracoes> FDuracoes;
    TGuardas FGuardas;
    TRodizioFalas FRodizio;

    // What waits for the first listing: the command line's switch, the
    // music to resume (the last run ended unexpectedly while it played),
    // TocarAoIniciar, and a play asked for before the lists were in.
    struct TArranque {
        bool ListasProntas = false;
        bool TocarAoListar = false;
        int AcaoInicial = 0;
        std::string Retomar;
        bool AutoTocar = false;
    } FArranque;

    // What the faces are shown of the item on air.
    struct TMostrado {
        std::string Titulo;
        std::string Info;  // the tag line
        std::int32_t Posicao = 0;
        std::int32_t Duracao = 0;
        std::array<std::string, 5> TextosStatus;
    } FMostrado;
    std::string FErroCelular;

    double FDeslocamentoRelogio = 0;
    bool FPrimeiraExecucao = false;
    bool FIniciado = false;
    bool FEmReproducao = false;
    bool FPararAposLocutor = false;
    bool FNoticiasNoAr = false;
    bool FPausadoNasNoticias = false;
};

}  // namespace ljsn
