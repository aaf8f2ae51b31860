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
#include "programa/uFalhasPorArquivo.h"
#include "programa/uLeitorTags.h"
#include "programa/uListador.h"
#include "programa/uMarcaReproducao.h"
#include "programa/uSalvamento.h"
#include "programa/uVisao.h"

namespace ljsn {

// Tags of the break queue's entries.
inline constexpr int MARCA_VINHETA = 1;
inline constexpr int MARCA_NOTICIAS = 2;

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

// The headless programme: owns the settings, players, lists, announcer and
// the servers, and is driven by one 100 ms tick on the main thread. Faces
// drive it through IControle. Every public operation is for the main thread.
class TPrograma final : public IControle {
  public:
    struct TEntradaFila {
        std::string Texto;
        int Marca = 0;
        bool operator==(const TEntradaFila&) const = default;
    };

    // Songs failing in a row, or this long with nothing playing, before the
    // programme waits 30 s between tries.
    static constexpr int kMaxFalhasSeguidas = 20;
    static constexpr std::uint32_t kMaxSemTocarMs = 10000;

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
    int Volume() const override { return FVolumeGeral; }
    // The shop's markers expanded, spoken as a call.
    void FalarAgora(const std::string& ATexto) override;
    void Chamar(const std::string& ATexto, bool ARepetir) override;
    void HoraCerta() override;
    void CalarLocutor() override;
    const TConfiguracoes& Config() const override { return *FConfig; }
    std::vector<TProblemaConfig> Validar(const TConfiguracoes& ANovo) const override;
    TMudancasConfig Aplicar(const TConfiguracoes& ANovo) override;
    TEstadoControle Estado() const override;
    const std::vector<std::string>& Musicas() const override { return FMusicas; }
    const std::vector<std::int32_t>& Duracoes() const override { return FDuracoes; }
    int LinhaSelecionada() const override { return FLinhaSelecionada; }
    int LinhaAtual() const override;
    std::string TextoCelular() const override;
    int PortaCelular() const override;
    std::string MusicaAtualParaConfig() const override;
    double LoudnessAtual() const override { return FLoudnessAtual; }
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
    // ducking factor (0..1).
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

    // State the face and the tests read.
    TConfiguracoes& Config() { return *FConfig; }
    TLocutor& Locutor() { return *FLocutor; }
    TVolumeAuto& VolumeAuto() { return *FVolumeAuto; }
    TAgendaNoticias& AgendaNoticias() { return *FAgendaNoticias; }
    TAgendaClima& AgendaClima() { return *FAgendaClima; }
    // The items the next news block would read now.
    std::vector<TNoticia> NoticiasParaLer() const;
    double AjusteAtual() const { return FAjusteAtual; }
    bool PararAposLocutor() const { return FPararAposLocutor; }
    const std::vector<std::string>& Propagandas() const { return FPropagandas; }
    const std::deque<TEntradaFila>& FilaIntervalo() const { return FFilaIntervalo; }
    int IndiceMusica() const { return FIndiceMusica; }
    int IndicePropaganda() const { return FIndicePropaganda; }
    int MusicasDesdePropaganda() const { return FMusicasDesdePropaganda; }
    bool EmReproducao() const { return FEmReproducao; }
    bool TocandoPropaganda() const { return FTocandoPropaganda; }
    bool TocandoVinheta() const { return FTocandoVinheta; }
    bool NoticiasNoAr() const { return FNoticiasNoAr; }
    const std::string& Titulo() const { return FTitulo; }
    // The tag line of the item on air (empty until its tags were read).
    const std::string& Info() const { return FInfo; }
    const std::array<std::string, 5>& TextosStatus() const { return FTextosStatus; }
    std::int32_t Posicao() const { return FPosicao; }
    std::int32_t Duracao() const { return FDuracao; }
    bool EstaPausado() const;
    bool EstaTocando() const;
    int Silencios() const { return FSilencios; }

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
    static constexpr std::uint32_t kEsperaSemMusicaMs = 30000;
    void VigiarSilencio();
    // Notices songs that never start (files that open but never play).
    void VigiarReproducao();
    // Enters the wait between tries, with its one log line.
    void EsperarPorMusicas();
    static constexpr std::uint32_t kEsperaSalvarVolumeMs = 2000;

    // The queue.
    // Lists the folders on the worker; ATocarDepois: once they are in, play
    // the next song if the programme is waiting for music.
    void PedirListas(bool ATocarDepois);
    void ListasLidas(TListasLidas AListas);
    bool VinhetaUsavel(const std::string& ACaminho) const;
    void Embaralhar(std::vector<std::string>& ALista);
    void TocarProxima();
    void TocarMusica(int AIndice);
    bool TocarArquivo(const std::string& AArquivo, bool AIntervalo);
    void MontarIntervalo();
    void AdicionarIntervalo();
    bool NoticiasNaFila() const;
    // Entries of the break queue that are files (not the news block).
    std::ptrdiff_t ArquivosNaFila() const;
    std::string ProximoArquivo();

    // The news block.
    bool NoticiasProntas() const;
    bool IniciarNoticias();
    void InterromperNoticias();
    void BuscarSeAcabaram();
    // The tick's end-of-item step while the block is on air.
    void EncerrarNoticiasSeAcabou();

    // Transitions and levels.
    int VolumeCategoria(const TPlayer& APlayer) const;
    std::int32_t DuracaoTransicao(std::int32_t A, std::int32_t B) const;
    // The length the durations reader found; -1 while unknown. No I/O.
    std::int32_t DuracaoConhecida(const std::string& AArquivo) const;
    void IniciarTransicao(std::int32_t AMs);
    void IniciarEntrada();
    void EncerrarSaida();
    void PrepararGanho(const std::string& AArquivo, bool AIntervalo);
    void DefinirReferenciaSeFalta(const std::string& AArquivo, bool AIntervalo, double ALoudness);
    // The loudness worker measured AArquivo: a player on it takes its gain.
    void GanhoMedido(const std::string& AArquivo, double ALoudness);
    TPlayer& OutroPlayer(const TPlayer& APlayer);

    // Durations.
    void LerDuracoes();
    void GuardarDuracoes(std::int32_t AGeracao,
                         std::size_t AInicio,
                         const std::vector<std::int32_t>& ADuracoes);
    void RecolherLeitores(bool ATodos);

    // The face.
    void AtualizarTipo();
    void AtualizarStatus();
    void DefinirTitulo(const std::string& ATitulo);
    std::int64_t TotalDuracoes() const;

    TRelogio& FRelogio;
    TFilaPrincipal& FFila;
    IVisao& FVisao;
    IDispositivoMidia& FDispositivo;
    IFabricaVoz& FFabricaVoz;
    TOpcoesPrograma FOpcoes;
    TDonoThread FDono;
    // Calls queued by workers check it before touching the programme.
    std::shared_ptr<TPrograma*> FVivo = std::make_shared<TPrograma*>(this);

    std::unique_ptr<TPlayer> FPlayerA;
    std::unique_ptr<TPlayer> FPlayerB;
    TPlayer* FPlayer = nullptr;
    TPlayer* FPlayerSaindo = nullptr;
    std::unique_ptr<TConfiguracoes> FConfig;
    std::unique_ptr<TSalvamento> FSalvamento;
    TMarcaReproducao FMarca;
    // The music to resume once the lists are in: the last run ended
    // unexpectedly while it played.
    std::string FRetomar;
    std::unique_ptr<TLocutor> FLocutor;
    std::unique_ptr<TControleRemoto> FControle;
    std::unique_ptr<TVolumeAuto> FVolumeAuto;
    std::unique_ptr<TAgendaNoticias> FAgendaNoticias;
    std::unique_ptr<TAgendaClima> FAgendaClima;
    std::unique_ptr<TLeitorTags> FLeitorTags;
    std::unique_ptr<TListador> FListador;
    bool FListasProntas = false;  // the first listing is in
    bool FTocarAoListar = false;
    int FAcaoInicial = 0;  // the command line's switch, run once the lists are in
    // The jingles the last listing found playable.
    std::string FVinhetaAntes;
    std::string FVinhetaDepois;
    std::string FInfo;  // the tag line of the current item
    std::mt19937 FAleatorio;
    double FDeslocamentoRelogio = 0;
    bool FPrimeiraExecucao = false;
    bool FIniciado = false;
    bool FAutoTocar = false;

    std::vector<std::string> FMusicas;
    std::vector<std::string> FPropagandas;
    int FIndiceMusica = -1;
    int FIndicePropaganda = -1;
    int FMusicasDesdePropaganda = 0;
    int FMusicasDesdeNoticias = 0;
    std::deque<TEntradaFila> FFilaIntervalo;
    bool FTocandoVinheta = false;
    bool FTocandoPropaganda = false;
    bool FEmReproducao = false;
    bool FPararAposLocutor = false;
    bool FNoticiasNoAr = false;
    bool FPausadoNasNoticias = false;
    int FLinhaSelecionada = -1;
    int FVolumeGeral = 80;
    // A volume changed from the phone or the widget reaches the disk within
    // two seconds, however often it changes meanwhile.
    // Songs that failed to open in a row; once every song failed, the
    // programme waits and looks at the folder again every 30 s.
    // Dead air: how long the output has been below -60 dBFS while playing,
    // and how many items were skipped for it.
    std::uint32_t FSilencioMs = 0;
    int FSilencios = 0;
    int FFalhasMusica = 0;
    bool FSemMusica = false;
    std::uint32_t FSemMusicaDesde = 0;
    std::uint32_t FTocouEm = 0;  // the last tick with something audibly playing
    TFalhasPorArquivo FFalhasRegistradas;
    bool FVolumePendente = false;
    std::uint32_t FVolumeMudouEm = 0;
    std::string FTitulo;

    std::uint32_t FInicioTransicao = 0;
    std::uint32_t FDuracaoTransicao = 0;
    std::uint32_t FEntradaInicio = 0;
    std::int32_t FEntradaMs = 0;
    double FLoudnessAtual = -999;
    double FAjusteAtual = 0;

    int FUltimoMinuto = -1;
    std::int64_t FDiaDosLogs = -1;  // the day the old logs were last purged
    int FMinutosSemMensagem = 0;
    int FIndiceMensagem = -1;
    int FMinutosSemData = 0;
    int FIndiceData = -1;

    std::int32_t FPosicao = 0;
    std::int32_t FDuracao = 0;
    std::array<std::string, 5> FTextosStatus;
    std::string FErroCelular;

    std::vector<std::int32_t> FDuracoes;
    // Every length read so far (jingles, advertisements, music), by path, and
    // the order the reader reads them in: FMusicas starts at
    // FPrimeiraMusicaDuracao.
    std::unordered_map<std::string, std::int32_t> FDuracoesConhecidas;
    std::vector<std::string> FArquivosDuracao;
    std::size_t FPrimeiraMusicaDuracao = 0;
    struct TLeitor {
        std::jthread Thread;
        std::shared_ptr<std::atomic<bool>> Terminou;
    };
    std::vector<TLeitor> FLeitores;
    // Generation of this programme's durations reading; -1 once shutdown
    // began. Shared with the readers, so one programme never cancels
    // another's.
    std::shared_ptr<std::atomic<std::int32_t>> FGeracao =
        std::make_shared<std::atomic<std::int32_t>>(0);
};

}  // namespace ljsn
